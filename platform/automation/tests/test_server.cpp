// An in-process server library for the activation tests: serves TestObj and registers itself
// (its ProgIDs, class and type library) under HKEY_CLASSES_ROOT.
#include <dlfcn.h>

#include <climits>
#include <cstdlib>
#include <string>

#include "oleaut/objbase.h"
#include "registry/winreg.h"
#include "test_object.h"

#define SERVER_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr char kVersionedProgId[] = "OleautTest.TestObj.1";
constexpr char kProgId[] = "OleautTest.TestObj";

std::string modulePath() {
    Dl_info info{};
    char resolved[PATH_MAX];
    if (!dladdr(reinterpret_cast<void*>(&modulePath), &info) || !info.dli_fname) return {};
    return realpath(info.dli_fname, resolved) ? resolved : info.dli_fname;
}

std::string clsidText() {
    OLECHAR text[40];
    StringFromGUID2(CLSID_TestObj, text, 40);
    return std::string(text, text + 38);
}

bool setValue(const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS s = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    RegCloseKey(key);
    return s == ERROR_SUCCESS;
}

}  // namespace

SERVER_EXPORT HRESULT DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (clsid != CLSID_TestObj) return CLASS_E_CLASSNOTAVAILABLE;
    auto* factory = new (std::nothrow) oleaut::ClassFactory<TestObj>();
    if (!factory) return E_OUTOFMEMORY;
    factory->AddRef();
    const HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

SERVER_EXPORT HRESULT DllCanUnloadNow() { return TestObj::module().canUnload() ? S_OK : S_FALSE; }

SERVER_EXPORT HRESULT DllGetTypeLib(ITypeLib** out) {
    if (!out) return E_POINTER;
    *out = TestObj::typeLib();
    if (!*out) return E_FAIL;
    (*out)->AddRef();
    return S_OK;
}

// The version-independent ProgID names its class only through CurVer.
SERVER_EXPORT HRESULT DllRegisterServer() {
    const std::string path = modulePath(), clsid = clsidText(), classKey = std::string("CLSID\\") + clsid;
    const bool ok = setValue(kVersionedProgId, "", "Test Object") && setValue(std::string(kVersionedProgId) + "\\CLSID", "", clsid) &&
                    setValue(kProgId, "", "Test Object") && setValue(std::string(kProgId) + "\\CurVer", "", kVersionedProgId) &&
                    setValue(classKey, "", "Test Object") && setValue(classKey + "\\ProgID", "", kVersionedProgId) &&
                    setValue(classKey + "\\InprocServer32", "", path);
    if (!ok) return REGDB_E_WRITEREGDB;
    const std::u16string widePath(path.begin(), path.end());
    return RegisterTypeLib(TestObj::typeLib(), widePath.c_str(), nullptr);
}

SERVER_EXPORT HRESULT DllUnregisterServer() {
    RegDeleteTreeA(HKEY_CLASSES_ROOT, (std::string("CLSID\\") + clsidText()).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kVersionedProgId);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, kProgId);
    const oleaut::TypeLibDesc& lib = TestObj::libraryDesc();
    UnRegisterTypeLib(lib.libid, lib.majorVersion, lib.minorVersion, lib.lcid, SYS_WIN32);
    return S_OK;
}
