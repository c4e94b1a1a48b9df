#include "transport/session_handles.h"

#include <sys/random.h>

#include <cstdint>
#include <mutex>
#include <random>
#include <thread>
#include <unordered_map>

namespace direzo {

namespace {

struct Entry {
    AdapterSession* session;
    std::thread::id apartment;  // the thread whose objects may use it
};

struct HandleTable {
    std::mutex mutex;
    std::unordered_map<LONG, Entry> sessions;
};

HandleTable& table() {
    static HandleTable t;
    return t;
}

// A positive 31-bit value from the system's random source: a handle cannot be guessed from
// another one, so a script cannot bind an object to a session it was not given.
LONG randomHandle() {
    std::uint32_t v = 0;
    if (getrandom(&v, sizeof v, 0) != sizeof v) v = std::random_device{}();
    return LONG(v & 0x7FFFFFFF);
}

}  // namespace

LONG registerSession(AdapterSession* session) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    LONG handle = 0;
    while (handle == 0 || t.sessions.contains(handle)) handle = randomHandle();
    t.sessions.emplace(handle, Entry{session, std::this_thread::get_id()});
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
    if (it == t.sessions.end() || it->second.apartment != std::this_thread::get_id()) return nullptr;
    return it->second.session;
}

}  // namespace direzo
