#include "common/text.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace direzo {

std::u16string fromBstr(BSTR text) { return text ? std::u16string(text, SysStringLen(text)) : std::u16string(); }

BSTR toBstr(std::u16string_view text) { return SysAllocStringLen(text.data(), UINT(text.size())); }

std::string toAnsi(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] < 0xE000)
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00);
        else if (c >= 0xD800 && c < 0xE000)
            c = u'?';  // a lone surrogate has no ANSI form
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string fromAnsi(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const unsigned char b = text[i];
        int extra = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = extra == 0 ? b : extra == 1 ? (b & 0x1F) : extra == 2 ? (b & 0x0F) : (b & 0x07);
        if (extra < 0 || i + extra >= text.size()) {
            out += u'?';  // malformed byte
            ++i;
            continue;
        }
        bool ok = true;
        for (int k = 1; k <= extra; ++k) {
            const unsigned char cont = text[i + k];
            if ((cont & 0xC0) != 0x80) ok = false;
            c = (c << 6) | (cont & 0x3F);
        }
        if (!ok) {
            out += u'?';
            ++i;
            continue;
        }
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

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
