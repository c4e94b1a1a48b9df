// The command window's fields: hexadecimal words in, response bytes out.
#pragma once

#include <cstdint>
#include <optional>

#include <QString>

namespace kestview {

// A command or parameter field as one 16-bit word: 0 when the field is empty or blank, else its text
// (surrounding blanks aside) read as hexadecimal; nothing for text that is not hexadecimal or a
// value above FFFF.
std::optional<std::uint16_t> commandWord(const QString& field);

// A response value in upper-case hexadecimal without leading zeros ("0", "7F").
QString responseText(std::uint8_t value);

}  // namespace kestview
