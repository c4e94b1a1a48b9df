// A small owner of an open registry key.
#pragma once

#include <optional>
#include <string>

#include "registry/winreg.h"

namespace vireo::sim {

class RegistryKey {
public:
    RegistryKey() = default;
    explicit RegistryKey(HKEY k) : key_(k) {}
    ~RegistryKey() {
        if (key_) RegCloseKey(key_);
    }
    RegistryKey(RegistryKey&& o) noexcept : key_(o.key_) { o.key_ = nullptr; }
    RegistryKey& operator=(RegistryKey&& o) noexcept {
        std::swap(key_, o.key_);
        return *this;
    }

    static LSTATUS open(HKEY parent, const std::string& path, REGSAM sam, RegistryKey& out) {
        HKEY k = nullptr;
        const LSTATUS s = RegOpenKeyExA(parent, path.c_str(), 0, sam, &k);
        out = RegistryKey(s == ERROR_SUCCESS ? k : nullptr);
        return s;
    }
    static LSTATUS create(HKEY parent, const std::string& path, RegistryKey& out) {
        HKEY k = nullptr;
        const LSTATUS s = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                                          nullptr, &k, nullptr);
        out = RegistryKey(s == ERROR_SUCCESS ? k : nullptr);
        return s;
    }

    LSTATUS setText(const char* name, const std::string& value) const {
        return RegSetValueExA(key_, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()), DWORD(value.size() + 1));
    }
    LSTATUS setDword(const char* name, DWORD value) const {
        return RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    }
    std::optional<std::string> text(const char* name) const {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(key_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ) return std::nullopt;
        std::string s(size, '\0');
        if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(s.data()), &size) != ERROR_SUCCESS)
            return std::nullopt;
        s.resize(size);
        while (!s.empty() && s.back() == '\0') s.pop_back();
        return s;
    }
    std::optional<DWORD> dword(const char* name) const {
        DWORD type = 0, value = 0, size = sizeof value;
        if (RegQueryValueExA(key_, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
            type != REG_DWORD)
            return std::nullopt;
        return value;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

}  // namespace vireo::sim
