// Type library registration under HKEY_CLASSES_ROOT:
//   TypeLib\{libid}\<major>.<minor>            = description
//       <lcid>\win32                           = path of the library that carries it
//       FLAGS, HELPDIR
//   Interface\{iid}                            = name, for each interface of the library
//       ProxyStubClsid32, ProxyStubClsid       = the automation marshaller
//       TypeLib = {libid}, Version = <major>.<minor>
// Versions and locale ids are written in hexadecimal.
#include <dlfcn.h>

#include <cstdio>
#include <optional>
#include <string>

#include "guid_text.h"
#include "oleaut/comptr.h"
#include "oleaut/oleauto.h"
#include "registry/change_batch.h"
#include "registry_key.h"
#include "text.h"

using namespace oleaut::detail;

namespace {

// The marshallers of dual interfaces and of pure dispatch interfaces.
constexpr char kDualMarshaller[] = "{00020424-0000-0000-C000-000000000046}";
constexpr char kDispatchMarshaller[] = "{00020420-0000-0000-C000-000000000046}";

std::string hex(unsigned value) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%x", value);
    return buf;
}

std::string versionText(WORD major, WORD minor) { return hex(major) + "." + hex(minor); }

const char* platformKey(SYSKIND syskind) { return syskind == SYS_WIN64 ? "win64" : "win32"; }

std::optional<unsigned> parseHex(const std::string& text) {
    if (text.empty() || text.size() > 8) return std::nullopt;
    unsigned value = 0;
    for (char c : text) {
        const int d = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
        if (d < 0) return std::nullopt;
        value = value * 16 + unsigned(d);
    }
    return value;
}

std::string documentationText(BSTR text) { return text ? toUtf8(std::u16string_view(text, SysStringLen(text))) : std::string(); }

// Sets the default value (or `name`) of HKCR\path, creating the key.
bool setText(const std::string& path, const char* name, const std::string& value) {
    return RegistryKey::create(HKEY_CLASSES_ROOT, path).setText(name, value) == ERROR_SUCCESS;
}

bool deleted(LSTATUS status) { return status == ERROR_SUCCESS || status == ERROR_FILE_NOT_FOUND; }

bool registerInterfaces(ITypeLib* lib, const std::string& libid, const std::string& version) {
    for (UINT i = 0; i < lib->GetTypeInfoCount(); ++i) {
        TYPEKIND kind{};
        if (FAILED(lib->GetTypeInfoType(i, &kind)) || (kind != TKIND_DISPATCH && kind != TKIND_INTERFACE)) continue;
        ComPtr<ITypeInfo> info;
        TYPEATTR* attr = nullptr;
        if (FAILED(lib->GetTypeInfo(i, info.put())) || FAILED(info->GetTypeAttr(&attr))) return false;
        const GUID iid = attr->guid;
        const bool dual = (attr->wTypeFlags & TYPEFLAG_FDUAL) != 0;
        info->ReleaseTypeAttr(attr);
        BSTR name = nullptr;
        lib->GetDocumentation(INT(i), &name, nullptr, nullptr, nullptr);
        const std::string itfName = documentationText(name);
        SysFreeString(name);

        const std::string key = "Interface\\" + guidText(iid);
        const char* marshaller = dual ? kDualMarshaller : kDispatchMarshaller;
        if (!setText(key, "", itfName) || !setText(key + "\\ProxyStubClsid32", "", marshaller) ||
            !setText(key + "\\ProxyStubClsid", "", marshaller) || !setText(key + "\\TypeLib", "", libid) ||
            !setText(key + "\\TypeLib", "Version", version))
            return false;
    }
    return true;
}

}  // namespace

HRESULT RegisterTypeLib(ITypeLib* ptlib, const OLECHAR* szFullPath, const OLECHAR* szHelpDir) {
    if (!ptlib || !szFullPath || !szFullPath[0]) return E_INVALIDARG;
    TLIBATTR* attr = nullptr;
    if (const HRESULT hr = ptlib->GetLibAttr(&attr); FAILED(hr)) return hr;
    const TLIBATTR lib = *attr;
    ptlib->ReleaseTLibAttr(attr);
    BSTR name = nullptr, doc = nullptr;
    ptlib->GetDocumentation(-1, &name, &doc, nullptr, nullptr);
    const std::string description = documentationText(doc).empty() ? documentationText(name) : documentationText(doc);
    SysFreeString(name);
    SysFreeString(doc);

    const std::string path = toUtf8(szFullPath);
    std::string helpDir = szHelpDir ? toUtf8(szHelpDir) : path.substr(0, path.find_last_of('/') + 1);
    if (helpDir.size() > 1 && helpDir.back() == '/') helpDir.pop_back();
    const std::string libid = guidText(lib.guid);
    const std::string version = versionText(lib.wMajorVerNum, lib.wMinorVerNum);
    const std::string key = "TypeLib\\" + libid + "\\" + version;
    oru::registry::ChangeBatch batch;
    const bool written = setText(key, "", description) &&
                         setText(key + "\\" + hex(lib.lcid) + "\\" + platformKey(lib.syskind), "", path) &&
                         setText(key + "\\FLAGS", "", std::to_string(lib.wLibFlags)) &&
                         setText(key + "\\HELPDIR", "", helpDir) && registerInterfaces(ptlib, libid, version);
    return batch.commit() == ERROR_SUCCESS && written ? S_OK : TYPE_E_REGISTRYACCESS;
}

HRESULT UnRegisterTypeLib(REFGUID libID, WORD wVerMajor, WORD wVerMinor, LCID lcid, SYSKIND syskind) {
    const std::string libid = guidText(libID);
    const std::string version = versionText(wVerMajor, wVerMinor);
    const std::string libKey = "TypeLib\\" + libid;
    const std::string versionKey = libKey + "\\" + version;
    const std::string localeKey = versionKey + "\\" + hex(lcid);
    oru::registry::ChangeBatch batch;
    LSTATUS status = ERROR_SUCCESS;
    if (!RegistryKey::open(HKEY_CLASSES_ROOT, localeKey + "\\" + platformKey(syskind), &status))
        return status == ERROR_FILE_NOT_FOUND ? TYPE_E_LIBNOTREGISTERED : TYPE_E_REGISTRYACCESS;

    if (!deleted(RegDeleteTreeA(HKEY_CLASSES_ROOT, (localeKey + "\\" + platformKey(syskind)).c_str())))
        return TYPE_E_REGISTRYACCESS;
    if (RegistryKey::open(HKEY_CLASSES_ROOT, localeKey).subkeys().empty()) RegDeleteKeyA(HKEY_CLASSES_ROOT, localeKey.c_str());

    // The version goes, with its interfaces, once no other locale or platform is registered for it.
    for (const std::string& sub : RegistryKey::open(HKEY_CLASSES_ROOT, versionKey).subkeys())
        if (!equalsIgnoreCase(sub, "FLAGS") && !equalsIgnoreCase(sub, "HELPDIR")) return S_OK;
    const RegistryKey interfaces = RegistryKey::open(HKEY_CLASSES_ROOT, "Interface");
    for (const std::string& iid : interfaces.subkeys()) {
        const RegistryKey owner = RegistryKey::open(interfaces.handle(), iid + "\\TypeLib");
        const std::optional<std::string> ownerLib = owner.text(), ownerVersion = owner.text("Version");
        if (ownerLib && equalsIgnoreCase(*ownerLib, libid) && ownerVersion && *ownerVersion == version)
            if (!deleted(RegDeleteTreeA(HKEY_CLASSES_ROOT, ("Interface\\" + iid).c_str()))) return TYPE_E_REGISTRYACCESS;
    }
    if (!deleted(RegDeleteTreeA(HKEY_CLASSES_ROOT, versionKey.c_str()))) return TYPE_E_REGISTRYACCESS;
    if (RegistryKey::open(HKEY_CLASSES_ROOT, libKey).subkeys().empty()) RegDeleteKeyA(HKEY_CLASSES_ROOT, libKey.c_str());
    return S_OK;
}

namespace {

// The registered version with the requested major number and the highest minor number at least
// the requested one.
std::optional<std::string> chooseVersion(const RegistryKey& lib, WORD major, WORD minor) {
    std::optional<std::string> best;
    unsigned bestMinor = 0;
    for (const std::string& v : lib.subkeys()) {
        const auto dot = v.find('.');
        if (dot == std::string::npos) continue;
        const auto maj = parseHex(v.substr(0, dot)), min = parseHex(v.substr(dot + 1));
        if (!maj || !min || *maj != major || *min < minor) continue;
        if (!best || *min > bestMinor) {
            best = v;
            bestMinor = *min;
        }
    }
    return best;
}

// The path registered for the locale: the exact one, its primary language, neutral, then any.
std::optional<std::string> registeredPath(const RegistryKey& version, LCID lcid) {
    auto pathFor = [&](const std::string& locale) -> std::optional<std::string> {
        for (const char* platform : {"win32", "win64"})
            if (auto p = RegistryKey::open(version.handle(), locale + "\\" + platform).text(); p && !p->empty()) return p;
        return std::nullopt;
    };
    for (const unsigned candidate : {unsigned(lcid), unsigned(lcid & 0x3FF), 0u})
        if (auto p = pathFor(hex(candidate))) return p;
    for (const std::string& sub : version.subkeys())
        if (parseHex(sub))
            if (auto p = pathFor(sub)) return p;
    return std::nullopt;
}

}  // namespace

HRESULT LoadRegTypeLib(REFGUID rguid, WORD wVerMajor, WORD wVerMinor, LCID lcid, ITypeLib** pptlib) {
    if (!pptlib) return E_INVALIDARG;
    *pptlib = nullptr;
    LSTATUS status = ERROR_SUCCESS;
    const RegistryKey lib = RegistryKey::open(HKEY_CLASSES_ROOT, "TypeLib\\" + guidText(rguid), &status);
    if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return TYPE_E_REGISTRYACCESS;
    const std::optional<std::string> version = chooseVersion(lib, wVerMajor, wVerMinor);
    if (!version) return TYPE_E_LIBNOTREGISTERED;
    const std::optional<std::string> path = registeredPath(RegistryKey::open(lib.handle(), *version), lcid);
    if (!path) return TYPE_E_LIBNOTREGISTERED;

    // The library stays loaded: the type library's code and data live in it.
    void* handle = dlopen(path->c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        std::fprintf(stderr, "oleaut: cannot load type library %s: %s\n", path->c_str(), why ? why : "unknown error");
        return TYPE_E_CANTLOADLIBRARY;
    }
    using GetTypeLib = HRESULT (*)(ITypeLib**);
    const auto get = reinterpret_cast<GetTypeLib>(dlsym(handle, "DllGetTypeLib"));
    if (!get) {
        std::fprintf(stderr, "oleaut: %s does not export DllGetTypeLib\n", path->c_str());
        dlclose(handle);
        return TYPE_E_CANTLOADLIBRARY;
    }
    return get(pptlib);
}
