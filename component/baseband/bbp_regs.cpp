#include "baseband/bbp_regs.h"

#include "baseband/baseband_family.h"
#include "baseband/bbp_reg.h"

namespace direzo {

const oleaut::InterfaceDesc& BBPRegs::dispatchTable() {
    static const oleaut::InterfaceDesc desc = [] {
        using namespace oleaut;
        return dualInterface(u"IBBPRegs", IBBPRegs::iid, {
            hiddenMethod<&IBBPRegs::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"}),
            propget<&IBBPRegs::get_Count>(u"Count"),
            propget<&IBBPRegs::get_BBPType>(u"BBPType"),
            newEnumMember<&IBBPRegs::get__NewEnum>(),
            itemMember<&IBBPRegs::get_Item>(),
        });
    }();
    return desc;
}

// Detects the model at every hand-over; the register list is made only the first time. Registers
// already listed are handed the new session too.
HRESULT BBPRegs::_SetApiObj(LONG apiObj) {
    session_.set(apiObj);
    AdapterSession* session = session_.get();
    if (!session) return noSession(S_FALSE);
    const std::optional<WORD> model = readRegisterAt(*session, 0);
    bbpType_ = model ? LONG(*model) : -1;
    for (auto& [name, reg] : registers_.items()) reg->_SetApiObj(apiObj);
    if (!built_) build(apiObj);
    return S_OK;
}

void BBPRegs::build(LONG apiObj) {
    for (const RegisterInfo& info : registersOf(familyOf(bbpType_))) {
        auto* reg = new (std::nothrow) BBPReg();
        if (!reg) continue;
        ComPtr<IBBPReg> ref(reg);
        reg->describe(info, bbpType_, apiObj);
        registers_.items()[info.name] = ref;
    }
    built_ = true;
}

HRESULT BBPRegs::get_Count(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = registers_.count();
    return S_OK;
}

HRESULT BBPRegs::get_BBPType(LONG* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = bbpType_;
    return S_OK;
}

HRESULT BBPRegs::get__NewEnum(IUnknown** pVal) { return registers_.newEnum(EnumOrder::Descending, pVal); }

HRESULT BBPRegs::get_Item(VARIANT Index, IBBPReg** pVal) {
    return registers_.item(Index, true, "IBBPREGS", pVal,
                   [this](HRESULT status, const std::u16string& text) { return error(status, text); });
}

}  // namespace direzo
