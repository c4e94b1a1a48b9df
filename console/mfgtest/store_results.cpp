#include "store_results.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <map>

#include "firmware/pda_area.h"
#include "mfg_listing.h"

namespace kestview::mfgtest {

namespace {

std::string hex4(unsigned code) {
    char text[8];
    std::snprintf(text, sizeof text, "%04X", code & 0xFFFF);
    return text;
}

std::map<std::uint16_t, std::vector<std::uint8_t>> byCode(const std::vector<StoredRecord>& records) {
    std::map<std::uint16_t, std::vector<std::uint8_t>> map;
    for (const auto& r : records) map.emplace(r.code, r.data);
    return map;
}

// The first difference between what the area should hold and what it holds, empty when none.
std::string compareArea(const std::map<std::uint16_t, std::vector<std::uint8_t>>& expected,
                        const std::vector<StoredRecord>& readBack) {
    auto actual = byCode(readBack);
    const auto end = actual.find(0);
    if (end == actual.end()) return "the area read back has no end record";
    const auto storedCrc = end->second;
    actual.erase(end);
    for (const auto& [code, data] : expected) {
        const auto it = actual.find(code);
        if (it == actual.end()) return "record " + hex4(code) + " is missing";
        if (it->second != data) return "record " + hex4(code) + " holds other data";
    }
    for (const auto& [code, data] : actual)
        if (!expected.count(code)) return "record " + hex4(code) + " appeared";
    // The CRC the adapter holds must close the records it holds.
    std::vector<firmware::PdaRecord> records;
    for (const auto& r : readBack)
        if (r.code != 0) records.push_back({r.code, r.data});
    std::string error;
    const auto image = firmware::BuildAreaImage(records, error);
    if (!image) return error;
    const std::vector<std::uint8_t> crc(image->end() - 2, image->end());
    if (storedCrc.size() < 2 || !std::equal(crc.begin(), crc.end(), storedCrc.begin())) return "its CRC is wrong";
    return {};
}

}  // namespace

std::string storeOutcomeText(const StoreOutcome* store) {
    if (!store) return "not stored: storing in the adapter was not asked for";
    if (!store->pdaStored) return "not stored: " + (store->failure.empty() ? std::string("no reason given") : store->failure);
    std::string text = "stored records 0900 and 0901";
    if (store->imageFlashed) text += " and downloaded " + store->image;
    else if (!store->image.empty()) text += "; the image " + store->image + " was not downloaded: " + store->failure;
    return text;
}

StoreOutcome refusedStore(const std::string& testFailure) {
    StoreOutcome out;
    out.failure = "The test failed, so nothing is stored in the adapter" + (testFailure.empty() ? "" : ": " + testFailure);
    return out;
}

std::vector<std::uint8_t> recordBytes(const std::vector<std::uint16_t>& words) {
    std::vector<std::uint8_t> bytes;
    for (auto w : words) {
        bytes.push_back(std::uint8_t(w & 0xFF));
        bytes.push_back(std::uint8_t(w >> 8));
    }
    return bytes;
}

StoreOutcome storeProductionData(const TestRows& rows, ProductionDataPort& pda) {
    StoreOutcome out;
    if (!complete(rows)) {
        out.failure = "The test results are incomplete: nothing was stored";
        return out;
    }
    const std::pair<std::uint16_t, std::vector<std::uint8_t>> fresh[] = {
        {kSetPointRecord, recordBytes(setPointWords(rows))},
        {kIntegratorRecord, recordBytes(integratorWords(rows))},
    };
    try {
        if (!pda.retrieve()) {
            out.failure = "Could not read the adapter's production data (Retrieve)";
            return out;
        }
        auto expected = byCode(pda.records());
        expected.erase(0);
        out.steps.push_back("Read the production data area: " + std::to_string(expected.size()) + " records");
        // The end record read with the area is not written back as a record; Commit closes the
        // area with a fresh one.
        pda.removePdr("0000");
        for (const auto& [code, data] : fresh) {
            char key[8];
            std::snprintf(key, sizeof key, "%04x", code);
            pda.removePdr(key);
            if (!pda.addPdr(code)) {
                out.failure = "Could not add pdr " + std::to_string(code == kSetPointRecord ? 900 : 901);
                return out;
            }
            pda.setPdrData(key, data);
            expected[code] = data;
        }
        if (!pda.commit()) {
            out.failure = "Could not write the production data to the adapter (Commit)";
            return out;
        }
        out.steps.push_back("Committed records 0900 and 0901");
        if (!pda.retrieve()) {
            out.failure = "Could not read the production data back (Retrieve)";
            return out;
        }
        if (const auto diff = compareArea(expected, pda.records()); !diff.empty()) {
            out.failure = "The production data read back differs: " + diff;
            return out;
        }
        out.steps.push_back("Read back and compared: the area holds the new records, the others unchanged");
        out.pdaStored = true;
    } catch (const std::exception& e) {
        out.failure = std::string("Production data: ") + e.what();
    }
    return out;
}

void flashStationImage(const std::string& imagePath, FirmwarePort& firmware,
                       const std::function<void(long, long, long)>& progress, StoreOutcome& out) {
    const auto fail = [&](std::string why) { out.failure = std::move(why); };
    out.image = imagePath;
    try {
        if (!firmware.loadHexFile(imagePath)) return fail("Could not load the firmware image " + imagePath);
        out.steps.push_back("Loaded " + imagePath + ": " + std::to_string(firmware.totalImageBlocks()) + " blocks");
        if (!firmware.makeCalPdrs())
            return fail("Could not derive the calibration records 0300 and 0301 (MakeCalPdrs)");
        out.steps.push_back("Derived the calibration records 0300 and 0301");
        if (!firmware.plugImage()) return fail("No production data record could be plugged into the image (PlugImage)");
        out.steps.push_back("Plugged " + std::to_string(firmware.recordsPlugged()) + " records");
        if (!firmware.flashImage(progress)) return fail("The image could not be written to the adapter (FlashImage)");
        out.steps.push_back("Downloaded the image");
        std::string base = std::filesystem::path(imagePath).filename().string().substr(0, 20);
        std::transform(base.begin(), base.end(), base.begin(), [](unsigned char c) { return char(std::toupper(c)); });
        const std::string running = firmware.runningFileNames();
        if (running.find(base) == std::string::npos)
            return fail("The adapter does not run the image: record FFFF reads \"" + running + "\"");
        out.steps.push_back("The adapter runs " + base + " (build " + std::to_string(firmware.runningBuild()) + ")");
        out.imageFlashed = true;
    } catch (const std::exception& e) {
        fail(std::string("Firmware: ") + e.what());
    }
}

}  // namespace kestview::mfgtest
