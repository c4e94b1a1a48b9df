#include "wire_values.h"

#include "oleaut/oleauto.h"

namespace farlink {

kj::Array<capnp::byte> guidBytes(const GUID& g) {
    auto out = kj::heapArray<capnp::byte>(16);
    for (int i = 0; i < 4; ++i) out[i] = capnp::byte(g.Data1 >> (8 * i));
    for (int i = 0; i < 2; ++i) out[4 + i] = capnp::byte(g.Data2 >> (8 * i));
    for (int i = 0; i < 2; ++i) out[6 + i] = capnp::byte(g.Data3 >> (8 * i));
    for (int i = 0; i < 8; ++i) out[8 + i] = g.Data4[i];
    return out;
}

void putGuid(const GUID& g, capnp::Data::Builder out) {
    auto bytes = guidBytes(g);
    std::memcpy(out.begin(), bytes.begin(), 16);
}

std::optional<GUID> readGuid(capnp::Data::Reader in) {
    if (in.size() != 16) return std::nullopt;
    GUID g{};
    for (int i = 0; i < 4; ++i) g.Data1 |= std::uint32_t(in[i]) << (8 * i);
    for (int i = 0; i < 2; ++i) g.Data2 |= std::uint16_t(in[4 + i] << (8 * i));
    for (int i = 0; i < 2; ++i) g.Data3 |= std::uint16_t(in[6 + i] << (8 * i));
    for (int i = 0; i < 8; ++i) g.Data4[i] = in[8 + i];
    return g;
}

kj::Array<capnp::byte> textBytes(std::u16string_view text) {
    auto out = kj::heapArray<capnp::byte>(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        out[2 * i] = capnp::byte(text[i]);
        out[2 * i + 1] = capnp::byte(text[i] >> 8);
    }
    return out;
}

std::u16string readText(capnp::Data::Reader in) {
    std::u16string s(in.size() / 2, u'\0');
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = char16_t(in[2 * i] | (in[2 * i + 1] << 8));
    return s;
}

HRESULT readBstr(capnp::Data::Reader in, BSTR* out) {
    *out = nullptr;
    if (in.size() % 2) return DISP_E_BADVARTYPE;
    const std::u16string s = readText(in);
    *out = SysAllocStringLen(s.data(), UINT(s.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

}  // namespace farlink
