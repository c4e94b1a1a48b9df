#include "value_types.h"

namespace oleaut::detail {

std::size_t valueSize(VARTYPE vt) {
    switch (vt) {
    case VT_I1:
    case VT_UI1:
        return 1;
    case VT_I2:
    case VT_UI2:
    case VT_BOOL:
        return 2;
    case VT_I4:
    case VT_UI4:
    case VT_INT:
    case VT_UINT:
    case VT_R4:
    case VT_ERROR:
        return 4;
    case VT_I8:
    case VT_UI8:
    case VT_R8:
    case VT_CY:
    case VT_DATE:
        return 8;
    case VT_BSTR:
    case VT_DISPATCH:
    case VT_UNKNOWN:
        return sizeof(void*);
    case VT_VARIANT:
        return sizeof(VARIANT);
    default:
        return 0;
    }
}

bool isValidVarType(VARTYPE vt) {
    if (vt & ~(VT_TYPEMASK | VT_ARRAY | VT_BYREF)) return false;
    const VARTYPE base = vt & VT_TYPEMASK;
    if (base == VT_EMPTY || base == VT_NULL) return vt == base;
    if (base == VT_VARIANT) return vt != base;  // a variant holds another only by reference or in arrays
    return valueSize(base) != 0;
}

}  // namespace oleaut::detail
