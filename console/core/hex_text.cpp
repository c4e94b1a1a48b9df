#include "hex_text.h"

namespace kestview {

std::optional<std::uint32_t> parseHex(QStringView text, std::uint32_t max) {
    if (text.isEmpty()) return std::nullopt;
    std::uint64_t value = 0;
    for (QChar c : text) {
        const int digit = c >= u'0' && c <= u'9'   ? c.unicode() - u'0'
                          : c >= u'A' && c <= u'F' ? c.unicode() - u'A' + 10
                          : c >= u'a' && c <= u'f' ? c.unicode() - u'a' + 10
                                                   : -1;
        if (digit < 0) return std::nullopt;
        value = value * 16 + std::uint64_t(digit);
        if (value > max) return std::nullopt;
    }
    return std::uint32_t(value);
}

QString hexText(std::uint32_t value) { return QString::number(value, 16).toUpper(); }

QString hexByte(std::uint8_t value) { return QStringLiteral("%1").arg(value, 2, 16, QLatin1Char('0')).toUpper(); }

}  // namespace kestview
