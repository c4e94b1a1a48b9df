#include "dmi_access.h"

#include <dlfcn.h>

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <mutex>

#include "dmi/dmiapi.h"

namespace airmeter {
namespace {

using InvokeFn = std::uint32_t (*)(DmiMgmtCommand*);
using IndicateFn = std::uint32_t (*)(DmiIndicateFunc);
using CiProcessFn = std::uint32_t (*)();

struct Binding {
    void* handle = nullptr;
    InvokeFn invoke = nullptr;
    IndicateFn indicate = nullptr;
    CiProcessFn ciProcess = nullptr;
};

Binding binding;
std::string loadError;

constexpr std::uint32_t kConfirmBufferSize = 4096;
constexpr std::uint32_t kAttributeBufferSize = 1024;

std::string stringAt(const std::uint8_t* buffer, std::uint32_t size, std::uint32_t offset) {
    if (offset == 0 || size < 4 || offset > size - 4) return {};  // no wrap-around for offsets near 2^32
    std::uint32_t length = 0;
    std::memcpy(&length, buffer + offset, 4);
    length = std::min(length, size - offset - 4);
    return std::string(reinterpret_cast<const char*>(buffer + offset + 4), length);
}

template <typename T>
T fixedAt(const std::uint8_t* buffer) {
    T value;
    std::memcpy(&value, buffer, sizeof value);
    return value;
}

std::string withStatus(const char* failureText, std::uint32_t status) {
    char text[96];
    std::snprintf(text, sizeof text, failureText, static_cast<int>(status));
    return text;
}

}  // namespace

struct TDmiAccess::Pending {
    DmiItemCommand command{};
    std::uint8_t buffer[kConfirmBufferSize] = {};
    std::mutex mutex;
    std::condition_variable confirmed;
    bool done = false;
};

namespace {

// The provider's confirmation callback, on the provider's thread.
void confirm(DmiMgmtCommand* command) {
    auto* pending = static_cast<TDmiAccess::Pending*>(command->pUserData);
    std::lock_guard lock(pending->mutex);
    pending->done = true;
    pending->confirmed.notify_all();
}

// Command blocks whose confirmation never came: the provider may still write them, so they are
// kept for the life of the process.
void abandon(std::unique_ptr<TDmiAccess::Pending> pending) {
    static std::mutex mutex;
    static auto* kept = new std::vector<std::unique_ptr<TDmiAccess::Pending>>;
    std::lock_guard lock(mutex);
    kept->push_back(std::move(pending));
}

}  // namespace

std::string DmiLibrary::fileName(const std::string& name) {
    std::string base = name;
    std::transform(base.begin(), base.end(), base.begin(), [](unsigned char c) { return std::tolower(c); });
    if (base.size() > 4 && base.ends_with(".dll")) base.resize(base.size() - 4);
    return "lib" + base + ".so";
}

bool DmiLibrary::load(const std::vector<std::string>& folders) {
    unload();
    const std::string file = fileName(kName);
    loadError.clear();
    auto open = [&](const std::string& path) {
        binding.handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (!binding.handle && loadError.empty()) loadError = dlerror();
        return binding.handle != nullptr;
    };
    bool found = false;
    for (const std::string& folder : folders) {
        if ((found = open(folder + "/" + file))) break;
    }
    if (!found && !open(file)) return false;
    binding.invoke = reinterpret_cast<InvokeFn>(dlsym(binding.handle, "DmiInvoke"));
    binding.indicate = reinterpret_cast<IndicateFn>(dlsym(binding.handle, "DmiIndicate"));
    binding.ciProcess = reinterpret_cast<CiProcessFn>(dlsym(binding.handle, "DmiCiProcess"));
    if (!available()) {
        unload();
        loadError = file + ": DmiInvoke, DmiIndicate or DmiCiProcess is missing";
        return false;
    }
    loadError.clear();
    return true;
}

std::string DmiLibrary::lastError() { return loadError; }

void DmiLibrary::unload() {
    if (binding.handle) dlclose(binding.handle);
    binding = {};
}

bool DmiLibrary::available() {
    return binding.handle && binding.invoke && binding.indicate && binding.ciProcess;
}

const char* dmiAccessName(std::uint32_t access) {
    static const char* const names[] = {"Unknown", "ReadOnly", "ReadWrite", "WriteOnly", "Unsupported"};
    return access < 5 ? names[access] : "";
}

const char* dmiTypeName(std::uint32_t type) {
    switch (type) {
        case 0: return "Unknown";
        case 1: return "Counter";
        case 2: return "Counter64";
        case 3: return "Gauge";
        case 5: return "Integer";
        case 6: return "Integer64";
        case 7: return "OctetString";
        case 8: return "String";
        case 11: return "Date";
    }
    return "";
}

TDmiAccess::TDmiAccess(std::chrono::milliseconds confirmationWait, WhileWaiting whileWaiting)
    : wait_(confirmationWait), whileWaiting_(std::move(whileWaiting)) {
    if (!DmiLibrary::available()) return;
    const std::uint8_t* cnf = invoke(DMI_REGISTER_MGMT, "Register: Stat = %d", kConfirmBufferSize);
    handle_ = fixedAt<DmiRegisterCnf>(cnf).iMgmtHandle;
}

TDmiAccess::~TDmiAccess() {
    if (!registered()) return;
    try {
        invoke(DMI_UNREGISTER_MGMT, "Unregister: Stat = %d", kConfirmBufferSize);
    } catch (const DmiError&) {
        // Nothing more can be done about a provider that refuses to let go.
    }
}

const std::uint8_t* TDmiAccess::invoke(std::uint32_t code, const char* failureText, std::uint32_t bufferSize,
                                       std::uint32_t component, std::uint32_t group, std::uint32_t attribute,
                                       std::int32_t value) {
    if (!DmiLibrary::available()) throw DmiError(withStatus(failureText, DMI_ERR_BAD_HANDLE));
    const std::string name(failureText, std::strcspn(failureText, ":"));
    // A command from inside another's wait would overwrite the block the provider still holds.
    if (busy_) throw DmiError(name + ": another DMI command is still waiting for its confirmation");
    if (!pending_) pending_ = std::make_unique<Pending>();
    Pending& p = *pending_;
    p.done = false;
    p.command = {};
    DmiMgmtCommand& h = p.command.header;
    h.iLevelCheck = DMI_LEVEL_CHECK;
    h.iCommand = code;
    h.iCmdLen = code == DMI_REGISTER_MGMT || code == DMI_UNREGISTER_MGMT ? sizeof(DmiMgmtCommand) : sizeof(DmiItemCommand);
    h.iMgmtHandle = handle_;
    h.iCmdHandle = nextCommand_++;
    h.iCnfBufLen = bufferSize;
    h.pCnfBuf = p.buffer;
    h.pConfirmFunc = confirm;
    h.pUserData = &p;
    p.command.iComponentId = component;
    p.command.iGroupId = group;
    p.command.iAttributeId = attribute;
    p.command.iValue = value;
    const std::uint32_t status = binding.invoke(&h);
    if (status >= 0x100) throw DmiError(withStatus(failureText, status));
    // Wait for the provider's confirmation, but not for ever, in slices between which the
    // owner's events are processed.
    const auto deadline = std::chrono::steady_clock::now() + wait_;
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(busy_);
    for (;;) {
        {
            std::unique_lock lock(p.mutex);
            const auto slice = std::min(deadline, std::chrono::steady_clock::now() + std::chrono::milliseconds(kWaitSliceMs));
            if (p.confirmed.wait_until(lock, slice, [&] { return p.done; })) break;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            abandon(std::move(pending_));
            throw DmiTimeout(name + ": no confirmation from the DMI service provider within " +
                             std::to_string(wait_.count()) + " ms");
        }
        if (whileWaiting_) whileWaiting_();
    }
    if (h.iStatus >= 0x100) throw DmiError(withStatus(failureText, h.iStatus));
    return p.buffer;
}

void TDmiAccess::listComponents(const std::function<bool(std::uint32_t, const std::string&)>& each) {
    if (!registered()) return;
    std::uint32_t code = DMI_LIST_FIRST_COMPONENT;
    const char* text = "ListComponentFirst: Stat = %d";
    std::uint32_t last = 0;
    for (;;) {
        const std::uint8_t* cnf = invoke(code, text, kConfirmBufferSize, last);
        const auto entry = fixedAt<DmiListComponentCnf>(cnf);
        if (entry.iCount == 0) return;
        last = entry.iComponentId;
        if (!each(last, stringAt(cnf, kConfirmBufferSize, entry.osName))) return;
        code = DMI_LIST_NEXT_COMPONENT;
        text = "ListComponentNext: Stat = %d";
    }
}

void TDmiAccess::listGroups(std::uint32_t component,
                            const std::function<bool(std::uint32_t, const std::string&, const std::string&)>& each) {
    if (!registered()) return;
    std::uint32_t code = DMI_LIST_FIRST_GROUP;
    const char* text = "ListGroupFirst: Stat = %d";
    std::uint32_t last = 0;
    for (;;) {
        const std::uint8_t* cnf = invoke(code, text, kConfirmBufferSize, component, last);
        const auto entry = fixedAt<DmiListGroupCnf>(cnf);
        if (entry.iCount == 0) return;
        last = entry.iGroupId;
        if (!each(last, stringAt(cnf, kConfirmBufferSize, entry.osName),
                  stringAt(cnf, kConfirmBufferSize, entry.osClassString))) {
            return;
        }
        code = DMI_LIST_NEXT_GROUP;
        text = "ListGroupNext: Stat = %d";
    }
}

void TDmiAccess::listAttributes(std::uint32_t component, std::uint32_t group,
                                const std::function<bool(const DmiAttributeInfo&)>& each) {
    if (!registered()) return;
    std::uint32_t code = DMI_LIST_FIRST_ATTRIBUTE;
    const char* text = "ListAttributeFirst: Stat = %d";
    std::uint32_t last = 0;
    for (;;) {
        const std::uint8_t* cnf = invoke(code, text, kConfirmBufferSize, component, group, last);
        const auto entry = fixedAt<DmiListAttributeCnf>(cnf);
        if (entry.iCount == 0) return;
        DmiAttributeInfo info{entry.iAttributeId, stringAt(cnf, kConfirmBufferSize, entry.osName), entry.iAccess,
                              entry.iType, {}};
        const std::uint32_t enumCount = std::min<std::uint32_t>(entry.iEnumCount, 127);
        for (std::uint32_t i = 0; i < enumCount; ++i) {
            const std::size_t offset = std::size_t{entry.oEnumList} + i * sizeof(DmiEnumEntry);
            if (offset + sizeof(DmiEnumEntry) > kConfirmBufferSize) break;
            const auto e = fixedAt<DmiEnumEntry>(cnf + offset);
            info.enumeration.push_back({e.iValue, stringAt(cnf, kConfirmBufferSize, e.osName)});
        }
        last = info.id;
        if (!each(info)) return;
        code = DMI_LIST_NEXT_ATTRIBUTE;
        text = "ListAttributeNext: Stat = %d";
    }
}

std::string TDmiAccess::componentDescription(std::uint32_t component) {
    const auto* cnf = invoke(DMI_LIST_DESC_COMPONENT, "ListDescComp: Stat = %d", kConfirmBufferSize, component);
    return stringAt(cnf, kConfirmBufferSize, fixedAt<DmiDescriptionCnf>(cnf).osDescription);
}

std::string TDmiAccess::groupDescription(std::uint32_t component, std::uint32_t group) {
    const auto* cnf = invoke(DMI_LIST_DESC_GROUP, "ListDescGroup: Stat = %d", kConfirmBufferSize, component, group);
    return stringAt(cnf, kConfirmBufferSize, fixedAt<DmiDescriptionCnf>(cnf).osDescription);
}

std::string TDmiAccess::attributeDescription(std::uint32_t component, std::uint32_t group, std::uint32_t attribute) {
    const auto* cnf = invoke(DMI_LIST_DESC_ATTRIBUTE, "ListDescAttr: Stat = %d", kConfirmBufferSize, component, group,
                             attribute);
    return stringAt(cnf, kConfirmBufferSize, fixedAt<DmiDescriptionCnf>(cnf).osDescription);
}

DmiValue TDmiAccess::getAttribute(std::uint32_t component, std::uint32_t group, std::uint32_t attribute,
                                  std::uint32_t* type) {
    const auto* cnf = invoke(DMI_GET_ATTRIBUTE, "GetAttribute: Stat = %d", kAttributeBufferSize, component, group,
                             attribute);
    const auto v = fixedAt<DmiAttributeValueCnf>(cnf);
    if (type) *type = v.iType;
    switch (v.iType) {
        case DMI_DATA_COUNTER: case DMI_DATA_GAUGE: case DMI_DATA_INTEGER:
            return std::int64_t{static_cast<std::int32_t>(v.iValue)};
        case DMI_DATA_COUNTER64: case DMI_DATA_INTEGER64:
            return std::int64_t{v.iValue};
        case DMI_DATA_STRING:
            return stringAt(cnf, kAttributeBufferSize, v.osValue);
        case DMI_DATA_OCTET_STRING:
            return std::int64_t{-2};
        case DMI_DATA_DATE:
            return std::int64_t{-1};
    }
    return std::int64_t{-3};
}

void TDmiAccess::setAttribute(std::uint32_t component, std::uint32_t group, std::uint32_t attribute, std::int32_t value) {
    invoke(DMI_SET_ATTRIBUTE, "SetAttribute: Stat = %d", kAttributeBufferSize, component, group, attribute, value);
}

}  // namespace airmeter
