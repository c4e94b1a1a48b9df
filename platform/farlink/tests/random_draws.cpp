// Test-only, preloaded into farlinkd: writes every 4-byte draw from the system's random source
// (a session handle is one) as a positive 31-bit value to the file FARLINK_TEST_DRAWS names, one
// a line, so that a test can use a real handle of another connection.
#include <dlfcn.h>
#include <sys/types.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

extern "C" __attribute__((visibility("default"))) ssize_t getrandom(void* buffer, size_t length, unsigned flags) {
    using Real = ssize_t (*)(void*, size_t, unsigned);
    static const Real real = reinterpret_cast<Real>(dlsym(RTLD_NEXT, "getrandom"));
    const ssize_t got = real(buffer, length, flags);
    const char* path = std::getenv("FARLINK_TEST_DRAWS");
    if (got != 4 || !path) return got;
    std::uint32_t value = 0;
    std::memcpy(&value, buffer, sizeof value);
    if (std::FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%u\n", unsigned(value & 0x7FFFFFFF));
        std::fclose(f);
    }
    return got;
}
