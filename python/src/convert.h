// Values between Python and VARIANTs:
//   None <-> empty, bool <-> VT_BOOL, int -> VT_I4 (range-checked), float <-> VT_R8,
//   str <-> BSTR, bytes / bytearray <-> VT_ARRAY|VT_UI1, list or tuple of int -> VT_ARRAY|VT_I4,
//   other arrays -> list, Dispatch <-> VT_DISPATCH.
#pragma once

#include <pybind11/pybind11.h>

#include <string_view>

#include "oleaut/oaidl.h"

namespace pyoleaut {

namespace py = pybind11;

// Fills `out` (empty on entry) from a Python value; `what` names the value in errors
// ("argument 1 of SetChannel"). Throws TypeError or OverflowError for values that have no
// automation form.
void toVariant(py::handle value, VARIANT& out, std::string_view what);

// A Python value for a VARIANT (by-reference values are followed). Objects become Dispatch
// objects that hold their own reference.
py::object fromVariant(const VARIANT& v);

}  // namespace pyoleaut
