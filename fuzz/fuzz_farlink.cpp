// The remote exporter's message handling: the bytes an authenticated client sends on a connection,
// served in an apartment of their own. The registry holds the component, so calls that name its
// classes reach real objects (there is no bench: no adapter to open).
#include <dlfcn.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "farlink/exporter.h"
#include "oleaut/objbase.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    void* component = dlopen(FUZZ_COMPONENT_PATH, RTLD_NOW);
    auto registerServer = component ? reinterpret_cast<HRESULT (*)()>(dlsym(component, "DllRegisterServer")) : nullptr;
    if (!registerServer || registerServer() != S_OK) {
        std::fprintf(stderr, "fuzz_farlink: cannot register %s\n", FUZZ_COMPONENT_PATH);
        return 1;
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    farlink::serveConnectionBytes(data, size);
    return 0;
}
