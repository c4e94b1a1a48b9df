// IBBPRegs and IBBPReg: the baseband processor's registers.
#pragma once

#include "oleaut/oaidl.h"

// The baseband models: the value of control register 0 (enumeration _BaseBand, alias Baseband).
enum _BaseBand : LONG {
    BBP_UNKNOWN = 0,
    BBP_ALDER = 3,
    BBP_BIRCH_S = 16,
    BBP_BIRCH_A = 17,
    BBP_BIRCH_B = 19,
    BBP_CEDAR = 48,
};
using Baseband = _BaseBand;

struct IBBPReg;

// Members in slot order.
struct IBBPRegs : IDispatch {
    static constexpr IID iid = makeGuid("F6C60112-E0FD-443C-B2D3-A838F34DCCE4");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT get_Count(LONG* pVal) = 0;
    // The detected model (-1 when detection failed).
    virtual HRESULT get_BBPType(LONG* pVal) = 0;
    // Snapshot of the registers in descending name order.
    virtual HRESULT get__NewEnum(IUnknown** pVal) = 0;
    // By position 1..Count in ascending name order, or by name (any letter case).
    virtual HRESULT get_Item(VARIANT Index, IBBPReg** pVal) = 0;
};

// One register; every Value access goes to the adapter. Members in slot order.
struct IBBPReg : IDispatch {
    static constexpr IID iid = makeGuid("D3A99237-4651-4500-88B5-85EA26C56D30");
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT put_BBPType(LONG newVal) = 0;
    virtual HRESULT get_Id(BSTR* pVal) = 0;
    virtual HRESULT get_Key(BSTR* pVal) = 0;
    virtual HRESULT get_No(LONG* pVal) = 0;
    virtual HRESULT get_type(LONG* pVal) = 0;
    virtual HRESULT get_Value(LONG* pVal) = 0;
    virtual HRESULT put_Value(LONG newVal) = 0;
    virtual HRESULT setType(LONG newVal) = 0;
    virtual HRESULT setId(BSTR newVal) = 0;
    virtual HRESULT setKey(BSTR newVal) = 0;
    virtual HRESULT setNo(LONG newVal) = 0;
};
