// One simulated adapter behind its driver: answers the NDIS requests of the request library and
// lets tests and tools look at its state. Requests are served one at a time.
#pragma once

#include <array>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "ndisreq32/miniport.h"
#include "vireo/sim/bench_file.h"
#include "vireo/sim/controller_state.h"
#include "vireo/sim/journal.h"

namespace vireo::sim {

class Device : public ndis::Miniport {
public:
    // The adapter's non-volatile state lives in `stateDir`; every request is kept in `journal`.
    Device(AdapterSpec spec, std::filesystem::path stateDir, Journal& journal);
    ~Device() override;

    NDIS_STATUS handle(ndis::Request& request) override;

    const AdapterSpec& spec() const;
    const std::filesystem::path& stateDir() const;

    ControllerState controllerState() const;
    // "CR31", "SR3": the register as it reads now; nullopt when the baseband has no such register.
    std::optional<WORD> basebandRegister(std::string_view name) const;
    // The record's data words; nullopt when the adapter does not answer it.
    std::optional<std::vector<WORD>> record(WORD rid) const;
    // From now on the adapter answers record `rid` with these data words, and with `lengthWord`
    // when given (a length word that disagrees with the data, as a faulty firmware might report).
    // At most 250 data words travel in the record buffer; a longer record answers a failure.
    void presentRecord(WORD rid, std::vector<WORD> data, std::optional<WORD> lengthWord = std::nullopt);
    std::array<BYTE, 1024> productionArea() const;
    std::vector<BYTE> memory(std::uint32_t address, std::size_t length) const;
    std::array<std::int32_t, 44> tallies() const;
    // The firmware it runs: build sequence and file names (records FFFE, FFFF).
    WORD firmwareBuildSequence() const;
    std::string firmwareFileNames() const;
    std::size_t firmwarePagesInUse() const;

    // The volatile state as after switching the adapter on (what a new process would see).
    void powerCycle();
    // Forgets everything written to non-volatile memory, then power-cycles.
    void factoryReset();

private:
    struct Parts;
    mutable std::mutex mutex_;
    std::unique_ptr<Parts> parts_;
    Journal& journal_;
};

}  // namespace vireo::sim
