// IUnknown for the runtime's own objects: an atomic reference count and QueryInterface over the
// interfaces the class lists (the first one is the object's identity).
#pragma once

#include <atomic>
#include <new>
#include <utility>

#include "oleaut/comptr.h"

namespace oleaut::detail {

template <class First, class... Rest>
class ComBase : public First, public Rest... {
public:
    ComBase() = default;
    ComBase(const ComBase&) = delete;
    ComBase& operator=(const ComBase&) = delete;
    virtual ~ComBase() = default;

    HRESULT QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (riid == IUnknown::iid || riid == First::iid)
            *ppv = static_cast<First*>(this);
        else
            ((riid == Rest::iid && !*ppv ? (*ppv = static_cast<Rest*>(this), true) : false), ...);
        if (!*ppv) return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    ULONG AddRef() override { return refs_.fetch_add(1) + 1; }
    ULONG Release() override {
        const ULONG left = refs_.fetch_sub(1) - 1;
        if (left == 0) delete this;
        return left;
    }

private:
    std::atomic<ULONG> refs_{0};
};

// A new object of class T with one counted reference, or null when memory runs out.
template <class T, class... Args>
ComPtr<T> makeObject(Args&&... args) {
    return ComPtr<T>(new (std::nothrow) T(std::forward<Args>(args)...));
}

// Hands the reference in p to an out parameter (through the interface I).
template <class I, class T>
HRESULT handOut(ComPtr<T> p, I** out) {
    if (!p) return E_OUTOFMEMORY;
    *out = static_cast<I*>(p.detach());
    return S_OK;
}

}  // namespace oleaut::detail
