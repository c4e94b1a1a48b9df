// Owning holders of VARIANTs: each is cleared when its holder goes.
#pragma once

#include <cstddef>
#include <vector>

#include "oleaut/oleauto.h"

namespace pyoleaut {

class Variant {
public:
    Variant() { VariantInit(&v_); }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;

    VARIANT* get() { return &v_; }
    const VARIANT* get() const { return &v_; }
    VARIANT& operator*() { return v_; }
    VARIANT* operator->() { return &v_; }

private:
    VARIANT v_;
};

// A fixed number of VARIANTs in one block, as DISPPARAMS wants them.
class VariantArray {
public:
    explicit VariantArray(std::size_t n) : items_(n) {
        for (auto& v : items_) VariantInit(&v);
    }
    ~VariantArray() {
        for (auto& v : items_) VariantClear(&v);
    }
    VariantArray(const VariantArray&) = delete;
    VariantArray& operator=(const VariantArray&) = delete;

    VARIANT* data() { return items_.data(); }
    VARIANT& operator[](std::size_t i) { return items_[i]; }
    std::size_t size() const { return items_.size(); }

private:
    std::vector<VARIANT> items_;
};

}  // namespace pyoleaut
