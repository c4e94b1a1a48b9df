#include "common/text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

#include "oleaut/utf.h"

namespace direzo {

std::u16string fromBstr(BSTR text) { return text ? std::u16string(text, SysStringLen(text)) : std::u16string(); }

HRESULT copyText(std::u16string_view text, BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = toBstr(text);
    return S_OK;
}

BSTR toBstr(std::u16string_view text) { return SysAllocStringLen(text.data(), UINT(text.size())); }

std::string toAnsi(std::u16string_view text) { return oleaut::toUtf8(text); }

std::u16string fromAnsi(std::string_view text) { return oleaut::toUtf16(text); }

std::u16string upperCase(std::u16string text) {
    for (auto& c : text)
        if (c >= u'a' && c <= u'z') c = char16_t(c - u'a' + u'A');
    return text;
}

std::u16string format(const char* fmt, ...) {
    va_list args;
    va_start(args, fmt);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, fmt, copy);
    va_end(copy);
    std::vector<char> buffer(n > 0 ? std::size_t(n) + 1 : 1);
    std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
    va_end(args);
    return fromAnsi(buffer.data());
}

}  // namespace direzo
