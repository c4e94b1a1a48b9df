// The host side of the GPIB-ETHERNET protocol: the byte stream a client sends over TCP, cut into
// lines. A line that begins with "++" is a command to the gateway; any other line is data for the
// addressed instrument, in which ESC makes the next character (CR, LF, ESC or '+') plain data.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vireo::sim::gateway {

struct HostLine {
    bool command = false;
    std::string name;      // command: the word after "++", lower case
    std::string argument;  // command: the rest, blanks trimmed
    std::string data;      // data line: the bytes for the instrument, escapes removed
};

class HostInput {
public:
    static constexpr std::size_t kLineMax = 4096;  // longer lines are dropped whole

    // The complete lines in `bytes` (with what earlier calls left unfinished).
    std::vector<HostLine> feed(std::string_view bytes);

private:
    std::string pending_;   // raw bytes of the unfinished line
    bool escaped_ = false;  // the last byte was an unused ESC
    bool plainPlus_ = false;  // pending_ begins with an escaped '+'
    bool overflow_ = false;
};

// Parses one complete raw line (terminator removed). `firstEscaped`: its first byte came escaped.
HostLine parseHostLine(std::string_view raw, bool firstEscaped);

}  // namespace vireo::sim::gateway
