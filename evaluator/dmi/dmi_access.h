// TDmiAccess: the program's access to the host's DMI database through the service-provider
// library, loaded by name at program start.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <variant>
#include <vector>

namespace airmeter {

// The service-provider library; DMI is available only when it loads with all three functions.
class DmiLibrary {
public:
    static constexpr const char* kName = "DMIAPI32.DLL";
    // The Linux file name of a library named in the platform's style ("libdmiapi32.so").
    static std::string fileName(const std::string& name);
    // Loads the library from the first of `folders` that has it, else from the loader's path.
    static bool load(const std::vector<std::string>& folders);
    static void unload();
    static bool available();
    // Why the last load failed (the loader's message), empty after a successful load.
    static std::string lastError();
};

// A failed DMI command: the command's failure text with the status.
class DmiError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command the service provider did not confirm within the wait.
class DmiTimeout : public DmiError {
public:
    using DmiError::DmiError;
};

struct DmiEnumValue {
    std::int32_t value;
    std::string name;
};

struct DmiAttributeInfo {
    std::uint32_t id;
    std::string name;
    std::uint32_t access;
    std::uint32_t type;
    std::vector<DmiEnumValue> enumeration;
};

// An attribute value: a number, or a string for string attributes.
using DmiValue = std::variant<std::int64_t, std::string>;

const char* dmiAccessName(std::uint32_t access);
const char* dmiTypeName(std::uint32_t type);

class TDmiAccess {
public:
    // Runs while a command waits for its confirmation, about every kWaitSliceMs: a window
    // processes its events there, so the wait does not freeze it.
    using WhileWaiting = std::function<void()>;
    static constexpr int kWaitSliceMs = 10;

    // Registers with the service provider; does nothing when DMI is not available.
    explicit TDmiAccess(std::chrono::milliseconds confirmationWait = std::chrono::seconds(5),
                        WhileWaiting whileWaiting = {});
    ~TDmiAccess();  // unregisters
    TDmiAccess(const TDmiAccess&) = delete;
    TDmiAccess& operator=(const TDmiAccess&) = delete;

    bool registered() const { return handle_ != 0; }
    void setWhileWaiting(WhileWaiting whileWaiting) { whileWaiting_ = std::move(whileWaiting); }
    // True while a command waits for its confirmation.
    bool busy() const { return busy_; }

    // Each list calls back until the callback returns false or the list ends.
    void listComponents(const std::function<bool(std::uint32_t id, const std::string& name)>& each);
    void listGroups(std::uint32_t component,
                    const std::function<bool(std::uint32_t id, const std::string& name, const std::string& classString)>& each);
    void listAttributes(std::uint32_t component, std::uint32_t group,
                        const std::function<bool(const DmiAttributeInfo&)>& each);
    std::string componentDescription(std::uint32_t component);
    std::string groupDescription(std::uint32_t component, std::uint32_t group);
    std::string attributeDescription(std::uint32_t component, std::uint32_t group, std::uint32_t attribute);
    DmiValue getAttribute(std::uint32_t component, std::uint32_t group, std::uint32_t attribute, std::uint32_t* type = nullptr);
    void setAttribute(std::uint32_t component, std::uint32_t group, std::uint32_t attribute, std::int32_t value);

    struct Pending;  // one command block and its confirmation buffer

private:
    // Runs one command and returns its confirmation buffer; throws DmiError.
    const std::uint8_t* invoke(std::uint32_t code, const char* failureText, std::uint32_t bufferSize,
                               std::uint32_t component = 0, std::uint32_t group = 0, std::uint32_t attribute = 0,
                               std::int32_t value = 0);

    std::chrono::milliseconds wait_;
    WhileWaiting whileWaiting_;
    bool busy_ = false;
    std::uint32_t handle_ = 0;
    std::uint32_t nextCommand_ = 1;
    std::unique_ptr<Pending> pending_;
};

// Walks the whole database, handing each line of the listing to addLine. After each line group
// `yield` runs (the window processes its events there) and the walk ends once `stopped` says so.
// A description or value the provider refuses (for example one too long for the confirmation
// buffer) shows the refusal in its place and the walk goes on; a failed list command or a
// missing confirmation ends it (DmiError).
void walkDmi(TDmiAccess& access, const std::function<void(const std::string&)>& addLine,
             const std::function<bool()>& stopped, const std::function<void()>& yield);

}  // namespace airmeter
