// The driver side of the NDIS request library: an adapter's miniport answers query and set
// requests. The library binds each opened handle to one Miniport; a new kind of driver only has
// to implement this interface (and be named by its service's Parameters key).
#pragma once

#include "ndisreq32/ndisreq32.h"

namespace ndis {

struct Request {
    DWORD type;       // NdisRequestQueryInformation or NdisRequestSetInformation
    NDIS_OID oid;
    BYTE* buffer;     // may be null when length is 0
    DWORD length;     // InformationBufferLength
    DWORD bytesTransferred = 0;  // BytesWritten (query) / BytesRead (set), set by the miniport
    DWORD bytesNeeded = 0;       // set by the miniport when the buffer is too short
};

class Miniport {
public:
    virtual ~Miniport() = default;
    // Completes one request synchronously and returns its NDIS status.
    virtual NDIS_STATUS handle(Request& request) = 0;
};

}  // namespace ndis
