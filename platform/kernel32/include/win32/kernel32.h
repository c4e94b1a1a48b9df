// The few kernel services the component uses: events, device names, the OS version, sleeping.
#pragma once

#include "win32/basetypes.h"

struct OVERLAPPED {
    std::uintptr_t Internal;
    std::uintptr_t InternalHigh;
    DWORD Offset;
    DWORD OffsetHigh;
    HANDLE hEvent;
};

constexpr DWORD INFINITE = 0xFFFFFFFF;
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFF;

constexpr DWORD DDD_RAW_TARGET_PATH = 0x1;
constexpr DWORD DDD_REMOVE_DEFINITION = 0x2;

constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    CHAR szCSDVersion[128];
};

// Events (manual or automatic reset); a handle is closed with CloseHandle. A null or closed
// handle makes the call fail.
HANDLE CreateEventA(void* security, BOOL manualReset, BOOL initialState, const char* name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
DWORD WaitForSingleObject(HANDLE event, DWORD milliseconds);
BOOL CloseHandle(HANDLE handle);

// MS-DOS device names: kept in a process-wide table (nothing outside the process sees them).
BOOL DefineDosDeviceA(DWORD flags, const char* deviceName, const char* targetPath);
DWORD QueryDosDeviceA(const char* deviceName, char* targetPath, DWORD max);

// This platform reports the NT family, version 5.0.
BOOL GetVersionExA(OSVERSIONINFOA* info);

void Sleep(DWORD milliseconds);
DWORD GetLastError();
void SetLastError(DWORD error);
