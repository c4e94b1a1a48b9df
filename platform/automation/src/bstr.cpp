// BSTR: a 32-bit byte count, the characters, then a NUL character. The pointer handed out points
// at the characters, so a BSTR reads as an ordinary NUL-terminated wide text.
#include <cstdlib>
#include <cstring>
#include <limits>

#include "oleaut/oleauto.h"

namespace {

constexpr std::size_t kPrefix = sizeof(std::uint32_t);
constexpr std::size_t kMaxBytes = std::numeric_limits<std::uint32_t>::max() - kPrefix - sizeof(OLECHAR);

// Allocates a BSTR of `bytes` bytes, copied from data or zero-filled when data is null.
BSTR allocateBytes(const void* data, std::size_t bytes) {
    if (bytes > kMaxBytes) return nullptr;
    auto* block = static_cast<unsigned char*>(std::malloc(kPrefix + bytes + sizeof(OLECHAR)));
    if (!block) return nullptr;
    const auto count = static_cast<std::uint32_t>(bytes);
    std::memcpy(block, &count, sizeof count);
    if (data)
        std::memcpy(block + kPrefix, data, bytes);
    else
        std::memset(block + kPrefix, 0, bytes);
    std::memset(block + kPrefix + bytes, 0, sizeof(OLECHAR));
    return reinterpret_cast<BSTR>(block + kPrefix);
}

unsigned char* blockOf(BSTR text) { return reinterpret_cast<unsigned char*>(text) - kPrefix; }

std::size_t lengthOf(const OLECHAR* text) {
    std::size_t n = 0;
    while (text[n]) ++n;
    return n;
}

}  // namespace

BSTR SysAllocString(const OLECHAR* psz) {
    if (!psz) return nullptr;
    return allocateBytes(psz, lengthOf(psz) * sizeof(OLECHAR));
}

BSTR SysAllocStringLen(const OLECHAR* strIn, UINT ui) {
    return allocateBytes(strIn, std::size_t(ui) * sizeof(OLECHAR));
}

BSTR SysAllocStringByteLen(const char* psz, UINT len) { return allocateBytes(psz, len); }

INT SysReAllocString(BSTR* pbstr, const OLECHAR* psz) {
    if (!pbstr) return FALSE;
    BSTR fresh = SysAllocString(psz);  // before freeing: psz may point into *pbstr
    if (psz && !fresh) return FALSE;
    SysFreeString(*pbstr);
    *pbstr = fresh;
    return TRUE;
}

void SysFreeString(BSTR bstrString) {
    if (bstrString) std::free(blockOf(bstrString));
}

UINT SysStringByteLen(BSTR bstr) {
    if (!bstr) return 0;
    std::uint32_t count;
    std::memcpy(&count, blockOf(bstr), sizeof count);
    return count;
}

UINT SysStringLen(BSTR pbstr) { return SysStringByteLen(pbstr) / sizeof(OLECHAR); }
