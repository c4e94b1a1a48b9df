// The registry's contents in memory: four root keys, each a tree of keys holding typed values.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <cstdint>
#include <vector>

#include "registry/winreg.h"

namespace oru::registry {

// Key and value names compare without regard to (ASCII) case.
bool sameName(std::string_view a, std::string_view b);

// A hash of a name that ignores (ASCII) case, so that equal names hash alike.
std::size_t nameHash(std::string_view n) noexcept;

struct Value {
    std::string name;  // "" is the key's default value
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
};

class Key {
public:
    Key() = default;
    explicit Key(std::string n) : name(std::move(n)) {}

    std::string name;             // spelt as created
    std::vector<Value> values;    // in the order they were set

    // The subkeys in the order they were created.
    const std::vector<Key>& subkeys() const { return subkeys_; }
    Key* findSubkey(std::string_view n);
    const Key* findSubkey(std::string_view n) const;
    // The subkey `n`, created (last in order) when missing.
    Key& subkey(std::string_view n, bool* created = nullptr);
    Value* findValue(std::string_view n);
    const Value* findValue(std::string_view n) const;
    // Sets (or replaces in place) value `n`.
    void setValue(std::string_view n, DWORD type, std::vector<BYTE> data);
    bool eraseValue(std::string_view n);
    bool eraseSubkey(std::string_view n);
    void clearSubkeys();

private:
    // A key with many subkeys finds them through an index, a few are searched. The index is an
    // open-addressing table of subkey positions + 1 (0: empty), at most half full, probed
    // linearly from the name's hash; it holds no names, so it stays right when subkeys move.
    static constexpr std::size_t kIndexFrom = 8;
    std::ptrdiff_t position(std::string_view n) const;
    void indexAt(std::size_t position);
    void reindex();

    std::vector<Key> subkeys_;
    std::vector<std::uint32_t> index_;
};

enum class Root { ClassesRoot, CurrentUser, LocalMachine, Users };
constexpr std::size_t kRootCount = 4;

std::string_view rootName(Root r);

struct Hive {
    Hive();
    std::array<Key, kRootCount> roots;
    Key& root(Root r) { return roots[std::size_t(r)]; }
    const Key& root(Root r) const { return roots[std::size_t(r)]; }
    bool operator==(const Hive&) const = default;
};

bool operator==(const Value& a, const Value& b);
bool operator==(const Key& a, const Key& b);

// False for a name with control characters, which the hive file cannot hold.
bool printableName(std::string_view name);

// Splits "A\B\C" into its names. Empty names (a doubled, leading or trailing backslash) and names
// longer than 255 characters or with control characters make it fail.
bool splitPath(std::string_view path, std::vector<std::string>& names);
// The same, with the names as views into `path`.
bool splitPath(std::string_view path, std::vector<std::string_view>& names);

const Key* findKey(const Hive& hive, Root root, const std::vector<std::string>& path);
Key* findKey(Hive& hive, Root root, const std::vector<std::string>& path);

}  // namespace oru::registry
