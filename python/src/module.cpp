// The Python extension module `oleaut`: a late-bound client of automation objects.
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "dispatch_client.h"
#include "errors.h"
#include "event_sink.h"
#include "instance_doc.h"
#include "oleaut/objbase.h"

namespace py = pybind11;
using namespace pyoleaut;

PYBIND11_MODULE(oleaut, m) {
    m.doc() =
        "Late-bound client of automation objects.\n\n"
        "    adapters = oleaut.Dispatch('OruDirEzo.Adapters')\n"
        "    print(adapters.Count)              # property get\n"
        "    adapter = adapters.Item(1)         # method or parameterised property\n"
        "    adapter = adapters(1)              # the default member\n"
        "    for a in adapters: ...             # iteration through _NewEnum\n"
        "    rid.Name = 'x'                     # property put\n\n"
        "A member's out values are its result (one value, or a tuple in parameter order); a member\n"
        "without out values returns its status (0, or 1 for status 1). Failure statuses raise\n"
        "oleaut.Error with .hresult, .description and .source. oleaut.last_status() is the status\n"
        "of the last call on this thread. Events: oleaut.advise(obj, sink) / oleaut.unadvise.\n"
        "An object is used on the thread that created it.";

    registerErrors(m);

    py::class_<DispatchClient> dispatch(m, "Dispatch");
    dispatch
        .def(py::init(&DispatchClient::create), py::arg("progid"), py::arg("host") = py::none())
        .def("__getattr__", [](py::object self, py::str name) {
            return self.cast<const DispatchClient&>().getAttr(self, name);
        })
        .def("__setattr__", [](const DispatchClient& c, py::str name, py::handle value) { c.setAttr(name, value); })
        .def("__call__", [](const DispatchClient& c, const py::args& args, const py::kwargs& kwargs) {
            if (kwargs.size() != 0) throw py::type_error(c.repr() + " takes positional arguments only");
            return c.callDefault(args);
        })
        .def("__iter__", &DispatchClient::iterate)
        .def("__dir__", &DispatchClient::dir)
        .def("__repr__", &DispatchClient::repr)
        .def("__eq__", [](const DispatchClient& a, py::object b) {
            return py::isinstance<DispatchClient>(b) && a.sameObject(b.cast<const DispatchClient&>());
        })
        .def("__hash__", &DispatchClient::identity)
        .def("__bool__", [](const DispatchClient&) { return true; });
    setInstanceDoc(dispatch,
                   "Dispatch(progid, host=None): an automation object created by ProgID, in this process or\n"
                   "(with host) through the remote provider. help(obj) lists the object's members.",
                   py::cpp_function(&DispatchClient::doc));

    py::class_<BoundMember> member(m, "Member");
    member
        .def("__call__", [](const BoundMember& b, const py::args& args, const py::kwargs& kwargs) {
            if (kwargs.size() != 0) throw py::type_error(b.repr() + " takes positional arguments only");
            return b.call(args);
        })
        .def("__repr__", &BoundMember::repr);
    setInstanceDoc(member, "A member of an automation object that takes arguments.", py::cpp_function(&BoundMember::doc));

    py::class_<EnumIterator>(m, "Enumerator", "An iterator over a collection's _NewEnum.")
        .def("__iter__", [](py::object self) { return self; })
        .def("__next__", &EnumIterator::next);

    m.def("advise", [](const DispatchClient& obj, py::object sink) { return advise(obj, std::move(sink)); },
          py::arg("obj"), py::arg("sink"),
          "Connects sink to the events of obj: each event calls the sink's method of the same name\n"
          "(for example FlashProgress(blockcount, blocklength, blockAddress)). Returns the cookie.");
    m.def("unadvise", &unadvise, py::arg("obj"), py::arg("cookie"),
          "Ends a connection that advise made.");
    m.def("last_status", [] { return statusToPython(lastStatus()); },
          "The status of the last automation call on this thread: 0, 1, or the failure code.");

    // Statuses scripts compare with (failures as unsigned 32-bit codes, as Error.hresult gives them).
    const std::pair<const char*, HRESULT> statuses[] = {
        {"S_OK", S_OK}, {"S_FALSE", S_FALSE}, {"E_NOTIMPL", E_NOTIMPL}, {"E_NOINTERFACE", E_NOINTERFACE},
        {"E_POINTER", E_POINTER}, {"E_FAIL", E_FAIL}, {"E_INVALIDARG", E_INVALIDARG},
        {"E_OUTOFMEMORY", E_OUTOFMEMORY}, {"REGDB_E_CLASSNOTREG", REGDB_E_CLASSNOTREG},
        {"CO_E_CLASSSTRING", CO_E_CLASSSTRING}, {"RPC_S_SERVER_UNAVAILABLE", RPC_S_SERVER_UNAVAILABLE},
        {"RPC_S_SERVER_TOO_BUSY", RPC_S_SERVER_TOO_BUSY},
        {"RPC_E_WRONG_THREAD", RPC_E_WRONG_THREAD}, {"CONNECT_E_NOCONNECTION", CONNECT_E_NOCONNECTION},
        {"DISP_E_MEMBERNOTFOUND", DISP_E_MEMBERNOTFOUND}, {"DISP_E_TYPEMISMATCH", DISP_E_TYPEMISMATCH},
        {"DISP_E_BADPARAMCOUNT", DISP_E_BADPARAMCOUNT}, {"DISP_E_OVERFLOW", DISP_E_OVERFLOW},
        {"DISP_E_UNKNOWNNAME", DISP_E_UNKNOWNNAME},
    };
    for (const auto& [name, hr] : statuses) m.attr(name) = statusToPython(hr);
}
