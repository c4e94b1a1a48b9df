// oru-regsvr [-u] LIBRARY: registers an in-process server library through its DllRegisterServer,
// or with -u unregisters it through DllUnregisterServer.
#include <dlfcn.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "oleaut/comptr.h"
#include "oleaut/objbase.h"
#include "oleaut/oleauto.h"

namespace {

int usage(std::FILE* to, int status) {
    std::fprintf(to, "usage: oru-regsvr [-u] LIBRARY\n"
                     "  registers the in-process server LIBRARY (with -u: unregisters it); a bare file name\n"
                     "  such as liboruDirEzo.so not in the current folder is taken from the program's\n"
                     "  library folder\n");
    return status;
}

// A bare file name that is not in the current folder names a library of this installation (or
// build): the private library folder, or lib/ beside bin/.
std::string locate(const char* library) {
    namespace fs = std::filesystem;
    std::error_code ec;
    if (std::strchr(library, '/') || fs::exists(library, ec)) return library;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec) return library;
    for (const char* folder : {ORU_BIN_TO_LIB, "../lib"}) {
        const fs::path candidate = exe.parent_path() / folder / library;
        if (fs::is_regular_file(candidate, ec)) return candidate.string();
    }
    return library;
}

// The description of the thread's error object, if the failing call left one.
std::string errorText() {
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) != S_OK) return {};
    BSTR text = nullptr;
    info->GetDescription(&text);
    std::string out;
    for (UINT i = 0; i < SysStringLen(text); ++i) out += text[i] < 0x80 ? char(text[i]) : '?';
    SysFreeString(text);
    return out;
}

// What a failure status means, for the statuses registration commonly ends with.
const char* meaning(HRESULT hr) {
    switch (hr) {
    case REGDB_E_WRITEREGDB: return "the registry could not be written";
    case REGDB_E_READREGDB: return "the registry could not be read";
    case TYPE_E_REGISTRYACCESS: return "the type library could not be registered";
    case E_OUTOFMEMORY: return "out of memory";
    case E_ACCESSDENIED: return "access denied";
    case E_UNEXPECTED: return "the library could not determine its own path";
    default: return nullptr;
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool unregister = false;
    const char* library = nullptr;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-u") == 0) {
            unregister = true;
        } else if (std::strcmp(argv[i], "-h") == 0 || std::strcmp(argv[i], "--help") == 0) {
            return usage(stdout, 0);
        } else if (argv[i][0] == '-' || library) {
            return usage(stderr, 2);
        } else {
            library = argv[i];
        }
    }
    if (!library) return usage(stderr, 2);

    // The library registers the path it was loaded from, so load it by its full path.
    char path[PATH_MAX];
    if (!realpath(locate(library).c_str(), path)) {
        std::fprintf(stderr, "oru-regsvr: cannot find %s: %s\n", library, std::strerror(errno));
        return 1;
    }
    void* handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        std::fprintf(stderr, "oru-regsvr: cannot load %s: %s\n", path, why ? why : "unknown error");
        return 1;
    }
    const char* entry = unregister ? "DllUnregisterServer" : "DllRegisterServer";
    const auto call = reinterpret_cast<HRESULT (*)()>(dlsym(handle, entry));
    if (!call) {
        std::fprintf(stderr, "oru-regsvr: %s does not export %s; it is not a self-registering server\n", path, entry);
        return 1;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const HRESULT hr = call();
    std::string detail = FAILED(hr) ? errorText() : std::string();
    if (detail.empty() && FAILED(hr) && meaning(hr)) detail = meaning(hr);
    CoUninitialize();
    if (FAILED(hr)) {
        std::fprintf(stderr, "oru-regsvr: %s in %s failed with error 0x%08X%s%s\n", entry, path, unsigned(hr),
                     detail.empty() ? "" : ": ", detail.c_str());
        return 1;
    }
    std::printf("oru-regsvr: %s in %s succeeded.\n", entry, path);
    return 0;
}
