#include "transport/adapter_session.h"

#include <algorithm>
#include <cstring>

#include "common/text.h"
#include "registry/winreg.h"
#include "transport/session_handles.h"

namespace direzo {

namespace {

bool ntFamily() { return (W32N_IsWindowsNT() & 0xFF) != 0; }

std::string deviceName(std::u16string_view serviceName) { return "\\Device\\" + toAnsi(serviceName); }

}  // namespace

AdapterSession::AdapterSession() : apiHandle_(registerSession(this)) {}

AdapterSession::~AdapterSession() {
    unregisterSession(apiHandle_);
    Close();
}

bool AdapterSession::Open(std::u16string_view serviceName, std::u16string_view enumerator) {
    Close();
    if (ntFamily()) {
        handle_ = W32N_OpenAdapterA(deviceName(serviceName).c_str());
    } else {
        const std::string name = toAnsi(enumerator);
        handle_ = W32N_OpenAdapterA(enumerator.empty() ? nullptr : name.c_str());
    }
    if (handle_ == -1) {
        W32N_GetLastError();
        return false;
    }
    overlapped_ = OVERLAPPED{};
    overlapped_.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!overlapped_.hEvent) {
        W32N_CloseAdapter(handle_);
        handle_ = -1;
        W32N_GetLastError();
        return false;
    }
    ResetEvent(overlapped_.hEvent);
    if (ntFamily()) {
        const std::string service = toAnsi(serviceName);
        DefineDosDeviceA(DDD_RAW_TARGET_PATH, service.c_str(), deviceName(serviceName).c_str());
    }
    return true;
}

bool AdapterSession::Close() {
    if (handle_ != -1) W32N_CloseAdapter(handle_);
    handle_ = -1;
    if (overlapped_.hEvent) CloseHandle(overlapped_.hEvent);
    overlapped_.hEvent = nullptr;
    return true;
}

// The network adapters are the subkeys of the platform's network class key. Names are read into
// a 16-byte buffer, so the first name of 16 characters or more ends the list.
std::vector<std::string> AdapterSession::ListAdapterKeys() {
    const char* path = !ntFamily() ? "System\\CurrentControlSet\\Services\\Class\\Net"
                       : W32N_OSGetPlatformVersion(2) == 5
                           ? "System\\CurrentControlSet\\Control\\Class\\{4D36E972-E325-11CE-BFC1-08002BE10318}"
                           : "Software\\Microsoft\\Windows NT\\CurrentVersion\\NetworkCards";
    adapterKeys_.clear();
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return adapterKeys_;
    for (DWORD index = 0;; ++index) {
        char name[16];
        DWORD length = sizeof name;
        if (RegEnumKeyExA(key, index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        adapterKeys_.emplace_back(name, length);
    }
    RegCloseKey(key);
    return adapterKeys_;
}

NDIS_STATUS AdapterSession::request(DWORD type, NDIS_OID oid, void* buffer, DWORD length,
                                    DWORD* bytesTransferred, DWORD* bytesNeeded, DWORD presetTransferred) {
    NdisRequestRecord record{};
    record.RequestType = type;
    record.Oid = oid;
    record.InformationBuffer = buffer;
    record.InformationBufferLength = length;
    record.BytesTransferred = presetTransferred;
    record.BytesNeeded = 0;
    const NDIS_STATUS status = W32N_MakeNdisRequest(handle_, &record, &overlapped_, 1);
    if (bytesTransferred) *bytesTransferred = record.BytesTransferred;
    if (bytesNeeded) *bytesNeeded = record.BytesNeeded;
    return status;
}

bool AdapterSession::SendCommand(CommandBlock& block) {
    const NDIS_STATUS status =
        request(NdisRequestQueryInformation, OID_VIREO_COMMAND, &block, sizeof block);
    if (status != NDIS_STATUS_INVALID_OID) return status == NDIS_STATUS_SUCCESS;
    DWORD needed = 0;
    const NDIS_STATUS setStatus =
        request(NdisRequestSetInformation, OID_VIREO_COMMAND, &block, sizeof block, nullptr, &needed);
    if (needed != 0) return false;
    return setStatus == NDIS_STATUS_SUCCESS;
}

bool AdapterSession::ProbeController() {
    CommandBlock block;  // Initialize, all parameters 0
    return SendCommand(block);
}

NDIS_STATUS AdapterSession::ReadRecord(RecordBuffer& buffer, WORD recordNo) {
    buffer.length = 0;
    buffer.recordNo = recordNo;
    return request(NdisRequestQueryInformation, OID_VIREO_RECORD, &buffer, sizeof buffer);
}

bool AdapterSession::WriteRecord(RecordBuffer& buffer) {
    return request(NdisRequestSetInformation, OID_VIREO_RECORD, &buffer, sizeof buffer) == NDIS_STATUS_SUCCESS;
}

bool AdapterSession::ReadProductionArea(BYTE* buffer, DWORD length) {
    DWORD written = 0;
    const NDIS_STATUS status = request(NdisRequestQueryInformation, OID_VIREO_PRODUCTION_DATA, buffer,
                                       length & 0xFFFF, &written, nullptr, 20);
    return status == NDIS_STATUS_SUCCESS && written != 0;
}

bool AdapterSession::EnableMemoryAccess() {
    return request(NdisRequestSetInformation, OID_VIREO_MEMORY_ENABLE, nullptr, 0) == NDIS_STATUS_SUCCESS;
}

bool AdapterSession::ReadMemory(MemoryTransfer& transfer) {
    EnableMemoryAccess();
    transfer.length = WORD(std::min<DWORD>(transfer.length, kMemoryTransferMax));
    transfer.data[0] = 0xDE;
    transfer.data[1] = 0xAD;
    return request(NdisRequestQueryInformation, OID_VIREO_MEMORY_READ, &transfer, transfer.requestLength()) ==
           NDIS_STATUS_SUCCESS;
}

// A transfer longer than its buffer is refused rather than sent: the driver would read past it.
bool AdapterSession::WriteMemory(MemoryTransfer& transfer) {
    if (transfer.length > kMemoryTransferMax) return false;
    return request(NdisRequestSetInformation, OID_VIREO_MEMORY_WRITE, &transfer, transfer.requestLength()) ==
           NDIS_STATUS_SUCCESS;
}

// Reads the transfer's range into scratch: whether the adapter holds exactly the transfer's data,
// or nothing when the read fails.
std::optional<bool> AdapterSession::adapterHolds(const MemoryTransfer& transfer, MemoryTransfer& scratch) {
    scratch.address = transfer.address;
    scratch.length = transfer.length;
    if (!ReadMemory(scratch)) return std::nullopt;
    return std::memcmp(scratch.data, transfer.data, transfer.length) == 0;
}

bool AdapterSession::VerifiedWriteMemory(MemoryTransfer& transfer) {
    if (transfer.length > kMemoryTransferMax) return false;
    MemoryTransfer scratch;
    const std::optional<bool> before = adapterHolds(transfer, scratch);
    if (!before) return false;
    if (*before) return true;
    WriteMemory(transfer);
    return adapterHolds(transfer, scratch).value_or(false);
}

bool AdapterSession::ProgramMemory(MemoryTransfer& transfer) {
    if (!ProbeController()) return false;
    if (!EnableMemoryAccess()) return false;
    const bool written = WriteMemory(transfer);
    ProbeController();
    return written;
}

bool AdapterSession::BlockProtocols() {
    return request(NdisRequestSetInformation, OID_VIREO_BLOCK_PROTOCOLS, nullptr, 0) == NDIS_STATUS_SUCCESS;
}

bool AdapterSession::UnblockProtocols() {
    return request(NdisRequestSetInformation, OID_VIREO_UNBLOCK_PROTOCOLS, nullptr, 0) == NDIS_STATUS_SUCCESS;
}

bool AdapterSession::ResetCard() {
    std::vector<BYTE> buffer(kCardResetBytes);
    return request(NdisRequestSetInformation, OID_VIREO_CARD_RESET, buffer.data(), kCardResetBytes) ==
           NDIS_STATUS_SUCCESS;
}

bool AdapterSession::QueryMediumInUse() {
    mediumInUse_ = 0xFFFFFFFF;
    return request(NdisRequestQueryInformation, OID_GEN_MEDIA_IN_USE, &mediumInUse_, sizeof mediumInUse_) ==
           NDIS_STATUS_SUCCESS;
}

bool AdapterSession::QueryVela() {
    WORD probe[2] = {2, 2};
    return request(NdisRequestQueryInformation, OID_VIREO_VELA_PROBE, probe, sizeof probe) == NDIS_STATUS_SUCCESS;
}

NDIS_STATUS AdapterSession::RawRequest(NdisRequestRecord& record) {
    return W32N_MakeNdisRequest(handle_, &record, &overlapped_, 1);
}

}  // namespace direzo
