// Bytes and texts as the adapter keeps them: 16-bit words, the earlier byte in the low half.
#pragma once

#include <algorithm>
#include <cctype>
#include <string>
#include <string_view>
#include <vector>

#include "win32/basetypes.h"

namespace vireo::sim {

// `words` words holding the first bytes of `bytes` (the rest zero).
inline std::vector<WORD> packBytes(const BYTE* bytes, std::size_t count, std::size_t words) {
    std::vector<WORD> w(words, 0);
    for (std::size_t i = 0; i < count && i / 2 < words; ++i) w[i / 2] |= WORD(bytes[i] << ((i % 2) * 8));
    return w;
}

inline std::vector<WORD> packText(std::string_view text, std::size_t words) {
    return packBytes(reinterpret_cast<const BYTE*>(text.data()), text.size(), words);
}

// Names that compare without regard to (ASCII) case, as registry names do.
// The text in lower case: equal for two texts exactly when equalsNoCase holds.
inline std::string lowerCase(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = char(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

inline bool equalsNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace vireo::sim
