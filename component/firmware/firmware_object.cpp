#include "firmware/firmware_object.h"

namespace direzo {

const oleaut::InterfaceDesc& Firmware::dispatchTable() {
    static const oleaut::InterfaceDesc desc = dualInterface(u"IFirmware", IFirmware::iid, {oleaut::hiddenMethod<&IFirmware::_SetApiObj>(u"_SetApiObj", {u"_pApiObj"})});
    return desc;
}

}  // namespace direzo
