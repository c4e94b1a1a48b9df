// The request journal: every request that reaches a simulated device, as the device saw it.
#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "ndisreq32/ndisreq32.h"

namespace vireo::sim {

struct JournalEntry {
    std::string adapterKey;
    DWORD type = 0;  // NdisRequestQueryInformation / NdisRequestSetInformation
    NDIS_OID oid = 0;
    std::vector<BYTE> in;   // the information buffer as the device received it
    std::vector<BYTE> out;  // the buffer as the device left it (query: the bytes written)
    NDIS_STATUS status = 0;
    DWORD bytesTransferred = 0;
    DWORD bytesNeeded = 0;

    // Word i of the incoming payload (little-endian), 0 past its end.
    WORD inWord(std::size_t i) const;
    WORD outWord(std::size_t i) const;
};

class Journal {
public:
    // The oldest entries are dropped beyond this many entries or payload bytes, so a long session
    // stays bounded.
    static constexpr std::size_t kCapacity = 20000;
    static constexpr std::size_t kPayloadCapacity = 4u << 20;

    // An empty entry to fill; its payload buffers are those of entries already dropped where
    // there are any, so that a steady stream of requests does not allocate for each.
    JournalEntry blank();
    void record(JournalEntry entry);
    std::vector<JournalEntry> entries() const;
    std::vector<JournalEntry> entriesFor(NDIS_OID oid) const;
    std::size_t size() const;
    void clear();
    // The entries as a JSON array (payloads in hex), for test failure messages and tools.
    std::string toJson() const;

private:
    mutable std::mutex mutex_;
    std::deque<JournalEntry> entries_;
    std::size_t payloadBytes_ = 0;
    // The payload buffers of dropped entries, which blank() hands out again.
    struct Buffers {
        std::vector<BYTE> in, out;
    };
    std::vector<Buffers> spares_;
};

// The process's journal, shared by every device.
Journal& journal();

}  // namespace vireo::sim
