#include "hive.h"

#include <algorithm>

namespace oru::registry {

namespace {
char lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

template <class T>
auto findNamed(T& items, std::string_view n) {
    return std::find_if(items.begin(), items.end(), [n](const auto& i) { return sameName(i.name, n); });
}
}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

std::size_t nameHash(std::string_view n) noexcept {
    std::size_t h = 14695981039346656037ull;  // FNV-1a over the lower-cased name
    for (char c : n) h = (h ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return h;
}

std::ptrdiff_t Key::position(std::string_view n) const {
    if (index_.empty()) {
        auto it = findNamed(subkeys_, n);
        return it == subkeys_.end() ? -1 : it - subkeys_.begin();
    }
    const std::size_t mask = index_.size() - 1;
    for (std::size_t slot = nameHash(n) & mask;; slot = (slot + 1) & mask) {
        const std::uint32_t entry = index_[slot];
        if (entry == 0) return -1;
        if (sameName(subkeys_[entry - 1].name, n)) return std::ptrdiff_t(entry - 1);
    }
}

void Key::indexAt(std::size_t position) {
    const std::size_t mask = index_.size() - 1;
    std::size_t slot = nameHash(subkeys_[position].name) & mask;
    while (index_[slot] != 0) slot = (slot + 1) & mask;
    index_[slot] = std::uint32_t(position + 1);
}

void Key::reindex() {
    index_.clear();
    if (subkeys_.size() < kIndexFrom) return;
    std::size_t slots = 16;
    while (slots < 2 * subkeys_.size()) slots *= 2;
    index_.assign(slots, 0);
    for (std::size_t i = 0; i < subkeys_.size(); ++i) indexAt(i);
}

Key* Key::findSubkey(std::string_view n) {
    const std::ptrdiff_t i = position(n);
    return i < 0 ? nullptr : &subkeys_[std::size_t(i)];
}
const Key* Key::findSubkey(std::string_view n) const {
    const std::ptrdiff_t i = position(n);
    return i < 0 ? nullptr : &subkeys_[std::size_t(i)];
}
Key& Key::subkey(std::string_view n, bool* created) {
    if (Key* k = findSubkey(n)) {
        if (created) *created = false;
        return *k;
    }
    if (created) *created = true;
    subkeys_.emplace_back(std::string(n));
    if (subkeys_.size() >= kIndexFrom) {
        if (2 * subkeys_.size() > index_.size())
            reindex();
        else
            indexAt(subkeys_.size() - 1);
    }
    return subkeys_.back();
}
Value* Key::findValue(std::string_view n) {
    auto it = findNamed(values, n);
    return it == values.end() ? nullptr : &*it;
}
const Value* Key::findValue(std::string_view n) const {
    auto it = findNamed(values, n);
    return it == values.end() ? nullptr : &*it;
}
void Key::setValue(std::string_view n, DWORD type, std::vector<BYTE> data) {
    if (Value* v = findValue(n)) {
        v->type = type;
        v->data = std::move(data);
    } else {
        values.push_back(Value{std::string(n), type, std::move(data)});
    }
}
bool Key::eraseValue(std::string_view n) {
    auto it = findNamed(values, n);
    if (it == values.end()) return false;
    values.erase(it);
    return true;
}
bool Key::eraseSubkey(std::string_view n) {
    const std::ptrdiff_t i = position(n);
    if (i < 0) return false;
    subkeys_.erase(subkeys_.begin() + i);
    reindex();
    return true;
}
void Key::clearSubkeys() {
    subkeys_.clear();
    index_.clear();
}

bool operator==(const Value& a, const Value& b) {
    return a.name == b.name && a.type == b.type && a.data == b.data;
}
bool operator==(const Key& a, const Key& b) {
    return a.name == b.name && a.values == b.values && a.subkeys() == b.subkeys();
}

std::string_view rootName(Root r) {
    static constexpr std::array<std::string_view, kRootCount> names{
        "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_USERS"};
    return names[std::size_t(r)];
}

Hive::Hive() {
    for (std::size_t i = 0; i < kRootCount; ++i) roots[i].name = std::string(rootName(Root(i)));
}

bool printableName(std::string_view name) {
    return std::none_of(name.begin(), name.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
}

bool splitPath(std::string_view path, std::vector<std::string_view>& names) {
    names.clear();
    if (path.empty()) return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
        if (part.empty() || part.size() > 255 || !printableName(part)) return false;
        names.push_back(part);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
}

bool splitPath(std::string_view path, std::vector<std::string>& names) {
    std::vector<std::string_view> views;
    if (!splitPath(path, views)) return false;
    names.assign(views.begin(), views.end());
    return true;
}

Key* findKey(Hive& hive, Root root, const std::vector<std::string>& path) {
    Key* k = &hive.root(root);
    for (const auto& n : path) {
        k = k->findSubkey(n);
        if (!k) return nullptr;
    }
    return k;
}
const Key* findKey(const Hive& hive, Root root, const std::vector<std::string>& path) {
    return findKey(const_cast<Hive&>(hive), root, path);
}

}  // namespace oru::registry
