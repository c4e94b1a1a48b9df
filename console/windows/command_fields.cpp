#include "command_fields.h"

#include "hex_text.h"

namespace kestview {

std::optional<std::uint16_t> commandWord(const QString& field) {
    const QString text = field.trimmed();
    if (text.isEmpty()) return 0;
    const auto value = parseHex(text, 0xFFFF);
    if (!value) return std::nullopt;
    return std::uint16_t(*value);
}

QString responseText(std::uint8_t value) { return hexText(value); }

}  // namespace kestview
