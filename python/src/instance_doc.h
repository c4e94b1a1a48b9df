// __doc__ that differs between a class and its objects: help(oleaut.Dispatch) shows the class's
// text, help(obj) the members of the object's interface.
#pragma once

#include <pybind11/pybind11.h>

namespace pyoleaut {

namespace py = pybind11;

// Sets cls.__doc__ to a descriptor answering `classDoc` on the class and listing(obj) on an object.
void setInstanceDoc(py::object cls, const char* classDoc, py::cpp_function listing);

}  // namespace pyoleaut
