#include "value_ownership.h"

#include <cstdlib>
#include <cstring>
#include <new>

namespace oleaut::detail {

namespace {

USHORT featuresFor(VARTYPE vt) {
    USHORT f = FADF_HAVEVARTYPE;
    if (vt == VT_BSTR) f |= FADF_BSTR;
    if (vt == VT_UNKNOWN) f |= FADF_UNKNOWN;
    if (vt == VT_DISPATCH) f |= FADF_DISPATCH;
    if (vt == VT_VARIANT) f |= FADF_VARIANT;
    return f;
}

bool isElementType(VARTYPE vt) { return (vt & ~VT_TYPEMASK) == 0 && valueSize(vt) != 0; }

}  // namespace

void emptyVariant(VARIANT& v) {
    v.vt = VT_EMPTY;
    v.wReserved1 = v.wReserved2 = v.wReserved3 = 0;
    v.llVal = 0;
}

HRESULT copyVariant(const VARIANT& src, VARIANT& out) {
    emptyVariant(out);
    if (!isValidVarType(src.vt)) return DISP_E_BADVARTYPE;
    if (src.vt & VT_BYREF) {
        out = src;
        return S_OK;
    }
    if (src.vt & VT_ARRAY) {
        SAFEARRAY* copy = nullptr;
        if (const HRESULT hr = copyArray(src.parray, &copy); FAILED(hr)) return hr;
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

HRESULT clearVariant(VARIANT& v) {
    VARIANT* pvarg = &v;
    const VARTYPE vt = pvarg->vt;
    if (!isValidVarType(vt)) return DISP_E_BADVARTYPE;
    if (vt & VT_BYREF) {
        emptyVariant(*pvarg);  // the referenced value belongs to someone else
        return S_OK;
    }
    if (vt & VT_ARRAY) {
        if (const HRESULT hr = destroyArray(pvarg->parray); FAILED(hr)) return hr;
        emptyVariant(*pvarg);
        return S_OK;
    }
    VARIANT old = *pvarg;
    emptyVariant(*pvarg);  // empty before releasing, in case the release re-enters
    if (vt == VT_BSTR)
        SysFreeString(old.bstrVal);
    else if ((vt == VT_DISPATCH || vt == VT_UNKNOWN) && old.punkVal)
        old.punkVal->Release();
    return S_OK;
}

bool isArray(const SAFEARRAY* psa) { return psa && psa->cDims == 1; }

void* elementAt(SAFEARRAY* psa, ULONG position) {
    return static_cast<unsigned char*>(psa->pvData) + std::size_t(position) * psa->cbElements;
}

SAFEARRAY* createArray(VARTYPE vt, const SAFEARRAYBOUND& bound) {
    if (!isElementType(vt)) return nullptr;
    auto* psa = new (std::nothrow) SAFEARRAY{};
    if (!psa) return nullptr;
    psa->cDims = 1;
    psa->fFeatures = featuresFor(vt);
    psa->cbElements = ULONG(valueSize(vt));
    psa->vt = vt;
    psa->rgsabound[0] = bound;
    if (bound.cElements > 0) {
        psa->pvData = std::calloc(bound.cElements, psa->cbElements);
        if (!psa->pvData) {
            delete psa;
            return nullptr;
        }
    }
    return psa;
}

HRESULT destroyArray(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (!isArray(psa)) return E_INVALIDARG;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) releaseElement(psa->vt, elementAt(psa, i));
    std::free(psa->pvData);
    delete psa;
    return S_OK;
}

HRESULT copyArray(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    if (!isArray(psa)) return E_INVALIDARG;
    SAFEARRAY* copy = createArray(psa->vt, psa->rgsabound[0]);
    if (!copy) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
        if (const HRESULT hr = copyElement(psa->vt, elementAt(psa, i), elementAt(copy, i)); FAILED(hr)) {
            destroyArray(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

void releaseElement(VARTYPE vt, void* element) {
    switch (vt) {
    case VT_BSTR: {
        BSTR b;
        std::memcpy(&b, element, sizeof b);
        SysFreeString(b);
        break;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* p;
        std::memcpy(&p, element, sizeof p);
        if (p) p->Release();
        break;
    }
    case VT_VARIANT:
        clearVariant(*static_cast<VARIANT*>(element));
        break;
    default:
        break;
    }
    std::memset(element, 0, valueSize(vt));
}

// Copies one element's value (in its stored form) into dest, which holds nothing.
HRESULT copyElement(VARTYPE vt, const void* src, void* dest) {
    switch (vt) {
    case VT_BSTR: {
        BSTR b;
        std::memcpy(&b, src, sizeof b);
        BSTR copy = nullptr;
        if (b && !(copy = SysAllocStringByteLen(reinterpret_cast<const char*>(b), SysStringByteLen(b))))
            return E_OUTOFMEMORY;
        std::memcpy(dest, &copy, sizeof copy);
        return S_OK;
    }
    case VT_DISPATCH:
    case VT_UNKNOWN: {
        IUnknown* p;
        std::memcpy(&p, src, sizeof p);
        if (p) p->AddRef();
        std::memcpy(dest, &p, sizeof p);
        return S_OK;
    }
    case VT_VARIANT:
        return copyVariant(*static_cast<const VARIANT*>(src), *static_cast<VARIANT*>(dest));
    default:
        std::memcpy(dest, src, valueSize(vt));
        return S_OK;
    }
}

}  // namespace oleaut::detail
