// The Rid object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class Rid final : public SessionObject<Rid, IRid> {
public:
    static constexpr const ClassDescriptor& kClass = kRidClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
