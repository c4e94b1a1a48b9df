// IAdapters and IAdapter: the host's network adapters and one adapter's session.
#pragma once

#include "oleaut/oaidl.h"

struct IAdapter : IDispatch {
    static constexpr IID iid = makeGuid("1B3DDD36-F0C4-47BA-A616-8DE920E34A41");
    virtual HRESULT get_SymbolicLink(BSTR* pVal) = 0;
    virtual HRESULT get_ProductName(BSTR* pVal) = 0;
    virtual HRESULT get_Description(BSTR* pVal) = 0;
    virtual HRESULT get_Title(BSTR* pVal) = 0;
    virtual HRESULT get_ServiceName(BSTR* pVal) = 0;
    virtual HRESULT get_Label(BSTR* pVal) = 0;
    virtual HRESULT get_Enumerator(BSTR* pVal) = 0;
    virtual HRESULT setSymbolicLink(BSTR newVal) = 0;
    virtual HRESULT setProductName(BSTR newVal) = 0;
    virtual HRESULT setDescription(BSTR newVal) = 0;
    virtual HRESULT setTitle(BSTR newVal) = 0;
    virtual HRESULT setServiceName(BSTR newVal) = 0;
    virtual HRESULT setLabel(BSTR newVal) = 0;
    virtual HRESULT setEnumerator(BSTR newVal) = 0;
    virtual HRESULT get_IsOpen(LONG* pVal) = 0;
    virtual HRESULT get_IsVela(LONG* pVal) = 0;
    virtual HRESULT get_DriverVersion(LONG* pVal) = 0;
    virtual HRESULT get_Vireo(IDispatch** pVal) = 0;
    virtual HRESULT Open(LONG* result) = 0;
    virtual HRESULT Close() = 0;
    virtual HRESULT InitializeVireoObj() = 0;
};

struct IAdapters : IDispatch {
    static constexpr IID iid = makeGuid("3A596775-DFCE-4A49-8A3C-90E500F91634");
    virtual HRESULT get_Count(LONG* pVal) = 0;
    virtual HRESULT get__NewEnum(IUnknown** pVal) = 0;
    virtual HRESULT get_Item(VARIANT Index, IAdapter** pVal) = 0;
};

// Outgoing interface of the Adapters class; it has no members.
struct _IAdaptersEvents {
    static constexpr IID iid = makeGuid("6582AEDB-37A5-4CAD-A9E5-749AF88A1453");
};
