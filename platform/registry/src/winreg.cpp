// The registry functions over the hive file. An opened key is a handle naming its root and path;
// every call resolves the path again, so a key deleted meanwhile answers ERROR_KEY_DELETED.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "hive_store.h"
#include "registry/winreg.h"

struct HKEY__ {
    oru::registry::Root root;
    std::vector<std::string> path;
    REGSAM access;
};

namespace {

using namespace oru::registry;

struct OpenKeys {
    std::mutex mutex;
    std::unordered_set<HKEY> live;
};
OpenKeys& openKeys() {
    static OpenKeys k;
    return k;
}

// What a handle stands for: a predefined root (all access) or an open key.
struct Target {
    Root root;
    std::vector<std::string> path;
    REGSAM access;
};

LSTATUS resolve(HKEY key, Target& t) {
    const auto v = reinterpret_cast<std::uintptr_t>(key);
    if (v >= 0x80000000u && v < 0x80000000u + kRootCount) {
        t = Target{Root(v - 0x80000000u), {}, KEY_ALL_ACCESS};
        return ERROR_SUCCESS;
    }
    auto& k = openKeys();
    std::lock_guard lock(k.mutex);
    if (!key || !k.live.count(key)) return ERROR_INVALID_HANDLE;
    t = Target{key->root, key->path, key->access};
    return ERROR_SUCCESS;
}

HKEY issue(Root root, std::vector<std::string> path, REGSAM access) {
    HKEY h = new HKEY__{root, std::move(path), access};
    auto& k = openKeys();
    std::lock_guard lock(k.mutex);
    k.live.insert(h);
    return h;
}

bool allowed(const Target& t, REGSAM right) { return (t.access & right) == right; }

// The key a handle names in `hive`, or the status to answer.
template <class H>
auto locate(H& hive, const Target& t, LSTATUS& status) {
    auto* key = findKey(hive, t.root, t.path);
    status = key ? ERROR_SUCCESS : ERROR_KEY_DELETED;
    return key;
}

// Copies `text` and its NUL into (buf, *len); ERROR_MORE_DATA when it does not fit.
LSTATUS copyName(const std::string& text, char* buf, DWORD* len) {
    if (text.size() + 1 > *len) return ERROR_MORE_DATA;
    std::memcpy(buf, text.c_str(), text.size() + 1);
    *len = DWORD(text.size());
    return ERROR_SUCCESS;
}

// Copies value data into (data, *dataLen) as the query functions do.
LSTATUS copyData(const Value& v, DWORD* type, BYTE* data, DWORD* dataLen) {
    if (type) *type = v.type;
    if (!dataLen) return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    const DWORD needed = DWORD(v.data.size());
    if (data && *dataLen < needed) {
        *dataLen = needed;
        return ERROR_MORE_DATA;
    }
    if (data && needed) std::memcpy(data, v.data.data(), needed);
    *dataLen = needed;
    return ERROR_SUCCESS;
}

// The key a handle names in the current hive, for a call that needs `right`; `hive` keeps it alive.
LSTATUS readKey(HKEY handle, REGSAM right, std::shared_ptr<const Hive>& hive, const Key*& key) {
    Target t;
    if (LSTATUS s = resolve(handle, t)) return s;
    if (!allowed(t, right)) return ERROR_ACCESS_DENIED;
    if (LSTATUS s = readHive(hive)) return s;
    LSTATUS s;
    key = locate(*hive, t, s);
    return s;
}

// Runs `change` on the key a handle names, for a call that needs `right`, and stores the result.
template <class Change>
LSTATUS changeKey(HKEY handle, REGSAM right, Change change) {
    Target t;
    if (LSTATUS s = resolve(handle, t)) return s;
    if (!allowed(t, right)) return ERROR_ACCESS_DENIED;
    return changeHive([&](Hive& hive) {
        LSTATUS s;
        Key* k = locate(hive, t, s);
        return k ? change(*k) : s;
    });
}

// Registry calls report failures as status codes; nothing thrown inside one leaves it.
template <class Call>
LSTATUS guarded(Call call) {
    try {
        return call();
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    } catch (const std::exception&) {
        return ERROR_CANTWRITE;
    }
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, const char* subKey, DWORD, REGSAM sam, HKEY* result) {
    return guarded([&]() -> LSTATUS {
        if (!result) return ERROR_INVALID_PARAMETER;
        *result = nullptr;
        Target t;
        if (LSTATUS s = resolve(key, t)) return s;
        std::vector<std::string> names;
        if (!splitPath(subKey ? subKey : "", names)) return ERROR_INVALID_PARAMETER;
        std::shared_ptr<const Hive> hive;
        if (LSTATUS s = readHive(hive)) return s;
        LSTATUS s;
        const Key* parent = locate(*hive, t, s);
        if (!parent) return s;
        for (const auto& n : names)
            if (!(parent = parent->findSubkey(n))) return ERROR_FILE_NOT_FOUND;
        t.path.insert(t.path.end(), names.begin(), names.end());
        *result = issue(t.root, std::move(t.path), sam);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegCreateKeyExA(HKEY key, const char* subKey, DWORD, char*, DWORD, REGSAM sam, void*, HKEY* result,
                        DWORD* disposition) {
    return guarded([&]() -> LSTATUS {
        if (!result) return ERROR_INVALID_PARAMETER;
        *result = nullptr;
        Target t;
        if (LSTATUS s = resolve(key, t)) return s;
        if (!allowed(t, KEY_CREATE_SUB_KEY)) return ERROR_ACCESS_DENIED;
        std::vector<std::string> names;
        if (!splitPath(subKey ? subKey : "", names)) return ERROR_INVALID_PARAMETER;
        bool createdAny = false;
        const LSTATUS s = changeHive([&](Hive& hive) {
            LSTATUS st;
            Key* k = locate(hive, t, st);
            if (!k) return st;
            for (const auto& n : names) {
                bool created = false;
                k = &k->subkey(n, &created);
                createdAny = createdAny || created;
            }
            return ERROR_SUCCESS;
        });
        if (s) return s;
        if (disposition) *disposition = createdAny ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
        t.path.insert(t.path.end(), names.begin(), names.end());
        *result = issue(t.root, std::move(t.path), sam);
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumKeyExA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD*, char* keyClass, DWORD* classLen,
                      FILETIME* lastWriteTime) {
    return guarded([&]() -> LSTATUS {
        if (!name || !nameLen) return ERROR_INVALID_PARAMETER;
        std::shared_ptr<const Hive> hive;
        const Key* k = nullptr;
        if (LSTATUS s = readKey(key, KEY_ENUMERATE_SUB_KEYS, hive, k)) return s;
        if (index >= k->subkeys().size()) return ERROR_NO_MORE_ITEMS;
        if (LSTATUS st = copyName(k->subkeys()[index].name, name, nameLen)) return st;
        if (keyClass && classLen && *classLen > 0) keyClass[0] = '\0';
        if (classLen) *classLen = 0;
        if (lastWriteTime) *lastWriteTime = FILETIME{0, 0};
        return ERROR_SUCCESS;
    });
}

LSTATUS RegEnumValueA(HKEY key, DWORD index, char* name, DWORD* nameLen, DWORD*, DWORD* type, BYTE* data,
                      DWORD* dataLen) {
    return guarded([&]() -> LSTATUS {
        if (!name || !nameLen) return ERROR_INVALID_PARAMETER;
        std::shared_ptr<const Hive> hive;
        const Key* k = nullptr;
        if (LSTATUS s = readKey(key, KEY_QUERY_VALUE, hive, k)) return s;
        if (index >= k->values.size()) return ERROR_NO_MORE_ITEMS;
        const Value& v = k->values[index];
        if (LSTATUS st = copyName(v.name, name, nameLen)) return st;
        return copyData(v, type, data, dataLen);
    });
}

LSTATUS RegQueryValueExA(HKEY key, const char* valueName, DWORD*, DWORD* type, BYTE* data, DWORD* dataLen) {
    return guarded([&]() -> LSTATUS {
        std::shared_ptr<const Hive> hive;
        const Key* k = nullptr;
        if (LSTATUS s = readKey(key, KEY_QUERY_VALUE, hive, k)) return s;
        const Value* v = k->findValue(valueName ? valueName : "");
        if (!v) return ERROR_FILE_NOT_FOUND;
        return copyData(*v, type, data, dataLen);
    });
}

LSTATUS RegSetValueExA(HKEY key, const char* valueName, DWORD, DWORD type, const BYTE* data, DWORD dataLen) {
    return guarded([&]() -> LSTATUS {
        if ((!data && dataLen) || (valueName && !printableName(valueName))) return ERROR_INVALID_PARAMETER;
        std::vector<BYTE> bytes(data, data + dataLen);
        return changeKey(key, KEY_SET_VALUE, [&](Key& k) {
            k.setValue(valueName ? valueName : "", type, bytes);
            return ERROR_SUCCESS;
        });
    });
}

LSTATUS RegDeleteValueA(HKEY key, const char* valueName) {
    return guarded([&]() -> LSTATUS {
        return changeKey(key, KEY_SET_VALUE, [&](Key& k) {
            return k.eraseValue(valueName ? valueName : "") ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        });
    });
}

namespace {
// Deletes subKey of `key`; withContents allows a key that has subkeys.
LSTATUS deleteKey(HKEY key, const char* subKey, bool withContents) {
    std::vector<std::string> names;
    if (!splitPath(subKey ? subKey : "", names)) return ERROR_INVALID_PARAMETER;
    Target t;
    if (LSTATUS s = resolve(key, t)) return s;
    if (names.empty() && t.path.empty()) return ERROR_ACCESS_DENIED;  // a root is never emptied
    return changeKey(key, 0, [&](Key& k) {
        Key* parent = &k;
        if (names.empty()) {
            if (!withContents) return ERROR_ACCESS_DENIED;  // a key cannot delete itself
            parent->values.clear();
            parent->clearSubkeys();
            return ERROR_SUCCESS;
        }
        for (std::size_t i = 0; i + 1 < names.size(); ++i)
            if (!(parent = parent->findSubkey(names[i]))) return ERROR_FILE_NOT_FOUND;
        const Key* victim = parent->findSubkey(names.back());
        if (!victim) return ERROR_FILE_NOT_FOUND;
        if (!withContents && !victim->subkeys().empty()) return ERROR_ACCESS_DENIED;
        parent->eraseSubkey(names.back());
        return ERROR_SUCCESS;
    });
}
}  // namespace

LSTATUS RegDeleteKeyA(HKEY key, const char* subKey) {
    return guarded([&]() -> LSTATUS {
        if (!subKey || !*subKey) return ERROR_INVALID_PARAMETER;
        return deleteKey(key, subKey, false);
    });
}

LSTATUS RegDeleteTreeA(HKEY key, const char* subKey) {
    return guarded([&] { return deleteKey(key, subKey, true); });
}

LSTATUS RegCloseKey(HKEY key) {
    return guarded([&]() -> LSTATUS {
        const auto v = reinterpret_cast<std::uintptr_t>(key);
        if (v >= 0x80000000u && v < 0x80000000u + kRootCount) return ERROR_SUCCESS;
        auto& k = openKeys();
        std::unique_lock lock(k.mutex);
        if (!key || k.live.erase(key) == 0) return ERROR_INVALID_HANDLE;
        lock.unlock();
        delete key;
        return ERROR_SUCCESS;
    });
}

LSTATUS RegFlushKey(HKEY key) {
    return guarded([&]() -> LSTATUS {
        Target t;
        if (LSTATUS s = resolve(key, t)) return s;
        return oru::registry::flushHive();
    });
}
