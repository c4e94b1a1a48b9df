// The NDIS request library: opens an adapter's driver and passes NDIS requests to it.
#pragma once

#include "win32/kernel32.h"

using NDIS_STATUS = DWORD;
using NDIS_OID = DWORD;

constexpr NDIS_STATUS NDIS_STATUS_SUCCESS = 0x00000000;
constexpr NDIS_STATUS NDIS_STATUS_PENDING = 0x00000103;
constexpr NDIS_STATUS NDIS_STATUS_FAILURE = 0xC0000001;
constexpr NDIS_STATUS NDIS_STATUS_RESOURCES = 0xC000009A;
constexpr NDIS_STATUS NDIS_STATUS_NOT_SUPPORTED = 0xC00000BB;
constexpr NDIS_STATUS NDIS_STATUS_INVALID_HANDLE = 0xC0000008;
constexpr NDIS_STATUS NDIS_STATUS_ADAPTER_NOT_FOUND = 0xC0010006;
constexpr NDIS_STATUS NDIS_STATUS_ADAPTER_NOT_READY = 0xC0010011;
constexpr NDIS_STATUS NDIS_STATUS_INVALID_LENGTH = 0xC0010014;
constexpr NDIS_STATUS NDIS_STATUS_INVALID_DATA = 0xC0010015;
constexpr NDIS_STATUS NDIS_STATUS_BUFFER_TOO_SHORT = 0xC0010016;
constexpr NDIS_STATUS NDIS_STATUS_INVALID_OID = 0xC0010017;

constexpr DWORD NdisRequestQueryInformation = 0;
constexpr DWORD NdisRequestSetInformation = 1;

// The request record handed to W32N_MakeNdisRequest: 4140 bytes, of which the caller writes only
// the NDIS request's fields. On this 64-bit platform the buffer pointer takes 8 bytes (offset 28),
// so the fields after it sit 4 bytes further than on a 32-bit host.
#pragma pack(push, 4)
struct NdisRequestRecord {
    BYTE libraryHeader[20];
    DWORD RequestType;  // NdisRequestQueryInformation or NdisRequestSetInformation
    NDIS_OID Oid;
    void* InformationBuffer;
    DWORD InformationBufferLength;
    DWORD BytesTransferred;  // BytesWritten (query) / BytesRead (set)
    DWORD BytesNeeded;
    BYTE libraryTail[4140 - 48];
};
#pragma pack(pop)
static_assert(sizeof(NdisRequestRecord) == 4140);

// Filled by W32N_GetAdapterRegistryInfo: three NUL-terminated texts read from the adapter's key.
struct AdapterRegistryInfo {
    CHAR firstText[260];   // the adapter's description ("DriverDesc")
    CHAR secondText[260];  // the adapter's title ("Title")
    CHAR thirdText[260];   // the driver's service name ("ServiceName")
};
static_assert(sizeof(AdapterRegistryInfo) == 780);

extern "C" {
// "\Device\<service>": the driver of that service opens the adapter its Parameters key names.
// Returns a handle, or -1 (W32N_GetLastError tells why).
LONG W32N_OpenAdapterA(const char* adapterName);
BOOL W32N_CloseAdapter(LONG handle);
// Passes one request to the adapter's driver and waits for its completion (wait must be 1). A
// handle that is -1 or closed answers NDIS_STATUS_INVALID_HANDLE and reaches no device.
NDIS_STATUS W32N_MakeNdisRequest(LONG handle, NdisRequestRecord* request, OVERLAPPED* overlapped, BOOL wait);
DWORD W32N_GetLastError();
// Nonzero for the NT family (this platform: 1).
DWORD W32N_IsWindowsNT();
// which == 2: the major version (this platform: 5).
DWORD W32N_OSGetPlatformVersion(DWORD which);
// Reads the texts of the network adapter key `adapterKey` under the network class key; 0 on
// success, nonzero when the key is not an adapter's.
DWORD W32N_GetAdapterRegistryInfo(AdapterRegistryInfo* info, const char* adapterKey);
}
