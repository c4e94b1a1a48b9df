#include "baseband/bbp_reg.h"

namespace direzo {

const oleaut::InterfaceDesc& BBPReg::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"IBBPReg", IBBPReg::iid, {oleaut::hiddenMethod<&IBBPReg::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"})});
    return desc;
}

}  // namespace direzo
