// Reader of PDA text files: production data records written as hexadecimal 16-bit words with
// comments. Diagnostics go to the given stream, one line each.
#pragma once

#include <cstddef>
#include <cstdint>
#include <istream>
#include <ostream>
#include <span>
#include <string>

namespace firmware {

inline constexpr std::size_t kPdaWords = 512;

// Parses text into at most 512 words. Returns the number of words, 0 on any error (or for
// input without words). The words must end exactly at a record boundary.
std::size_t ParsePdaText(std::istream& in, std::span<std::uint16_t, kPdaWords> words,
                         std::ostream& out);

// Opens `path` and parses it; "file not found!" when it cannot be opened.
std::size_t ParsePdaFile(const std::string& path, std::span<std::uint16_t, kPdaWords> words,
                         std::ostream& out);

}  // namespace firmware
