#include "driver_library.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace kestview::instruments {

DriverLibrary::DriverLibrary(std::string module, std::string file) : module_(std::move(module)), file_(std::move(file)) {}

DriverLibrary::~DriverLibrary() {
    if (handle_) dlclose(handle_);
}

namespace {

// A bare library name is looked for in the program's own library folder (lib beside bin) first,
// then where the dynamic loader looks.
std::string locate(const std::string& file) {
    if (file.find('/') != std::string::npos) return file;
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return file;
    for (const auto& dir : {exe.parent_path().parent_path() / "lib", exe.parent_path()}) {
        const std::filesystem::path candidate = dir / file;
        if (std::filesystem::is_regular_file(candidate, ec)) return candidate.string();
    }
    return file;
}

}  // namespace

void DriverLibrary::load() {
    if (handle_) return;
    handle_ = dlopen(locate(file_).c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* why = dlerror();
        loadError_ = why ? why : "unknown reason";
    }
}

void* DriverLibrary::symbol(const char* name) {
    load();
    if (!handle_) throw BindingError(module_ + ": cannot load " + file_ + ": " + loadError_);
    dlerror();
    void* f = dlsym(handle_, name);
    if (!f) throw BindingError(module_ + ": " + file_ + " has no function " + name);
    return f;
}

}  // namespace kestview::instruments
