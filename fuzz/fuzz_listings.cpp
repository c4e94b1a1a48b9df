// The register editors' listing readers: INI and 'C' listings as a user may have edited them.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "c_listing.h"
#include "ini_listing.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    kestview::bbp::readIniListing(text);
    kestview::bbp::readCListing(text);
    return 0;
}
