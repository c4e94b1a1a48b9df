// Dispatch: a late-bound client of one automation object. Members are looked up in the object's
// type information; properties are read and written as attributes, methods are called with
// positional arguments, out values come back as the call's result.
#pragma once

#include <pybind11/pybind11.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "oleaut/comptr.h"
#include "oleaut/oaidl.h"
#include "type_members.h"

namespace pyoleaut {

namespace py = pybind11;

// How one member is called: its dispatch id and invoke flags, and its description when the
// object has type information (null otherwise).
struct CallTarget {
    DISPID id = DISPID_UNKNOWN;
    WORD flags = DISPATCH_METHOD;
    const MemberInfo* info = nullptr;
    std::u16string name;
};

class DispatchClient {
public:
    explicit DispatchClient(ComPtr<IDispatch> disp);

    // Creates an object by ProgID in this process, or (with a host name) on a remote host.
    static DispatchClient create(py::str progid, std::optional<py::str> host);

    IDispatch* get() const { return disp_.get(); }
    // The members from the object's type information (read on first use); null without it.
    std::shared_ptr<const TypeMembers> members() const;
    // The interface's name from the type information, or "Dispatch".
    std::u16string interfaceName() const;

    // `self` is the Python object wrapping this client; methods stay bound to it.
    py::object getAttr(py::object self, py::str name) const;
    void setAttr(py::str name, py::handle value) const;
    py::object callDefault(const py::args& args) const;
    py::object iterate() const;
    py::object invoke(const CallTarget& target, const py::args& args) const;

    py::list dir() const;
    py::str doc() const;
    std::string repr() const;
    bool sameObject(const DispatchClient& other) const;
    std::size_t identity() const;

    // Connections made by oleaut.advise through this object, by cookie.
    std::map<DWORD, IID>& connections() const { return *connections_; }

    // Raises oleaut.Error (RPC_E_WRONG_THREAD) when called off the thread that owns the object.
    void checkApartment() const;

private:
    // Invokes with the GIL released; throws AutomationError on a failure status.
    HRESULT rawInvoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result, std::u16string_view name) const;
    // The dispatch id of a name through GetIDsOfNames; nullopt when the object does not know it.
    std::optional<DISPID> idOfName(const std::u16string& name) const;

    ComPtr<IDispatch> disp_;
    std::thread::id owner_;
    mutable std::shared_ptr<const TypeMembers> members_;
    mutable bool membersRead_ = false;
    std::shared_ptr<std::map<DWORD, IID>> connections_ = std::make_shared<std::map<DWORD, IID>>();
};

// A member that takes arguments, bound to its object: `adapters.Item` in `adapters.Item(1)`.
class BoundMember {
public:
    BoundMember(py::object owner, CallTarget target, std::shared_ptr<const TypeMembers> keep)
        : owner_(std::move(owner)), target_(std::move(target)), keep_(std::move(keep)) {}
    py::object call(const py::args& args) const;
    std::string repr() const;
    py::str doc() const;

private:
    py::object owner_;  // the Dispatch object
    CallTarget target_;
    std::shared_ptr<const TypeMembers> keep_;  // keeps target_.info alive
};

// An iterator over a collection's _NewEnum enumerator.
class EnumIterator {
public:
    explicit EnumIterator(ComPtr<IEnumVARIANT> e) : enum_(std::move(e)), owner_(std::this_thread::get_id()) {}
    py::object next();

private:
    ComPtr<IEnumVARIANT> enum_;
    std::thread::id owner_;
};

// A Python Dispatch object for an interface pointer (which it references).
py::object wrapDispatch(ComPtr<IDispatch> disp);

// Initialises this thread's apartment on first use.
void ensureApartment();

}  // namespace pyoleaut
