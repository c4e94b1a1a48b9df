// The open sessions of one driver library, by handle. A handle is a positive number never reused
// while the library is loaded; each session's calls are serialised by its own lock.
#pragma once

#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "gateway_link.h"
#include "instruments/status.h"

namespace oru::instruments {

struct Session {
    std::mutex lock;
    GatewayLink link;
};

class SessionTable {
public:
    // Opens a session on `gpibAddress`; returns its handle or a negative status.
    int open(int gpibAddress, const GatewaySettings& settings);
    // Runs `call` on the session under its lock; INSTR_ERR_HANDLE for an unknown handle.
    int with(int handle, const std::function<int(GatewayLink&)>& call);
    int close(int handle);

private:
    static constexpr std::size_t kMaxSessions = 64;
    std::mutex mutex_;
    std::map<int, std::shared_ptr<Session>> sessions_;
    int next_ = 1;
};

}  // namespace oru::instruments
