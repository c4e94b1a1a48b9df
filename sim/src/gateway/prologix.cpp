#include "prologix.h"

#include <cctype>

namespace vireo::sim::gateway {

namespace {
constexpr char kEsc = 27;
}

HostLine parseHostLine(std::string_view raw, bool firstEscaped) {
    HostLine line;
    if (!firstEscaped && raw.size() >= 2 && raw[0] == '+' && raw[1] == '+') {
        line.command = true;
        std::string_view rest = raw.substr(2);
        std::size_t n = 0;
        while (n < rest.size() && rest[n] != ' ' && rest[n] != '\t') ++n;
        for (char c : rest.substr(0, n)) line.name += char(std::tolower(static_cast<unsigned char>(c)));
        std::string_view arg = rest.substr(n);
        while (!arg.empty() && (arg.front() == ' ' || arg.front() == '\t')) arg.remove_prefix(1);
        while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t')) arg.remove_suffix(1);
        line.argument = std::string(arg);
        return line;
    }
    line.data = std::string(raw);
    return line;
}

std::vector<HostLine> HostInput::feed(std::string_view bytes) {
    std::vector<HostLine> lines;
    for (char c : bytes) {
        if (escaped_) {
            escaped_ = false;
            if (pending_.empty() && c == '+') plainPlus_ = true;
            if (!overflow_) pending_ += c;
        } else if (c == kEsc) {
            escaped_ = true;
            continue;
        } else if (c == '\r' || c == '\n') {
            if (!overflow_ && !pending_.empty()) lines.push_back(parseHostLine(pending_, plainPlus_));
            pending_.clear();
            plainPlus_ = overflow_ = false;
            continue;
        } else if (!overflow_) {
            pending_ += c;
        }
        if (pending_.size() > kLineMax) {
            overflow_ = true;
            pending_.clear();
        }
    }
    return lines;
}

}  // namespace vireo::sim::gateway
