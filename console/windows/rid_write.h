// What the record browser's "Write Rid" makes of the operator's input.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include <QString>
#include <QStringView>

namespace kestview {

// The pieces of the text between runs of blanks, each read as a hexadecimal word ("FFFF" is
// 65535); nothing when a piece is not hexadecimal or does not fit 16 bits.
std::optional<std::vector<std::uint32_t>> parseHexWords(QStringView text);

struct RidWriteValue {
    // Input beginning with a double quote: the text after it, without a closing double quote.
    std::optional<QString> text;
    // Otherwise the words, high byte first, cut or zero-extended to 2 x (length - 1) bytes.
    std::vector<std::uint8_t> bytes;
};

// Nothing when the input is not a quoted text and not a list of hexadecimal words. The caller
// does nothing for an input that is empty or only blanks.
std::optional<RidWriteValue> ridWriteValue(const QString& input, long length);

}  // namespace kestview
