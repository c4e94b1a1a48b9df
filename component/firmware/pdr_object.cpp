#include "firmware/pdr_object.h"

namespace direzo {

const oleaut::InterfaceDesc& PDR::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"IPDR", IPDR::iid, {});
    return desc;
}

}  // namespace direzo
