// Sends requests straight to a simulated device, as the request library does.
#pragma once

#include <vector>

#include "ndisreq32/vireo_oids.h"
#include "vireo/sim/device.h"

namespace simtest {

struct Reply {
    NDIS_STATUS status;
    std::vector<BYTE> buffer;
    DWORD bytesTransferred;
    DWORD bytesNeeded;
    WORD word(std::size_t i) const { return WORD(buffer[2 * i] | buffer[2 * i + 1] << 8); }
};

inline Reply send(vireo::sim::Device& d, DWORD type, NDIS_OID oid, std::vector<BYTE> buffer) {
    ndis::Request r{type, oid, buffer.empty() ? nullptr : buffer.data(), DWORD(buffer.size())};
    const NDIS_STATUS s = d.handle(r);
    return Reply{s, std::move(buffer), r.bytesTransferred, r.bytesNeeded};
}

inline std::vector<BYTE> words(std::initializer_list<WORD> w, std::size_t totalBytes = 0) {
    std::vector<BYTE> b;
    for (WORD x : w) {
        b.push_back(BYTE(x));
        b.push_back(BYTE(x >> 8));
    }
    if (b.size() < totalBytes) b.resize(totalBytes, 0);
    return b;
}

// A command block (query, or set when `set`); the reply holds status word and responses.
inline Reply command(vireo::sim::Device& d, WORD cmd, WORD p0 = 0, WORD p1 = 0, bool set = false) {
    return send(d, set ? NdisRequestSetInformation : NdisRequestQueryInformation, OID_VIREO_COMMAND,
                words({cmd, p0, p1, 0}));
}

inline Reply readRecord(vireo::sim::Device& d, WORD rid) {
    return send(d, NdisRequestQueryInformation, OID_VIREO_RECORD, words({0, rid}, kRecordBufferBytes));
}

inline Reply writeRecord(vireo::sim::Device& d, WORD rid, const std::vector<WORD>& data) {
    std::vector<BYTE> b = words({WORD(data.size() + 1), rid}, kRecordBufferBytes);
    for (std::size_t i = 0; i < data.size(); ++i) {
        b[4 + 2 * i] = BYTE(data[i]);
        b[5 + 2 * i] = BYTE(data[i] >> 8);
    }
    return send(d, NdisRequestSetInformation, OID_VIREO_RECORD, b);
}

inline std::vector<BYTE> transfer(std::uint32_t address, std::vector<BYTE> data, std::size_t length = SIZE_MAX) {
    if (length == SIZE_MAX) length = data.size();
    std::vector<BYTE> b{BYTE(address), BYTE(address >> 8), BYTE(address >> 16), BYTE(address >> 24), BYTE(length),
                        BYTE(length >> 8)};
    data.resize(length, 0);
    b.insert(b.end(), data.begin(), data.end());
    return b;
}

inline NDIS_STATUS enableMemory(vireo::sim::Device& d) {
    return send(d, NdisRequestSetInformation, OID_VIREO_MEMORY_ENABLE, {}).status;
}

}  // namespace simtest
