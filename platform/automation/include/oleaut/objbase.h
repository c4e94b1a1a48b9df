// Object activation: apartments, class lookup by ProgID through the registry, in-process servers.
#pragma once

#include "oleaut/unknwn.h"

constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;
constexpr DWORD COINIT_MULTITHREADED = 0x0;
constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
constexpr DWORD CLSCTX_REMOTE_SERVER = 0x10;
constexpr DWORD CLSCTX_SERVER = CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER | CLSCTX_REMOTE_SERVER;
constexpr DWORD CLSCTX_ALL = CLSCTX_SERVER;

struct COSERVERINFO {
    DWORD dwReserved1;
    OLECHAR* pwszName;  // host name of the remote server
    void* pAuthInfo;
    DWORD dwReserved2;
};
struct MULTI_QI {
    const IID* pIID;
    IUnknown* pItf;
    HRESULT hr;
};

extern "C++" {
// The calling thread is the apartment. Nested calls count; S_FALSE when already initialised.
HRESULT CoInitializeEx(void* pvReserved, DWORD dwCoInit);
HRESULT CoInitialize(void* pvReserved);
void CoUninitialize();

HRESULT CLSIDFromProgID(LPCOLESTR lpszProgID, CLSID* lpclsid);  // follows CurVer
HRESULT ProgIDFromCLSID(REFCLSID clsid, LPOLESTR* lplpszProgID);  // free with CoTaskMemFree
HRESULT CLSIDFromString(LPCOLESTR lpsz, CLSID* pclsid);           // "{XXXXXXXX-...}"
int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);    // writes "{...}", 39 chars
void* CoTaskMemAlloc(std::size_t cb);
void CoTaskMemFree(void* pv);

// HKCR\CLSID\{clsid}\InprocServer32 names the library; it is loaded once (dlopen) and asked
// through its DllGetClassObject.
HRESULT CoGetClassObject(REFCLSID rclsid, DWORD dwClsContext, void* pvReserved, REFIID riid, void** ppv);
HRESULT CoCreateInstance(REFCLSID rclsid, IUnknown* pUnkOuter, DWORD dwClsContext, REFIID riid, void** ppv);
// With a server name other than this host's own ("localhost", an address, another host's name,
// optionally ":port"): served by the remote provider (libfarlink beside this library), which
// reaches the host's object exporter; without it every MULTI_QI fails with
// RPC_S_SERVER_UNAVAILABLE.
HRESULT CoCreateInstanceEx(REFCLSID clsid, IUnknown* punkOuter, DWORD dwClsCtx, COSERVERINFO* pServerInfo,
                           DWORD dwCount, MULTI_QI* pResults);
// Unloads every loaded server library whose DllCanUnloadNow answers S_OK.
void CoFreeUnusedLibraries();
}

// Entry points an in-process server library exports (C linkage).
extern "C" {
using PFN_DllGetClassObject = HRESULT (*)(REFCLSID, REFIID, void**);
using PFN_DllCanUnloadNow = HRESULT (*)();
using PFN_DllRegisterServer = HRESULT (*)();
using PFN_DllUnregisterServer = HRESULT (*)();
}
