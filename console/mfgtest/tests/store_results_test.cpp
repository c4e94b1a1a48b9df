#include "store_results.h"

#include <map>

#include <gtest/gtest.h>

#include "firmware/pda_area.h"
#include "mfg_listing.h"
#include "test_rows.h"

namespace kestview::mfgtest {
namespace {

// An adapter area and a PDA collection over it, as the component behaves.
class FakePda : public ProductionDataPort {
public:
    std::map<std::uint16_t, std::vector<std::uint8_t>> area{{0x0003, {1, 2, 3, 4}}, {0x0103, {1, 0, 0x41, 0, 0, 0}},
                                                            {0x0900, {9, 9}}};
    std::map<std::uint16_t, std::vector<std::uint8_t>> items;
    std::string failing;  // "add 2305", "commit", "corrupt"
    int commits = 0;

    bool retrieve() override {
        items = area;
        std::vector<firmware::PdaRecord> recs;
        for (auto& [c, d] : area) recs.push_back({c, d});
        std::string error;
        auto image = firmware::BuildAreaImage(recs, error);
        items[0] = {(*image)[image->size() - 2], (*image)[image->size() - 1]};
        return true;
    }
    std::vector<StoredRecord> records() override {
        std::vector<StoredRecord> r;
        for (auto& [c, d] : items) r.push_back({c, d});
        return r;
    }
    int removePdr(const std::string& key) override { return int(items.erase(std::uint16_t(std::stoul(key, nullptr, 16)))); }
    bool addPdr(std::uint16_t code) override {
        if (failing == "add " + std::to_string(code) || items.count(code)) return false;
        items[code] = {0xFF};
        return true;
    }
    void setPdrData(const std::string& key, const std::vector<std::uint8_t>& data) override {
        items.at(std::uint16_t(std::stoul(key, nullptr, 16))) = data;
    }
    bool commit() override {
        ++commits;
        if (failing == "commit") return false;
        area = items;
        area.erase(0);
        if (failing == "corrupt") area[0x0003][0] ^= 1;
        return true;
    }
};

TEST(StoreProductionData, ReplacesTheTwoRecordsAndKeepsTheRest) {
    FakePda pda;
    const auto before = pda.area;
    const auto rows = testing::sampleRows();
    const auto out = storeProductionData(rows, pda);
    ASSERT_TRUE(out.pdaStored) << out.failure;
    EXPECT_TRUE(out.failure.empty());
    EXPECT_EQ(pda.area.at(0x0900), recordBytes(setPointWords(rows)));
    EXPECT_EQ(pda.area.at(0x0901).size(), 66u);
    EXPECT_EQ(pda.area.at(0x0003), before.at(0x0003));
    EXPECT_EQ(pda.area.at(0x0103), before.at(0x0103));
    EXPECT_EQ(pda.area.size(), 4u);
}

TEST(StoreProductionData, EachFailingStepStopsAndSaysWhich) {
    const std::pair<const char*, const char*> cases[] = {
        {"add 2305", "Could not add pdr 901"},  // 0x0901
        {"commit", "Could not write the production data to the adapter (Commit)"},
        {"corrupt", "The production data read back differs: record 0003 holds other data"},
    };
    for (auto [failing, message] : cases) {
        FakePda pda;
        pda.failing = failing;
        const auto out = storeProductionData(testing::sampleRows(), pda);
        EXPECT_FALSE(out.pdaStored) << failing;
        EXPECT_EQ(out.failure, message);
        if (std::string(failing) == "add 2305") {
            EXPECT_EQ(pda.commits, 0);
        }
    }
    FakePda pda;
    auto rows = testing::sampleRows();
    rows[3].reset();
    EXPECT_FALSE(storeProductionData(rows, pda).pdaStored);
    EXPECT_EQ(pda.commits, 0);
}

class FakeFirmware : public FirmwarePort {
public:
    std::string failing;
    std::string running = "PRI0104.HEX STA0108.HEX";
    bool loadHexFile(const std::string&) override { return failing != "load"; }
    bool makeCalPdrs() override { return failing != "cal"; }
    bool plugImage() override { return failing != "plug"; }
    int recordsPlugged() override { return 2; }
    bool flashImage(const std::function<void(long, long, long)>& progress) override {
        if (failing == "flash") return false;
        progress(1, 4096, 0);
        if (failing != "stale") running = "PRI0104.HEX STA9_1.HEX";
        return true;
    }
    int totalImageBlocks() override { return 1; }
    std::string runningFileNames() override { return running; }
    int runningBuild() override { return 91; }
};

TEST(FlashStationImage, RunsTheChainAndConfirmsTheRunningImage) {
    const std::pair<const char*, const char*> cases[] = {
        {"", ""},
        {"load", "Could not load the firmware image /x/sta9_1.hex"},
        {"cal", "Could not derive the calibration records 0300 and 0301 (MakeCalPdrs)"},
        {"plug", "No production data record could be plugged into the image (PlugImage)"},
        {"flash", "The image could not be written to the adapter (FlashImage)"},
        {"stale", "The adapter does not run the image: record FFFF reads \"PRI0104.HEX STA0108.HEX\""},
    };
    for (auto [failing, message] : cases) {
        FakeFirmware fw;
        fw.failing = failing;
        StoreOutcome out;
        int blocks = 0;
        flashStationImage("/x/sta9_1.hex", fw, [&](long, long, long) { ++blocks; }, out);
        EXPECT_EQ(out.failure, message);
        EXPECT_EQ(out.imageFlashed, *failing == '\0');
        if (*failing == '\0') {
            EXPECT_EQ(blocks, 1);
        }
    }
}

}  // namespace
}  // namespace kestview::mfgtest
