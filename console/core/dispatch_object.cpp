#include "dispatch_object.h"

#include <vector>

#include "automation_error.h"
#include "oleaut/oleauto.h"

namespace kestview {

namespace {

struct ExcepInfo {
    EXCEPINFO e{};
    ~ExcepInfo() {
        SysFreeString(e.bstrSource);
        SysFreeString(e.bstrDescription);
        SysFreeString(e.bstrHelpFile);
    }
};

void clearErrorObject() {
    ComPtr<IErrorInfo> stale;
    GetErrorInfo(0, stale.put());
}

}  // namespace

DispatchObject::DispatchObject(ComPtr<IDispatch> disp, QString interfaceName)
    : state_(std::make_shared<State>(State{std::move(disp), std::move(interfaceName), {}})) {}

bool DispatchObject::sameObject(const DispatchObject& other) const {
    if (!*this || !other) return false;
    ComPtr<IUnknown> a, b;
    dispatch()->QueryInterface(IID_IUnknown, a.putVoid());
    other.dispatch()->QueryInterface(IID_IUnknown, b.putVoid());
    return a && a.get() == b.get();
}

DISPID DispatchObject::idOf(const char16_t* name) const {
    if (!*this) raiseConsoleError(kObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
    const std::u16string key(name);
    if (auto it = state_->ids.find(key); it != state_->ids.end()) return it->second;
    std::u16string copy = key;
    LPOLESTR names[] = {copy.data()};
    DISPID id = DISPID_UNKNOWN;
    clearErrorObject();
    if (const HRESULT hr = state_->disp->GetIDsOfNames(GUID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); FAILED(hr))
        fail(hr, name, nullptr);
    state_->ids.emplace(key, id);
    return id;
}

DispatchObject::Result DispatchObject::get(const char16_t* name, std::initializer_list<Variant> args) const {
    return invoke(name, DISPATCH_PROPERTYGET | (args.size() ? DISPATCH_METHOD : 0), args, nullptr);
}

HRESULT DispatchObject::put(const char16_t* name, const Variant& value) const {
    return invoke(name, DISPATCH_PROPERTYPUT, {}, &value).status;
}

DispatchObject::Result DispatchObject::call(const char16_t* name, std::initializer_list<Variant> args) const {
    return invoke(name, DISPATCH_METHOD, args, nullptr);
}

std::vector<Variant> DispatchObject::enumerate() const {
    if (!*this) raiseConsoleError(kObjectNotSet, QStringLiteral("Object variable or With block variable not set"));
    // _NewEnum has its fixed dispatch id.
    state_->ids.try_emplace(u"_NewEnum", DISPID_NEWENUM);
    Result r = get(u"_NewEnum");
    ComPtr<IUnknown> unknown;
    if (r.value.type() == VT_UNKNOWN || r.value.type() == VT_DISPATCH) unknown = ComPtr<IUnknown>(r.value.get()->punkVal);
    ComPtr<IEnumVARIANT> e;
    if (unknown) unknown->QueryInterface(IID_IEnumVARIANT, e.putVoid());
    if (!e) fail(E_NOINTERFACE, u"_NewEnum", nullptr);
    std::vector<Variant> items;
    for (;;) {
        Variant item;
        ULONG fetched = 0;
        if (e->Next(1, item.get(), &fetched) != S_OK || fetched != 1) break;
        items.push_back(std::move(item));
    }
    return items;
}

DispatchObject::Result DispatchObject::invoke(const char16_t* name, WORD flags, std::initializer_list<Variant> args,
                                              const Variant* putValue) const {
    const DISPID id = idOf(name);
    // Invoke takes the arguments last first; a put's value goes last and is named DISPID_PROPERTYPUT.
    std::vector<VARIANT> reversed;
    reversed.reserve(args.size() + 1);
    if (putValue) reversed.push_back(*putValue->get());
    for (auto it = std::rbegin(args); it != std::rend(args); ++it) reversed.push_back(*it->get());
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.data(), putValue ? &putId : nullptr, UINT(reversed.size()), putValue ? 1u : 0u};
    Result r;
    ExcepInfo excep;
    UINT argErr = 0;
    clearErrorObject();
    const HRESULT hr = state_->disp->Invoke(id, GUID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                            putValue ? nullptr : r.value.get(), &excep.e, &argErr);
    if (FAILED(hr)) fail(hr, name, &excep.e);
    clearErrorObject();  // a status 1 may leave a message nobody asked for
    r.status = hr;
    return r;
}

void DispatchObject::fail(HRESULT hr, const char16_t* name, EXCEPINFO* excep) const {
    QString source, description;
    HRESULT number = hr;
    if (hr == DISP_E_EXCEPTION && excep) {
        if (excep->pfnDeferredFillIn) excep->pfnDeferredFillIn(excep);
        if (excep->scode) number = excep->scode;
        source = toQString(excep->bstrSource);
        description = toQString(excep->bstrDescription);
    } else {
        ComPtr<IErrorInfo> info;
        if (GetErrorInfo(0, info.put()) == S_OK && info) {
            BSTR b = nullptr;
            if (SUCCEEDED(info->GetSource(&b))) source = toQString(b);
            SysFreeString(b);
            b = nullptr;
            if (SUCCEEDED(info->GetDescription(&b))) description = toQString(b);
            SysFreeString(b);
        }
    }
    if (source.isEmpty()) source = state_->name;
    if (description.isEmpty())
        description = QStringLiteral("Method '%1' of object '%2' failed").arg(QString::fromUtf16(name), state_->name);
    throw AutomationError(number, source, description);
}

}  // namespace kestview
