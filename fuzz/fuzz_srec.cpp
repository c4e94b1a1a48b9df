// The S-record reader of station firmware images.
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <streambuf>

#include "firmware/srec_reader.h"
#include "memory_file.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    MemoryFile file(data, size);
    std::streambuf* none = nullptr;
    std::ostream quiet(none);
    firmware::LoadedImage image;
    firmware::LoadSrecFile(file.path(), image, quiet);
    return 0;
}
