// The BBPRegs object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class BBPRegs final : public SessionObject<BBPRegs, IBBPRegs> {
public:
    static constexpr const ClassDescriptor& kClass = kBBPRegsClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
