// The payloads of the driver's private OIDs, as the driver lays them out (little-endian).
#pragma once

#include <array>

#include "ndisreq32/vireo_oids.h"

namespace direzo {

#pragma pack(push, 1)

// OID_VIREO_COMMAND. Before the request: command code and parameters; after it: the controller's
// status word and three responses in the same places.
struct CommandBlock {
    WORD cmd = 0;
    WORD param0 = 0;
    WORD param1 = 0;
    WORD param2 = 0;

    WORD status() const { return cmd; }
    WORD resp0() const { return param0; }
    WORD resp1() const { return param1; }
    WORD resp2() const { return param2; }
};
static_assert(sizeof(CommandBlock) == kCommandBlockBytes);

// OID_VIREO_RECORD: length counts the words after it, the record number included.
struct RecordBuffer {
    static constexpr std::size_t kMaxDataWords = 250;
    WORD length = 0;
    WORD recordNo = 0;
    WORD data[kMaxDataWords] = {};
};
static_assert(sizeof(RecordBuffer) == kRecordBufferBytes);

// OID_VIREO_MEMORY_READ / OID_VIREO_MEMORY_WRITE, with room for the largest transfer.
struct MemoryTransfer {
    DWORD address = 0;
    WORD length = 0;
    BYTE data[kMemoryTransferMax + 2] = {};

    DWORD requestLength() const { return DWORD(length) + kMemoryTransferHeader; }
};
static_assert(sizeof(MemoryTransfer) == kMemoryTransferMax + 8);

#pragma pack(pop)

}  // namespace direzo
