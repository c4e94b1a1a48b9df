#include "server_libraries.h"

#include <dlfcn.h>

#include <algorithm>
#include <cstdio>
#include <mutex>
#include <vector>

namespace oleaut::detail {

namespace {

struct LoadedLibrary {
    void* handle;
    std::string path;
};

// Held while a library is looked up, asked for a class object or unloaded, so that no library
// is unloaded between being found and being called. Recursive: a server may create objects of
// another server while it makes its class object.
std::recursive_mutex& tableLock() {
    static auto* m = new std::recursive_mutex;  // never destroyed: servers may call in at exit
    return *m;
}
std::vector<LoadedLibrary>& loadedLibraries() {
    static auto* libraries = new std::vector<LoadedLibrary>;
    return *libraries;
}

template <class F>
F entryPoint(void* handle, const char* name) {
    return reinterpret_cast<F>(dlsym(handle, name));
}

}  // namespace

HRESULT classObjectFromLibrary(const std::string& path, REFCLSID clsid, REFIID riid, void** ppv) {
    std::lock_guard lock(tableLock());
    void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* why = dlerror();
        std::fprintf(stderr, "oleaut: cannot load server library %s: %s\n", path.c_str(), why ? why : "unknown error");
        return CO_E_DLLNOTFOUND;
    }
    auto& libraries = loadedLibraries();
    const bool known = std::any_of(libraries.begin(), libraries.end(),
                                   [&](const LoadedLibrary& l) { return l.handle == handle; });
    const auto getClassObject = entryPoint<PFN_DllGetClassObject>(handle, "DllGetClassObject");
    if (!getClassObject) {
        std::fprintf(stderr, "oleaut: server library %s does not export DllGetClassObject\n", path.c_str());
        dlclose(handle);
        return CO_E_ERRORINDLL;
    }
    if (known)
        dlclose(handle);  // the table holds one reference per library
    else
        libraries.push_back({handle, path});
    return getClassObject(clsid, riid, ppv);
}

void freeUnusedLibraries() {
    std::lock_guard lock(tableLock());
    auto& libraries = loadedLibraries();
    for (auto it = libraries.begin(); it != libraries.end();) {
        const auto canUnloadNow = entryPoint<PFN_DllCanUnloadNow>(it->handle, "DllCanUnloadNow");
        if (canUnloadNow && canUnloadNow() == S_OK) {  // without the export a library stays loaded
            dlclose(it->handle);
            it = libraries.erase(it);
        } else {
            ++it;
        }
    }
}

}  // namespace oleaut::detail
