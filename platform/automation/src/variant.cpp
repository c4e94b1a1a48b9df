// VARIANT life cycle: initialisation, clearing, copies.
#include <cstring>

#include "variant_values.h"

namespace oleaut::detail {

HRESULT copyDereferenced(const VARIANT& src, VARIANT& out) {
    emptyVariant(out);
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
    emptyVariant(view);
    view.vt = base;
    if (base & VT_ARRAY)
        view.parray = *src.pparray;
    else
        std::memcpy(&view.llVal, src.byref, valueSize(base));
    return copyVariant(view, out);
}

HRESULT replaceVariant(VARIANT* dest, VARIANT& fresh) {
    if (const HRESULT hr = dest ? clearVariant(*dest) : E_INVALIDARG; FAILED(hr)) {
        clearVariant(fresh);
        return hr;
    }
    *dest = fresh;
    emptyVariant(fresh);
    return S_OK;
}

}  // namespace oleaut::detail

using namespace oleaut::detail;

void VariantInit(VARIANTARG* pvarg) {
    if (pvarg) emptyVariant(*pvarg);
}

HRESULT VariantClear(VARIANTARG* pvarg) { return pvarg ? clearVariant(*pvarg) : E_INVALIDARG; }

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
