#include "tallies/tallies.h"

namespace direzo {

const oleaut::InterfaceDesc& Tallies::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"ITallies", ITallies::iid, {oleaut::hiddenMethod<&ITallies::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"})});
    return desc;
}

}  // namespace direzo
