// The Vireo object: the MAC controller of an open adapter. It owns the adapter's BBPRegs, Rids,
// PDA, Firmware and Tallies objects and hands them the session it receives.
#pragma once

#include "direzo/subobjects.h"
#include "direzo/vireo.h"
#include "server/module.h"
#include "transport/session_handles.h"

namespace direzo {

class Vireo final : public ComponentObjectWithEvents<Vireo, IVireo, _IVireoEvents> {
public:
    static constexpr const ClassDescriptor& kClass = kVireoClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    // Creates the sub-objects in the order BBPRegs, Rids, PDA, Firmware, Tallies.
    Vireo();

    HRESULT _SetApiObj(LONG apiObj) override;
    HRESULT get_BBPRegs(IDispatch** pVal) override { return handOut(bbpRegs_.get(), pVal); }
    HRESULT get_Firmware(IDispatch** pVal) override { return handOut(firmware_.get(), pVal); }
    HRESULT get_PDA(IDispatch** pVal) override { return handOut(pda_.get(), pVal); }
    HRESULT get_RIDs(IDispatch** pVal) override { return handOut(rids_.get(), pVal); }

    // False when a sub-object could not be created (the Adapter then keeps no Vireo object).
    bool complete() const { return bbpRegs_ && rids_ && pda_ && firmware_ && tallies_; }

private:
    static HRESULT handOut(IDispatch* object, IDispatch** pVal);

    SessionRef session_;
    ComPtr<IBBPRegs> bbpRegs_;
    ComPtr<IRids> rids_;
    ComPtr<IPDA> pda_;
    ComPtr<IFirmware> firmware_;
    ComPtr<ITallies> tallies_;
};

}  // namespace direzo
