// The value types a VARIANT or a SAFEARRAY element may hold: sizes and checks. The bottom layer of
// the variant and safe-array code.
#pragma once

#include <cstddef>

#include "oleaut/oleauto.h"

namespace oleaut::detail {

// Size in bytes of one value of the base type vt; 0 for types that hold no storable value.
std::size_t valueSize(VARTYPE vt);
// vt is a type a VARIANT may carry here (with the VT_ARRAY and VT_BYREF flags).
bool isValidVarType(VARTYPE vt);

}  // namespace oleaut::detail
