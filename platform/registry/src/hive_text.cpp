#include "hive_text.h"

#include <cstdio>

namespace oru::registry {

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";

std::string_view trimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return s;
}
std::string_view trimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

int hexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

class Parser {
public:
    explicit Parser(std::string_view text) : text_(text) {}

    Hive run() {
        std::string_view line;
        if (!nextLine(line) || trimRight(line) != kHeader)
            fail("expected \"" + std::string(kHeader) + "\" on the first line");
        Key* current = nullptr;
        while (nextLine(line)) {
            line = trimRight(line);
            if (trimLeft(line).empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                current = &section(line);
            } else {
                if (!current) fail("a value before the first [key] section");
                value(*current, line);
            }
        }
        return std::move(hive_);
    }

private:
    [[noreturn]] void fail(const std::string& what) const { throw HiveSyntaxError(lineNo_, what); }

    bool nextLine(std::string_view& line) {
        if (pos_ >= text_.size()) return false;
        const std::size_t end = text_.find('\n', pos_);
        line = text_.substr(pos_, end == text_.npos ? text_.npos : end - pos_);
        pos_ = end == text_.npos ? text_.size() : end + 1;
        ++lineNo_;
        return true;
    }

    // Sections come parents first, so most share a leading part of their path with the one
    // before: that part is taken from the previous section instead of being looked up again.
    Key& section(std::string_view line) {
        if (line.back() != ']' || line.size() < 3) fail("a section header must be [path]");
        const std::string_view path = line.substr(1, line.size() - 2);
        if (path.front() == '-') fail("key deletions ([-...]) do not belong in a hive");
        const std::size_t slash = path.find('\\');
        const std::string_view rootText = path.substr(0, slash);
        std::size_t root = kRootCount;
        for (std::size_t i = 0; i < kRootCount; ++i)
            if (sameName(rootText, rootName(Root(i)))) root = i;
        if (root == kRootCount) fail("unknown root key \"" + std::string(rootText) + "\"");
        if (slash != path.npos && !splitPath(path.substr(slash + 1), names_)) fail("malformed key path");
        if (slash == path.npos) names_.clear();
        if (root != trailRoot_) {
            trailRoot_ = root;
            trail_.assign(1, &hive_.roots[root]);
            trailNames_.clear();
        }
        std::size_t shared = 0;
        while (shared < names_.size() && shared < trailNames_.size() && sameName(names_[shared], trailNames_[shared]))
            ++shared;
        // Adding a subkey may move its siblings, so the trail is cut back before anything is added.
        trail_.resize(shared + 1);
        trailNames_.resize(shared);
        for (std::size_t i = shared; i < names_.size(); ++i) {
            trail_.push_back(&trail_.back()->subkey(names_[i]));
            trailNames_.push_back(names_[i]);
        }
        return *trail_.back();
    }

    // A quoted text starting at s[0] == '"'; consumes through the closing quote.
    std::string quoted(std::string_view& s) {
        std::string out;
        std::size_t i = 1;
        while (true) {
            const std::size_t special = s.find_first_of("\\\"", i);
            if (special == s.npos) fail("a text without its closing quote");
            out.append(s.substr(i, special - i));
            i = special;
            if (s[i] == '"') break;
            if (++i >= s.size()) fail("a text without its closing quote");
            if (s[i] != '\\' && s[i] != '"') fail(std::string("unknown escape \\") + s[i]);
            out += s[i++];
        }
        s.remove_prefix(i + 1);
        return out;
    }

    // Joins the continuation lines of a hex list (each but the last ending in a backslash).
    std::string hexList(std::string_view first) {
        std::string all;
        std::string_view part = first;
        while (true) {
            part = trimRight(part);
            const bool more = !part.empty() && part.back() == '\\';
            if (more) part.remove_suffix(1);
            all += trimLeft(part);
            if (!more) break;
            std::string_view next;
            if (!nextLine(next)) fail("a hex list continues past the end of the file");
            part = next;
        }
        return all;
    }

    std::vector<BYTE> hexBytes(std::string_view list) {
        std::vector<BYTE> out;
        list = trimRight(trimLeft(list));
        if (list.empty()) return out;
        std::size_t i = 0;
        while (true) {
            if (i + 2 > list.size() || hexDigit(list[i]) < 0 || hexDigit(list[i + 1]) < 0)
                fail("malformed hex list (expected pairs of hex digits separated by commas)");
            out.push_back(BYTE(hexDigit(list[i]) * 16 + hexDigit(list[i + 1])));
            i += 2;
            if (i == list.size()) break;
            if (list[i] != ',') fail("malformed hex list (expected a comma)");
            ++i;
        }
        return out;
    }

    void value(Key& key, std::string_view line) {
        std::string name;
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (line.front() == '"') {
            name = quoted(line);
        } else {
            fail("expected a value (\"name\"=... or @=...)");
        }
        line = trimLeft(line);
        if (line.empty() || line.front() != '=') fail("expected = after the value name");
        line = trimLeft(line.substr(1));
        if (!line.empty() && line.front() == '"') {
            std::string text = quoted(line);
            if (!trimLeft(line).empty()) fail("unexpected text after the closing quote");
            std::vector<BYTE> data(text.begin(), text.end());
            data.push_back(0);
            key.setValue(name, REG_SZ, std::move(data));
        } else if (line.starts_with("dword:")) {
            const std::string_view digits = line.substr(6);
            if (digits.empty() || digits.size() > 8) fail("a dword needs 1 to 8 hex digits");
            DWORD v = 0;
            for (char c : digits) {
                if (hexDigit(c) < 0) fail("a dword needs 1 to 8 hex digits");
                v = v * 16 + DWORD(hexDigit(c));
            }
            key.setValue(name, REG_DWORD, {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), BYTE(v >> 24)});
        } else if (line.starts_with("hex:")) {
            key.setValue(name, REG_BINARY, hexBytes(hexList(line.substr(4))));
        } else if (line.starts_with("hex(")) {
            const std::size_t close = line.find("):");
            if (close == line.npos || close == 4 || close > 12) fail("expected hex(type):");
            DWORD type = 0;
            for (char c : line.substr(4, close - 4)) {
                if (hexDigit(c) < 0) fail("expected hex(type):");
                type = type * 16 + DWORD(hexDigit(c));
            }
            key.setValue(name, type, hexBytes(hexList(line.substr(close + 2))));
        } else if (line == "-") {
            fail("value deletions do not belong in a hive");
        } else {
            fail("unknown value data (expected \"text\", dword:, hex: or hex(n):)");
        }
    }

    std::string_view text_;
    std::size_t pos_ = 0;
    int lineNo_ = 0;
    Hive hive_;
    std::vector<std::string_view> names_;  // views into the text, which outlives the parse
    // The keys of the previous section's path, from its root down, and their names.
    std::size_t trailRoot_ = kRootCount;
    std::vector<Key*> trail_;
    std::vector<std::string_view> trailNames_;
};

std::string quote(std::string_view s) {
    std::string out = "\"";
    for (char c : s) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    return out + '"';
}

// A REG_SZ that is one line of text and its NUL is written as "text"; anything else as hex.
bool plainText(const Value& v) {
    if (v.type != REG_SZ || v.data.empty() || v.data.back() != 0) return false;
    for (std::size_t i = 0; i + 1 < v.data.size(); ++i)
        if (v.data[i] < 0x20 || v.data[i] == 0x7F) return false;
    return true;
}

void formatHex(std::string& out, std::size_t prefixLen, const std::vector<BYTE>& data) {
    std::size_t col = prefixLen;
    char buf[4];
    for (std::size_t i = 0; i < data.size(); ++i) {
        std::snprintf(buf, sizeof buf, "%02x", data[i]);
        out += buf;
        col += 2;
        if (i + 1 < data.size()) {
            out += ',';
            ++col;
            if (col > 76) {
                out += "\\\n  ";
                col = 2;
            }
        }
    }
}

void formatKey(std::string& out, const Key& key, std::string& path) {
    out += '[';
    out += path;
    out += "]\n";
    std::string line;
    for (const Value& v : key.values) {
        line = v.name.empty() ? "@" : quote(v.name);
        line += '=';
        if (plainText(v)) {
            line += quote(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
        } else if (v.type == REG_DWORD && v.data.size() == 4) {
            char buf[16];
            std::snprintf(buf, sizeof buf, "dword:%08x",
                          unsigned(v.data[0] | v.data[1] << 8 | v.data[2] << 16 | unsigned(v.data[3]) << 24));
            line += buf;
        } else {
            if (v.type == REG_BINARY) {
                line += "hex:";
            } else {
                char buf[24];
                std::snprintf(buf, sizeof buf, "hex(%x):", unsigned(v.type));
                line += buf;
            }
            formatHex(line, line.size(), v.data);
        }
        out += line;
        out += '\n';
    }
    out += '\n';
    for (const Key& sub : key.subkeys()) {
        const std::size_t length = path.size();
        path += '\\';
        path += sub.name;
        formatKey(out, sub, path);
        path.resize(length);
    }
}

}  // namespace

Hive parseHive(std::string_view text) { return Parser(text).run(); }

std::string formatHive(const Hive& hive) {
    std::string out(kHeader);
    out += "\n\n";
    for (const Key& root : hive.roots) {
        if (root.subkeys().empty() && root.values.empty()) continue;
        std::string path = root.name;
        formatKey(out, root, path);
    }
    return out;
}

}  // namespace oru::registry
