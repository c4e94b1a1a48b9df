// UTF-16 (OLECHAR texts, BSTR) <-> UTF-8 (the registry's and the platform's narrow texts).
// Unpaired surrogates and malformed UTF-8 bytes each become U+FFFD.
#pragma once

#include <string>
#include <string_view>

namespace oleaut {

std::string toUtf8(std::u16string_view text);
std::u16string toUtf16(std::string_view text);

}  // namespace oleaut
