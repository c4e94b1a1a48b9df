// ComPtr<T>: owns one counted reference to an interface.
#pragma once

#include <utility>

#include "oleaut/unknwn.h"

template <class T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference (AddRef) to p.
    explicit ComPtr(T* p) : p_(p) {
        if (p_) p_->AddRef();
    }
    ComPtr(const ComPtr& o) : ComPtr(o.p_) {}
    ComPtr(ComPtr&& o) noexcept : p_(std::exchange(o.p_, nullptr)) {}
    ~ComPtr() { reset(); }
    ComPtr& operator=(ComPtr o) noexcept {
        std::swap(p_, o.p_);
        return *this;
    }

    // Adopts a reference the caller already owns (no AddRef).
    static ComPtr attach(T* p) {
        ComPtr r;
        r.p_ = p;
        return r;
    }
    T* detach() { return std::exchange(p_, nullptr); }
    void reset() {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    // For out parameters: releases what is held and returns the slot.
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

    T* get() const { return p_; }
    T* operator->() const { return p_; }
    T& operator*() const { return *p_; }
    explicit operator bool() const { return p_ != nullptr; }

    template <class U>
    ComPtr<U> as() const {
        ComPtr<U> r;
        if (p_) p_->QueryInterface(U::iid, r.putVoid());
        return r;
    }

private:
    T* p_ = nullptr;
};
