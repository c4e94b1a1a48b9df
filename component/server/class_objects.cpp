// The library's exports for the component runtime: class objects and unloading.
#include "adapters/adapter.h"
#include "adapters/adapters.h"
#include "baseband/bbp_reg.h"
#include "baseband/bbp_regs.h"
#include "firmware/firmware_object.h"
#include "firmware/pda_object.h"
#include "firmware/pdr_object.h"
#include "oleaut/objbase.h"
#include "records/rid.h"
#include "records/rids.h"
#include "server/module.h"
#include "tallies/tallies.h"
#include "vireo/vireo.h"

namespace direzo {

namespace {

template <class T>
HRESULT classObject(REFIID riid, void** ppv) {
    auto* factory = new (std::nothrow) oleaut::ClassFactory<T>();
    if (!factory) return E_OUTOFMEMORY;
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

template <class... T>
HRESULT findClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    HRESULT hr = CLASS_E_CLASSNOTAVAILABLE;
    ((clsid == T::kClass.clsid ? (hr = classObject<T>(riid, ppv), true) : false) || ...);
    return hr;
}

}  // namespace

}  // namespace direzo

extern "C" __attribute__((visibility("default"))) HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    using namespace direzo;
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    return findClassObject<Adapter, Adapters, Vireo, BBPReg, BBPRegs, Rids, Rid, PDA, PDR, Firmware, Tallies>(
        clsid, riid, ppv);
}

extern "C" __attribute__((visibility("default"))) HRESULT DllCanUnloadNow() {
    return direzo::module().canUnload() ? S_OK : S_FALSE;
}

// The type library, for clients that load it through its registration.
extern "C" __attribute__((visibility("default"))) HRESULT DllGetTypeLib(ITypeLib** out) {
    if (!out) return E_POINTER;
    *out = direzo::typeLibrary();
    if (!*out) return E_FAIL;
    (*out)->AddRef();
    return S_OK;
}
