// The PDR object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class PDR final : public ComponentObject<PDR, IPDR> {
public:
    static constexpr const ClassDescriptor& kClass = kPDRClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
