// Session handles: the 32-bit value that _SetApiObj carries between the component's objects.
//
// An object that receives a session keeps its handle, not a pointer, and looks the session up on
// every use; once the Adapter that owns the session is released the lookup finds nothing, so a
// sub-object that outlives its Adapter (or a script passing an arbitrary number) never reaches a
// deleted session. Handle 0 is never issued and means "no session". Handles are random and
// valid only in the apartment (thread) that opened the session: another apartment's objects, a
// remote client's among them, find nothing through them.
#pragma once

#include "win32/basetypes.h"

namespace direzo {

class AdapterSession;

LONG registerSession(AdapterSession* session);
void unregisterSession(LONG handle);
AdapterSession* findSession(LONG handle);

// What an object holds for its session: the handle it was given.
class SessionRef {
public:
    void set(LONG handle) { handle_ = handle; }
    LONG handle() const { return handle_; }
    AdapterSession* get() const { return handle_ ? findSession(handle_) : nullptr; }
    explicit operator bool() const { return get() != nullptr; }

private:
    LONG handle_ = 0;
};

}  // namespace direzo
