// The PDA object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class PDA final : public SessionObject<PDA, IPDA> {
public:
    static constexpr const ClassDescriptor& kClass = kPDAClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
