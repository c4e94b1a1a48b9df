// DispatchObject: the console's late-bound handle on one automation object. Every call goes
// through IDispatch::Invoke; each member name is looked up (GetIDsOfNames) once per object and
// remembered, so an object on a remote host costs one round trip per call after the first. A
// failure status throws AutomationError with the error object's source and description.
#pragma once

#include <QString>
#include <initializer_list>
#include <memory>
#include <string>
#include <unordered_map>

#include "oleaut/comptr.h"
#include "oleaut/oaidl.h"
#include "variant.h"

namespace kestview {

// The error number of a call made on an object reference that is not set.
inline constexpr HRESULT kObjectNotSet = 91;

class DispatchObject {
public:
    DispatchObject() = default;
    // `interfaceName` names the object in error texts ("IVireo").
    DispatchObject(ComPtr<IDispatch> disp, QString interfaceName);

    explicit operator bool() const { return state_ && state_->disp; }
    IDispatch* dispatch() const { return state_ ? state_->disp.get() : nullptr; }
    QString interfaceName() const { return state_ ? state_->name : QString(); }
    // Whether both refer to the same object (the same IUnknown identity).
    bool sameObject(const DispatchObject& other) const;

    // The outcome of a call that succeeded: its result and status (S_OK, or S_FALSE when the
    // component reports a command it could not carry out).
    struct Result {
        Variant value;
        HRESULT status = S_OK;
        bool done() const { return status == S_OK; }
    };

    // Arguments in their natural order (the wrapper reverses them for Invoke).
    Result get(const char16_t* name, std::initializer_list<Variant> args = {}) const;
    // S_OK, or S_FALSE when the component did not store the value.
    HRESULT put(const char16_t* name, const Variant& value) const;
    Result call(const char16_t* name, std::initializer_list<Variant> args = {}) const;
    // The collection's enumerator (_NewEnum), its items as VARIANTs.
    std::vector<Variant> enumerate() const;

    // The dispatch id of a member, looked up on first use.
    DISPID idOf(const char16_t* name) const;

private:
    Result invoke(const char16_t* name, WORD flags, std::initializer_list<Variant> args,
                  const Variant* putValue) const;
    [[noreturn]] void fail(HRESULT hr, const char16_t* name, EXCEPINFO* excep) const;

    struct State {
        ComPtr<IDispatch> disp;
        QString name;
        std::unordered_map<std::u16string, DISPID> ids;
    };
    // Copies of a wrapper share the object and its looked-up ids.
    std::shared_ptr<State> state_;
};

}  // namespace kestview
