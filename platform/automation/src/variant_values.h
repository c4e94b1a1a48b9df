// What the variant code offers the rest of the runtime: value types, deep copies and replacing a
// variant's value.
#pragma once

#include <cstddef>

#include "value_ownership.h"

namespace oleaut::detail {

// Deep copy of the value src stands for: by-reference sources are followed (one level, or two
// through VT_BYREF | VT_VARIANT).
HRESULT copyDereferenced(const VARIANT& src, VARIANT& out);
// Clears *dest and moves `fresh` (owned) into it; if dest cannot be cleared, fresh is released
// and dest left as it was.
HRESULT replaceVariant(VARIANT* dest, VARIANT& fresh);

}  // namespace oleaut::detail
