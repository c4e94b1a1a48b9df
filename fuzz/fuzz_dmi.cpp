// Airmeter's walk of the DMI database over confirmation buffers a provider controls (see
// dmi_reply_provider.cpp for how the input becomes the provider's replies).
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "dmi_access.h"

namespace {

using SetScript = void (*)(const std::uint8_t*, std::size_t);

SetScript loadProvider() {
    if (!airmeter::DmiLibrary::load({FUZZ_DMI_PROVIDER_DIR})) std::abort();
    const std::string path = std::string(FUZZ_DMI_PROVIDER_DIR) + "/" + airmeter::DmiLibrary::fileName(airmeter::DmiLibrary::kName);
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
    auto set = handle ? reinterpret_cast<SetScript>(dlsym(handle, "FuzzDmiSetScript")) : nullptr;
    if (!set) std::abort();
    return set;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const SetScript setScript = loadProvider();
    setScript(data, size);
    try {
        airmeter::TDmiAccess access(std::chrono::milliseconds(1000));
        std::size_t lines = 0;
        airmeter::walkDmi(access, [&](const std::string&) { ++lines; }, [] { return false; }, [] {});
    } catch (const airmeter::DmiError&) {
    }
    return 0;
}
