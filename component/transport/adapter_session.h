// AdapterSession: the component's handle on one opened adapter and the only path from the
// component's objects to the adapter's driver. Every operation is one or more synchronous NDIS
// requests through the NDIS request library.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "ndisreq32/ndisreq32.h"
#include "transport/payloads.h"

namespace direzo {

class AdapterSession {
public:
    AdapterSession();
    virtual ~AdapterSession();
    AdapterSession(const AdapterSession&) = delete;
    AdapterSession& operator=(const AdapterSession&) = delete;

    // Closes any open handle first, then opens "\Device\<serviceName>" (NT family) or the
    // enumerator (other platforms).
    bool Open(std::u16string_view serviceName, std::u16string_view enumerator);
    bool Close();
    // The subkey names of the network adapter class key (see ListAdapterKeys in the .cpp).
    std::vector<std::string> ListAdapterKeys();

    // OID_VIREO_COMMAND as a query; a driver that refuses the query as an invalid OID gets the
    // same block as a set.
    bool SendCommand(CommandBlock& block);
    bool ProbeController();
    // The driver's status itself (0 = success), so that callers can show it.
    NDIS_STATUS ReadRecord(RecordBuffer& buffer, WORD recordNo);
    bool WriteRecord(RecordBuffer& buffer);
    bool ReadProductionArea(BYTE* buffer, DWORD length);
    bool EnableMemoryAccess();
    // Clamps the transfer's length to 8192 and leaves the clamped length in it.
    bool ReadMemory(MemoryTransfer& transfer);
    bool WriteMemory(MemoryTransfer& transfer);
    // Writes only what the adapter does not already hold; true if it holds the data afterwards.
    bool VerifiedWriteMemory(MemoryTransfer& transfer);
    // Probe, enable memory access, write, probe again; true if the write succeeded.
    bool ProgramMemory(MemoryTransfer& transfer);
    bool BlockProtocols();
    bool UnblockProtocols();
    bool ResetCard();
    bool QueryMediumInUse();
    bool QueryVela();
    NDIS_STATUS RawRequest(NdisRequestRecord& record);

    LONG handle() const { return handle_; }
    DWORD mediumInUse() const { return mediumInUse_; }
    // The handle other objects receive through _SetApiObj (session_handles.h).
    LONG apiHandle() const { return apiHandle_; }

private:
    NDIS_STATUS request(DWORD type, NDIS_OID oid, void* buffer, DWORD length,
                        DWORD* bytesTransferred = nullptr, DWORD* bytesNeeded = nullptr,
                        DWORD presetTransferred = 0);
    std::optional<bool> adapterHolds(const MemoryTransfer& transfer, MemoryTransfer& scratch);

    LONG handle_ = -1;
    OVERLAPPED overlapped_{};
    DWORD mediumInUse_ = 0xFFFFFFFF;
    std::vector<std::string> adapterKeys_;
    LONG apiHandle_;
};

}  // namespace direzo
