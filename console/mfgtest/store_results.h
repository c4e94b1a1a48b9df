// "Flash Test Results": stores a completed test's rows in the adapter. First the production data
// area: records 0x0900 and 0x0901 replaced by the rows, every other record kept, committed, read
// back and compared. Then, when a station image is given, the image is loaded, the calibration
// records derived from the new rows, plugged and downloaded, and the adapter's firmware records
// must name the image. Each step that fails stops there and says which and why.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "test_data.h"

namespace kestview::mfgtest {

struct StoredRecord {
    std::uint16_t code = 0;
    std::vector<std::uint8_t> data;  // data words, low byte first
    bool operator==(const StoredRecord&) const = default;
};

// The adapter's production data area through IPDA. Failed automation calls throw.
class ProductionDataPort {
public:
    virtual ~ProductionDataPort() = default;
    virtual bool retrieve() = 0;                          // Retrieve's bResults
    virtual std::vector<StoredRecord> records() = 0;      // the collection, in key order
    virtual int removePdr(const std::string& key) = 0;    // RemovePDR's count
    virtual bool addPdr(std::uint16_t code) = 0;          // AddPDR's bResults
    virtual void setPdrData(const std::string& key, const std::vector<std::uint8_t>& data) = 0;  // Item(key).PDR
    virtual bool commit() = 0;                            // Commit's bResults
};

// The adapter's firmware through IFirmware, and the records that tell what the adapter runs.
class FirmwarePort {
public:
    virtual ~FirmwarePort() = default;
    virtual bool loadHexFile(const std::string& path) = 0;
    virtual bool makeCalPdrs() = 0;
    virtual bool plugImage() = 0;
    virtual int recordsPlugged() = 0;
    // progress(blockcount, blocklength, blockAddress) for every FlashProgress event.
    virtual bool flashImage(const std::function<void(long, long, long)>& progress) = 0;
    virtual int totalImageBlocks() = 0;
    virtual std::string runningFileNames() = 0;  // record FFFF
    virtual int runningBuild() = 0;              // record FFFE
};

struct StoreOutcome {
    bool pdaStored = false;
    bool imageFlashed = false;
    std::string image;                // the station image asked for, empty when none
    std::string failure;              // the step that failed and why; empty when all went through
    std::vector<std::string> steps;   // what was done, one line each
};

// What the results record says of storing, in one text that never contradicts pdaStored: what
// was stored, or why nothing was. `store` null: storing was not asked for.
std::string storeOutcomeText(const StoreOutcome* store);

// A run that did not pass is not stored: the outcome says why.
StoreOutcome refusedStore(const std::string& testFailure);

// The data words of record 0x0900 (30) and 0x0901 (33) as bytes, low byte first.
std::vector<std::uint8_t> recordBytes(const std::vector<std::uint16_t>& words);

StoreOutcome storeProductionData(const TestRows& rows, ProductionDataPort& pda);
// The image step, after storeProductionData succeeded.
void flashStationImage(const std::string& imagePath, FirmwarePort& firmware,
                       const std::function<void(long, long, long)>& progress, StoreOutcome& outcome);

}  // namespace kestview::mfgtest
