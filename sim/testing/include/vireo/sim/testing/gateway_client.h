// For tests of what talks to the simulated instrument gateway: pointing the instrument drivers at
// it, and a raw loopback client (another program holding the gateway, or a test speaking the
// gateway's protocol itself).
#pragma once

#include <functional>
#include <string>

namespace vireo::sim::testing {

// Waits, within a generous bound (5 s), until `done` holds; false when it never did. For what the
// gateway's threads do on their own time (seeing a client go, say).
bool eventually(const std::function<bool()>& done);

// Points the drivers' registry entries at 127.0.0.1:`port`, with their read time-out when given.
void pointDriversAt(int port, int readTimeoutMs = 0);

class GatewayClient {
public:
    explicit GatewayClient(int port);  // connects to 127.0.0.1:`port`
    ~GatewayClient();
    GatewayClient(const GatewayClient&) = delete;
    GatewayClient& operator=(const GatewayClient&) = delete;

    bool connected() const { return connected_; }
    // Sends all of `bytes`; false when the connection would not take them.
    bool send(const std::string& bytes);
    // Everything that arrives before `marker` (which is consumed); what came, with "(closed)" or
    // "(no MARKER)" after it, when the connection closes or 3 s pass first.
    std::string upTo(const std::string& marker);
    // The gateway closed the connection (within 3 s) without sending anything.
    bool closedByPeer();

private:
    int fd_ = -1;
    bool connected_ = false;
};

}  // namespace vireo::sim::testing
