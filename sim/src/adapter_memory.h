// The adapter's memory: the non-volatile firmware store and production data area, kept in the
// adapter's state folder, and the volatile RAM. A transfer must lie wholly inside one region; a
// write to non-volatile memory is stored before it is reported done, and a write that cannot be
// stored leaves memory as it was. Several processes may use the same adapter: non-volatile
// contents are read again when another process has changed them, and reads and writes are made
// under a lock on the state folder, so no process undoes another's write or sees half of one.
//
// The firmware store is programmed as flash is: a write changes only the bytes that differ, in
// place in the store file, and reaches the disk when the flash is committed (commit(): at a card
// reset, at the end of a download, when the device goes away). A download cut short leaves a store
// file that reads back whole, holding the blocks written so far; the boot check refuses such an
// image. The production data area is replaced whole and synced at every write, as its few writes
// are each a complete update.
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
    ~AdapterMemory();
    AdapterMemory(const AdapterMemory&) = delete;
    AdapterMemory& operator=(const AdapterMemory&) = delete;

    NDIS_STATUS read(std::uint32_t address, std::span<BYTE> out) const;
    NDIS_STATUS write(std::uint32_t address, std::span<const BYTE> data);

    ProductionArea productionArea() const;
    // Forgets everything written: factory production data, an erased firmware store, RAM zeroed.
    void factoryReset();
    const std::filesystem::path& stateDir() const { return stateDir_; }
    // Number of firmware-store pages that hold anything but erased bytes.
    std::size_t firmwarePagesInUse() const;
    // Makes the firmware store's writes durable (one sync of what changed since the last commit).
    void commit();

private:
    enum class Region { Firmware, Ram, Pda, None };
    static Region regionOf(std::uint32_t address, std::size_t length);
    // The state's version: a counter in the state folder that every write advances (in place).
    std::uint64_t storedGeneration() const;
    bool storeGeneration(std::uint64_t generation) const;
    // Reads the state files again when they changed since this process last read or wrote them;
    // the caller holds the state folder's lock.
    void refresh() const;
    bool storePda(const ProductionArea& pda) const;
    // Writes the pages of `changed` (each with the byte range that differs) into the store file.
    struct PageChange {
        std::uint32_t page;
        std::vector<BYTE> bytes;  // the page's new contents
        std::size_t from, to;     // the bytes [from, to) differ from the stored page
    };
    bool storeFirmware(const std::vector<PageChange>& changed);
    bool sticks(std::uint32_t address) const;
    // The descriptor of state file `name`, opened (and created) when first needed.
    int openFile(int& fd, const char* name) const;
    void closeFile(int& fd) const;

    std::filesystem::path stateDir_;
    ProductionArea factory_;
    Faults faults_;
    mutable ProductionArea pda_;
    mutable std::map<std::uint32_t, std::vector<BYTE>> pages_;  // firmware store, by page address
    mutable std::map<std::uint32_t, std::size_t> slots_;  // each stored page's record in the store file
    mutable std::size_t records_ = 0;                      // whole records in the store file
    mutable bool unsynced_ = false;                               // the store file has writes not yet synced
    bool storeCreated_ = false;                            // ... and was created since the last sync
    mutable int lockFd_ = -1, generationFd_ = -1, storeFd_ = -1;
    mutable std::uint64_t generation_ = ~std::uint64_t(0);  // the version this process holds
    std::vector<BYTE> ram_;
};

}  // namespace vireo::sim
