// VARIANT life cycle: initialisation, clearing, copies.
#include <cstring>

#include "variant_values.h"

namespace oleaut::detail {

std::size_t valueSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return sizeof(void*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

bool isValidVarType(VARTYPE vt) {
    if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (base == VT_EMPTY || base == VT_NULL) return vt == base;
    if (base == VT_VARIANT) return vt != base;  // a variant holds another only by reference or in arrays
    return valueSize(base) != 0;
}

HRESULT copyVariant(const VARIANT& src, VARIANT& out) {
    VariantInit(&out);
    if (!isValidVarType(src.vt)) return DISP_E_BADVARTYPE;
    if (src.vt & VT_BYREF) {
        out = src;
        return S_OK;
    }
    if (src.vt & VT_ARRAY) {
        SAFEARRAY* copy = nullptr;
        if (const HRESULT hr = SafeArrayCopy(src.parray, &copy); FAILED(hr)) return hr;
        out.vt = src.vt;
        out.parray = copy;
        return S_OK;
    }
    switch (src.vt) {
    case VT_BSTR: {
        BSTR copy = nullptr;
        if (src.bstrVal) {
            copy = SysAllocStringByteLen(reinterpret_cast<const char*>(src.bstrVal), SysStringByteLen(src.bstrVal));
            if (!copy) return E_OUTOFMEMORY;
        }
        out.vt = VT_BSTR;
        out.bstrVal = copy;
        return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN:
        out = src;
        if (out.punkVal) out.punkVal->AddRef();
        return S_OK;
    default:
        out = src;
        return S_OK;
    }
}

HRESULT copyDereferenced(const VARIANT& src, VARIANT& out) {
    VariantInit(&out);
    if (!isValidVarType(src.vt)) return DISP_E_BADVARTYPE;
    if (!(src.vt & VT_BYREF)) return copyVariant(src, out);
    if (!src.byref) return E_INVALIDARG;
    const VARTYPE base = src.vt & ~VT_BYREF;
    if (base == VT_VARIANT) {
        const VARIANT& inner = *src.pvarVal;
        if (inner.vt & VT_BYREF) return E_INVALIDARG;  // references to references are not followed
        return copyVariant(inner, out);
    }
    VARIANT view;
    VariantInit(&view);
    view.vt = base;
    if (base & VT_ARRAY)
        view.parray = *src.pparray;
    else
        std::memcpy(&view.llVal, src.byref, valueSize(base));
    return copyVariant(view, out);
}

HRESULT replaceVariant(VARIANT* dest, VARIANT& fresh) {
    if (const HRESULT hr = VariantClear(dest); FAILED(hr)) {
        VariantClear(&fresh);
        return hr;
    }
    *dest = fresh;
    VariantInit(&fresh);
    return S_OK;
}

}  // namespace oleaut::detail

using namespace oleaut::detail;

void VariantInit(VARIANTARG* pvarg) {
    if (!pvarg) return;
    pvarg->vt = VT_EMPTY;
    pvarg->wReserved1 = pvarg->wReserved2 = pvarg->wReserved3 = 0;
    pvarg->llVal = 0;
}

HRESULT VariantClear(VARIANTARG* pvarg) {
    if (!pvarg) return E_INVALIDARG;
    const VARTYPE vt = pvarg->vt;
    if (!isValidVarType(vt)) return DISP_E_BADVARTYPE;
    if (vt & VT_BYREF) {
        VariantInit(pvarg);  // the referenced value belongs to someone else
        return S_OK;
    }
    if (vt & VT_ARRAY) {
        if (const HRESULT hr = SafeArrayDestroy(pvarg->parray); FAILED(hr)) return hr;
        VariantInit(pvarg);
        return S_OK;
    }
    VARIANT old = *pvarg;
    VariantInit(pvarg);  // empty before releasing, in case the release re-enters
    if (vt == VT_BSTR)
        SysFreeString(old.bstrVal);
    else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && old.punkVal)
        old.punkVal->Release();
    return S_OK;
}

HRESULT VariantCopy(VARIANTARG* pvargDest, const VARIANTARG* pvargSrc) {
    if (!pvargDest || !pvargSrc) return E_INVALIDARG;
    if (pvargDest == pvargSrc) return isValidVarType(pvargSrc->vt) ? S_OK : DISP_E_BADVARTYPE;
    VARIANT copy;
    if (const HRESULT hr = copyVariant(*pvargSrc, copy); FAILED(hr)) return hr;
    return replaceVariant(pvargDest, copy);
}

HRESULT VariantCopyInd(VARIANT* pvarDest, const VARIANTARG* pvargSrc) {
    if (!pvarDest || !pvargSrc) return E_INVALIDARG;
    VARIANT copy;
    if (const HRESULT hr = copyDereferenced(*pvargSrc, copy); FAILED(hr)) return hr;
    return replaceVariant(pvarDest, copy);
}
