// GUID text: the registry form of a GUID, written and parsed. Below activation, which reads
// class ids from the registry in this form.
#include "guid_text.h"

#include <cstdio>

#include "oleaut/objbase.h"

namespace oleaut::detail {

std::string guidText(const GUID& g) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(g.Data1),
                  unsigned(g.Data2), unsigned(g.Data3), g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4],
                  g.Data4[5], g.Data4[6], g.Data4[7]);
    return buf;
}

std::optional<GUID> parseGuid(std::u16string_view text) {
    // Positions of the hexadecimal digit groups inside the braces, and their widths.
    static constexpr std::size_t kLength = 38;
    if (text.size() != kLength || text.front() != u'{' || text.back() != u'}') return std::nullopt;
    for (std::size_t dash : {9u, 14u, 19u, 24u})
        if (text[dash] != u'-') return std::nullopt;
    auto field = [&](std::size_t at, int digits, std::uint32_t& out) {
        out = 0;
        for (int i = 0; i < digits; ++i) {
            const char16_t c = text[at + std::size_t(i)];
            int v = c >= u'0' && c <= u'9' ? c - u'0' : c >= u'a' && c <= u'f' ? c - u'a' + 10 : c >= u'A' && c <= u'F' ? c - u'A' + 10 : -1;
            if (v < 0) return false;
            out = (out << 4) | std::uint32_t(v);
        }
        return true;
    };
    GUID g{};
    std::uint32_t v = 0;
    if (!field(1, 8, v)) return std::nullopt;
    g.Data1 = v;
    if (!field(10, 4, v)) return std::nullopt;
    g.Data2 = std::uint16_t(v);
    if (!field(15, 4, v)) return std::nullopt;
    g.Data3 = std::uint16_t(v);
    for (int i = 0; i < 2; ++i) {
        if (!field(20 + 2 * std::size_t(i), 2, v)) return std::nullopt;
        g.Data4[i] = std::uint8_t(v);
    }
    for (int i = 0; i < 6; ++i) {
        if (!field(25 + 2 * std::size_t(i), 2, v)) return std::nullopt;
        g.Data4[2 + i] = std::uint8_t(v);
    }
    return g;
}

}  // namespace oleaut::detail

using namespace oleaut::detail;

int StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax) {
    const std::string text = guidText(rguid);
    if (!lpsz || cchMax < int(text.size() + 1)) return 0;
    for (std::size_t i = 0; i < text.size(); ++i) lpsz[i] = OLECHAR(text[i]);
    lpsz[text.size()] = 0;
    return int(text.size() + 1);
}
