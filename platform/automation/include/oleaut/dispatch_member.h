// Table entries for the table-driven IDispatch: each entry names a member of a dual interface and
// carries a thunk that converts the caller's VARIANT arguments to the C++ parameter types, calls the
// member through the interface's vtable and hands the out values back.
//
//   oleaut::method<&IVireo::SetChannel>(u"SetChannel", {u"channelNo"})
//   oleaut::propget<&IAdapters::get_Count>(u"Count")
//
// Parameter types: in: LONG, SHORT, BYTE, BSTR, VARIANT, IDispatch*, IUnknown*;
// out: a pointer to any of these or to an interface pointer derived from IDispatch. The last
// parameter, when it is an out parameter, is the member's retval: when the caller does not pass it
// by reference it goes to the result VARIANT. (VARIANT_BOOL is SHORT to C++, so a boolean member
// takes or returns a VARIANT.)
#pragma once

#include <initializer_list>
#include <tuple>
#include <type_traits>
#include <utility>

#include "oleaut/oleauto.h"
#include "oleaut/typelib_desc.h"

namespace oleaut {

// After a failed member: with an EXCEPINFO, fills it from the thread's error object (which stays
// current) and answers DISP_E_EXCEPTION; without one answers hr.
HRESULT reportInvokeFailure(HRESULT hr, EXCEPINFO* excepInfo);

namespace detail {

// Converts an in-argument to the VARIANT type vt into `out` (which the caller clears).
HRESULT coerceArgument(const VARIANT* src, VARTYPE vt, VARIANT* out);
// Where an out value goes: the caller's by-reference argument (when it passed one) or the result.
HRESULT outDestination(VARIANT* supplied, VARTYPE vt, VARIANT* retvalDest, VARIANT** dest);
// Stores `value` (whose ownership passes) into dest: by reference or as a plain VARIANT.
void deliverOut(VARIANT* dest, VARIANT& value);

template <class T>
struct InArg;

template <class T, VARTYPE VT>
struct ScalarIn {
    static constexpr VARTYPE vt = VT;
    VARIANT v{};
    HRESULT load(const VARIANT* src) { return coerceArgument(src, VT, &v); }
    T get() {
        T r;
        std::memcpy(&r, &v.llVal, sizeof r);
        return r;
    }
    ~ScalarIn() { VariantClear(&v); }
};
template <> struct InArg<LONG> : ScalarIn<LONG, VT_I4> {};
template <> struct InArg<SHORT> : ScalarIn<SHORT, VT_I2> {};
template <> struct InArg<BYTE> : ScalarIn<BYTE, VT_UI1> {};
template <> struct InArg<BSTR> : ScalarIn<BSTR, VT_BSTR> {};
template <> struct InArg<IDispatch*> : ScalarIn<IDispatch*, VT_DISPATCH> {};
template <> struct InArg<IUnknown*> : ScalarIn<IUnknown*, VT_UNKNOWN> {};
template <>
struct InArg<VARIANT> {
    static constexpr VARTYPE vt = VT_VARIANT;
    VARIANT v{};
    HRESULT load(const VARIANT* src) { return VariantCopyInd(&v, src); }
    VARIANT get() { return v; }
    ~InArg() { VariantClear(&v); }
};

template <class T>
struct OutTraits {
    static_assert(std::is_base_of_v<IDispatch, std::remove_pointer_t<T>>, "unsupported out type");
    static constexpr VARTYPE vt = VT_DISPATCH;
    static void toVariant(T value, VARIANT& v) {
        v.vt = VT_DISPATCH;
        v.pdispVal = value;
    }
};
template <> struct OutTraits<LONG> {
    static constexpr VARTYPE vt = VT_I4;
    static void toVariant(LONG x, VARIANT& v) { v.vt = VT_I4; v.lVal = x; }
};
template <> struct OutTraits<SHORT> {
    static constexpr VARTYPE vt = VT_I2;
    static void toVariant(SHORT x, VARIANT& v) { v.vt = VT_I2; v.iVal = x; }
};
template <> struct OutTraits<BYTE> {
    static constexpr VARTYPE vt = VT_UI1;
    static void toVariant(BYTE x, VARIANT& v) { v.vt = VT_UI1; v.bVal = x; }
};
template <> struct OutTraits<BSTR> {
    static constexpr VARTYPE vt = VT_BSTR;
    static void toVariant(BSTR x, VARIANT& v) { v.vt = VT_BSTR; v.bstrVal = x; }
};
template <> struct OutTraits<IUnknown*> {
    static constexpr VARTYPE vt = VT_UNKNOWN;
    static void toVariant(IUnknown* x, VARIANT& v) { v.vt = VT_UNKNOWN; v.punkVal = x; }
};
template <> struct OutTraits<IDispatch*> {
    static constexpr VARTYPE vt = VT_DISPATCH;
    static void toVariant(IDispatch* x, VARIANT& v) { v.vt = VT_DISPATCH; v.pdispVal = x; }
};
template <> struct OutTraits<VARIANT> {
    static constexpr VARTYPE vt = VT_VARIANT;
    static void toVariant(VARIANT& x, VARIANT& v) { v = x; VariantInit(&x); }
};

// An out parameter: the member writes into `value`; on success it is delivered, otherwise (or
// when nobody asked for it) released.
template <class T>
struct OutArg {
    static constexpr VARTYPE vt = OutTraits<T>::vt;
    T value{};
    VARIANT* dest = nullptr;
    HRESULT bind(VARIANT* supplied, VARIANT* retvalDest) {
        return outDestination(supplied, vt, retvalDest, &dest);
    }
    T* get() { return &value; }
    void deliver() {
        VARIANT v;
        VariantInit(&v);
        OutTraits<T>::toVariant(value, v);
        value = T{};
        if (dest) deliverOut(dest, v);
        else VariantClear(&v);
    }
    ~OutArg() {
        VARIANT v;
        VariantInit(&v);
        OutTraits<T>::toVariant(value, v);
        VariantClear(&v);
    }
};
template <>
struct OutArg<VARIANT> {
    static constexpr VARTYPE vt = VT_VARIANT;
    VARIANT value{};
    VARIANT* dest = nullptr;
    HRESULT bind(VARIANT* supplied, VARIANT* retvalDest) {
        return outDestination(supplied, vt, retvalDest, &dest);
    }
    VARIANT* get() { return &value; }
    void deliver() {
        if (dest) deliverOut(dest, value);
        VariantInit(&value);
    }
    ~OutArg() { VariantClear(&value); }
};

template <class A>
struct Slot {
    using type = InArg<std::remove_cv_t<A>>;
    static constexpr bool out = false;
};
template <class T>
struct Slot<T*> {
    using type = OutArg<T>;
    static constexpr bool out = true;
};
// Interface pointers passed in (IDispatch*, IUnknown*) are in-arguments, not out values.
template <> struct Slot<IDispatch*> { using type = InArg<IDispatch*>; static constexpr bool out = false; };
template <> struct Slot<IUnknown*> { using type = InArg<IUnknown*>; static constexpr bool out = false; };
// BSTR is a pointer type too, but a text passed in.
template <> struct Slot<BSTR> { using type = InArg<BSTR>; static constexpr bool out = false; };

template <auto M>
struct MemberTraits;

template <class I, class... A, HRESULT (I::*M)(A...)>
struct MemberTraits<M> {
    static constexpr std::size_t count = sizeof...(A);
    static std::vector<ParamDesc> params(std::initializer_list<std::u16string> names) {
        std::vector<ParamDesc> out;
        [[maybe_unused]] std::size_t i = 0;
        [[maybe_unused]] auto it = names.begin();
        (
            [&] {
                using S = Slot<A>;
                ParamDesc p;
                p.name = it != names.end() ? *it++ : u"p" + std::u16string(1, char16_t(u'1' + i));
                p.vt = S::type::vt;
                p.flags = S::out ? PARAMFLAG_FOUT : PARAMFLAG_FIN;
                if (S::out && i + 1 == count) p.flags |= PARAMFLAG_FRETVAL;
                out.push_back(std::move(p));
                ++i;
            }(),
            ...);
        return out;
    }

    static HRESULT invoke(IUnknown* itf, DISPPARAMS* dp, VARIANT* result, UINT* argErr) {
        return call(itf, dp, result, argErr, std::index_sequence_for<A...>{});
    }

private:
    template <std::size_t... Is>
    static HRESULT call(IUnknown* itf, DISPPARAMS* dp, VARIANT* result, UINT* argErr,
                        std::index_sequence<Is...>) {
        const UINT supplied = dp ? dp->cArgs : 0;
        if (supplied > count) return DISP_E_BADPARAMCOUNT;
        [[maybe_unused]] std::tuple<typename Slot<A>::type...> slots;
        HRESULT hr = S_OK;
        [[maybe_unused]] auto load = [&](auto& slot, std::size_t i, bool out) {
            if (FAILED(hr)) return;
            VARIANT* arg = i < supplied ? &dp->rgvarg[supplied - 1 - i] : nullptr;
            if constexpr (requires { slot.bind(arg, result); }) {
                hr = slot.bind(arg, out && i + 1 == count ? result : nullptr);
            } else {
                hr = arg ? slot.load(arg) : DISP_E_PARAMNOTOPTIONAL;
            }
            if (FAILED(hr) && argErr && arg) *argErr = UINT(supplied - 1 - i);
        };
        (load(std::get<Is>(slots), Is, Slot<A>::out), ...);
        if (FAILED(hr)) return hr;
        hr = (static_cast<I*>(itf)->*M)(std::get<Is>(slots).get()...);
        if (SUCCEEDED(hr)) {
            [[maybe_unused]] auto deliver = [](auto& slot) {
                if constexpr (requires { slot.deliver(); }) slot.deliver();
            };
            (deliver(std::get<Is>(slots)), ...);
        }
        return hr;
    }
};

}  // namespace detail

template <auto M>
MemberDesc member(std::u16string name, INVOKEKIND kind, std::initializer_list<std::u16string> paramNames = {},
                  bool hidden = false, DISPID id = DISPID_UNKNOWN) {
    using T = detail::MemberTraits<M>;
    MemberDesc d;
    d.name = std::move(name);
    d.dispid = id;
    d.kind = kind;
    d.params = T::params(paramNames);
    d.hidden = hidden;
    d.invoke = &T::invoke;
    return d;
}
template <auto M>
MemberDesc method(std::u16string name, std::initializer_list<std::u16string> paramNames = {}) {
    return member<M>(std::move(name), INVOKE_FUNC, paramNames);
}
template <auto M>
MemberDesc hiddenMethod(std::u16string name, std::initializer_list<std::u16string> paramNames = {}) {
    return member<M>(std::move(name), INVOKE_FUNC, paramNames, true);
}
template <auto M>
MemberDesc propget(std::u16string name, std::initializer_list<std::u16string> paramNames = {u"pVal"}) {
    return member<M>(std::move(name), INVOKE_PROPERTYGET, paramNames);
}
template <auto M>
MemberDesc propput(std::u16string name, std::initializer_list<std::u16string> paramNames = {u"newVal"}) {
    return member<M>(std::move(name), INVOKE_PROPERTYPUT, paramNames);
}
// The collection members with their standard dispatch ids.
template <auto M>
MemberDesc itemMember(std::initializer_list<std::u16string> paramNames = {u"Index", u"pVal"}) {
    return member<M>(u"Item", INVOKE_PROPERTYGET, paramNames, false, DISPID_VALUE);
}
template <auto M>
MemberDesc newEnumMember() {
    return member<M>(u"_NewEnum", INVOKE_PROPERTYGET, {u"pVal"}, true, DISPID_NEWENUM);
}
// A member of an outgoing interface: implemented by the client's sink, so no thunk.
MemberDesc eventMember(std::u16string name, std::vector<ParamDesc> params, DISPID id);

}  // namespace oleaut
