// Self-registration: the eleven classes under HKEY_CLASSES_ROOT and the type library.
#include <dlfcn.h>

#include <string>

#include "common/text.h"
#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"
#include "registry/change_batch.h"
#include "registry/winreg.h"
#include "server/module.h"

namespace direzo {

namespace {

std::string modulePath() {
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&modulePath), &info) || !info.dli_fname) return {};
    char resolved[4096];
    return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

std::string guidText(const GUID& guid) {
    OLECHAR text[40];
    StringFromGUID2(guid, text, 40);
    return toAnsi(text);
}

// Sets `name` (empty: the default value) under HKCR\path, creating the key.
bool setValue(const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                                          DWORD(value.size() + 1));
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

bool createKey(const std::string& path) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

bool registerClass(const ClassDescriptor& c, const std::string& path, const std::string& libid) {
    const std::string clsid = guidText(c.clsid);
    const std::string display = toAnsi(c.displayName);
    const std::string progId = toAnsi(c.progId);
    const std::string versioned = toAnsi(c.versionedProgId);
    const std::string classKey = "CLSID\\" + clsid;
    return setValue(versioned, "", display) && setValue(versioned + "\\CLSID", "", clsid) &&
           setValue(progId, "", display) && setValue(progId + "\\CLSID", "", clsid) &&
           setValue(progId + "\\CurVer", "", versioned) && setValue(classKey, "", display) &&
           setValue(classKey + "\\ProgID", "", versioned) &&
           setValue(classKey + "\\VersionIndependentProgID", "", progId) && createKey(classKey + "\\Programmable") &&
           setValue(classKey + "\\InprocServer32", "", path) &&
           setValue(classKey + "\\InprocServer32", "ThreadingModel", "Apartment") &&
           setValue(classKey + "\\TypeLib", "", libid);
}

// Removes the class's own keys and its ProgIDs, never the CLSID root itself.
void unregisterClass(const ClassDescriptor& c) {
    const std::string classKey = "CLSID\\" + guidText(c.clsid);
    RegDeleteTreeA(HKEY_CLASSES_ROOT, classKey.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, toAnsi(c.versionedProgId).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, toAnsi(c.progId).c_str());
}

}  // namespace

}  // namespace direzo

extern "C" __attribute__((visibility("default"))) HRESULT DllRegisterServer() {
    using namespace direzo;
    const std::string path = modulePath();
    if (path.empty()) return E_UNEXPECTED;
    const std::string libid = guidText(LIBID_DIREZOLib);
    // Every key and value of the registration reaches the hive in one rewrite.
    oru::registry::ChangeBatch batch;
    for (const ClassDescriptor* c : kAllClasses)
        if (!registerClass(*c, path, libid)) return REGDB_E_WRITEREGDB;
    ITypeLib* lib = typeLibrary();
    if (!lib) return E_FAIL;
    const std::u16string widePath = fromAnsi(path);
    const HRESULT hr = RegisterTypeLib(lib, widePath.c_str(), nullptr);
    RegFlushKey(HKEY_CLASSES_ROOT);
    if (batch.commit() != ERROR_SUCCESS) return REGDB_E_WRITEREGDB;
    return hr;
}

extern "C" __attribute__((visibility("default"))) HRESULT DllUnregisterServer() {
    using namespace direzo;
    oru::registry::ChangeBatch batch;
    for (const ClassDescriptor* c : kAllClasses) unregisterClass(*c);
    UnRegisterTypeLib(LIBID_DIREZOLib, kTypeLibMajor, kTypeLibMinor, kTypeLibLcid, SYS_WIN32);
    RegFlushKey(HKEY_CLASSES_ROOT);
    return batch.commit() == ERROR_SUCCESS ? S_OK : REGDB_E_WRITEREGDB;
}
