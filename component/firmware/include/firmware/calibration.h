// Derivation of the calibration records 0x0300 (set points) and 0x0301 (integrator values) from
// the manufacturing records 0x0900 and 0x0901, chosen by the regulatory domain in 0x0103.
#pragma once

#include <ostream>

#include "firmware/pdr_list.h"

namespace firmware {

inline constexpr std::uint16_t kPdrDomain = 0x0103;
inline constexpr std::uint16_t kPdrSetPoints = 0x0300;
inline constexpr std::uint16_t kPdrIntegrators = 0x0301;
inline constexpr std::uint16_t kPdrMfgSetPoints = 0x0900;
inline constexpr std::uint16_t kPdrMfgIntegrators = 0x0901;

// Adds 0x0300 and 0x0301 to `pdrs` (replacing earlier ones); false, with a message, when the
// source records are missing or the domain is unknown.
bool MakeCalibrationRecords(PdrList& pdrs, std::ostream& out);

}  // namespace firmware
