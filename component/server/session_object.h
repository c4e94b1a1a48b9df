// Base of the objects that reach the adapter through a session handed over by _SetApiObj.
#pragma once

#include "server/module.h"
#include "transport/session_handles.h"

namespace direzo {

// The text of a call that needs the adapter on an object that holds no session.
inline constexpr std::u16string_view kNoAdapterText = u"No Adapter Object Reference";

template <class Derived, class Itf, class Base = ComponentObject<Derived, Itf>>
class SessionObject : public Base {
public:
    HRESULT _SetApiObj(LONG apiObj) override {
        session_.set(apiObj);
        return S_OK;
    }

protected:
    // Reports that no session has been handed over (or its Adapter is gone) and returns status.
    HRESULT noSession(HRESULT status) { return this->error(status, kNoAdapterText); }

    SessionRef session_;
};

}  // namespace direzo
