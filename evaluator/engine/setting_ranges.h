// The numeric settings, their defaults and the ranges a run can use; shared by the settings file
// and the command line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace airmeter {

struct IntegerSetting {
    const char* section;
    const char* key;
    int defaultValue;
    int low;
    int high;
};

inline constexpr IntegerSetting kSockPortSetting{"MainConfig", "SockPort", 1500, 1, 65535};
inline constexpr IntegerSetting kModeSetting{"MainConfig", "Mode", 0, 0, 2};
// Any size some unit can send; the unit's own range is checked when a run starts.
inline constexpr IntegerSetting kPktSizeSetting{"MainConfig", "PktSize", 1024, 8, 16384 + 42};
inline constexpr IntegerSetting kPktUnitSetting{"MainConfig", "PktUnit", 0, 0, 1};
inline constexpr IntegerSetting kPktDelaySetting{"TxConfig", "PktDelay", 0, 0, 60000};
inline constexpr IntegerSetting kPktBurstSetting{"TxConfig", "PktBurst", 0, 0, 1000000};
inline constexpr IntegerSetting kPktFillSetting{"TxConfig", "PktFill", -1, -1, 256};

// Strict conversion of a whole text (blanks around it allowed) to an int.
std::optional<int> parseInteger(std::string_view text);

// The value of `text` for the setting, or why it cannot be used ("'x' is not an integer from
// LOW to HIGH").
struct CheckedInteger {
    std::optional<int> value;
    std::string problem;
};
CheckedInteger checkInteger(const IntegerSetting& setting, std::string_view text);

}  // namespace airmeter
