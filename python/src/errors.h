// Failures of automation calls as the Python exception oleaut.Error, and the status of the last
// call made on this thread.
#pragma once

#include <pybind11/pybind11.h>

#include <string>

#include "oleaut/oaidl.h"

namespace pyoleaut {

namespace py = pybind11;

// A failure status with the texts of the error object (or of the status itself when the object
// set none). Translated to oleaut.Error at the module boundary.
struct AutomationError {
    HRESULT hr;
    std::u16string description;
    std::u16string source;
};

// A short explanation of a status for failures that come without an error object.
std::u16string describeStatus(HRESULT hr);

// Throws AutomationError for hr, taking description and source from the thread's error object if
// one is current (it is consumed), else from describeStatus. `context` (may be empty) prefixes the
// generated description, for example "creating OruDirEzo.Adapters".
[[noreturn]] void throwStatus(HRESULT hr, std::u16string_view context = {});

// Clears the thread's error object, so that a failure's texts are the failing call's own.
void clearErrorObject();

// The status of the most recent automation call on this thread (the raw HRESULT).
HRESULT lastStatus();
void setLastStatus(HRESULT hr);

// An exception that must not be swallowed (KeyboardInterrupt, SystemExit) raised by an event
// handler: kept until the call that fired the event returns, then raised there.
void keepPendingInterrupt(py::error_already_set& e);
bool interruptPending();
// Raises the kept exception, if any (with the GIL held).
void raisePendingInterrupt();

// Adds oleaut.Error to the module and translates AutomationError to it.
void registerErrors(py::module_& m);

// Python view of a status: failures as the unsigned 32-bit code (0x80070057), successes as is.
inline py::int_ statusToPython(HRESULT hr) { return py::int_(std::uint32_t(hr)); }

}  // namespace pyoleaut
