// The OIDs the Vireo adapter's driver answers: its private ones and the two standard ones used.
#pragma once

#include "ndisreq32/ndisreq32.h"

constexpr NDIS_OID OID_GEN_MEDIA_IN_USE = 0x00010104;
constexpr NDIS_OID OID_GEN_VENDOR_DRIVER_VERSION = 0x00010116;

constexpr NDIS_OID OID_VIREO_RECORD = 0xFF010181;
constexpr NDIS_OID OID_VIREO_PRODUCTION_DATA = 0xFF010182;
constexpr NDIS_OID OID_VIREO_COMMAND = 0xFF010183;
constexpr NDIS_OID OID_VIREO_MEMORY_ENABLE = 0xFF010184;
constexpr NDIS_OID OID_VIREO_MEMORY_READ = 0xFF010186;
constexpr NDIS_OID OID_VIREO_BLOCK_PROTOCOLS = 0xFF010187;
constexpr NDIS_OID OID_VIREO_UNBLOCK_PROTOCOLS = 0xFF010188;
constexpr NDIS_OID OID_VIREO_VELA_PROBE = 0xFF010189;
constexpr NDIS_OID OID_VIREO_MEMORY_WRITE = 0xFF01018C;
constexpr NDIS_OID OID_VIREO_TALLIES = 0xFF02018D;
constexpr NDIS_OID OID_VIREO_CARD_RESET = 0xFF020198;

// Payload sizes.
constexpr DWORD kCommandBlockBytes = 8;
constexpr DWORD kRecordBufferBytes = 504;
constexpr DWORD kProductionDataBytes = 1024;
constexpr DWORD kMemoryTransferMax = 8192;
constexpr DWORD kMemoryTransferHeader = 6;
constexpr DWORD kTallyInfoBytes = 176;
constexpr DWORD kCardResetBytes = 2088;
