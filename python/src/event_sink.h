// Events: connecting a Python object to an automation object's outgoing interface. The object's
// connection point calls a sink of ours through IDispatch; the sink calls the Python method named
// as the event member.
#pragma once

#include <pybind11/pybind11.h>

#include "oleaut/wtypes.h"

namespace pyoleaut {

namespace py = pybind11;

class DispatchClient;

// Connects `sink` to the outgoing interface of `source` for which it has methods; returns the
// connection's cookie.
DWORD advise(const DispatchClient& source, py::object sink);
// Ends a connection made by advise.
void unadvise(const DispatchClient& source, DWORD cookie);

}  // namespace pyoleaut
