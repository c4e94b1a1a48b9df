// IRids and IRid: the configuration records the adapter answers.
#pragma once

#include "oleaut/oaidl.h"

struct IRid;

// Members in slot order.
struct IRids : IDispatch {
    static constexpr IID iid = makeGuid("79A6642E-EC91-4BDB-AC92-EEAFE8D2BEAB");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT get_Count(LONG* pVal) = 0;
    // Snapshot of the records in descending id order.
    virtual HRESULT get__NewEnum(IUnknown** pVal) = 0;
    // By position 1..Count in ascending id order, or by id text (any letter case).
    virtual HRESULT get_Item(VARIANT Index, IRid** pVal) = 0;
};

// One record. Members in slot order.
struct IRid : IDispatch {
    static constexpr IID iid = makeGuid("FA242B0A-1F52-4009-9D8F-BC82B77EB66B");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT get_type(LONG* pVal) = 0;
    virtual HRESULT get_Id(BSTR* pVal) = 0;
    virtual HRESULT setId(BSTR newVal) = 0;
    virtual HRESULT get_Key(BSTR* pVal) = 0;
    virtual HRESULT setKey(BSTR newVal) = 0;
    virtual HRESULT get_No(LONG* pVal) = 0;
    virtual HRESULT setNo(LONG newVal) = 0;
    virtual HRESULT get_Length(LONG* pVal) = 0;
    virtual HRESULT setLength(LONG newVal) = 0;
    virtual HRESULT get_Name(BSTR* pVal) = 0;
    virtual HRESULT put_Name(BSTR newVal) = 0;
    virtual HRESULT get_RidAsByteArray(VARIANT* pVal) = 0;
    virtual HRESULT put_RidAsByteArray(VARIANT newVal) = 0;
    virtual HRESULT get_RidStringValue(BSTR* pVal) = 0;
    virtual HRESULT put_RidStringValue(BSTR newVal) = 0;
    virtual HRESULT get_RidAsIntArray(VARIANT* pVal) = 0;
    virtual HRESULT put_RidAsIntArray(VARIANT newVal) = 0;
    virtual HRESULT GetAsInteger(LONG Index, LONG* pVal) = 0;
    virtual HRESULT SetAsInteger(LONG Index, LONG newVal) = 0;
};
