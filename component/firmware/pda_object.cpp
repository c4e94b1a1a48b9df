#include "firmware/pda_object.h"

namespace direzo {

const oleaut::InterfaceDesc& PDA::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"IPDA", IPDA::iid, {oleaut::hiddenMethod<&IPDA::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"})});
    return desc;
}

}  // namespace direzo
