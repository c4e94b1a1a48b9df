// SAFEARRAY: one-dimensional arrays with a lower bound, owning their elements (texts, interface
// references and variants are released with the array).
#include <cstdlib>
#include <cstring>
#include <new>

#include "variant_values.h"

using namespace oleaut::detail;

namespace {

constexpr ULONG kMaxLocks = 0xFFFF;

USHORT featuresFor(VARTYPE vt) {
    USHORT f = FADF_HAVEVARTYPE;
    if (vt == VT_BSTR) f |= FADF_BSTR;
    if (vt == VT_UNKNOWN) f |= FADF_UNKNOWN;
    if (vt == VT_DISPATCH) f |= FADF_DISPATCH;
    if (vt == VT_VARIANT) f |= FADF_VARIANT;
    return f;
}

bool isElementType(VARTYPE vt) { return (vt & ~VT_TYPEMASK) == 0 && valueSize(vt) != 0; }

bool isArray(const SAFEARRAY* psa) { return psa && psa->cDims == 1; }

void* elementAt(SAFEARRAY* psa, ULONG position) {
    return static_cast<unsigned char*>(psa->pvData) + std::size_t(position) * psa->cbElements;
}

// The position of index in the array, or DISP_E_BADINDEX.
HRESULT positionOf(const SAFEARRAY* psa, const LONG* indices, ULONG& position) {
    if (!indices) return E_INVALIDARG;
    const std::int64_t offset = std::int64_t(indices[0]) - psa->rgsabound[0].lLbound;
    if (offset < 0 || offset >= std::int64_t(psa->rgsabound[0].cElements)) return DISP_E_BADINDEX;
    position = ULONG(offset);
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
        VariantClear(static_cast<VARIANT*>(element));
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

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    if (cDims != 1 || !rgsabound || !isElementType(vt)) return nullptr;
    auto* psa = new (std::nothrow) SAFEARRAY{};
    if (!psa) return nullptr;
    psa->cDims = 1;
    psa->fFeatures = featuresFor(vt);
    psa->cbElements = ULONG(valueSize(vt));
    psa->vt = vt;
    psa->rgsabound[0] = rgsabound[0];
    if (rgsabound[0].cElements > 0) {
        psa->pvData = std::calloc(rgsabound[0].cElements, psa->cbElements);
        if (!psa->pvData) {
            delete psa;
            return nullptr;
        }
    }
    return psa;
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) {
    if (!psa) return S_OK;
    if (!isArray(psa)) return E_INVALIDARG;
    if (psa->cLocks > 0) return DISP_E_ARRAYISLOCKED;
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) releaseElement(psa->vt, elementAt(psa, i));
    std::free(psa->pvData);
    delete psa;
    return S_OK;
}

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) {
    if (!ppsaOut) return E_INVALIDARG;
    *ppsaOut = nullptr;
    if (!psa) return S_OK;
    if (!isArray(psa)) return E_INVALIDARG;
    SAFEARRAY* copy = SafeArrayCreate(psa->vt, 1, psa->rgsabound);
    if (!copy) return E_OUTOFMEMORY;
    for (ULONG i = 0; i < psa->rgsabound[0].cElements; ++i) {
        if (const HRESULT hr = copyElement(psa->vt, elementAt(psa, i), elementAt(copy, i)); FAILED(hr)) {
            SafeArrayDestroy(copy);
            return hr;
        }
    }
    *ppsaOut = copy;
    return S_OK;
}

UINT SafeArrayGetDim(SAFEARRAY* psa) { return psa ? psa->cDims : 0; }

UINT SafeArrayGetElemsize(SAFEARRAY* psa) { return psa ? psa->cbElements : 0; }

HRESULT SafeArrayGetLBound(SAFEARRAY* psa, UINT nDim, LONG* plLbound) {
    if (!isArray(psa) || !plLbound) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    *plLbound = psa->rgsabound[0].lLbound;
    return S_OK;
}

HRESULT SafeArrayGetUBound(SAFEARRAY* psa, UINT nDim, LONG* plUbound) {
    if (!isArray(psa) || !plUbound) return E_INVALIDARG;
    if (nDim != 1) return DISP_E_BADINDEX;
    *plUbound = LONG(std::int64_t(psa->rgsabound[0].lLbound) + psa->rgsabound[0].cElements - 1);
    return S_OK;
}

HRESULT SafeArrayGetVartype(SAFEARRAY* psa, VARTYPE* pvt) {
    if (!isArray(psa) || !pvt || !(psa->fFeatures & FADF_HAVEVARTYPE)) return E_INVALIDARG;
    *pvt = psa->vt;
    return S_OK;
}

HRESULT SafeArrayLock(SAFEARRAY* psa) {
    if (!isArray(psa)) return E_INVALIDARG;
    if (psa->cLocks >= kMaxLocks) return E_UNEXPECTED;
    ++psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayUnlock(SAFEARRAY* psa) {
    if (!isArray(psa)) return E_INVALIDARG;
    if (psa->cLocks == 0) return E_UNEXPECTED;
    --psa->cLocks;
    return S_OK;
}

HRESULT SafeArrayAccessData(SAFEARRAY* psa, void** ppvData) {
    if (!ppvData) return E_INVALIDARG;
    *ppvData = nullptr;
    if (const HRESULT hr = SafeArrayLock(psa); FAILED(hr)) return hr;
    *ppvData = psa->pvData;
    return S_OK;
}

HRESULT SafeArrayUnaccessData(SAFEARRAY* psa) { return SafeArrayUnlock(psa); }

HRESULT SafeArrayGetElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!isArray(psa) || !pv) return E_INVALIDARG;
    ULONG position = 0;
    if (const HRESULT hr = positionOf(psa, rgIndices, position); FAILED(hr)) return hr;
    return copyElement(psa->vt, elementAt(psa, position), pv);
}

// pv is the value itself for texts and interfaces (a BSTR, an IUnknown*), otherwise a pointer to it.
HRESULT SafeArrayPutElement(SAFEARRAY* psa, LONG* rgIndices, void* pv) {
    if (!isArray(psa)) return E_INVALIDARG;
    const bool byValue = psa->vt == VT_BSTR || psa->vt == VT_DISPATCH || psa->vt == VT_UNKNOWN;
    if (!byValue && !pv) return E_INVALIDARG;
    ULONG position = 0;
    if (const HRESULT hr = positionOf(psa, rgIndices, position); FAILED(hr)) return hr;
    alignas(VARIANT) unsigned char fresh[sizeof(VARIANT)] = {};
    if (const HRESULT hr = copyElement(psa->vt, byValue ? static_cast<const void*>(&pv) : pv, fresh); FAILED(hr))
        return hr;
    void* element = elementAt(psa, position);
    releaseElement(psa->vt, element);
    std::memcpy(element, fresh, psa->cbElements);
    return S_OK;
}
