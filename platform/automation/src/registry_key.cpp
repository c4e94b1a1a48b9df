#include "registry_key.h"

#include <utility>

namespace oleaut::detail {

RegistryKey& RegistryKey::operator=(RegistryKey&& o) noexcept {
    if (this != &o) {
        if (key_) RegCloseKey(key_);
        key_ = std::exchange(o.key_, nullptr);
    }
    return *this;
}

RegistryKey::~RegistryKey() {
    if (key_) RegCloseKey(key_);
}

RegistryKey RegistryKey::open(HKEY root, const std::string& path, LSTATUS* status) {
    HKEY key = nullptr;
    const LSTATUS s = RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key);
    if (status) *status = s;
    return RegistryKey(s == ERROR_SUCCESS ? key : nullptr);
}

RegistryKey RegistryKey::create(HKEY root, const std::string& path, LSTATUS* status) {
    HKEY key = nullptr;
    const LSTATUS s =
        RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (status) *status = s;
    return RegistryKey(s == ERROR_SUCCESS ? key : nullptr);
}

std::optional<std::string> RegistryKey::text(const char* name) const {
    if (!key_) return std::nullopt;
    DWORD type = 0, size = 0;
    if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
        (type != REG_SZ && type != REG_EXPAND_SZ))
        return std::nullopt;
    std::string value(size, '\0');
    if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) != ERROR_SUCCESS)
        return std::nullopt;
    value.resize(size);
    while (!value.empty() && value.back() == '\0') value.pop_back();
    return value;
}

LSTATUS RegistryKey::setText(const char* name, const std::string& value) {
    if (!key_) return ERROR_INVALID_HANDLE;
    return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
}

std::vector<std::string> RegistryKey::subkeys() const {
    std::vector<std::string> names;
    if (!key_) return names;
    std::string name(256, '\0');
    for (DWORD index = 0;;) {
        DWORD length = DWORD(name.size());
        const LSTATUS s = RegEnumKeyExA(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
        if (s == ERROR_MORE_DATA) {
            name.resize(name.size() * 2);
            continue;
        }
        if (s != ERROR_SUCCESS) break;
        names.emplace_back(name.data(), length);
        ++index;
    }
    return names;
}

}  // namespace oleaut::detail
