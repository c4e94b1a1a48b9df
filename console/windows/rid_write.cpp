#include "rid_write.h"

#include <QRegularExpression>

#include "hex_text.h"

namespace kestview {

std::optional<std::vector<std::uint32_t>> parseHexWords(QStringView text) {
    static const QRegularExpression blanks(QStringLiteral("\\s+"));
    std::vector<std::uint32_t> words;
    for (const QString& piece : text.trimmed().toString().split(blanks, Qt::SkipEmptyParts)) {
        const auto w = parseHex(piece, 0xFFFF);
        if (!w) return std::nullopt;
        words.push_back(*w);
    }
    return words;
}

std::optional<RidWriteValue> ridWriteValue(const QString& input, long length) {
    RidWriteValue value;
    if (input.startsWith(u'"')) {
        QString text = input.mid(1);
        if (text.endsWith(u'"')) text.chop(1);
        value.text = text;
        return value;
    }
    const auto words = parseHexWords(input);
    if (!words) return std::nullopt;
    for (std::uint32_t w : *words) {
        value.bytes.push_back(std::uint8_t((w & 0xFF00) / 256));
        value.bytes.push_back(std::uint8_t(w & 0xFF));
    }
    value.bytes.resize(length > 1 ? std::size_t(2 * (length - 1)) : 0, 0);
    return value;
}

}  // namespace kestview
