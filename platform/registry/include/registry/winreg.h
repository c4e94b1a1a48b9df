// The registry: keys and values under predefined roots, kept in a persistent hive file.
//
// The hive is a text file in the registry-export format at $ORU_REGISTRY (default
// $XDG_DATA_HOME/oru/registry.reg, or ~/.local/share/oru/registry.reg). Every call reads the file
// under a shared lock (parsed again only when it changed); every change is made under an exclusive
// lock and written to a new file that replaces the old one atomically (the changes of a
// registry/change_batch.h batch in one replacement). Key names compare without
// regard to case. A hive that cannot be parsed is reported on stderr with file and line, every
// call fails with ERROR_BADDB, and the file is never overwritten.
// Names and string values are UTF-8 in the ...A functions.
#pragma once

#include "win32/basetypes.h"

struct HKEY__;
using HKEY = HKEY__*;
using LSTATUS = LONG;
using REGSAM = DWORD;

inline HKEY predefinedKey(std::uintptr_t v) { return reinterpret_cast<HKEY>(v); }
#define HKEY_CLASSES_ROOT predefinedKey(0x80000000u)
#define HKEY_CURRENT_USER predefinedKey(0x80000001u)
#define HKEY_LOCAL_MACHINE predefinedKey(0x80000002u)
#define HKEY_USERS predefinedKey(0x80000003u)

constexpr LSTATUS ERROR_SUCCESS = 0;
constexpr LSTATUS ERROR_FILE_NOT_FOUND = 2;
constexpr LSTATUS ERROR_ACCESS_DENIED = 5;
constexpr LSTATUS ERROR_INVALID_HANDLE = 6;
constexpr LSTATUS ERROR_OUTOFMEMORY = 14;
constexpr LSTATUS ERROR_INVALID_PARAMETER = 87;
constexpr LSTATUS ERROR_MORE_DATA = 234;
constexpr LSTATUS ERROR_NO_MORE_ITEMS = 259;
constexpr LSTATUS ERROR_BADDB = 1009;
constexpr LSTATUS ERROR_CANTWRITE = 1013;
constexpr LSTATUS ERROR_KEY_DELETED = 1018;

constexpr REGSAM KEY_QUERY_VALUE = 0x0001;
constexpr REGSAM KEY_SET_VALUE = 0x0002;
constexpr REGSAM KEY_CREATE_SUB_KEY = 0x0004;
constexpr REGSAM KEY_ENUMERATE_SUB_KEYS = 0x0008;
constexpr REGSAM KEY_READ = 0x20019;
constexpr REGSAM KEY_WRITE = 0x20006;
constexpr REGSAM KEY_ALL_ACCESS = 0xF003F;

constexpr DWORD REG_NONE = 0;
constexpr DWORD REG_SZ = 1;
constexpr DWORD REG_EXPAND_SZ = 2;
constexpr DWORD REG_BINARY = 3;
constexpr DWORD REG_DWORD = 4;
constexpr DWORD REG_MULTI_SZ = 7;

constexpr DWORD REG_OPTION_NON_VOLATILE = 0;
constexpr DWORD REG_CREATED_NEW_KEY = 1;
constexpr DWORD REG_OPENED_EXISTING_KEY = 2;

struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD options, REGSAM sam, HKEY* result);
LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD reserved, char* keyClass, DWORD options,
                        REGSAM sam, void* security, HKEY* result, DWORD* disposition);
// name receives the index-th subkey name (subkeys in the order they were created); *nameLen is the
// buffer size in characters on entry and the name's length without NUL on success. A name that
// does not fit (with its NUL) fails with ERROR_MORE_DATA; past the last subkey ERROR_NO_MORE_ITEMS.
LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD* reserved,
                      char* keyClass, DWORD* classLen, FILETIME* lastWriteTime);
LSTATUS RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD* reserved,
                      DWORD* type, BYTE* data, DWORD* dataLen);
// valueName null or "" is the key's default value. REG_SZ data includes its NUL. With data null
// only *dataLen is set; a buffer too small gives ERROR_MORE_DATA and the size needed.
LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD* reserved, DWORD* type, BYTE* data,
                         DWORD* dataLen);
LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD reserved, DWORD type, const BYTE* data,
                       DWORD dataLen);
LSTATUS RegDeleteValueA(HKEY key, const char* valueName);
// Deletes a key that has no subkeys.
LSTATUS RegDeleteKeyA(HKEY key, const char* subKey);
// Deletes a key with all its subkeys and values (subKey null: the key's contents only).
LSTATUS RegDeleteTreeA(HKEY key, const char* subKey);
LSTATUS RegCloseKey(HKEY key);
// Changes reach the disk lazily (each one atomically); this forces them there.
LSTATUS RegFlushKey(HKEY key);
