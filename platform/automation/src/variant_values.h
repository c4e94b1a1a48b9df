// What the variant and safe-array code shares: value sizes, type checks and deep copies.
#pragma once

#include <cstddef>

#include "oleaut/oleauto.h"

namespace oleaut::detail {

// Size in bytes of one value of the base type vt; 0 for types that hold no storable value.
std::size_t valueSize(VARTYPE vt);
// vt is a type a VARIANT may carry here (with the VT_ARRAY and VT_BYREF flags).
bool isValidVarType(VARTYPE vt);
// Deep copy of src into out, which holds nothing yet: texts duplicated, interfaces counted,
// arrays copied. A by-reference source is copied as the reference.
HRESULT copyVariant(const VARIANT& src, VARIANT& out);
// Deep copy of the value src stands for: by-reference sources are followed (one level, or two
// through VT_BYREF | VT_VARIANT).
HRESULT copyDereferenced(const VARIANT& src, VARIANT& out);
// Clears *dest and moves `fresh` (owned) into it; if dest cannot be cleared, fresh is released
// and dest left as it was.
HRESULT replaceVariant(VARIANT* dest, VARIANT& fresh);

}  // namespace oleaut::detail
