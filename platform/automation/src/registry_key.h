// A registry key handle that closes itself, with the few operations the runtime needs. Texts are
// UTF-8, as the registry keeps them.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "registry/winreg.h"

namespace oleaut::detail {

class RegistryKey {
public:
    RegistryKey() = default;
    RegistryKey(RegistryKey&& o) noexcept : key_(std::exchange(o.key_, nullptr)) {}
    RegistryKey& operator=(RegistryKey&& o) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    // An existing key for reading, or an empty handle (status in *status when given).
    static RegistryKey open(HKEY root, const std::string& path, LSTATUS* status = nullptr);
    // The key, created with its parents when missing.
    static RegistryKey create(HKEY root, const std::string& path, LSTATUS* status = nullptr);

    explicit operator bool() const { return key_ != nullptr; }
    HKEY handle() const { return key_; }

    // A text value (empty name: the default value); nothing when absent or not text.
    std::optional<std::string> text(const char* name = "") const;
    LSTATUS setText(const char* name, const std::string& value);
    std::vector<std::string> subkeys() const;

private:
    explicit RegistryKey(HKEY key) : key_(key) {}
    HKEY key_ = nullptr;
};

}  // namespace oleaut::detail
