// A driver library loaded by name at run time, and its functions looked up by name at each call.
#pragma once

#include <stdexcept>
#include <string>

namespace kestview::instruments {

// A library that cannot be loaded, or a function it lacks: names the module, the library and why.
class BindingError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class DriverLibrary {
public:
    // `module` names the binding in messages ("hp438a"); `file` is looked up the way the dynamic
    // loader finds libraries (beside the program, then the library path).
    DriverLibrary(std::string module, std::string file);
    ~DriverLibrary();
    DriverLibrary(const DriverLibrary&) = delete;
    DriverLibrary& operator=(const DriverLibrary&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& file() const { return file_; }

    // The function `name` as type F; throws BindingError when the library did not load or lacks it.
    template <class F>
    F* function(const char* name) {
        return reinterpret_cast<F*>(symbol(name));
    }
    template <class F, class... Args>
    int call(const char* name, Args... args) {
        return function<F>(name)(args...);
    }

private:
    void* symbol(const char* name);
    // Loads on first use, so that a library installed after a failed attempt is found on retry.
    void load();

    std::string module_, file_, loadError_;
    void* handle_ = nullptr;
};

}  // namespace kestview::instruments
