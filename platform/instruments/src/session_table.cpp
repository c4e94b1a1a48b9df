#include "session_table.h"

namespace oru::instruments {

int SessionTable::open(int gpibAddress, const GatewaySettings& settings) {
    auto session = std::make_shared<Session>();
    if (const int s = session->link.open(settings, gpibAddress); s != INSTR_SUCCESS) return s;
    std::lock_guard guard(mutex_);
    if (sessions_.size() >= kMaxSessions || next_ == 0x7fffffff) return INSTR_ERR_SESSIONS;
    const int handle = next_++;
    sessions_.emplace(handle, std::move(session));
    return handle;
}

int SessionTable::with(int handle, const std::function<int(GatewayLink&)>& call) {
    std::shared_ptr<Session> session;
    {
        std::lock_guard guard(mutex_);
        const auto it = sessions_.find(handle);
        if (it == sessions_.end()) return INSTR_ERR_HANDLE;
        session = it->second;
    }
    std::lock_guard guard(session->lock);
    return call(session->link);
}

int SessionTable::close(int handle) {
    std::shared_ptr<Session> session;
    {
        std::lock_guard guard(mutex_);
        const auto it = sessions_.find(handle);
        if (it == sessions_.end()) return INSTR_ERR_HANDLE;
        session = std::move(it->second);
        sessions_.erase(it);
    }
    std::lock_guard guard(session->lock);  // a call still running on it finishes first
    // What the session wrote reaches its instrument before the close returns, so it cannot arrive
    // after the commands of a session opened next (the gateway serves connections side by side).
    session->link.flush();
    return INSTR_SUCCESS;
}

}  // namespace oru::instruments
