// The registry hive text: whatever parses is written back and must read back as the same hive.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "hive_text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace oru::registry;
    Hive hive;
    try {
        hive = parseHive(std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const HiveSyntaxError&) {
        return 0;
    }
    const std::string text = formatHive(hive);
    try {
        if (!(parseHive(text) == hive)) {
            std::fprintf(stderr, "the written hive reads back different:\n%s\n", text.c_str());
            std::abort();
        }
    } catch (const HiveSyntaxError& e) {
        std::fprintf(stderr, "the written hive does not read back (line %d: %s):\n%s\n", e.line, e.what(), text.c_str());
        std::abort();
    }
    return 0;
}
