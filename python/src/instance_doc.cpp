#include "instance_doc.h"

#include <pybind11/eval.h>

namespace pyoleaut {

namespace {

const char* descriptorSource = R"(
class InstanceDoc:
    def __init__(self, text, listing):
        self.text = text
        self.listing = listing

    def __get__(self, obj, owner=None):
        return self.text if obj is None else self.listing(obj)
)";

}  // namespace

void setInstanceDoc(py::object cls, const char* classDoc, py::cpp_function listing) {
    static py::handle descriptorType = [] {
        py::dict scope;
        scope["__builtins__"] = py::module_::import("builtins");
        scope["__name__"] = "oleaut";
        py::exec(descriptorSource, scope);
        return py::object(scope["InstanceDoc"]).release();  // lives as long as the module
    }();
    py::setattr(cls, "__doc__", descriptorType(classDoc, listing));
}

}  // namespace pyoleaut
