// The one TCP connection of this process to a GPIB-ETHERNET gateway in controller mode. The
// gateway serves one client at a time and has one controller-wide GPIB address, so every session
// of every instrument on it shares this connection: each transaction names its instrument first
// ("++addr" when the controller is addressing another one). Every wait (connect, send, read) is
// bounded; nothing here blocks past its time-out. Not thread-safe: the bus serialises its users.
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

    // Connects and sets the controller up: configuration not saved to its EPROM (the address
    // changes with every other transaction), controller mode, no automatic read, EOI on the last
    // byte, LF appended, no end-of-transmission character, the read time-out; then asks its
    // version, which proves it serves this connection. INSTR_ERR_NO_GATEWAY when nothing listens,
    // INSTR_ERR_BUSY when it took the connection but does not serve it (another client has it).
    int open(const GatewaySettings& settings);
    bool broken() const { return fd_ < 0; }

    // The GPIB address the following messages go to; "++addr" is sent with the next one only
    // when the controller is addressing another instrument.
    void select(int gpibAddress) { wanted_ = gpibAddress; }

    // Sends one program message to the selected instrument (characters the gateway treats
    // specially are escaped). Returns a status.
    int write(std::string_view message);
    // Sends each message in turn; stops at the first failure.
    int writeAll(std::initializer_list<std::string> messages);
    // Sends `message` and "++read eoi" in one write and returns the reply without its line end; on
    // failure `status` receives why (time-out, broken connection). A reply that comes after its
    // time-out is never taken for the answer to a later query.
    std::optional<std::string> query(std::string_view message, int& status);
    // Selected device clear of the selected instrument ("++clr").
    int clear();
    // Returns once the gateway has taken in everything sent so far (or the read time-out has
    // passed). Returns a status.
    int flush();
    void close();

private:
    int connect(const GatewaySettings& settings);
    int sendAll(std::string_view bytes);
    // "++addr N\n" when the controller is addressing another instrument than the selected one.
    std::string addressing() const;
    int send(std::string bytes);
    void drain();
    // Reads up to the gateway's answer to "++ver": what a late reply left is discarded.
    int resync();
    // The next reply line, without its line end, within the read time-out.
    std::optional<std::string> readLine(int& status);
    // A broken connection stays broken: the sessions on it fail until they are opened again.
    int fail(int status);

    int fd_ = -1;
    int readTimeoutMs_ = 1000;
    int wanted_ = -1, addressed_ = -1;
    bool unsynced_ = false;
    std::string version_;
    std::string inbox_;  // received, not yet taken as a reply
};

}  // namespace oru::instruments
