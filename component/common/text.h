// Text conversions at the component's edges: BSTR <-> UTF-16 strings, and the ANSI (here UTF-8)
// texts the NDIS request library and the registry take.
#pragma once

#include <string>
#include <string_view>

#include "oleaut/oleauto.h"

namespace direzo {

std::u16string fromBstr(BSTR text);  // a null BSTR is the empty text
BSTR toBstr(std::u16string_view text);
// A text getter's body: a fresh copy of text into *pVal (E_POINTER for a null pVal).
HRESULT copyText(std::u16string_view text, BSTR* pVal);
std::string toAnsi(std::u16string_view text);
std::u16string fromAnsi(std::string_view text);
// The text with the letters a to z in upper case (record and register names, collection keys).
std::u16string upperCase(std::u16string text);

// printf-style formatting of the component's messages into UTF-16.
std::u16string format(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}  // namespace direzo
