// The Vireo object: the MAC controller of an open adapter. It turns test-mode and control requests
// into controller commands, reads adapter memory, and owns the adapter's BBPRegs, Rids, PDA,
// Firmware and Tallies objects, to which it hands the session it receives.
#pragma once

#include "direzo/subobjects.h"
#include "direzo/vireo.h"
#include "server/session_object.h"

namespace direzo {

class Vireo final
    : public SessionObject<Vireo, IVireo, ComponentObjectWithEvents<Vireo, IVireo, _IVireoEvents>> {
public:
    static constexpr const ClassDescriptor& kClass = kVireoClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    // Creates the sub-objects in the order BBPRegs, Rids, PDA, Firmware, Tallies; when one cannot
    // be created, those made so far are released.
    Vireo();

    HRESULT _SetApiObj(LONG apiObj) override;
    HRESULT get_BlockProtocols(LONG* pVal) override;
    HRESULT put_BlockProtocols(LONG newVal) override;
    HRESULT get_BBPRegs(IDispatch** pVal) override { return handOut(bbpRegs_.get(), pVal); }
    HRESULT get_Firmware(IDispatch** pVal) override { return handOut(firmware_.get(), pVal); }
    HRESULT get_PDA(IDispatch** pVal) override { return handOut(pda_.get(), pVal); }
    HRESULT get_RIDs(IDispatch** pVal) override { return handOut(rids_.get(), pVal); }
    HRESULT Init(LONG _handle, LONG _olptr, LONG* presults) override;
    HRESULT InitPhy() override;
    HRESULT ResetPhy() override;
    HRESULT SleepPhy() override;
    HRESULT WakePhy() override;
    HRESULT SetChannel(LONG channelNo) override;
    HRESULT ContinuousTx(LONG lPattern) override;
    HRESULT ContinuousRx() override;
    HRESULT MonitorMode() override;
    HRESULT StopTest(LONG* Id) override;
    HRESULT PBODSuppression() override;
    HRESULT TxExSuppression() override;
    HRESULT CalEnable() override;
    HRESULT SetSignalState(LONG signal) override;
    HRESULT Initialize() override;
    HRESULT EnablePort(SHORT MACPort) override;
    HRESULT DisablePort(SHORT MACPort) override;
    HRESULT CardReset() override;
    HRESULT ReadData(LONG address, LONG Length, VARIANT* pData) override;
    HRESULT get_Tallies(IDispatch** pVal) override { return handOut(tallies_.get(), pVal); }
    HRESULT SendCmd(LONG cmd, LONG param0, LONG param1, LONG param2, VARIANT* respVal) override;

    // False when a sub-object could not be created (the Adapter then keeps no Vireo object).
    bool complete() const { return bbpRegs_ && rids_ && pda_ && firmware_ && tallies_; }

private:
    static HRESULT handOut(IDispatch* object, IDispatch** pVal);
    // Sends one controller command: S_OK when it succeeded, status 1 when it failed.
    HRESULT command(WORD cmd, WORD param0 = 0);
    // Whether the detected baseband belongs to the Birch family (status 1 without a session).
    HRESULT birchFamily(bool& birch);

    ComPtr<IBBPRegs> bbpRegs_;
    ComPtr<IRids> rids_;
    ComPtr<IPDA> pda_;
    ComPtr<IFirmware> firmware_;
    ComPtr<ITallies> tallies_;
    bool protocolsBlocked_ = false;
};

}  // namespace direzo
