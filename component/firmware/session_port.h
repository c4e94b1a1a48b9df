// The adapter as the firmware and production data logic sees it: the operations of the session
// that an object was handed, or, in the component's tests, an adapter of the test's own.
#pragma once

#include <functional>
#include <memory>

#include "firmware/adapter_port.h"
#include "transport/session_handles.h"

namespace direzo {

// The adapter behind `ref`; empty when the object has no (live) session.
std::unique_ptr<firmware::AdapterPort> adapterPort(const SessionRef& ref);

// Tests answer handles with adapters of their own; an empty factory restores the sessions.
using AdapterPortFactory = std::function<std::unique_ptr<firmware::AdapterPort>(LONG handle)>;
void setAdapterPortFactory(AdapterPortFactory factory);

// Where progress and diagnostic lines go: the process's standard output, unit-buffered.
std::ostream& progressStream();

}  // namespace direzo
