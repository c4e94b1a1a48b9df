// The BBPRegs collection: the baseband model, detected from control register 0 at every session
// hand-over, and its register file, listed once from the model first detected.
#pragma once

#include "common/keyed_collection.h"
#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class BBPRegs final : public SessionObject<BBPRegs, IBBPRegs> {
public:
    static constexpr const ClassDescriptor& kClass = kBBPRegsClass;
    static const oleaut::InterfaceDesc& dispatchTable();

    HRESULT _SetApiObj(LONG apiObj) override;
    HRESULT get_Count(LONG* pVal) override;
    HRESULT get_BBPType(LONG* pVal) override;
    HRESULT get__NewEnum(IUnknown** pVal) override;
    HRESULT get_Item(VARIANT Index, IBBPReg** pVal) override;

private:
    void build(LONG apiObj);

    KeyedCollection<IBBPReg> registers_;
    LONG bbpType_ = BBP_UNKNOWN;
    bool built_ = false;
};

}  // namespace direzo
