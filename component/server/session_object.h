// Base of the objects that reach the adapter through a session handed over by _SetApiObj.
#pragma once

#include "server/module.h"
#include "transport/session_handles.h"

namespace direzo {

template <class Derived, class Itf, class Base = ComponentObject<Derived, Itf>>
class SessionObject : public Base {
public:
    HRESULT _SetApiObj(LONG apiObj) override {
        session_.set(apiObj);
        return S_OK;
    }

protected:
    SessionRef session_;
};

}  // namespace direzo
