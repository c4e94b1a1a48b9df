// VariantChangeType: conversions among the integer types, VT_BOOL, VT_R4 / VT_R8, decimal text
// and interface pointers.
#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <utility>

#include "text.h"
#include "variant_values.h"

using namespace oleaut::detail;

namespace {

// A numeric value on its way between two types.
struct Number {
    enum Kind { Signed, Unsigned, Real } kind = Signed;
    std::int64_t i = 0;
    std::uint64_t u = 0;
    double d = 0;
};

Number signedNumber(std::int64_t v) { return {Number::Signed, v, 0, 0}; }
Number unsignedNumber(std::uint64_t v) { return {Number::Unsigned, 0, v, 0}; }
Number realNumber(double v) { return {Number::Real, 0, 0, v}; }

bool isNumericType(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_I8:
    case VT_UI8: case VT_INT: case VT_UINT: case VT_BOOL: case VT_R4: case VT_R8:
        return true;
    default:
        return false;
    }
}

// The numeric value of v (VT_EMPTY counts as zero); false for non-numeric types.
bool readNumber(const VARIANT& v, Number& n) {
    switch (v.vt) {
    case VT_EMPTY: n = signedNumber(0); return true;
    case VT_I1: n = signedNumber(v.cVal); return true;
    case VT_UI1: n = signedNumber(v.bVal); return true;
    case VT_I2: n = signedNumber(v.iVal); return true;
    case VT_UI2: n = signedNumber(v.uiVal); return true;
    case VT_I4: n = signedNumber(v.lVal); return true;
    case VT_UI4: n = signedNumber(v.ulVal); return true;
    case VT_INT: n = signedNumber(v.intVal); return true;
    case VT_UINT: n = signedNumber(v.uintVal); return true;
    case VT_I8: n = signedNumber(v.llVal); return true;
    case VT_UI8: n = unsignedNumber(v.ullVal); return true;
    case VT_BOOL: n = signedNumber(v.boolVal ? VARIANT_TRUE : VARIANT_FALSE); return true;
    case VT_R4: n = realNumber(v.fltVal); return true;
    case VT_R8: n = realNumber(v.dblVal); return true;
    default: return false;
    }
}

// Decimal text (surrounding blanks allowed; "True" / "False" for VT_BOOL) as a number.
HRESULT parseNumber(BSTR text, VARTYPE target, Number& n) {
    std::string s = toUtf8(std::u16string_view(text ? text : u"", SysStringLen(text)));
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    const auto first = std::find_if_not(s.begin(), s.end(), blank);
    const auto last = std::find_if_not(s.rbegin(), s.rend(), blank).base();
    s = first < last ? std::string(first, last) : std::string();
    if (target == VT_BOOL) {
        if (equalsIgnoreCase(s, "true")) { n = signedNumber(VARIANT_TRUE); return S_OK; }
        if (equalsIgnoreCase(s, "false")) { n = signedNumber(VARIANT_FALSE); return S_OK; }
    }
    if (s.size() > 1 && s[0] == '+' && s[1] != '-' && s[1] != '+') s.erase(0, 1);
    if (s.empty()) return DISP_E_TYPEMISMATCH;
    const char* begin = s.data();
    const char* end = s.data() + s.size();

    std::int64_t i = 0;
    auto r = std::from_chars(begin, end, i);
    if (r.ec == std::errc() && r.ptr == end) { n = signedNumber(i); return S_OK; }
    if (r.ec == std::errc::result_out_of_range && s[0] != '-') {
        std::uint64_t u = 0;
        auto ru = std::from_chars(begin, end, u);
        if (ru.ec == std::errc() && ru.ptr == end) { n = unsignedNumber(u); return S_OK; }
    }
    double d = 0;
    auto rd = std::from_chars(begin, end, d, std::chars_format::general);
    if (rd.ptr != end) return DISP_E_TYPEMISMATCH;
    if (rd.ec == std::errc::result_out_of_range) return DISP_E_OVERFLOW;
    if (rd.ec != std::errc() || !std::isfinite(d)) return DISP_E_TYPEMISMATCH;  // no "inf", "nan"
    n = realNumber(d);
    return S_OK;
}

template <class T>
HRESULT toInteger(const Number& n, T& out) {
    using L = std::numeric_limits<T>;
    switch (n.kind) {
    case Number::Signed:
        if (std::cmp_less(n.i, L::min()) || std::cmp_greater(n.i, L::max())) return DISP_E_OVERFLOW;
        out = T(n.i);
        return S_OK;
    case Number::Unsigned:
        if (std::cmp_greater(n.u, L::max())) return DISP_E_OVERFLOW;
        out = T(n.u);
        return S_OK;
    case Number::Real: {
        if (!std::isfinite(n.d)) return DISP_E_OVERFLOW;
        const double r = std::nearbyint(n.d);  // halves go to the even neighbour
        if (r < double(L::min()) || r >= std::ldexp(1.0, L::digits)) return DISP_E_OVERFLOW;
        out = T(r);
        return S_OK;
    }
    }
    return DISP_E_TYPEMISMATCH;
}

double toReal(const Number& n) {
    return n.kind == Number::Signed ? double(n.i) : n.kind == Number::Unsigned ? double(n.u) : n.d;
}

HRESULT storeNumber(const Number& n, VARTYPE vt, VARIANT& out) {
    HRESULT hr = S_OK;
    switch (vt) {
    case VT_I1: {
        signed char c = 0;
        hr = toInteger(n, c);
        out.cVal = CHAR(c);
        break;
    }
    case VT_UI1: hr = toInteger(n, out.bVal); break;
    case VT_I2: hr = toInteger(n, out.iVal); break;
    case VT_UI2: hr = toInteger(n, out.uiVal); break;
    case VT_I4: hr = toInteger(n, out.lVal); break;
    case VT_UI4: hr = toInteger(n, out.ulVal); break;
    case VT_INT: hr = toInteger(n, out.intVal); break;
    case VT_UINT: hr = toInteger(n, out.uintVal); break;
    case VT_I8: hr = toInteger(n, out.llVal); break;
    case VT_UI8: hr = toInteger(n, out.ullVal); break;
    case VT_BOOL: out.boolVal = toReal(n) != 0 ? VARIANT_TRUE : VARIANT_FALSE; break;
    case VT_R8: out.dblVal = toReal(n); break;
    case VT_R4: {
        const double d = toReal(n);
        if (std::isfinite(d) && std::fabs(d) > double(std::numeric_limits<float>::max())) return DISP_E_OVERFLOW;
        out.fltVal = float(d);
        break;
    }
    default: return DISP_E_TYPEMISMATCH;
    }
    if (SUCCEEDED(hr)) out.vt = vt;
    return hr;
}

HRESULT formatNumber(const Number& n, VARTYPE sourceVt, VARIANT& out) {
    char buf[64];
    std::to_chars_result r{};
    if (n.kind == Number::Signed)
        r = std::to_chars(buf, buf + sizeof buf, n.i);
    else if (n.kind == Number::Unsigned)
        r = std::to_chars(buf, buf + sizeof buf, n.u);
    else if (sourceVt == VT_R4)
        r = std::to_chars(buf, buf + sizeof buf, float(n.d));  // shortest text that reads back
    else
        r = std::to_chars(buf, buf + sizeof buf, n.d);
    std::replace(buf, r.ptr, 'e', 'E');
    const std::u16string text = toUtf16(std::string_view(buf, std::size_t(r.ptr - buf)));
    BSTR b = SysAllocStringLen(text.data(), UINT(text.size()));
    if (!b) return E_OUTOFMEMORY;
    out.vt = VT_BSTR;
    out.bstrVal = b;
    return S_OK;
}

HRESULT convert(VARIANT& value, USHORT flags, VARTYPE vt, VARIANT& out);

// An interface pointer to a plain value: through the object's default member, unless the caller
// forbids it.
HRESULT convertObjectValue(IUnknown* object, USHORT flags, VARTYPE vt, VARIANT& out) {
    if (!object || (flags & VARIANT_NOVALUEPROP)) return DISP_E_TYPEMISMATCH;
    IDispatch* dispatch = nullptr;
    if (FAILED(object->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch))) || !dispatch)
        return DISP_E_TYPEMISMATCH;
    DISPPARAMS none{nullptr, nullptr, 0, 0};
    VARIANT result;
    VariantInit(&result);
    HRESULT hr = dispatch->Invoke(DISPID_VALUE, GUID_NULL, LOCALE_USER_DEFAULT, DISPATCH_PROPERTYGET, &none,
                                  &result, nullptr, nullptr);
    dispatch->Release();
    if (FAILED(hr)) {
        VariantClear(&result);
        return DISP_E_TYPEMISMATCH;
    }
    VARIANT plain;
    hr = copyDereferenced(result, plain);
    VariantClear(&result);
    if (FAILED(hr)) return hr;
    hr = convert(plain, flags | VARIANT_NOVALUEPROP, vt, out);
    VariantClear(&plain);
    return hr;
}

// Converts `value` (owned, not by reference; may be moved from) to vt in `out` (empty).
HRESULT convert(VARIANT& value, USHORT flags, VARTYPE vt, VARIANT& out) {
    const VARTYPE from = value.vt;
    if (from == vt) {
        out = value;
        VariantInit(&value);
        return S_OK;
    }
    if (vt == VT_EMPTY) return S_OK;
    if ((from & VT_ARRAY) || (vt & VT_ARRAY) || from == VT_NULL || vt == VT_NULL || from == VT_ERROR ||
        vt == VT_ERROR)
        return DISP_E_TYPEMISMATCH;

    if (vt == VT_DISPATCH || vt == VT_UNKNOWN) {
        out.vt = vt;
        if (from == VT_EMPTY) return S_OK;  // nothing: a null reference
        if (from != VT_DISPATCH && from != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
        if (!value.punkVal) return S_OK;
        void* itf = nullptr;
        if (FAILED(value.punkVal->QueryInterface(vt == VT_DISPATCH ? IID_IDispatch : IID_IUnknown, &itf)) || !itf) {
            VariantInit(&out);
            return DISP_E_TYPEMISMATCH;
        }
        out.punkVal = static_cast<IUnknown*>(itf);
        return S_OK;
    }
    if (from == VT_DISPATCH || from == VT_UNKNOWN) return convertObjectValue(value.punkVal, flags, vt, out);

    if (from == VT_EMPTY && vt == VT_BSTR) {  // nothing reads as the empty text
        out.vt = VT_BSTR;
        out.bstrVal = SysAllocString(u"");
        return out.bstrVal ? S_OK : E_OUTOFMEMORY;
    }
    Number n;
    if (from == VT_BSTR) {
        if (const HRESULT hr = parseNumber(value.bstrVal, vt, n); FAILED(hr)) return hr;
    } else if (!readNumber(value, n)) {
        return DISP_E_TYPEMISMATCH;
    }
    if (vt == VT_BSTR) return formatNumber(n, from, out);
    if (!isNumericType(vt)) return DISP_E_TYPEMISMATCH;
    return storeNumber(n, vt, out);
}

bool isValidTarget(VARTYPE vt) {
    if (vt & VT_BYREF) return false;
    if (vt & VT_ARRAY) return isValidVarType(vt);
    return vt == VT_EMPTY || vt == VT_NULL || vt == VT_BSTR || vt == VT_DISPATCH || vt == VT_UNKNOWN ||
           vt == VT_ERROR || isNumericType(vt);
}

}  // namespace

HRESULT VariantChangeType(VARIANTARG* pvargDest, const VARIANTARG* pvarSrc, USHORT wFlags, VARTYPE vt) {
    if (!pvargDest || !pvarSrc) return E_INVALIDARG;
    if (!isValidTarget(vt)) return DISP_E_BADVARTYPE;
    VARIANT value;
    if (const HRESULT hr = copyDereferenced(*pvarSrc, value); FAILED(hr)) return hr;
    VARIANT result;
    VariantInit(&result);
    const HRESULT hr = convert(value, wFlags, vt, result);
    VariantClear(&value);
    if (FAILED(hr)) {
        VariantClear(&result);
        return hr;
    }
    return replaceVariant(pvargDest, result);
}
