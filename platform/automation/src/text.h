// Text helpers of the runtime: UTF-16 <-> UTF-8 (the registry speaks UTF-8; see oleaut/utf.h) and
// case folding for names that compare without regard to case.
#pragma once

#include <string>
#include <string_view>

#include "oleaut/utf.h"
#include "oleaut/wtypes.h"

namespace oleaut::detail {

using oleaut::toUtf8;
using oleaut::toUtf16;
// A NUL-terminated wide text as a view (null: empty).
std::u16string_view viewOf(const OLECHAR* text);

char16_t foldCase(char16_t c);
bool equalsIgnoreCase(std::u16string_view a, std::u16string_view b);
bool equalsIgnoreCase(std::string_view a, std::string_view b);

}  // namespace oleaut::detail
