#include "ini_document.h"

#include <algorithm>
#include <cctype>

namespace airmeter {
namespace {

std::string_view trimmed(std::string_view text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.front())) text.remove_prefix(1);
    while (!text.empty() && blank(text.back())) text.remove_suffix(1);
    return text;
}

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](unsigned char x, unsigned char y) {
               return std::tolower(x) == std::tolower(y);
           });
}

bool isComment(std::string_view line) { return !line.empty() && (line.front() == ';' || line.front() == '#'); }

// The section a header line opens, or nothing when the line is no header.
std::optional<std::string_view> sectionOf(std::string_view line) {
    line = trimmed(line);
    if (line.empty() || line.front() != '[') return std::nullopt;
    const auto close = line.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    return trimmed(line.substr(1, close - 1));
}

struct KeyLine {
    std::string_view key;
    std::string_view value;
    std::size_t valueStart;  // offset of the value in the line
};

std::optional<KeyLine> keyOf(std::string_view line) {
    const std::string_view content = trimmed(line);
    if (content.empty() || isComment(content) || sectionOf(line)) return std::nullopt;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    std::size_t start = equals + 1;
    while (start < line.size() && (line[start] == ' ' || line[start] == '\t')) ++start;
    return KeyLine{trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)), start};
}

char quoteOf(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
        return value.front();
    }
    return 0;
}

std::string_view unquoted(std::string_view value) {
    return quoteOf(value) ? value.substr(1, value.size() - 2) : value;
}

}  // namespace

IniDocument::IniDocument(std::string_view text) {
    bool endingSeen = false;
    while (!text.empty()) {
        const auto newline = text.find('\n');
        Line line;
        if (newline == std::string_view::npos) {
            line.text = std::string(text);
            text = {};
        } else {
            const bool crlf = newline > 0 && text[newline - 1] == '\r';
            line.text = std::string(text.substr(0, crlf ? newline - 1 : newline));
            line.ending = crlf ? "\r\n" : "\n";
            text.remove_prefix(newline + 1);
            if (!endingSeen) newline_ = line.ending;
            endingSeen = true;
        }
        lines_.push_back(std::move(line));
    }
}

std::optional<std::size_t> IniDocument::findKey(std::string_view section, std::string_view key) const {
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (const auto name = sectionOf(lines_[i].text)) {
            inSection = sameName(*name, section);
        } else if (inSection) {
            if (const auto k = keyOf(lines_[i].text); k && sameName(k->key, key)) return i;
        }
    }
    return std::nullopt;
}

std::size_t IniDocument::insertionPoint(std::string_view section) const {
    std::size_t point = std::string::npos;
    bool inSection = false;
    for (std::size_t i = 0; i < lines_.size(); ++i) {
        if (const auto name = sectionOf(lines_[i].text)) {
            inSection = sameName(*name, section);
            if (inSection && point == std::string::npos) point = i + 1;
        } else if (inSection && !trimmed(lines_[i].text).empty()) {
            point = i + 1;  // after the section's last line that is not blank
        }
    }
    return point;
}

std::optional<std::string> IniDocument::value(std::string_view section, std::string_view key) const {
    const auto line = findKey(section, key);
    if (!line) return std::nullopt;
    return std::string(unquoted(keyOf(lines_[*line].text)->value));
}

bool IniDocument::set(std::string_view section, std::string_view key, std::string_view value) {
    if (const auto index = findKey(section, key)) {
        Line& line = lines_[*index];
        const KeyLine k = *keyOf(line.text);
        if (unquoted(k.value) == value) return false;
        // A quoted value stays quoted, unless the new text holds that quote itself.
        const char quote = quoteOf(k.value);
        const bool requote = quote && value.find(quote) == std::string_view::npos;
        std::string text = line.text.substr(0, k.valueStart);
        if (requote) text += quote;
        text += value;
        if (requote) text += quote;
        line.text = std::move(text);
        return true;
    }
    std::vector<Line> added;
    std::size_t at = insertionPoint(section);
    if (at == std::string::npos) {
        at = lines_.size();
        if (!lines_.empty() && !trimmed(lines_.back().text).empty()) added.push_back({"", newline_});
        added.push_back({std::string(1, '[').append(section).append("]"), newline_});
    }
    added.push_back({std::string(key) + "=" + std::string(value), newline_});
    // The line before the new ones ends as the file's lines do, even when it was the last.
    if (at > 0 && lines_[at - 1].ending.empty()) lines_[at - 1].ending = newline_;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), added.begin(), added.end());
    return true;
}

bool IniDocument::setDefault(std::string_view section, std::string_view key, std::string_view value) {
    return contains(section, key) ? false : set(section, key, value);
}

std::string IniDocument::text() const {
    std::string out;
    for (const Line& line : lines_) out += line.text + line.ending;
    return out;
}

}  // namespace airmeter
