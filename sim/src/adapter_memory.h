// The adapter's memory: the non-volatile firmware store and production data area, kept in the
// adapter's state folder, and the volatile RAM. A transfer must lie wholly inside one region; a
// write to non-volatile memory is stored before it is reported done, and a write that cannot be
// stored leaves memory as it was.
#pragma once

#include <filesystem>
#include <map>
#include <span>
#include <vector>

#include "production_data.h"

namespace vireo::sim {

class AdapterMemory {
public:
    static constexpr std::uint32_t kPageBytes = 4096;

    // Loads the state in `stateDir` if there is one; a missing state is the factory state.
    AdapterMemory(std::filesystem::path stateDir, ProductionArea factory, Faults faults);

    NDIS_STATUS read(std::uint32_t address, std::span<BYTE> out) const;
    NDIS_STATUS write(std::uint32_t address, std::span<const BYTE> data);

    const ProductionArea& productionArea() const { return pda_; }
    // Forgets everything written: factory production data, an erased firmware store, RAM zeroed.
    void factoryReset();
    const std::filesystem::path& stateDir() const { return stateDir_; }
    // Number of firmware-store pages that hold anything but erased bytes.
    std::size_t firmwarePagesInUse() const { return pages_.size(); }

private:
    enum class Region { Firmware, Ram, Pda, None };
    static Region regionOf(std::uint32_t address, std::size_t length);
    void load();
    bool storePda(const ProductionArea& pda) const;
    bool storeFirmware(const std::map<std::uint32_t, std::vector<BYTE>>& pages) const;
    bool sticks(std::uint32_t address) const;

    std::filesystem::path stateDir_;
    ProductionArea factory_;
    Faults faults_;
    ProductionArea pda_;
    std::map<std::uint32_t, std::vector<BYTE>> pages_;  // firmware store, by page address
    std::vector<BYTE> ram_;
};

}  // namespace vireo::sim
