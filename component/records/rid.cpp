#include "records/rid.h"

namespace direzo {

const oleaut::InterfaceDesc& Rid::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"IRid", IRid::iid, {oleaut::hiddenMethod<&IRid::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"})});
    return desc;
}

}  // namespace direzo
