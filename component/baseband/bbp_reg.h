// The BBPReg object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class BBPReg final : public SessionObject<BBPReg, IBBPReg> {
public:
    static constexpr const ClassDescriptor& kClass = kBBPRegClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
