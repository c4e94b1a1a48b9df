// The Firmware object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class Firmware final : public SessionObject<Firmware, IFirmware, ComponentObjectWithEvents<Firmware, IFirmware, _IFirmwareEvents>> {
public:
    static constexpr const ClassDescriptor& kClass = kFirmwareClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
