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

std::size_t NameHash::operator()(std::string_view n) const noexcept {
    std::size_t h = 14695981039346656037ull;  // FNV-1a over the lower-cased name
    for (char c : n) h = (h ^ static_cast<unsigned char>(lower(c))) * 1099511628211ull;
    return h;
}

std::ptrdiff_t Key::position(std::string_view n) const {
    if (subkeys_.size() < kIndexFrom) {
        auto it = findNamed(subkeys_, n);
        return it == subkeys_.end() ? -1 : it - subkeys_.begin();
    }
    auto it = index_.find(n);
    return it == index_.end() ? -1 : std::ptrdiff_t(it->second);
}

void Key::reindex() {
    index_.clear();
    if (subkeys_.size() < kIndexFrom) return;
    index_.reserve(subkeys_.size());
    for (std::size_t i = 0; i < subkeys_.size(); ++i) index_.emplace(subkeys_[i].name, i);
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
    if (subkeys_.size() == kIndexFrom)
        reindex();
    else if (subkeys_.size() > kIndexFrom)
        index_.emplace(subkeys_.back().name, subkeys_.size() - 1);
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

bool splitPath(std::string_view path, std::vector<std::string>& names) {
    names.clear();
    if (path.empty()) return true;
    std::size_t start = 0;
    while (true) {
        const std::size_t end = path.find('\\', start);
        const std::string_view part = path.substr(start, end == std::string_view::npos ? path.npos : end - start);
        if (part.empty() || part.size() > 255 || !printableName(part)) return false;
        names.emplace_back(part);
        if (end == std::string_view::npos) return true;
        start = end + 1;
    }
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
