// SAFEARRAY: one-dimensional arrays with a lower bound, owning their elements (texts, interface
// references and variants are released with the array).
#include <cstring>

#include "value_ownership.h"

using namespace oleaut::detail;

namespace {

constexpr ULONG kMaxLocks = 0xFFFF;

// The position of index in the array, or DISP_E_BADINDEX.
HRESULT positionOf(const SAFEARRAY* psa, const LONG* indices, ULONG& position) {
    if (!indices) return E_INVALIDARG;
    const std::int64_t offset = std::int64_t(indices[0]) - psa->rgsabound[0].lLbound;
    if (offset < 0 || offset >= std::int64_t(psa->rgsabound[0].cElements)) return DISP_E_BADINDEX;
    position = ULONG(offset);
    return S_OK;
}

}  // namespace

SAFEARRAY* SafeArrayCreate(VARTYPE vt, UINT cDims, SAFEARRAYBOUND* rgsabound) {
    if (cDims != 1 || !rgsabound) return nullptr;
    return createArray(vt, rgsabound[0]);
}

SAFEARRAY* SafeArrayCreateVector(VARTYPE vt, LONG lLbound, ULONG cElements) {
    SAFEARRAYBOUND bound{cElements, lLbound};
    return SafeArrayCreate(vt, 1, &bound);
}

HRESULT SafeArrayDestroy(SAFEARRAY* psa) { return destroyArray(psa); }

HRESULT SafeArrayCopy(SAFEARRAY* psa, SAFEARRAY** ppsaOut) { return copyArray(psa, ppsaOut); }

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
