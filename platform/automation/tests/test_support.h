// Helpers shared by the runtime's tests: owned BSTRs and VARIANTs, readable variant values and
// a reference-counted fake object.
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "oleaut/oleauto.h"

struct BstrFree {
    void operator()(OLECHAR* b) const { SysFreeString(b); }
};
using Bstr = std::unique_ptr<OLECHAR, BstrFree>;
inline Bstr bstr(const char16_t* text) { return Bstr(SysAllocString(text)); }
inline std::u16string text(BSTR b) { return b ? std::u16string(b, SysStringLen(b)) : std::u16string(); }

// A VARIANT that is cleared when it goes out of scope.
struct Var : VARIANT {
    Var() { VariantInit(this); }
    explicit Var(LONG v) : Var() { vt = VT_I4; lVal = v; }
    Var(const Var&) = delete;
    Var& operator=(const Var&) = delete;
    ~Var() { VariantClear(this); }
    static Var text(const char16_t* t) {
        Var v;
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocString(t);
        return v;
    }
    template <class T>
    static Var of(VARTYPE type, T value) {
        Var v;
        v.vt = type;
        std::memcpy(&v.llVal, &value, sizeof value);
        return v;
    }
    Var(Var&& o) noexcept : VARIANT(o) { VariantInit(&o); }
};

// "type:value" of a plain VARIANT, for comparing conversion results.
std::string describe(const VARIANT& v);

// An object with a visible reference count. As an IDispatch it answers a property read of
// DISPID_VALUE with `value`.
class FakeObject final : public IDispatch {
public:
    explicit FakeObject(bool dispatch = true, LONG value = 7) : dispatch_(dispatch), value_(value) {}
    HRESULT QueryInterface(REFIID riid, void** ppv) override;
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override { return --refs_; }  // lives on the test's stack
    HRESULT GetTypeInfoCount(UINT*) override { return E_NOTIMPL; }
    HRESULT GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override { return E_NOTIMPL; }
    HRESULT Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                   UINT*) override;
    ULONG refs() const { return refs_; }
    LONG lastArgument = 0;
    int calls = 0;

private:
    bool dispatch_;
    LONG value_;
    std::atomic<ULONG> refs_{1};
};
