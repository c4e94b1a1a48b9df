#include "session_table.h"

namespace oru::instruments {

int SessionTable::open(int gpibAddress, const GatewaySettings& settings,
                       const std::function<int(GatewayLink&)>& greet) {
    if (gpibAddress < 0 || gpibAddress > 30) return INSTR_ERR_ARGUMENT;
    {
        std::lock_guard guard(mutex_);
        if (sessions_.size() >= kMaxSessions || next_ == 0x7fffffff) return INSTR_ERR_SESSIONS;
    }
    int status = INSTR_SUCCESS;
    auto bus = attachBus(settings, status);
    if (!bus) return status;
    if ((status = transact(*bus, gpibAddress, greet)) != INSTR_SUCCESS) {
        detachBus(bus);
        return status;
    }
    std::lock_guard guard(mutex_);
    const int handle = next_++;
    sessions_.emplace(handle, Session{gpibAddress, std::move(bus)});
    return handle;
}

int SessionTable::with(int handle, const std::function<int(GatewayLink&)>& call) {
    Session session;
    {
        std::lock_guard guard(mutex_);
        const auto it = sessions_.find(handle);
        if (it == sessions_.end()) return INSTR_ERR_HANDLE;
        session = it->second;
    }
    return transact(*session.bus, session.address, call);
}

int SessionTable::close(int handle) {
    Session session;
    {
        std::lock_guard guard(mutex_);
        const auto it = sessions_.find(handle);
        if (it == sessions_.end()) return INSTR_ERR_HANDLE;
        session = std::move(it->second);
        sessions_.erase(it);
    }
    detachBus(session.bus);
    return INSTR_SUCCESS;
}

int SessionTable::address(int handle) {
    std::lock_guard guard(mutex_);
    const auto it = sessions_.find(handle);
    return it == sessions_.end() ? -1 : it->second.address;
}

}  // namespace oru::instruments
