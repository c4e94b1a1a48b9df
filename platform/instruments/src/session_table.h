// The open sessions of one driver library, by handle. A handle is a positive number never reused
// while the library is loaded. A session is an instrument's GPIB address on a gateway's bus.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "gateway_bus.h"
#include "instruments/status.h"

namespace oru::instruments {

class SessionTable {
public:
    // Opens a session on `gpibAddress` (sharing the gateway's connection when this process has
    // one) and runs `greet` on it (a device clear, an identity check); returns the handle or a
    // negative status, with nothing left open on failure.
    int open(int gpibAddress, const GatewaySettings& settings, const std::function<int(GatewayLink&)>& greet);
    // Runs `call` on the session as one transaction; INSTR_ERR_HANDLE for an unknown handle.
    int with(int handle, const std::function<int(GatewayLink&)>& call);
    int close(int handle);
    // The GPIB address of an open session, else -1.
    int address(int handle);

private:
    struct Session {
        int address = 0;
        std::shared_ptr<GatewayBus> bus;
    };
    static constexpr std::size_t kMaxSessions = 64;
    std::mutex mutex_;
    std::map<int, Session> sessions_;
    int next_ = 1;
};

}  // namespace oru::instruments
