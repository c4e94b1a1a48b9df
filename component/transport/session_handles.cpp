#include "transport/session_handles.h"

#include <cstdint>
#include <mutex>
#include <unordered_map>

namespace direzo {

namespace {

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<LONG, AdapterSession*> sessions;
    LONG next = 1;
};

HandleTable& table() {
    static HandleTable t;
    return t;
}

}  // namespace

LONG registerSession(AdapterSession* session) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto after = [](LONG h) { return h == INT32_MAX ? 1 : h + 1; };
    LONG handle = t.next;
    while (t.sessions.contains(handle)) handle = after(handle);
    t.next = after(handle);
    t.sessions.emplace(handle, session);
    return handle;
}

void unregisterSession(LONG handle) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.sessions.erase(handle);
}

AdapterSession* findSession(LONG handle) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    auto it = t.sessions.find(handle);
    return it == t.sessions.end() ? nullptr : it->second;
}

}  // namespace direzo
