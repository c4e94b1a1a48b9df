#include "firmware/session_port.h"

#include <cstring>
#include <iostream>

#include "transport/adapter_session.h"

namespace direzo {
namespace {

class SessionPort final : public firmware::AdapterPort {
public:
    explicit SessionPort(AdapterSession& session) : session_(session) {}

    bool ReadProductionArea(std::span<std::uint8_t, firmware::kProductionAreaBytes> area) override {
        return session_.ReadProductionArea(area.data(), DWORD(area.size()));
    }
    bool BlockProtocols() override { return session_.BlockProtocols(); }
    bool UnblockProtocols() override { return session_.UnblockProtocols(); }
    bool ProbeController() override { return session_.ProbeController(); }
    bool EnableMemoryAccess() override { return session_.EnableMemoryAccess(); }
    bool ResetCard() override { return session_.ResetCard(); }
    bool VerifiedWriteMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) override {
        auto transfer = makeTransfer(address, bytes);
        return transfer && session_.VerifiedWriteMemory(*transfer);
    }
    bool ProgramMemory(std::uint32_t address, std::span<const std::uint8_t> bytes) override {
        auto transfer = makeTransfer(address, bytes);
        return transfer && session_.ProgramMemory(*transfer);
    }

private:
    // A transfer holds at most 8192 bytes; longer data are refused rather than cut.
    static std::unique_ptr<MemoryTransfer> makeTransfer(std::uint32_t address, std::span<const std::uint8_t> bytes) {
        if (bytes.size() > kMemoryTransferMax) return nullptr;
        auto transfer = std::make_unique<MemoryTransfer>();
        transfer->address = address;
        transfer->length = WORD(bytes.size());
        if (!bytes.empty()) std::memcpy(transfer->data, bytes.data(), bytes.size());
        return transfer;
    }

    AdapterSession& session_;
};

AdapterPortFactory& factory() {
    static AdapterPortFactory f;
    return f;
}

}  // namespace

std::unique_ptr<firmware::AdapterPort> adapterPort(const SessionRef& ref) {
    if (factory()) return ref.handle() ? factory()(ref.handle()) : nullptr;
    AdapterSession* session = ref.get();
    if (!session) return nullptr;
    return std::make_unique<SessionPort>(*session);
}

void setAdapterPortFactory(AdapterPortFactory f) { factory() = std::move(f); }

std::ostream& progressStream() {
    static const bool unitBuffered = [] {
        std::cout << std::unitbuf;
        return true;
    }();
    (void)unitBuffered;
    return std::cout;
}

}  // namespace direzo
