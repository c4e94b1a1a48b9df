// IVireo: the MAC controller of an open adapter, owner of its five sub-objects.
#pragma once

#include "oleaut/oaidl.h"

// Members in slot order (dispatch ids 1, 2, 3 ...).
struct IVireo : IDispatch {
    static constexpr IID iid = makeGuid("C35123B6-6D40-4016-9B5F-4C015D3C5B22");
    // Hands over the adapter session (a session handle, see session_handles.h) and passes it on.
    virtual HRESULT _SetApiObj(LONG apiObj) = 0;
    virtual HRESULT get_BlockProtocols(LONG* pVal) = 0;
    virtual HRESULT put_BlockProtocols(LONG newVal) = 0;
    virtual HRESULT get_BBPRegs(IDispatch** pVal) = 0;
    virtual HRESULT get_Firmware(IDispatch** pVal) = 0;
    virtual HRESULT get_PDA(IDispatch** pVal) = 0;
    virtual HRESULT get_RIDs(IDispatch** pVal) = 0;
    virtual HRESULT Init(LONG _handle, LONG _olptr, LONG* presults) = 0;
    virtual HRESULT InitPhy() = 0;
    virtual HRESULT ResetPhy() = 0;
    virtual HRESULT SleepPhy() = 0;
    virtual HRESULT WakePhy() = 0;
    virtual HRESULT SetChannel(LONG channelNo) = 0;
    virtual HRESULT ContinuousTx(LONG lPattern) = 0;
    virtual HRESULT ContinuousRx() = 0;
    virtual HRESULT MonitorMode() = 0;
    virtual HRESULT StopTest(LONG* Id) = 0;
    virtual HRESULT PBODSuppression() = 0;
    virtual HRESULT TxExSuppression() = 0;
    virtual HRESULT CalEnable() = 0;
    virtual HRESULT SetSignalState(LONG signal) = 0;
    virtual HRESULT Initialize() = 0;
    virtual HRESULT EnablePort(SHORT MACPort) = 0;
    virtual HRESULT DisablePort(SHORT MACPort) = 0;
    virtual HRESULT CardReset() = 0;
    // The bytes at `address`, at most 8192, as VT_ARRAY | VT_UI1.
    virtual HRESULT ReadData(LONG address, LONG Length, VARIANT* pData) = 0;
    virtual HRESULT get_Tallies(IDispatch** pVal) = 0;
    // Any controller command; respVal: VT_ARRAY | VT_UI1 with the low bytes of the 3 responses.
    virtual HRESULT SendCmd(LONG cmd, LONG param0, LONG param1, LONG param2, VARIANT* respVal) = 0;
};

// Outgoing interface of the Vireo class; it has no members.
struct _IVireoEvents {
    static constexpr IID iid = makeGuid("F4D44040-734A-4EB6-9EE2-EBC152E88332");
};
