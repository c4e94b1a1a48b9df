// Hexadecimal text as the console's windows read and write it.
#pragma once

#include <cstdint>
#include <optional>

#include <QString>
#include <QStringView>

namespace kestview {

// A hexadecimal number of one or more digits (either case, leading zeros allowed) no larger
// than `max`; nothing for an empty text, any other character or a larger value.
std::optional<std::uint32_t> parseHex(QStringView text, std::uint32_t max);

// Upper-case hexadecimal without leading zeros ("0", "7F", "FC00").
QString hexText(std::uint32_t value);

// Two upper-case hexadecimal digits ("0A").
QString hexByte(std::uint8_t value);

}  // namespace kestview
