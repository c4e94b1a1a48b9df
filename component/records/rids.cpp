#include "records/rids.h"

namespace direzo {

const oleaut::InterfaceDesc& Rids::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"IRids", IRids::iid, {oleaut::hiddenMethod<&IRids::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"})});
    return desc;
}

}  // namespace direzo
