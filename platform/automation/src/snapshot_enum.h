// One enumerator for VARIANTs, connections and connection points: it walks a snapshot taken when
// it was made; clones share the snapshot and start at the clone's position.
#pragma once

#include <memory>
#include <vector>

#include "com_base.h"

namespace oleaut::detail {

// Traits: static HRESULT copy(const Item& src, Item& dest) (dest holds nothing);
//         static void clear(Item&).
template <class Itf, class Item, class Traits>
class SnapshotEnum final : public ComBase<Itf> {
public:
    struct Snapshot {
        std::vector<Item> items;
        Snapshot() = default;
        Snapshot(const Snapshot&) = delete;
        Snapshot& operator=(const Snapshot&) = delete;
        ~Snapshot() {
            for (Item& item : items) Traits::clear(item);
        }
    };

    static HRESULT create(const std::vector<Item>& items, Itf** out) {
        if (!out) return E_POINTER;
        *out = nullptr;
        auto snapshot = std::make_shared<Snapshot>();
        snapshot->items.reserve(items.size());
        for (const Item& item : items) {
            Item copy{};
            if (const HRESULT hr = Traits::copy(item, copy); FAILED(hr)) return hr;
            snapshot->items.push_back(copy);
        }
        return handOut<Itf>(makeObject<SnapshotEnum>(std::move(snapshot), 0), out);
    }

    SnapshotEnum(std::shared_ptr<const Snapshot> snapshot, ULONG position)
        : snapshot_(std::move(snapshot)), position_(position) {}

    HRESULT Next(ULONG count, Item* items, ULONG* fetched) override {
        if (fetched) *fetched = 0;
        if (count == 0) return S_OK;
        if (!items) return E_POINTER;
        ULONG n = 0;
        for (; n < count && position_ < size(); ++n, ++position_) {
            if (const HRESULT hr = Traits::copy(snapshot_->items[position_], items[n]); FAILED(hr)) {
                for (ULONG k = 0; k < n; ++k) Traits::clear(items[k]);
                position_ -= n;
                return hr;
            }
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Skip(ULONG count) override {
        if (count > size() - position_) {
            position_ = size();
            return S_FALSE;
        }
        position_ += count;
        return S_OK;
    }
    HRESULT Reset() override {
        position_ = 0;
        return S_OK;
    }
    HRESULT Clone(Itf** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        return handOut<Itf>(makeObject<SnapshotEnum>(snapshot_, position_), out);
    }

private:
    ULONG size() const { return ULONG(snapshot_->items.size()); }

    std::shared_ptr<const Snapshot> snapshot_;
    ULONG position_;
};

}  // namespace oleaut::detail
