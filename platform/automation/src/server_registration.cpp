#include "oleaut/server_registration.h"

#include <dlfcn.h>

#include <climits>
#include <cstdlib>

#include "guid_text.h"
#include "registry/change_batch.h"
#include "registry/winreg.h"

namespace oleaut {

namespace {

bool setValue(const std::string& path, const char* name, const std::string& value) {
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return false;
    const LSTATUS status =
        name ? RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1))
             : ERROR_SUCCESS;
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

}  // namespace

std::string modulePathOf(const void* address) {
    Dl_info info{};
    if (!dladdr(address, &info) || !info.dli_fname) return {};
    char resolved[PATH_MAX];
    return realpath(info.dli_fname, resolved) ? std::string(resolved) : std::string(info.dli_fname);
}

HRESULT registerInprocClass(const InprocClass& c, const std::string& modulePath) {
    const std::string clsid = detail::guidText(c.clsid);
    const std::string classKey = "CLSID\\" + clsid;
    oru::registry::ChangeBatch batch;
    const bool ok = setValue(c.versionedProgId, "", c.displayName) && setValue(c.versionedProgId + "\\CLSID", "", clsid) &&
                    setValue(c.progId, "", c.displayName) && setValue(c.progId + "\\CLSID", "", clsid) &&
                    setValue(c.progId + "\\CurVer", "", c.versionedProgId) && setValue(classKey, "", c.displayName) &&
                    setValue(classKey + "\\ProgID", "", c.versionedProgId) &&
                    setValue(classKey + "\\VersionIndependentProgID", "", c.progId) &&
                    setValue(classKey + "\\Programmable", nullptr, {}) &&
                    setValue(classKey + "\\InprocServer32", "", modulePath) &&
                    setValue(classKey + "\\InprocServer32", "ThreadingModel", "Apartment") &&
                    (c.typeLibId.empty() || setValue(classKey + "\\TypeLib", "", c.typeLibId));
    RegFlushKey(HKEY_CLASSES_ROOT);
    return batch.commit() == ERROR_SUCCESS && ok ? S_OK : REGDB_E_WRITEREGDB;
}

void unregisterInprocClass(const InprocClass& c) {
    oru::registry::ChangeBatch batch;
    RegDeleteTreeA(HKEY_CLASSES_ROOT, ("CLSID\\" + detail::guidText(c.clsid)).c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, c.versionedProgId.c_str());
    RegDeleteTreeA(HKEY_CLASSES_ROOT, c.progId.c_str());
    RegFlushKey(HKEY_CLASSES_ROOT);
}

}  // namespace oleaut
