// Events: a handle is a pointer to an Event kept in a process-wide table, so that a stale or
// foreign handle is refused instead of dereferenced.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <unordered_map>

#include "win32/kernel32.h"

namespace {

constexpr DWORD ERROR_INVALID_HANDLE = 6;

struct Event {
    bool manualReset = false;
    bool signalled = false;
    std::condition_variable changed;
};

struct EventTable {
    std::mutex mutex;
    std::unordered_map<HANDLE, std::unique_ptr<Event>> events;
};

EventTable& table() {
    static EventTable t;
    return t;
}

Event* find(HANDLE h) {
    auto& t = table();
    auto it = t.events.find(h);
    if (it == t.events.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return it->second.get();
}

}  // namespace

HANDLE CreateEventA(void*, BOOL manualReset, BOOL initialState, const char*) {
    auto event = std::make_unique<Event>();
    event->manualReset = manualReset != FALSE;
    event->signalled = initialState != FALSE;
    HANDLE h = event.get();
    auto& t = table();
    std::lock_guard lock(t.mutex);
    t.events.emplace(h, std::move(event));
    return h;
}

BOOL SetEvent(HANDLE h) {
    std::lock_guard lock(table().mutex);
    Event* e = find(h);
    if (!e) return FALSE;
    e->signalled = true;
    e->changed.notify_all();
    return TRUE;
}

BOOL ResetEvent(HANDLE h) {
    std::lock_guard lock(table().mutex);
    Event* e = find(h);
    if (!e) return FALSE;
    e->signalled = false;
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE h, DWORD milliseconds) {
    std::unique_lock lock(table().mutex);
    Event* e = find(h);
    if (!e) return WAIT_FAILED;
    auto ready = [e] { return e->signalled; };
    if (milliseconds == INFINITE) {
        e->changed.wait(lock, ready);
    } else if (!e->changed.wait_for(lock, std::chrono::milliseconds(milliseconds), ready)) {
        return WAIT_TIMEOUT;
    }
    if (!e->manualReset) e->signalled = false;
    return WAIT_OBJECT_0;
}

BOOL CloseHandle(HANDLE h) {
    auto& t = table();
    std::lock_guard lock(t.mutex);
    if (t.events.erase(h) == 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
