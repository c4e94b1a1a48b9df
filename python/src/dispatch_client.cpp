#include "dispatch_client.h"

#include <string>
#include <vector>

#include "convert.h"
#include "errors.h"
#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"
#include "text.h"
#include "variant.h"

namespace pyoleaut {

namespace {

// Exception information of one call; its texts are freed with it.
struct ExcepInfo {
    EXCEPINFO e{};
    ~ExcepInfo() {
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrHelpFile);
    }
};

[[noreturn]] void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw py::error_already_set();
}

bool isDunder(std::u16string_view name) { return name.size() > 1 && name[0] == u'_' && name[1] == u'_'; }

std::string argumentName(std::size_t position, std::u16string_view member) {
    return "argument " + std::to_string(position) + " of " + toUtf8(member);
}

// Statuses with which a parameterless property get fails on a member that is a method.
bool meansNotAProperty(HRESULT hr) {
    return hr == DISP_E_MEMBERNOTFOUND || hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTOPTIONAL;
}

}  // namespace

void ensureApartment() {
    thread_local bool initialised = false;
    if (initialised) return;
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) throwStatus(hr, u"initialising the object runtime on this thread");
    initialised = true;
}

py::object wrapDispatch(ComPtr<IDispatch> disp) { return py::cast(DispatchClient(std::move(disp))); }

DispatchClient::DispatchClient(ComPtr<IDispatch> disp) : disp_(std::move(disp)), owner_(std::this_thread::get_id()) {}

DispatchClient DispatchClient::create(py::str progid, std::optional<py::str> host) {
    ensureApartment();
    clearErrorObject();
    const std::u16string id = toUtf16(progid);
    std::u16string context = u"creating " + id;
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(id.c_str(), &clsid);
    if (FAILED(hr)) throwStatus(hr, context);
    ComPtr<IDispatch> disp;
    if (!host) {
        hr = CoCreateInstance(clsid, nullptr, CLSCTX_SERVER, IID_IDispatch, disp.putVoid());
    } else {
        std::u16string server = toUtf16(*host);
        context += u" on " + server;
        COSERVERINFO info{0, server.data(), nullptr, 0};
        MULTI_QI qi{&IID_IDispatch, nullptr, S_OK};
        hr = CoCreateInstanceEx(clsid, nullptr, CLSCTX_REMOTE_SERVER, &info, 1, &qi);
        if (SUCCEEDED(hr)) hr = qi.hr;
        if (SUCCEEDED(hr)) disp = ComPtr<IDispatch>::attach(static_cast<IDispatch*>(qi.pItf));
        else if (qi.pItf) qi.pItf->Release();
    }
    if (FAILED(hr)) throwStatus(hr, context);
    if (!disp) throwStatus(E_NOINTERFACE, context);
    setLastStatus(hr);
    return DispatchClient(std::move(disp));
}

void DispatchClient::checkApartment() const {
    if (std::this_thread::get_id() != owner_) {
        setLastStatus(RPC_E_WRONG_THREAD);
        throw AutomationError{RPC_E_WRONG_THREAD, describeStatus(RPC_E_WRONG_THREAD), {}};
    }
}

std::shared_ptr<const TypeMembers> DispatchClient::members() const {
    if (!membersRead_) {
        checkApartment();
        UINT count = 0;
        ComPtr<ITypeInfo> info;
        if (SUCCEEDED(disp_->GetTypeInfoCount(&count)) && count > 0 &&
            SUCCEEDED(disp_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put())))
            members_ = readTypeMembers(info.get());
        membersRead_ = true;
    }
    return members_;
}

std::u16string DispatchClient::interfaceName() const {
    auto m = members();
    return m && !m->name.empty() ? m->name : u"Dispatch";
}

std::optional<DISPID> DispatchClient::idOfName(const std::u16string& name) const {
    checkApartment();
    std::u16string copy = name;
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    if (FAILED(disp_->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id))) return std::nullopt;
    return id;
}

HRESULT DispatchClient::rawInvoke(DISPID id, WORD flags, DISPPARAMS& params, VARIANT* result,
                                  std::u16string_view name) const {
    checkApartment();
    ExcepInfo excep;
    UINT argErr = UINT(-1);
    clearErrorObject();
    HRESULT hr;
    {
        py::gil_scoped_release release;
        hr = disp_->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep.e, &argErr);
    }
    setLastStatus(hr);
    raisePendingInterrupt();
    if (SUCCEEDED(hr)) return hr;
    if (hr == DISP_E_EXCEPTION) {
        if (excep.e.pfnDeferredFillIn) excep.e.pfnDeferredFillIn(&excep.e);
        const HRESULT code = excep.e.scode != 0 ? excep.e.scode : hr;
        clearErrorObject();
        setLastStatus(code);
        AutomationError e{code, std::u16string(BStr::view(excep.e.bstrDescription)),
                          std::u16string(BStr::view(excep.e.bstrSource))};
        if (e.description.empty()) e.description = std::u16string(name) + u": " + describeStatus(code);
        throw e;
    }
    std::u16string context(name);
    const bool aboutArgument = hr == DISP_E_TYPEMISMATCH || hr == DISP_E_PARAMNOTFOUND || hr == DISP_E_OVERFLOW;
    if (aboutArgument && argErr < params.cArgs && params.cNamedArgs == 0)
        context = asciiText(argumentName(params.cArgs - argErr, u"")) + std::u16string(name);
    throwStatus(hr, context);
}

py::object DispatchClient::invoke(const CallTarget& target, const py::args& args) const {
    const MemberInfo* m = target.info;
    if (!m) {  // no type information: the arguments go in as given, the result comes back
        const std::size_t n = args.size();
        VariantArray in(n);
        for (std::size_t i = 0; i < n; ++i) toVariant(args[i], in[n - 1 - i], argumentName(i + 1, target.name));
        DISPPARAMS dp{in.data(), nullptr, UINT(n), 0};
        Variant result;
        const HRESULT hr = rawInvoke(target.id, target.flags, dp, result.get(), target.name);
        if (result->vt != VT_EMPTY) return fromVariant(*result);
        return statusToPython(hr);
    }

    if (args.size() != m->inCount())
        raise(PyExc_TypeError, toUtf8(m->name) + "() takes " + std::to_string(m->inCount()) +
                                   " argument" + (m->inCount() == 1 ? "" : "s") + " (" +
                                   std::to_string(args.size()) + " given): " + toUtf8(m->signature()));

    // Every parameter but the retval is passed; out parameters by reference to a VARIANT of ours.
    std::vector<const ParamInfo*> passed;
    const ParamInfo* retval = nullptr;
    for (const auto& p : m->params) {
        if (p.isRetval()) retval = &p;
        else passed.push_back(&p);
    }
    const std::size_t n = passed.size();
    VariantArray outs(n);
    VariantArray argv(n);
    struct DropReferences {  // by-reference slots must not be cleared as values
        VariantArray& argv;
        ~DropReferences() {
            for (std::size_t i = 0; i < argv.size(); ++i)
                if (argv[i].vt & VT_BYREF) argv[i].vt = VT_EMPTY;
        }
    } drop{argv};
    std::size_t k = 0;
    for (std::size_t j = 0; j < n; ++j) {
        VARIANT& slot = argv[n - 1 - j];
        if (passed[j]->isOut()) {
            slot.vt = VT_BYREF | VT_VARIANT;
            slot.pvarVal = &outs[j];
        } else {
            toVariant(args[k], slot, argumentName(k + 1, m->name));
            ++k;
        }
    }
    DISPPARAMS dp{argv.data(), nullptr, UINT(n), 0};
    Variant result;
    const HRESULT hr = rawInvoke(target.id, target.flags, dp, result.get(), m->name);

    std::vector<py::object> values;
    for (std::size_t j = 0; j < n; ++j)
        if (passed[j]->isOut()) values.push_back(fromVariant(outs[j]));
    if (retval) values.push_back(fromVariant(*result));
    if (values.empty()) return statusToPython(hr);
    if (values.size() == 1) return values.front();
    py::tuple t(values.size());
    for (std::size_t i = 0; i < values.size(); ++i) t[i] = values[i];
    return t;
}

py::object DispatchClient::getAttr(py::object self, py::str pyName) const {
    const std::u16string name = toUtf16(pyName);
    const std::string shown = toUtf8(name);
    if (isDunder(name)) raise(PyExc_AttributeError, shown);
    if (auto t = members()) {
        if (const MemberInfo* m = t->find(name, INVOKE_PROPERTYGET); m && m->inCount() == 0)
            return invoke(CallTarget{m->id, DISPATCH_PROPERTYGET, m, m->name}, py::args());
        if (const MemberInfo* m = t->find(name, INVOKE_FUNC))
            return py::cast(BoundMember(self, CallTarget{m->id, DISPATCH_METHOD, m, m->name}, t));
        if (const MemberInfo* m = t->find(name, INVOKE_PROPERTYGET))
            return py::cast(BoundMember(self, CallTarget{m->id, DISPATCH_PROPERTYGET, m, m->name}, t));
        if (t->has(name)) raise(PyExc_AttributeError, toUtf8(t->name) + "." + shown + " is a write-only property");
        raise(PyExc_AttributeError, "'" + toUtf8(t->name) + "' object has no member '" + shown + "'");
    }
    const auto id = idOfName(name);
    if (!id) raise(PyExc_AttributeError, "the object has no member '" + shown + "'");
    // Without type information: a property when a parameterless get answers, else a method.
    try {
        return invoke(CallTarget{*id, DISPATCH_PROPERTYGET, nullptr, name}, py::args());
    } catch (const AutomationError& e) {
        if (!meansNotAProperty(e.hr)) throw;
    }
    return py::cast(BoundMember(self, CallTarget{*id, WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET), nullptr, name}, nullptr));
}

void DispatchClient::setAttr(py::str pyName, py::handle value) const {
    const std::u16string name = toUtf16(pyName);
    const std::string shown = toUtf8(name);
    if (isDunder(name)) raise(PyExc_AttributeError, "cannot set " + shown + " on an automation object");
    CallTarget target{DISPID_UNKNOWN, DISPATCH_PROPERTYPUT, nullptr, name};
    if (auto t = members()) {
        const MemberInfo* m = t->find(name, INVOKE_PROPERTYPUT);
        if (!m && (m = t->find(name, INVOKE_PROPERTYPUTREF))) target.flags = DISPATCH_PROPERTYPUTREF;
        if (!m) {
            if (t->has(name)) raise(PyExc_AttributeError, toUtf8(t->name) + "." + shown + " is read-only");
            raise(PyExc_AttributeError, "'" + toUtf8(t->name) + "' object has no member '" + shown + "'");
        }
        if (m->inCount() != 1)
            raise(PyExc_TypeError, toUtf8(t->name) + "." + shown + " takes arguments and cannot be assigned");
        target.id = m->id;
        target.name = m->name;
    } else {
        const auto id = idOfName(name);
        if (!id) raise(PyExc_AttributeError, "the object has no member '" + shown + "'");
        target.id = *id;
    }
    Variant v;
    toVariant(value, *v, "value of " + toUtf8(target.name));
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS dp{v.get(), &named, 1, 1};
    rawInvoke(target.id, target.flags, dp, nullptr, target.name);
}

py::object DispatchClient::callDefault(const py::args& args) const {
    if (auto t = members()) {
        const MemberInfo* m = t->findId(DISPID_VALUE);
        if (!m) raise(PyExc_TypeError, "'" + toUtf8(t->name) + "' object has no default member to call");
        const WORD flags = m->kind == INVOKE_FUNC ? DISPATCH_METHOD : DISPATCH_PROPERTYGET;
        return invoke(CallTarget{m->id, flags, m, m->name}, args);
    }
    return invoke(CallTarget{DISPID_VALUE, WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET), nullptr, u"(default member)"}, args);
}

py::object DispatchClient::iterate() const {
    auto t = members();
    if (t && !t->findId(DISPID_NEWENUM))
        raise(PyExc_TypeError, "'" + toUtf8(t->name) + "' object is not a collection (it has no _NewEnum)");
    DISPPARAMS dp{nullptr, nullptr, 0, 0};
    Variant result;
    try {
        rawInvoke(DISPID_NEWENUM, WORD(DISPATCH_METHOD | DISPATCH_PROPERTYGET), dp, result.get(), u"_NewEnum");
    } catch (const AutomationError& e) {
        if (t || e.hr != DISP_E_MEMBERNOTFOUND) throw;
        raise(PyExc_TypeError, "the object is not a collection (it has no _NewEnum)");
    }
    IUnknown* unk = result->vt == VT_UNKNOWN ? result->punkVal : result->vt == VT_DISPATCH ? result->pdispVal : nullptr;
    ComPtr<IEnumVARIANT> e;
    if (!unk || FAILED(unk->QueryInterface(IID_IEnumVARIANT, e.putVoid())) || !e)
        throw AutomationError{E_NOINTERFACE, u"_NewEnum did not return an enumerator", {}};
    return py::cast(EnumIterator(std::move(e)));
}

py::object EnumIterator::next() {
    if (std::this_thread::get_id() != owner_)
        throw AutomationError{RPC_E_WRONG_THREAD, describeStatus(RPC_E_WRONG_THREAD), {}};
    Variant item;
    ULONG fetched = 0;
    HRESULT hr;
    {
        py::gil_scoped_release release;
        hr = enum_->Next(1, item.get(), &fetched);
    }
    if (FAILED(hr)) throwStatus(hr, u"enumerating the collection");
    if (hr == S_FALSE || fetched == 0) throw py::stop_iteration();
    return fromVariant(*item);
}

py::list DispatchClient::dir() const {
    py::list out;
    if (auto t = members())
        for (const auto& n : t->names()) out.append(toPython(n));
    return out;
}

py::str DispatchClient::doc() const {
    auto t = members();
    if (!t) return py::str("automation object without type information: members are found by name when used");
    return toPython(t->describe());
}

std::string DispatchClient::repr() const {
    char addr[32];
    std::snprintf(addr, sizeof addr, "%p", static_cast<void*>(disp_.get()));
    return "<oleaut.Dispatch " + toUtf8(interfaceName()) + " at " + addr + ">";
}

std::size_t DispatchClient::identity() const {
    ComPtr<IUnknown> unk;
    disp_->QueryInterface(IID_IUnknown, unk.putVoid());
    return reinterpret_cast<std::size_t>(unk.get());
}

bool DispatchClient::sameObject(const DispatchClient& other) const { return identity() == other.identity(); }

py::object BoundMember::call(const py::args& args) const {
    return owner_.cast<const DispatchClient&>().invoke(target_, args);
}

std::string BoundMember::repr() const {
    const auto& client = owner_.cast<const DispatchClient&>();
    const std::u16string sig = target_.info ? target_.info->signature() : target_.name + u"(...)";
    return "<oleaut member " + toUtf8(client.interfaceName()) + "." + toUtf8(sig) + ">";
}

py::str BoundMember::doc() const {
    if (!target_.info) return toPython(target_.name + u"(...): no type information");
    std::u16string text = target_.info->signature();
    if (!target_.info->doc.empty()) text += u"\n\n" + target_.info->doc;
    return toPython(text);
}

}  // namespace pyoleaut
