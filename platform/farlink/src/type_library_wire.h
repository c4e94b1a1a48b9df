// Type libraries on the wire: what a late-bound client needs of them (dispatch interfaces with
// their members and parameters, and the classes with their default and outgoing interfaces).
#pragma once

#include "farlink.capnp.h"
#include "oleaut/oaidl.h"

namespace farlink {

HRESULT describeTypeLibrary(ITypeLib* lib, wire::TypeLibrary::Builder out);
// A local type library over a description that came from the other end.
HRESULT buildTypeLibrary(wire::TypeLibrary::Reader in, ITypeLib** out);

}  // namespace farlink
