// The Rids object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class Rids final : public SessionObject<Rids, IRids> {
public:
    static constexpr const ClassDescriptor& kClass = kRidsClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
