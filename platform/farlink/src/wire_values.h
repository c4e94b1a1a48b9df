// Plain values on the wire: GUIDs as their 16 bytes, UTF-16 texts as little-endian code units.
#pragma once

#include <capnp/blob.h>

#include <optional>
#include <string>
#include <string_view>

#include "oleaut/oaidl.h"

namespace farlink {

void putGuid(const GUID& g, capnp::Data::Builder out);
kj::Array<capnp::byte> guidBytes(const GUID& g);
// Nothing when the data is not exactly 16 bytes.
std::optional<GUID> readGuid(capnp::Data::Reader in);

kj::Array<capnp::byte> textBytes(std::u16string_view text);
std::u16string readText(capnp::Data::Reader in);
// A BSTR from the wire form; S_OK, E_OUTOFMEMORY or DISP_E_BADVARTYPE for an odd byte count.
HRESULT readBstr(capnp::Data::Reader in, BSTR* out);

}  // namespace farlink
