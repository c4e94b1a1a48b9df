/* The DMI service-provider interface (management side, version 1.1 command blocks) as this
 * system's provider library exports it: DmiInvoke takes a command block and confirms it later
 * through the block's callback; DmiIndicate registers for indications; DmiCiProcess serves
 * component instrumentation. */
#ifndef DMI_DMIAPI_H
#define DMI_DMIAPI_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define DMI_LEVEL_CHECK 0x444D4911u /* "DM" "I" version 1.1 */

enum DmiCommandCode {
    DMI_REGISTER_MGMT = 0x100,
    DMI_UNREGISTER_MGMT = 0x101,
    DMI_LIST_FIRST_COMPONENT = 0x201,
    DMI_LIST_NEXT_COMPONENT = 0x202,
    DMI_LIST_DESC_COMPONENT = 0x203,
    DMI_LIST_FIRST_GROUP = 0x205,
    DMI_LIST_NEXT_GROUP = 0x206,
    DMI_LIST_DESC_GROUP = 0x207,
    DMI_LIST_FIRST_ATTRIBUTE = 0x209,
    DMI_LIST_NEXT_ATTRIBUTE = 0x20A,
    DMI_LIST_DESC_ATTRIBUTE = 0x20B,
    DMI_GET_ATTRIBUTE = 0x300,
    DMI_SET_ATTRIBUTE = 0x301
};

/* Statuses below 0x100 are informational; 0x100 and above are errors. */
enum DmiStatus {
    DMI_SUCCESS = 0,
    DMI_ERR_LEVEL_CHECK = 0x100,
    DMI_ERR_BAD_COMMAND = 0x101,
    DMI_ERR_BAD_HANDLE = 0x102,
    DMI_ERR_NOT_FOUND = 0x103,
    DMI_ERR_READ_ONLY = 0x104,
    DMI_ERR_BUFFER_TOO_SMALL = 0x105,
    DMI_ERR_BAD_LENGTH = 0x106
};

enum DmiAccess { DMI_UNKNOWN_ACCESS = 0, DMI_READ_ONLY = 1, DMI_READ_WRITE = 2, DMI_WRITE_ONLY = 3, DMI_UNSUPPORTED = 4 };

enum DmiType {
    DMI_DATA_UNKNOWN = 0, DMI_DATA_COUNTER = 1, DMI_DATA_COUNTER64 = 2, DMI_DATA_GAUGE = 3,
    DMI_DATA_INTEGER = 5, DMI_DATA_INTEGER64 = 6, DMI_DATA_OCTET_STRING = 7, DMI_DATA_STRING = 8,
    DMI_DATA_DATE = 11
};

typedef struct DmiMgmtCommand DmiMgmtCommand;
typedef void (*DmiConfirmFunc)(DmiMgmtCommand* command);
typedef void (*DmiIndicateFunc)(const void* indication);

/* Every command block starts with this header. */
struct DmiMgmtCommand {
    uint32_t iLevelCheck;   /* DMI_LEVEL_CHECK */
    uint32_t iCommand;      /* DmiCommandCode */
    uint32_t iCmdLen;       /* length of the whole block */
    uint32_t iMgmtHandle;   /* from the register confirmation */
    uint32_t iCmdHandle;    /* chosen by the caller, kept by the provider */
    uint32_t iStatus;       /* the outcome, set before the confirmation */
    uint32_t iCnfBufLen;    /* size of the confirmation buffer */
    void* pCnfBuf;          /* filled by the provider */
    DmiConfirmFunc pConfirmFunc;
    void* pUserData;        /* for the caller's confirmation function */
};

/* Listing, description, get and set commands address an item with this block. */
typedef struct {
    DmiMgmtCommand header;
    uint32_t iComponentId;
    uint32_t iGroupId;
    uint32_t iAttributeId;
    int32_t iValue;         /* set attribute: the new 32-bit integer value */
} DmiItemCommand;

/* Confirmation buffers. Strings are a 32-bit length followed by the characters, stored in the
 * buffer at the offset (from the buffer's start) that a field named os... gives. */
typedef struct { uint32_t iMgmtHandle; } DmiRegisterCnf;
typedef struct { uint32_t iCount; uint32_t iComponentId; uint32_t osName; } DmiListComponentCnf;
typedef struct { uint32_t iCount; uint32_t iGroupId; uint32_t osName; uint32_t osClassString; } DmiListGroupCnf;
typedef struct { int32_t iValue; uint32_t osName; } DmiEnumEntry;
typedef struct {
    uint32_t iCount;
    uint32_t iAttributeId;
    uint32_t osName;
    uint32_t iAccess;
    uint32_t iType;
    uint32_t iEnumCount;
    uint32_t oEnumList;     /* offset of iEnumCount DmiEnumEntry */
} DmiListAttributeCnf;
typedef struct { uint32_t osDescription; } DmiDescriptionCnf;
typedef struct {
    uint32_t iType;
    uint32_t osValue;       /* string types */
    int64_t iValue;         /* number types */
} DmiAttributeValueCnf;

uint32_t DmiInvoke(DmiMgmtCommand* command);
uint32_t DmiIndicate(DmiIndicateFunc function);
uint32_t DmiCiProcess(void);

#ifdef __cplusplus
}
#endif

#endif
