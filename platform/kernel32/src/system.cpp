// Device names, the OS version, sleeping and the thread's last error.
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include "win32/kernel32.h"

namespace {

constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;

thread_local DWORD lastError = 0;

struct DosDevices {
    std::mutex mutex;
    std::map<std::string, std::string> targets;
};
DosDevices& dosDevices() {
    static DosDevices d;
    return d;
}

}  // namespace

BOOL DefineDosDeviceA(DWORD flags, const char* deviceName, const char* targetPath) {
    if (!deviceName || !*deviceName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    auto& d = dosDevices();
    std::lock_guard lock(d.mutex);
    if (flags & DDD_REMOVE_DEFINITION) {
        if (d.targets.erase(deviceName) == 0) {
            SetLastError(ERROR_FILE_NOT_FOUND);
            return FALSE;
        }
        return TRUE;
    }
    if (!targetPath) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    d.targets[deviceName] = targetPath;
    return TRUE;
}

DWORD QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD max) {
    auto& d = dosDevices();
    std::lock_guard lock(d.mutex);
    auto it = deviceName ? d.targets.find(deviceName) : d.targets.end();
    if (it == d.targets.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    // The target, then the list's closing NUL.
    const DWORD needed = DWORD(it->second.size() + 2);
    if (!targetPath || max < needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::memcpy(targetPath, it->second.c_str(), it->second.size() + 1);
    targetPath[needed - 1] = '\0';
    return needed;
}

BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (!info || info->dwOSVersionInfoSize < sizeof(OSVERSIONINFOA)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    info->dwMajorVersion = 5;
    info->dwMinorVersion = 0;
    info->dwBuildNumber = 2195;
    info->dwPlatformId = VER_PLATFORM_WIN32_NT;
    std::memset(info->szCSDVersion, 0, sizeof info->szCSDVersion);
    return TRUE;
}

void Sleep(DWORD milliseconds) { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }

DWORD GetLastError() { return lastError; }
void SetLastError(DWORD error) { lastError = error; }
