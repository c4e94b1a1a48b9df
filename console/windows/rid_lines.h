// The record browser's list: header lines and the value lines of each display form.
#pragma once

#include <cstdint>
#include <vector>

#include <QString>
#include <QStringList>

namespace kestview {

// The display forms, in the order of their option buttons.
enum class RidDisplay {
    AsciiData,
    Word,
    Byte,
    ByteString,
    Integer,
    Boolean,
    IntegerArea,
    ByteArea,
    BitArea,
};
inline constexpr int kRidDisplayCount = 9;

// The option button's caption.
QString ridDisplayCaption(RidDisplay form);

// "Rid Length = ", "Rid Type = ", "Rid Description = " and the rule of 55 underscores.
QStringList ridHeaderLines(long length, long type, const QString& name);

// What the browser read from the record for one display: always the bytes (high byte of each
// word first), and for some forms one more reading of the record.
struct RidReading {
    std::vector<std::uint8_t> bytes;
    QString text;                  // "Byte String": the record's counted text
    long integer = 0;              // "Integer": the word at the chosen index
    std::vector<std::int16_t> words;  // "Integer Area": the record's words
};

// Which extra reading a form needs besides the bytes.
enum class RidExtraReading { None, Text, Integer, Words };
RidExtraReading ridExtraReading(RidDisplay form);

// The value lines of a form. Each list ends with the line still being built, so it may end with
// an empty line.
//   Ascii Data:   per byte pair " " + char(byte i+1) + " " + char(byte i), bytes of 29 or less as
//                 "~"; a line per 20 bytes.
//   Word:         two hex digits per byte, a blank after every second byte; a line per 20 bytes.
//   Byte:         each byte in decimal, right-aligned in three places, and a blank; a line per 20.
//   Byte String:  the text.
//   Integer:      the word with at least five digits ("00042").
//   Boolean:      each word as "True" (nonzero) or "False", and a blank; a line per 10 words.
//   Integer Area: each word with at least five digits and a blank; a line per 10 words.
//   Byte Area:    two hex digits and a blank per byte; a line per 20 bytes.
//   Bit Area:     each word as 16 binary digits, bit 15 first, and a blank; a line per 4 words.
QStringList ridValueLines(RidDisplay form, const RidReading& reading);

}  // namespace kestview
