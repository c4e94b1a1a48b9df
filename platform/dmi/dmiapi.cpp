// The DMI service provider: commands are taken by DmiInvoke and confirmed from the provider's
// own thread, as a service provider does. $ORU_DMI_CONFIRM_DELAY_MS delays every confirmation.
#include "dmi/dmiapi.h"

#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "dmi_database.h"

namespace {

// Writes a confirmation: a fixed part at the start and strings after it.
class ConfirmWriter {
public:
    ConfirmWriter(void* buffer, std::uint32_t size, std::size_t fixed)
        : buffer_(static_cast<std::uint8_t*>(buffer)), size_(size), used_(fixed), ok_(fixed <= size) {
        if (ok_) std::memset(buffer_, 0, fixed);
    }
    bool ok() const { return ok_; }
    template <typename T>
    T* fixed() { return reinterpret_cast<T*>(buffer_); }
    // Stores a string; returns its offset.
    std::uint32_t string(const std::string& text) {
        const std::size_t need = 4 + text.size();
        used_ = (used_ + 3) & ~std::size_t{3};
        if (used_ + need > size_) {
            ok_ = false;
            return 0;
        }
        const auto length = static_cast<std::uint32_t>(text.size());
        std::memcpy(buffer_ + used_, &length, 4);
        std::memcpy(buffer_ + used_ + 4, text.data(), text.size());
        const auto offset = static_cast<std::uint32_t>(used_);
        used_ += need;
        return offset;
    }
    // Reserves room for `count` entries of T; returns the offset.
    template <typename T>
    std::uint32_t reserve(std::size_t count) {
        used_ = (used_ + 7) & ~std::size_t{7};
        if (used_ + count * sizeof(T) > size_) {
            ok_ = false;
            return 0;
        }
        const auto offset = static_cast<std::uint32_t>(used_);
        used_ += count * sizeof(T);
        return offset;
    }
    template <typename T>
    T* at(std::uint32_t offset) { return reinterpret_cast<T*>(buffer_ + offset); }

private:
    std::uint8_t* buffer_;
    std::uint32_t size_;
    std::size_t used_;
    bool ok_;
};

template <typename List, typename Item>
const Item* firstOrNext(const List& list, bool first, std::uint32_t after) {
    for (const Item& item : list) {
        if (first || item.id > after) return &item;
    }
    return nullptr;
}

class Provider {
public:
    Provider() : worker_([this] { run(); }) {}
    ~Provider() {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        wake_.notify_all();
        worker_.join();
    }

    std::uint32_t invoke(DmiMgmtCommand* command) {
        if (command == nullptr || command->iLevelCheck != DMI_LEVEL_CHECK) return DMI_ERR_LEVEL_CHECK;
        const std::uint32_t code = command->iCommand;
        const bool item = code != DMI_REGISTER_MGMT && code != DMI_UNREGISTER_MGMT;
        if (!known(code)) return DMI_ERR_BAD_COMMAND;
        if (command->iCmdLen < (item ? sizeof(DmiItemCommand) : sizeof(DmiMgmtCommand))) return DMI_ERR_BAD_LENGTH;
        {
            std::lock_guard lock(mutex_);
            if (code != DMI_REGISTER_MGMT && (command->iMgmtHandle == 0 || command->iMgmtHandle != handle_)) {
                return DMI_ERR_BAD_HANDLE;
            }
            queue_.push_back(command);
        }
        wake_.notify_all();
        return DMI_SUCCESS;
    }

    void indicate(DmiIndicateFunc function) {
        std::lock_guard lock(mutex_);
        indicate_ = function;
    }

private:
    static bool known(std::uint32_t code) {
        switch (code) {
            case DMI_REGISTER_MGMT: case DMI_UNREGISTER_MGMT: case DMI_LIST_FIRST_COMPONENT:
            case DMI_LIST_NEXT_COMPONENT: case DMI_LIST_DESC_COMPONENT: case DMI_LIST_FIRST_GROUP:
            case DMI_LIST_NEXT_GROUP: case DMI_LIST_DESC_GROUP: case DMI_LIST_FIRST_ATTRIBUTE:
            case DMI_LIST_NEXT_ATTRIBUTE: case DMI_LIST_DESC_ATTRIBUTE: case DMI_GET_ATTRIBUTE:
            case DMI_SET_ATTRIBUTE:
                return true;
        }
        return false;
    }

    void run() {
        const char* delay = std::getenv("ORU_DMI_CONFIRM_DELAY_MS");
        const int delayMs = delay ? std::atoi(delay) : 0;
        for (;;) {
            DmiMgmtCommand* command = nullptr;
            {
                std::unique_lock lock(mutex_);
                wake_.wait(lock, [this] { return quit_ || !queue_.empty(); });
                if (quit_) return;
                command = queue_.front();
                queue_.pop_front();
            }
            if (delayMs > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
            command->iStatus = execute(*command);
            if (command->pConfirmFunc) command->pConfirmFunc(command);
        }
    }

    std::uint32_t execute(DmiMgmtCommand& command) {
        std::lock_guard lock(mutex_);
        switch (command.iCommand) {
            case DMI_REGISTER_MGMT: {
                const char* root = std::getenv("ORU_DMI_ROOT");
                database_ = dmi::loadDatabase(root ? root : "/sys/class/dmi/id");
                handle_ = nextHandle_++;
                ConfirmWriter w(command.pCnfBuf, command.iCnfBufLen, sizeof(DmiRegisterCnf));
                if (!w.ok()) return DMI_ERR_BUFFER_TOO_SMALL;
                w.fixed<DmiRegisterCnf>()->iMgmtHandle = handle_;
                return DMI_SUCCESS;
            }
            case DMI_UNREGISTER_MGMT:
                handle_ = 0;
                return DMI_SUCCESS;
            default:
                return executeItem(reinterpret_cast<DmiItemCommand&>(command));
        }
    }

    std::uint32_t executeItem(DmiItemCommand& c) {
        const std::uint32_t code = c.header.iCommand;
        const bool first = code == DMI_LIST_FIRST_COMPONENT || code == DMI_LIST_FIRST_GROUP ||
                           code == DMI_LIST_FIRST_ATTRIBUTE;
        void* buffer = c.header.pCnfBuf;
        const std::uint32_t size = c.header.iCnfBufLen;
        if (code == DMI_LIST_FIRST_COMPONENT || code == DMI_LIST_NEXT_COMPONENT) {
            ConfirmWriter w(buffer, size, sizeof(DmiListComponentCnf));
            const auto* found = firstOrNext<std::vector<dmi::Component>, dmi::Component>(database_, first, c.iComponentId);
            if (found && w.ok()) {
                const std::uint32_t name = w.string(found->name);
                *w.fixed<DmiListComponentCnf>() = {1, found->id, name};
            }
            return w.ok() ? DMI_SUCCESS : DMI_ERR_BUFFER_TOO_SMALL;
        }
        const dmi::Component* component = nullptr;
        for (const auto& candidate : database_) {
            if (candidate.id == c.iComponentId) component = &candidate;
        }
        if (!component) return DMI_ERR_NOT_FOUND;
        if (code == DMI_LIST_DESC_COMPONENT) return describe(buffer, size, component->description);
        if (code == DMI_LIST_FIRST_GROUP || code == DMI_LIST_NEXT_GROUP) {
            ConfirmWriter w(buffer, size, sizeof(DmiListGroupCnf));
            const auto* found = firstOrNext<std::vector<dmi::Group>, dmi::Group>(component->groups, first, c.iGroupId);
            if (found && w.ok()) {
                const std::uint32_t name = w.string(found->name);
                const std::uint32_t classString = w.string(found->classString);
                *w.fixed<DmiListGroupCnf>() = {1, found->id, name, classString};
            }
            return w.ok() ? DMI_SUCCESS : DMI_ERR_BUFFER_TOO_SMALL;
        }
        const dmi::Group* group = nullptr;
        for (const auto& candidate : component->groups) {
            if (candidate.id == c.iGroupId) group = &candidate;
        }
        if (!group) return DMI_ERR_NOT_FOUND;
        if (code == DMI_LIST_DESC_GROUP) return describe(buffer, size, group->description);
        if (code == DMI_LIST_FIRST_ATTRIBUTE || code == DMI_LIST_NEXT_ATTRIBUTE) {
            ConfirmWriter w(buffer, size, sizeof(DmiListAttributeCnf));
            const auto* found = firstOrNext<std::vector<dmi::Attribute>, dmi::Attribute>(group->attributes, first, c.iAttributeId);
            if (found && w.ok()) {
                const std::uint32_t name = w.string(found->name);
                const std::uint32_t list = w.reserve<DmiEnumEntry>(found->enumeration.size());
                for (std::size_t i = 0; w.ok() && i < found->enumeration.size(); ++i) {
                    const std::uint32_t entryName = w.string(found->enumeration[i].second);
                    *w.at<DmiEnumEntry>(static_cast<std::uint32_t>(list + i * sizeof(DmiEnumEntry))) = {
                        found->enumeration[i].first, entryName};
                }
                *w.fixed<DmiListAttributeCnf>() = {1, found->id, name, found->access, found->type,
                                                   static_cast<std::uint32_t>(found->enumeration.size()), list};
            }
            return w.ok() ? DMI_SUCCESS : DMI_ERR_BUFFER_TOO_SMALL;
        }
        dmi::Attribute* attribute = nullptr;
        for (auto& candidate : const_cast<dmi::Group*>(group)->attributes) {
            if (candidate.id == c.iAttributeId) attribute = &candidate;
        }
        if (!attribute) return DMI_ERR_NOT_FOUND;
        if (code == DMI_LIST_DESC_ATTRIBUTE) return describe(buffer, size, attribute->description);
        if (code == DMI_SET_ATTRIBUTE) {
            if (attribute->access != DMI_READ_WRITE && attribute->access != DMI_WRITE_ONLY) return DMI_ERR_READ_ONLY;
            attribute->number = c.iValue;
            return DMI_SUCCESS;
        }
        ConfirmWriter w(buffer, size, sizeof(DmiAttributeValueCnf));
        if (!w.ok()) return DMI_ERR_BUFFER_TOO_SMALL;
        auto* value = w.fixed<DmiAttributeValueCnf>();
        value->iType = attribute->type;
        value->iValue = attribute->number;
        value->osValue = attribute->text.empty() && attribute->type != DMI_DATA_STRING ? 0 : w.string(attribute->text);
        return w.ok() ? DMI_SUCCESS : DMI_ERR_BUFFER_TOO_SMALL;
    }

    static std::uint32_t describe(void* buffer, std::uint32_t size, const std::string& text) {
        ConfirmWriter w(buffer, size, sizeof(DmiDescriptionCnf));
        if (w.ok()) {
            const std::uint32_t offset = w.string(text);
            w.fixed<DmiDescriptionCnf>()->osDescription = offset;
        }
        return w.ok() ? DMI_SUCCESS : DMI_ERR_BUFFER_TOO_SMALL;
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<DmiMgmtCommand*> queue_;
    bool quit_ = false;
    std::vector<dmi::Component> database_;
    std::uint32_t handle_ = 0;
    std::uint32_t nextHandle_ = 1;
    DmiIndicateFunc indicate_ = nullptr;
    std::thread worker_;  // last: starts once everything else is ready
};

Provider& provider() {
    static Provider instance;
    return instance;
}

}  // namespace

extern "C" {

__attribute__((visibility("default"))) uint32_t DmiInvoke(DmiMgmtCommand* command) { return provider().invoke(command); }

__attribute__((visibility("default"))) uint32_t DmiIndicate(DmiIndicateFunc function) {
    provider().indicate(function);
    return DMI_SUCCESS;
}

// This provider has no component instrumentation waiting to be served.
__attribute__((visibility("default"))) uint32_t DmiCiProcess(void) { return DMI_SUCCESS; }
}
