// The collection pattern shared by Adapters, BBPRegs, Rids and PDA: items kept under text keys in
// code-unit order, a snapshot enumerator, and Item by 1-based position or by key.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "common/text.h"
#include "oleaut/com_object.h"

namespace direzo {

enum class EnumOrder { Ascending, Descending };

// How Item(Index) resolved: the item, or why not.
struct ItemLookup {
    enum class Failure { None, Index, Key, ArgumentType };
    IDispatch* item = nullptr;  // not counted
    Failure failure = Failure::None;
    LONG index = 0;          // the position asked for (Failure::Index)
    std::u16string key;      // the key looked up (Failure::Key)
    std::u16string typeText; // the argument's type (Failure::ArgumentType)
};

// A text for the %S of an "argument type unknown" message: the VARIANT's type name.
std::u16string variantTypeText(const VARIANT& v);

// The message of a failed Item lookup, beginning with the interface's name ("IAdapters", ...).
std::u16string lookupFailureText(const ItemLookup& lookup, const char* interfaceName);

template <class Item>
class KeyedCollection {
public:
    using Map = std::map<std::u16string, ComPtr<Item>>;

    Map& items() { return items_; }
    const Map& items() const { return items_; }
    LONG count() const { return LONG(items_.size()); }

    // Index: VT_I2 or VT_I4 is a position 1..count in ascending key order; a non-null VT_BSTR is a
    // key, upper-cased first when upperCaseKeys.
    ItemLookup find(const VARIANT& index, bool upperCaseKeys) const {
        ItemLookup r;
        if (index.vt == VT_I2 || index.vt == VT_I4) {
            r.index = index.vt == VT_I2 ? index.iVal : index.lVal;
            if (r.index < 1 || r.index > count()) {
                r.failure = ItemLookup::Failure::Index;
                return r;
            }
            r.item = std::next(items_.begin(), r.index - 1)->second.get();
        } else if (index.vt == VT_BSTR && index.bstrVal) {
            r.key.assign(index.bstrVal, SysStringLen(index.bstrVal));
            if (upperCaseKeys) r.key = upperCase(std::move(r.key));
            auto it = items_.find(r.key);
            if (it == items_.end()) {
                r.failure = ItemLookup::Failure::Key;
                return r;
            }
            r.item = it->second.get();
        } else {
            r.failure = ItemLookup::Failure::ArgumentType;
            r.typeText = variantTypeText(index);
        }
        return r;
    }

    // Item(Index) of a collection class: the item's Out interface, or E_INVALIDARG with the
    // message (which begins with interfaceName) reported through report(status, text).
    template <class Out, class Report>
    HRESULT item(const VARIANT& index, bool upperCaseKeys, const char* interfaceName, Out** out,
                 Report report) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        const ItemLookup found = find(index, upperCaseKeys);
        if (found.failure != ItemLookup::Failure::None)
            return report(E_INVALIDARG, lookupFailureText(found, interfaceName));
        return found.item->QueryInterface(Out::iid, reinterpret_cast<void**>(out));
    }

    // An enumerator over a snapshot of the items' IDispatch references.
    HRESULT newEnum(EnumOrder order, IUnknown** out) const {
        if (!out) return E_POINTER;
        *out = nullptr;
        std::vector<VARIANT> snapshot;
        snapshot.reserve(items_.size());
        auto add = [&](const ComPtr<Item>& item) {
            VARIANT v;
            VariantInit(&v);
            v.vt = VT_DISPATCH;
            v.pdispVal = item.get();  // borrowed: the enumerator copies (and counts) it
            snapshot.push_back(v);
        };
        if (order == EnumOrder::Ascending)
            for (auto it = items_.begin(); it != items_.end(); ++it) add(it->second);
        else
            for (auto it = items_.rbegin(); it != items_.rend(); ++it) add(it->second);
        IEnumVARIANT* e = nullptr;
        const HRESULT hr = oleaut::CreateEnumVARIANT(snapshot, &e);
        *out = e;
        return hr;
    }

private:
    Map items_;
};

}  // namespace direzo
