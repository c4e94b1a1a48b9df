// The W32N_* functions: handles bound to a driver's miniport, requests passed to it.
#include "ndisreq32/ndisreq32.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <iostream>
#include <map>
#include <mutex>
#include <string>
#include <string_view>

#include "drivers.h"
#include "registry/winreg.h"

namespace {

constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorDeviceNotAvailable = 4319;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorNotEnoughMemory = 8;
constexpr const char* kDevicePrefix = "\\Device\\";
constexpr const char* kServicesKey = "System\\CurrentControlSet\\Services\\";
constexpr const char* kNetworkClassKey =
    "System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}\\";

thread_local DWORD lastError = 0;

struct Handles {
    std::mutex mutex;
    LONG next = 1;
    std::map<LONG, std::shared_ptr<ndis::Miniport>> open;
};
Handles& handles() {
    static Handles h;
    return h;
}

std::shared_ptr<ndis::Miniport> miniportOf(LONG handle) {
    auto& h = handles();
    std::lock_guard lock(h.mutex);
    auto it = h.open.find(handle);
    return it == h.open.end() ? nullptr : it->second;
}

bool startsWithNoCase(std::string_view s, std::string_view prefix) {
    if (s.size() < prefix.size()) return false;
    for (std::size_t i = 0; i < prefix.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(s[i])) != std::tolower(static_cast<unsigned char>(prefix[i])))
            return false;
    return true;
}

class Key {
public:
    explicit Key(const std::string& path) {
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key_) != ERROR_SUCCESS) key_ = nullptr;
    }
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;
    HKEY get() const { return key_; }
    // The text value, or nullopt-like false when absent; truncated to fit `size` with its NUL.
    bool text(const char* name, char* out, std::size_t size) const {
        out[0] = '\0';
        const std::optional<std::string> value = ndis::registryText(key_, name);
        if (!value) return false;
        const std::size_t n = std::min(value->size(), size - 1);
        std::memcpy(out, value->data(), n);
        out[n] = '\0';
        return true;
    }

private:
    HKEY key_ = nullptr;
};

LONG openAdapter(const char* adapterName) {
    if (!adapterName || !startsWithNoCase(adapterName, kDevicePrefix) || !adapterName[std::strlen(kDevicePrefix)]) {
        lastError = adapterName ? kErrorFileNotFound : kErrorInvalidParameter;
        return -1;
    }
    const std::string service = adapterName + std::strlen(kDevicePrefix);
    if (service.find('\\') != std::string::npos) {
        lastError = kErrorFileNotFound;
        return -1;
    }
    Key parameters(kServicesKey + service + "\\Parameters");
    if (!parameters.get()) {
        lastError = kErrorFileNotFound;
        return -1;
    }
    char name[64];
    const ndis::Driver* driver = &ndis::kDrivers[0];
    if (parameters.text("Driver", name, sizeof name)) {
        driver = std::find_if(std::begin(ndis::kDrivers), std::end(ndis::kDrivers),
                              [&](const ndis::Driver& d) { return std::strcmp(d.name, name) == 0; });
        if (driver == std::end(ndis::kDrivers)) {
            std::cerr << "ndisreq32: " << adapterName << ": unknown driver \"" << name << "\"\n";
            lastError = kErrorDeviceNotAvailable;
            return -1;
        }
    }
    std::string error;
    std::shared_ptr<ndis::Miniport> miniport = driver->open(parameters.get(), error);
    if (!miniport) {
        std::cerr << "ndisreq32: " << adapterName << ": " << error << "\n";
        lastError = kErrorDeviceNotAvailable;
        return -1;
    }
    auto& h = handles();
    std::lock_guard lock(h.mutex);
    if (h.next <= 0) h.next = 1;  // handles stay positive, never -1
    const LONG handle = h.next++;
    h.open.emplace(handle, std::move(miniport));
    lastError = 0;
    return handle;
}

DWORD adapterRegistryInfo(AdapterRegistryInfo* info, const char* adapterKey) {
    if (!info || !adapterKey || !*adapterKey || std::strchr(adapterKey, '\\')) return kErrorInvalidParameter;
    std::memset(info, 0, sizeof *info);
    Key key(kNetworkClassKey + std::string(adapterKey));
    if (!key.get()) return kErrorFileNotFound;
    key.text("DriverDesc", info->firstText, sizeof info->firstText);
    key.text("Title", info->secondText, sizeof info->secondText);
    if (!key.text("ServiceName", info->thirdText, sizeof info->thirdText) || !info->thirdText[0]) {
        std::memset(info, 0, sizeof *info);
        return kErrorFileNotFound;
    }
    return 0;
}

}  // namespace

std::optional<std::string> ndis::registryText(HKEY key, const char* name) {
    DWORD type = 0, len = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, nullptr, &len) != ERROR_SUCCESS || type != REG_SZ) return {};
    std::string value(len, '\0');
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &len) != ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    value.resize(std::strlen(value.c_str()));
    return value;
}

extern "C" {


BOOL W32N_CloseAdapter(LONG handle) {
    auto& h = handles();
    std::lock_guard lock(h.mutex);
    if (h.open.erase(handle) == 0) {
        lastError = kErrorInvalidHandle;
        return FALSE;
    }
    return TRUE;
}

NDIS_STATUS W32N_MakeNdisRequest(LONG handle, NdisRequestRecord* request, OVERLAPPED* overlapped, BOOL) {
    std::shared_ptr<ndis::Miniport> miniport = miniportOf(handle);
    if (!miniport) return NDIS_STATUS_INVALID_HANDLE;
    if (!request) return NDIS_STATUS_INVALID_DATA;
    if (request->RequestType != NdisRequestQueryInformation && request->RequestType != NdisRequestSetInformation)
        return NDIS_STATUS_NOT_SUPPORTED;
    if (!request->InformationBuffer && request->InformationBufferLength) return NDIS_STATUS_INVALID_DATA;
    ndis::Request r{request->RequestType, request->Oid, static_cast<BYTE*>(request->InformationBuffer),
                    request->InformationBufferLength};
    NDIS_STATUS status;
    try {
        status = miniport->handle(r);
    } catch (const std::bad_alloc&) {
        return NDIS_STATUS_RESOURCES;
    } catch (const std::exception& e) {
        std::cerr << "ndisreq32: request " << std::hex << request->Oid << std::dec << " failed: " << e.what() << "\n";
        return NDIS_STATUS_FAILURE;
    }
    request->BytesTransferred = r.bytesTransferred;
    request->BytesNeeded = r.bytesNeeded;
    // Requests complete before the call returns; the caller's event tells the same.
    if (overlapped && overlapped->hEvent) SetEvent(overlapped->hEvent);
    return status;
}

DWORD W32N_GetLastError() { return lastError; }

DWORD W32N_IsWindowsNT() { return 1; }

DWORD W32N_OSGetPlatformVersion(DWORD which) {
    switch (which) {
    case 2: return 5;  // major version
    case 1: return 0;  // minor version
    default: return 0;
    }
}


}  // extern "C"

// The exported entry points never let an exception out.
extern "C" LONG W32N_OpenAdapterA(const char* adapterName) {
    try {
        return openAdapter(adapterName);
    } catch (const std::exception&) {
        lastError = kErrorNotEnoughMemory;
        return -1;
    }
}

extern "C" DWORD W32N_GetAdapterRegistryInfo(AdapterRegistryInfo* info, const char* adapterKey) {
    try {
        return adapterRegistryInfo(info, adapterKey);
    } catch (const std::exception&) {
        return kErrorNotEnoughMemory;
    }
}
