#include "baseband/bbp_regs.h"

namespace direzo {

const oleaut::InterfaceDesc& BBPRegs::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"IBBPRegs", IBBPRegs::iid, {oleaut::hiddenMethod<&IBBPRegs::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"})});
    return desc;
}

}  // namespace direzo
