// The range rule for every 16-bit argument of the component's members: the signed and the
// unsigned reading of the same 16 bits (-32768 to 65535) are accepted, so that both 0xFFFF and -1
// reach the adapter as FFFF; anything else is out of range and is refused, never cut to 16 bits.
#pragma once

#include <optional>

#include "win32/basetypes.h"

namespace direzo {

inline std::optional<WORD> wordArgument(LONG value) {
    if (value < -0x8000 || value > 0xFFFF) return std::nullopt;
    return WORD(value);
}

}  // namespace direzo
