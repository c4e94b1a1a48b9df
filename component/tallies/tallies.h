// The Tallies object. Its members beyond the session hand-over are being added.
#pragma once

#include "direzo/subobjects.h"
#include "server/session_object.h"

namespace direzo {

class Tallies final : public SessionObject<Tallies, ITallies> {
public:
    static constexpr const ClassDescriptor& kClass = kTalliesClass;
    static const oleaut::InterfaceDesc& dispatchTable();
};

}  // namespace direzo
