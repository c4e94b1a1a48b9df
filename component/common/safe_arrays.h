// One-dimensional safe arrays (lower bound 0) in VARIANTs: built from values, and read back as
// integers whatever integer element type a client chose.
#pragma once

#include <initializer_list>
#include <optional>
#include <span>
#include <vector>

#include "oleaut/oleauto.h"

namespace direzo {

// *out := VT_ARRAY | VT_UI1 / VT_I2 / VT_I4 holding a copy of values. E_OUTOFMEMORY leaves *out
// empty.
HRESULT byteArrayVariant(std::span<const BYTE> values, VARIANT* out);
HRESULT shortArrayVariant(std::span<const SHORT> values, VARIANT* out);
HRESULT longArrayVariant(std::span<const LONG> values, VARIANT* out);

// The elements of a one-dimensional array VARIANT whose element type is one of `accepted`, as
// integers; VT_VARIANT elements (when accepted) are converted to `variantTarget` first. Nothing
// when the argument is not such an array or an element does not convert.
std::optional<std::vector<LONG>> integerElements(const VARIANT& array, std::initializer_list<VARTYPE> accepted,
                                                 VARTYPE variantTarget);

}  // namespace direzo
