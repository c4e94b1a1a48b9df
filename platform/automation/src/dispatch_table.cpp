// The table-driven IDispatch: dispatch ids, name lookup and member invocation over an
// InterfaceDesc.
#include <climits>
#include <cstring>

#include "error_info.h"
#include "oleaut/com_object.h"
#include "text.h"
#include "variant_values.h"

using namespace oleaut::detail;

namespace oleaut {

namespace {
bool isProperty(INVOKEKIND k) {
    return k == INVOKE_PROPERTYGET || k == INVOKE_PROPERTYPUT || k == INVOKE_PROPERTYPUTREF;
}
}  // namespace

void InterfaceDesc::assignDispids() {
    DISPID next = 1;
    for (std::size_t i = 0; i < members.size(); ++i) {
        MemberDesc& m = members[i];
        if (m.dispid != DISPID_UNKNOWN) continue;
        if (isProperty(m.kind)) {  // the other accessor of the same property shares its id
            for (std::size_t j = 0; j < i; ++j) {
                if (isProperty(members[j].kind) && members[j].kind != m.kind &&
                    equalsIgnoreCase(members[j].name, m.name) && members[j].dispid != DISPID_UNKNOWN) {
                    m.dispid = members[j].dispid;
                    break;
                }
            }
            if (m.dispid != DISPID_UNKNOWN) continue;
        }
        // Ids given in the table stay reserved: never hand one out twice.
        auto taken = [&](DISPID id) {
            for (const MemberDesc& o : members)
                if (o.dispid == id) return true;
            return false;
        };
        while (taken(next)) ++next;
        m.dispid = next++;
    }
}

const MemberDesc* InterfaceDesc::find(DISPID id, INVOKEKIND kind) const {
    for (const MemberDesc& m : members)
        if (m.dispid == id && m.kind == kind) return &m;
    return nullptr;
}

DISPID InterfaceDesc::dispidOf(std::u16string_view name) const {
    for (const MemberDesc& m : members)
        if (equalsIgnoreCase(m.name, name)) return m.dispid;
    return DISPID_UNKNOWN;
}

HRESULT dispatchGetIDsOfNames(const InterfaceDesc& desc, LPOLESTR* names, UINT count, DISPID* ids) {
    if (count == 0) return S_OK;
    if (!names || !ids) return E_INVALIDARG;
    for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
    const std::u16string_view memberName = viewOf(names[0]);
    const MemberDesc* member = nullptr;
    for (const MemberDesc& m : desc.members) {
        if (equalsIgnoreCase(m.name, memberName)) {
            member = &m;
            break;
        }
    }
    if (!member) return DISP_E_UNKNOWNNAME;
    ids[0] = member->dispid;
    // Further names are the member's parameters: their ids are their positions.
    HRESULT hr = S_OK;
    for (UINT i = 1; i < count; ++i) {
        for (std::size_t p = 0; p < member->params.size(); ++p)
            if (equalsIgnoreCase(member->params[p].name, viewOf(names[i]))) ids[i] = DISPID(p);
        if (ids[i] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
    }
    return hr;
}

namespace {

const MemberDesc* findCallable(const InterfaceDesc& desc, DISPID id, INVOKEKIND kind) {
    const MemberDesc* m = desc.find(id, kind);
    return m && m->invoke ? m : nullptr;
}

// The member a call with these flags means: a method or a property read for METHOD / PROPERTYGET,
// the property's put (or putref) accessor for PROPERTYPUT / PROPERTYPUTREF.
const MemberDesc* memberFor(const InterfaceDesc& desc, DISPID id, WORD flags) {
    const MemberDesc* m = nullptr;
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        if (flags & DISPATCH_PROPERTYPUTREF) m = findCallable(desc, id, INVOKE_PROPERTYPUTREF);
        if (!m && (flags & DISPATCH_PROPERTYPUT)) m = findCallable(desc, id, INVOKE_PROPERTYPUT);
        return m;
    }
    if (flags & DISPATCH_METHOD) m = findCallable(desc, id, INVOKE_FUNC);
    if (!m && (flags & DISPATCH_PROPERTYGET)) m = findCallable(desc, id, INVOKE_PROPERTYGET);
    return m;
}

// Failures the member's thunk reports about the arguments before the member runs.
bool isArgumentCountError(HRESULT hr) { return hr == DISP_E_BADPARAMCOUNT || hr == DISP_E_PARAMNOTOPTIONAL; }

}  // namespace

HRESULT dispatchInvoke(const InterfaceDesc& desc, IUnknown* itf, DISPID id, WORD flags, DISPPARAMS* params,
                       VARIANT* result, EXCEPINFO* excep, UINT* argErr) {
    if (!itf) return E_POINTER;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    if (!params) params = &none;
    if (params->cArgs > 0 && !params->rgvarg) return E_INVALIDARG;
    if (params->cNamedArgs > params->cArgs || (params->cNamedArgs > 0 && !params->rgdispidNamedArgs))
        return E_INVALIDARG;

    const MemberDesc* member = memberFor(desc, id, flags);
    if (!member) return DISP_E_MEMBERNOTFOUND;

    DISPPARAMS positional = *params;
    positional.rgdispidNamedArgs = nullptr;
    positional.cNamedArgs = 0;
    const bool put = member->kind == INVOKE_PROPERTYPUT || member->kind == INVOKE_PROPERTYPUTREF;
    if (put) {
        // The new value is the one named argument, DISPID_PROPERTYPUT; it stands first (last in order).
        if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT)
            return DISP_E_PARAMNOTFOUND;
        result = nullptr;
    } else {
        if (params->cNamedArgs > 0) return DISP_E_NONAMEDARGS;
        if (result) VariantInit(result);
    }

    SetErrorInfo(0, nullptr);  // a failure reports only what this call set
    UINT badArg = UINT_MAX;
    const HRESULT hr = member->invoke(itf, &positional, result, &badArg);
    if (SUCCEEDED(hr)) return hr;
    if (badArg != UINT_MAX || isArgumentCountError(hr)) {
        if (argErr && badArg != UINT_MAX) *argErr = badArg;
        return hr;
    }
    return reportInvokeFailure(hr, excep);
}

HRESULT reportInvokeFailure(HRESULT hr, EXCEPINFO* excepInfo) {
    if (!excepInfo) return hr;
    *excepInfo = EXCEPINFO{};
    excepInfo->scode = hr;
    if (ComPtr<IErrorInfo> info = peekErrorInfo()) {
        info->GetSource(&excepInfo->bstrSource);
        info->GetDescription(&excepInfo->bstrDescription);
        info->GetHelpFile(&excepInfo->bstrHelpFile);
        info->GetHelpContext(&excepInfo->dwHelpContext);
    }
    return DISP_E_EXCEPTION;
}

MemberDesc eventMember(std::u16string name, std::vector<ParamDesc> params, DISPID id) {
    MemberDesc d;
    d.name = std::move(name);
    d.dispid = id;
    d.kind = INVOKE_FUNC;
    d.params = std::move(params);
    return d;
}

namespace detail {

namespace {
bool isMissing(const VARIANT* v) { return v->vt == VT_ERROR && v->scode == DISP_E_PARAMNOTFOUND; }
}  // namespace

HRESULT coerceArgument(const VARIANT* src, VARTYPE vt, VARIANT* out) {
    if (!src || !out) return E_INVALIDARG;
    if (vt == VT_VARIANT) return VariantCopyInd(out, src);
    if (isMissing(src)) return DISP_E_PARAMNOTOPTIONAL;
    return VariantChangeType(out, src, 0, vt);
}

HRESULT outDestination(VARIANT* supplied, VARTYPE vt, VARIANT* retvalDest, VARIANT** dest) {
    if (!dest) return E_INVALIDARG;
    *dest = nullptr;
    if (!supplied || isMissing(supplied)) {
        *dest = retvalDest;  // nobody asked: the retval goes to the result, other values are dropped
        return S_OK;
    }
    if (supplied->vt != VARTYPE(VT_BYREF | vt) && supplied->vt != VARTYPE(VT_BYREF | VT_VARIANT))
        return DISP_E_TYPEMISMATCH;
    if (!supplied->byref) return E_POINTER;
    *dest = supplied;
    return S_OK;
}

void deliverOut(VARIANT* dest, VARIANT& value) {
    if (!(dest->vt & VT_BYREF)) {
        replaceVariant(dest, value);
        return;
    }
    if (dest->vt == VARTYPE(VT_BYREF | VT_VARIANT)) {
        replaceVariant(dest->pvarVal, value);
        return;
    }
    // A typed reference: release what it held, store the new value in its place.
    VARIANT old;
    VariantInit(&old);
    old.vt = dest->vt & ~VT_BYREF;
    const std::size_t size = (old.vt & VT_ARRAY) ? sizeof(SAFEARRAY*) : valueSize(old.vt);
    std::memcpy(&old.llVal, dest->byref, size);
    std::memcpy(dest->byref, &value.llVal, size);
    VariantInit(&value);
    VariantClear(&old);
}

}  // namespace detail
}  // namespace oleaut
