// An enumerator over a snapshot of a connection point's connections.
#pragma once

#include <vector>

#include "oleaut/ocidl.h"

namespace oleaut::detail {

HRESULT createEnumConnections(const std::vector<CONNECTDATA>& connections, IEnumConnections** out);

}  // namespace oleaut::detail
