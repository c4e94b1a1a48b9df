// Class lookup through HKEY_CLASSES_ROOT and object creation in in-process servers.
#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <cstring>

#include "apartment.h"
#include "guid_text.h"
#include "oleaut/objbase.h"
#include "oleaut/comptr.h"
#include "registry_key.h"
#include "server_libraries.h"
#include "text.h"

using namespace oleaut::detail;

namespace {

constexpr int kMaxCurVerHops = 8;  // ProgID -> CurVer -> ...; more means a loop

// A registry read that failed for a reason other than a missing key.
bool unreadable(LSTATUS status) { return status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND; }

// Whether a server name means another host. This host is named by its host name (with or without
// its domain); a leading "\\" is allowed.
bool namesAnotherHost(const COSERVERINFO* server) {
    if (!server || !server->pwszName || !server->pwszName[0]) return false;
    std::string name = toUtf8(server->pwszName);
    if (name.rfind("\\\\", 0) == 0) name.erase(0, 2);
    char host[HOST_NAME_MAX + 1] = {};
    if (gethostname(host, sizeof host - 1) != 0) return true;
    const std::string full = host;
    const std::string shortName = full.substr(0, full.find('.'));
    return !equalsIgnoreCase(name, full) && !equalsIgnoreCase(name, shortName);
}

// The remote provider's activation entry, from the library beside this one; null when it is not
// installed (then no server answers).
using RemoteActivation = HRESULT (*)(REFCLSID, const OLECHAR*, DWORD, MULTI_QI*);
RemoteActivation remoteActivation() {
    static const RemoteActivation entry = []() -> RemoteActivation {
        Dl_info self{};
        if (!dladdr(reinterpret_cast<void*>(&CoCreateInstanceEx), &self) || !self.dli_fname) return nullptr;
        std::string path = self.dli_fname;
        path = path.substr(0, path.find_last_of('/') + 1) + "libfarlink.so";
        void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);  // kept for the process's life
        return library ? reinterpret_cast<RemoteActivation>(dlsym(library, "FarLinkCreateInstanceEx")) : nullptr;
    }();
    return entry;
}

}  // namespace

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid) {
    if (!lpszProgID || !lpclsid) return E_INVALIDARG;
    std::string progId = toUtf8(lpszProgID);
    for (int hop = 0; hop < kMaxCurVerHops; ++hop) {
        if (progId.empty() || progId.find('\\') != std::string::npos) return CO_E_CLASSSTRING;
        LSTATUS status = ERROR_SUCCESS;
        RegistryKey key = RegistryKey::open(HKEY_CLASSES_ROOT, progId, &status);
        if (unreadable(status)) return REGDB_E_READREGDB;
        if (!key) return CO_E_CLASSSTRING;
        if (std::optional<std::string> clsid = RegistryKey::open(key.handle(), "CLSID").text()) {
            const std::optional<GUID> g = parseGuid(toUtf16(*clsid));
            if (!g) return CO_E_CLASSSTRING;
            *lpclsid = *g;
            return S_OK;
        }
        std::optional<std::string> current = RegistryKey::open(key.handle(), "CurVer").text();
        if (!current) return CO_E_CLASSSTRING;
        progId = *current;
    }
    return CO_E_CLASSSTRING;
}

HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID) {
    if (!lplpszProgID) return E_INVALIDARG;
    *lplpszProgID = nullptr;
    LSTATUS status = ERROR_SUCCESS;
    RegistryKey key = RegistryKey::open(HKEY_CLASSES_ROOT, "CLSID\\" + guidText(clsid) + "\\ProgID", &status);
    if (unreadable(status)) return REGDB_E_READREGDB;
    const std::optional<std::string> progId = key.text();
    if (!progId || progId->empty()) return REGDB_E_CLASSNOTREG;
    const std::u16string wide = toUtf16(*progId);
    auto* out = static_cast<LPOLESTR>(CoTaskMemAlloc((wide.size() + 1) * sizeof(OLECHAR)));
    if (!out) return E_OUTOFMEMORY;
    std::memcpy(out, wide.c_str(), (wide.size() + 1) * sizeof(OLECHAR));
    *lplpszProgID = out;
    return S_OK;
}

HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid, void** ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    if (!apartmentInitialised()) return CO_E_NOTINITIALIZED;
    if (namesAnotherHost(static_cast<const COSERVERINFO*>(pvReserved))) return RPC_S_SERVER_UNAVAILABLE;
    if (!(dwClsContext & CLSCTX_INPROC_SERVER)) return REGDB_E_CLASSNOTREG;  // only in-process servers here
    LSTATUS status = ERROR_SUCCESS;
    RegistryKey key =
        RegistryKey::open(HKEY_CLASSES_ROOT, "CLSID\\" + guidText(rclsid) + "\\InprocServer32", &status);
    if (unreadable(status)) return REGDB_E_READREGDB;
    const std::optional<std::string> path = key.text();
    if (!path || path->empty()) return REGDB_E_CLASSNOTREG;
    return classObjectFromLibrary(*path, rclsid, riid, ppv);
}

HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv) {
    if (!ppv) return E_INVALIDARG;
    *ppv = nullptr;
    ComPtr<IClassFactory> factory;
    if (const HRESULT hr = CoGetClassObject(rclsid, dwClsContext, nullptr, IID_IClassFactory, factory.putVoid());
        FAILED(hr))
        return hr;
    return factory->CreateInstance(pUnkOuter, riid, ppv);
}

HRESULT CoCreateInstanceEx(REFCLSID clsid, IUnknown* punkOuter, DWORD dwClsCtx, COSERVERINFO* pServerInfo,
                           DWORD dwCount, MULTI_QI* pResults) {
    if (dwCount == 0 || !pResults) return E_INVALIDARG;
    for (DWORD i = 0; i < dwCount; ++i)
        if (!pResults[i].pIID) return E_INVALIDARG;
    auto failAll = [&](HRESULT hr) {
        for (DWORD i = 0; i < dwCount; ++i) {
            pResults[i].pItf = nullptr;
            pResults[i].hr = hr;
        }
        return hr;
    };
    if (!apartmentInitialised()) return failAll(CO_E_NOTINITIALIZED);
    if (namesAnotherHost(pServerInfo)) {
        if (punkOuter) return failAll(CLASS_E_NOAGGREGATION);
        const RemoteActivation remote = remoteActivation();
        return remote ? remote(clsid, pServerInfo->pwszName, dwCount, pResults) : failAll(RPC_S_SERVER_UNAVAILABLE);
    }
    // This host, named or not: in process.
    const DWORD context = pServerInfo && pServerInfo->pwszName ? dwClsCtx | CLSCTX_INPROC_SERVER : dwClsCtx;
    ComPtr<IUnknown> object;
    if (const HRESULT hr = CoCreateInstance(clsid, punkOuter, context, IID_IUnknown, object.putVoid()); FAILED(hr))
        return failAll(hr);
    DWORD answered = 0;
    for (DWORD i = 0; i < dwCount; ++i) {
        pResults[i].pItf = nullptr;
        pResults[i].hr = object->QueryInterface(*pResults[i].pIID, reinterpret_cast<void**>(&pResults[i].pItf));
        if (SUCCEEDED(pResults[i].hr)) ++answered;
    }
    return answered == dwCount ? S_OK : answered > 0 ? CO_S_NOTALLINTERFACES : E_NOINTERFACE;
}

void CoFreeUnusedLibraries() { freeUnusedLibraries(); }

// A class id given as text: the braced GUID form, or a ProgID.
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid) {
    if (!pclsid) return E_INVALIDARG;
    if (!lpsz) {  // no text: the null class id
        *pclsid = GUID_NULL;
        return S_OK;
    }
    if (lpsz[0] != u'{') return CLSIDFromProgID(lpsz, pclsid);  // a ProgID names a class too
    const std::optional<GUID> g = parseGuid(lpsz);
    if (!g) return CO_E_CLASSSTRING;
    *pclsid = *g;
    return S_OK;
}
