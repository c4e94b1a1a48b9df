// One TCP connection to a GPIB-ETHERNET gateway in controller mode, talking to one GPIB address.
// Every wait (connect, send, read) is bounded; nothing here blocks past its time-out.
#pragma once

#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace oru::instruments {

struct GatewaySettings {
    std::string address = "127.0.0.1";
    int port = 1234;
    int readTimeoutMs = 1000;
    int analyzerAddress = 18;
};

// The gateway's registry entries, with defaults for what is missing or out of range.
GatewaySettings readGatewaySettings();

class GatewayLink {
public:
    GatewayLink() = default;
    ~GatewayLink();
    GatewayLink(const GatewayLink&) = delete;
    GatewayLink& operator=(const GatewayLink&) = delete;

    // Connects and sets the gateway up for `gpibAddress`: controller mode, no automatic read,
    // EOI on the last byte, LF appended, the read time-out, then a device clear. Returns a status.
    int open(const GatewaySettings& settings, int gpibAddress);

    // Sends one program message to the instrument (characters the gateway treats specially are
    // escaped). Returns a status.
    int write(std::string_view message);
    // Sends each message in turn; stops at the first failure.
    int writeAll(std::initializer_list<std::string> messages);
    // Sends `message`, asks the gateway to read until EOI and returns the reply without its line
    // end; on failure `status` receives why (time-out, broken connection).
    std::optional<std::string> query(std::string_view message, int& status);
    // Returns once the gateway has taken in everything sent so far (or the read time-out has
    // passed). Returns a status.
    int flush();

private:
    int sendAll(std::string_view bytes);
    void drain();
    // The next reply line, without its line end, within the read time-out.
    std::optional<std::string> readLine(int& status);

    int fd_ = -1;
    int readTimeoutMs_ = 1000;
};

}  // namespace oru::instruments
