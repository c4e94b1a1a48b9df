#include "common/safe_arrays.h"

#include <algorithm>
#include <cstring>

namespace direzo {

namespace {

HRESULT arrayVariant(VARTYPE vt, const void* values, ULONG count, std::size_t elementSize, VARIANT* out) {
    if (!out) return E_POINTER;
    VariantInit(out);
    SAFEARRAY* array = SafeArrayCreateVector(vt, 0, count);
    if (!array) return E_OUTOFMEMORY;
    if (count) {
        void* data = nullptr;
        SafeArrayAccessData(array, &data);
        std::memcpy(data, values, count * elementSize);
        SafeArrayUnaccessData(array);
    }
    out->vt = VT_ARRAY | vt;
    out->parray = array;
    return S_OK;
}

// Element i of an integer array's data, by the element type's width and sign.
LONG integerAt(const void* data, VARTYPE vt, std::size_t i) {
    switch (vt) {
    case VT_I1: return static_cast<const CHAR*>(data)[i];
    case VT_UI1: return static_cast<const BYTE*>(data)[i];
    case VT_I2: return static_cast<const SHORT*>(data)[i];
    case VT_UI2: return static_cast<const USHORT*>(data)[i];
    default: {  // the 32-bit types
        LONG v;
        std::memcpy(&v, static_cast<const BYTE*>(data) + 4 * i, sizeof v);
        return v;
    }
    }
}

// The width of one element of an array of vt (0 for a type this file does not read).
std::size_t elementSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: return 1;
    case VT_I2: case VT_UI2: return 2;
    case VT_I4: case VT_UI4: case VT_INT: case VT_UINT: return 4;
    case VT_VARIANT: return sizeof(VARIANT);
    default: return 0;
    }
}

bool isIntegerType(VARTYPE vt) {
    switch (vt) {
    case VT_I1: case VT_UI1: case VT_I2: case VT_UI2: case VT_I4: case VT_UI4: case VT_INT: case VT_UINT:
        return true;
    default:
        return false;
    }
}

}  // namespace

HRESULT byteArrayVariant(std::span<const BYTE> values, VARIANT* out) {
    return arrayVariant(VT_UI1, values.data(), ULONG(values.size()), sizeof(BYTE), out);
}
HRESULT shortArrayVariant(std::span<const SHORT> values, VARIANT* out) {
    return arrayVariant(VT_I2, values.data(), ULONG(values.size()), sizeof(SHORT), out);
}
HRESULT longArrayVariant(std::span<const LONG> values, VARIANT* out) {
    return arrayVariant(VT_I4, values.data(), ULONG(values.size()), sizeof(LONG), out);
}

std::optional<std::vector<LONG>> integerElements(const VARIANT& array, std::initializer_list<VARTYPE> accepted,
                                                 VARTYPE variantTarget) {
    if (!(array.vt & VT_ARRAY)) return std::nullopt;
    SAFEARRAY* sa = array.vt & VT_BYREF ? (array.pparray ? *array.pparray : nullptr) : array.parray;
    if (!sa) return std::nullopt;
    VARTYPE vt = array.vt & VT_TYPEMASK;
    if (SafeArrayGetDim(sa) != 1) return std::nullopt;
    if (std::find(accepted.begin(), accepted.end(), vt) == accepted.end()) return std::nullopt;
    if (vt != VT_VARIANT && !isIntegerType(vt)) return std::nullopt;
    // The VARIANT's type must describe the array it carries: elements read at another width would
    // run past the array's data.
    if (SafeArrayGetElemsize(sa) != elementSize(vt)) return std::nullopt;
    LONG lower = 0, upper = -1;
    if (FAILED(SafeArrayGetLBound(sa, 1, &lower)) || FAILED(SafeArrayGetUBound(sa, 1, &upper))) return std::nullopt;
    const std::size_t count = upper >= lower ? std::size_t(upper) - std::size_t(lower) + 1 : 0;
    std::vector<LONG> values;
    values.reserve(count);
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(sa, &data))) return std::nullopt;
    bool ok = true;
    for (std::size_t i = 0; i < count && ok; ++i) {
        if (vt != VT_VARIANT) {
            values.push_back(integerAt(data, vt, i));
            continue;
        }
        VARIANT converted;
        VariantInit(&converted);
        ok = SUCCEEDED(VariantChangeType(&converted, &static_cast<const VARIANT*>(data)[i], 0, variantTarget)) &&
             isIntegerType(converted.vt);
        if (ok) values.push_back(integerAt(&converted.llVal, converted.vt, 0));
        VariantClear(&converted);
    }
    SafeArrayUnaccessData(sa);
    if (!ok) return std::nullopt;
    return values;
}

}  // namespace direzo
