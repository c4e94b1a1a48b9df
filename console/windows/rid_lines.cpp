#include "rid_lines.h"

#include <array>
#include <functional>
#include <span>

#include "hex_text.h"

namespace kestview {

namespace {

constexpr std::array<const char*, kRidDisplayCount> kCaptions{
    "Ascii Data", "Word", "Byte", "Byte String", "Integer", "Boolean", "Integer Area", "Byte Area", "Bit Area",
};

// Appends one piece per item, closing a line after every `perLine` items; the line being built
// is always added at the end.
QStringList buildLines(std::size_t items, std::size_t perLine, const std::function<QString(std::size_t)>& piece) {
    QStringList lines;
    QString line;
    for (std::size_t i = 0; i < items; ++i) {
        line += piece(i);
        if ((i + 1) % perLine == 0) {
            lines << line;
            line.clear();
        }
    }
    lines << line;
    return lines;
}

QString asciiChar(std::uint8_t b) { return b <= 29 ? QStringLiteral("~") : QString(QChar(b)); }

// A 16-bit word from the byte array: byte 2i high, byte 2i+1 low (a lone last byte stands high).
std::uint16_t wordAt(std::span<const std::uint8_t> bytes, std::size_t i) {
    const std::uint8_t high = bytes[2 * i];
    const std::uint8_t low = 2 * i + 1 < bytes.size() ? bytes[2 * i + 1] : 0;
    return std::uint16_t(high << 8 | low);
}

// At least five digits, the sign in front of them.
QString fiveDigits(long value) {
    const QString digits = QStringLiteral("%1").arg(value < 0 ? -value : value, 5, 10, QLatin1Char('0'));
    return value < 0 ? "-" + digits : digits;
}

}  // namespace

QString ridDisplayCaption(RidDisplay form) { return QString::fromLatin1(kCaptions.at(std::size_t(form))); }

QStringList ridHeaderLines(long length, long type, const QString& name) {
    return {
        "Rid Length = " + QString::number(length),
        "Rid Type = " + QString(type != 0 ? "Information Rid" : "Configuration Rid"),
        "Rid Description = " + name.trimmed(),
        QString(55, u'_'),
    };
}

RidExtraReading ridExtraReading(RidDisplay form) {
    switch (form) {
    case RidDisplay::ByteString: return RidExtraReading::Text;
    case RidDisplay::Integer: return RidExtraReading::Integer;
    case RidDisplay::IntegerArea: return RidExtraReading::Words;
    default: return RidExtraReading::None;
    }
}

QStringList ridValueLines(RidDisplay form, const RidReading& reading) {
    const std::span<const std::uint8_t> bytes = reading.bytes;
    const std::size_t words = (bytes.size() + 1) / 2;
    switch (form) {
    case RidDisplay::AsciiData:
        // One piece per pair; a line holds 10 pairs (20 bytes).
        return buildLines(words, 10, [&](std::size_t i) {
            QString s = " ";
            if (2 * i + 1 < bytes.size()) s += asciiChar(bytes[2 * i + 1]) + " ";
            return s + asciiChar(bytes[2 * i]);
        });
    case RidDisplay::Word:
        return buildLines(bytes.size(), 20,
                          [&](std::size_t i) { return hexByte(bytes[i]) + (i % 2 == 1 ? " " : ""); });
    case RidDisplay::Byte:
        return buildLines(bytes.size(), 20, [&](std::size_t i) { return QStringLiteral("%1 ").arg(bytes[i], 3); });
    case RidDisplay::ByteString:
        return {reading.text};
    case RidDisplay::Integer:
        return {fiveDigits(reading.integer)};
    case RidDisplay::Boolean:
        return buildLines(words, 10, [&](std::size_t i) { return QString(wordAt(bytes, i) ? "True " : "False "); });
    case RidDisplay::IntegerArea:
        return buildLines(reading.words.size(), 10, [&](std::size_t i) { return fiveDigits(reading.words[i]) + " "; });
    case RidDisplay::ByteArea:
        return buildLines(bytes.size(), 20, [&](std::size_t i) { return hexByte(bytes[i]) + " "; });
    case RidDisplay::BitArea:
        return buildLines(words, 4, [&](std::size_t i) {
            return QStringLiteral("%1 ").arg(wordAt(bytes, i), 16, 2, QLatin1Char('0'));
        });
    }
    return {QString()};
}

}  // namespace kestview
