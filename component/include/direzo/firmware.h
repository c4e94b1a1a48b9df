// IPDA, IPDR and IFirmware: the production data area and firmware images.
#pragma once

#include "oleaut/oaidl.h"

struct IPDR : IDispatch {
    static constexpr IID iid = makeGuid("B822357C-7CFE-4B91-9D6C-5CDF1B034CB1");
    virtual HRESULT get_Code(SHORT* pVal) = 0;
    virtual HRESULT get_Key(BSTR* pVal) = 0;
    virtual HRESULT get_Length(SHORT* pVal) = 0;
    virtual HRESULT get_Description(BSTR* pVal) = 0;
    virtual HRESULT put_Description(BSTR newVal) = 0;
    virtual HRESULT get_PDR(VARIANT* pVal) = 0;
    virtual HRESULT put_PDR(VARIANT newVal) = 0;
    // A byte array, passed as a VARIANT holding it.
    virtual HRESULT put_ArrayOfUnsignedChar(VARIANT newVal) = 0;
    virtual HRESULT setCode(SHORT newVal) = 0;
    virtual HRESULT setKey(BSTR newVal) = 0;
};

struct IPDA : IDispatch {
    static constexpr IID iid = makeGuid("28896408-640A-4595-9AAA-D122EB3D9401");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT get_Count(LONG* pVal) = 0;
    virtual HRESULT get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT get_Item(VARIANT Index, IPDR** pItem) = 0;
    virtual HRESULT Clear(LONG* bResults) = 0;
    virtual HRESULT AddPDR(SHORT pPDRCode, LONG* bResults) = 0;
    virtual HRESULT RemovePDR(BSTR pPdrItem, SHORT* qtyRemoved) = 0;
    virtual HRESULT Retrieve(LONG* bResults) = 0;
    virtual HRESULT Commit(LONG* bResults) = 0;
    virtual HRESULT LoadPDAFile(BSTR filename, LONG* bResults) = 0;
};

struct IFirmware : IDispatch {
    static constexpr IID iid = makeGuid("0426E713-AD34-4116-9F31-24D74FC3F974");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT LoadHEXFile(BSTR filename, LONG* bResults) = 0;
    virtual HRESULT FlashImage(LONG* bResults) = 0;
    virtual HRESULT PlugImage(LONG* bResults) = 0;
    virtual HRESULT get_TotalImageBlocks(LONG* pVal) = 0;
    virtual HRESULT get_HexLinesRead(LONG* pVal) = 0;
    virtual HRESULT get_HexRecordsPlugged(LONG* pVal) = 0;
    virtual HRESULT get_HexPlugs(LONG* pVal) = 0;
    virtual HRESULT get_VersionInfo(VARIANT* pVal) = 0;
    virtual HRESULT get_PlatformInfo(VARIANT* pVal) = 0;
    virtual HRESULT get_CompatibilityInfo(VARIANT* pVal) = 0;
    virtual HRESULT MakeCalPdrs(LONG* bResults) = 0;
};

// Outgoing interface of the Firmware class (FlashProgress, dispatch id 1).
struct _IFirmwareEvents {
    static constexpr IID iid = makeGuid("5E9ACF93-84C0-4DA5-8D91-6937EE3AD56A");
};
