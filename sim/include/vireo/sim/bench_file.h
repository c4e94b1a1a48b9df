// A bench file (JSON): the adapters of the simulated bench, the RF cable and the instruments.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "ndisreq32/ndisreq32.h"

namespace vireo::sim {

// Baseband model codes (the value of control register 0).
enum class BasebandModel : std::uint16_t {
    None = 0,
    Alder = 3,
    BirchS = 16,
    BirchA = 17,
    BirchB = 19,
    Cedar = 48,
};
const char* basebandName(BasebandModel m);
bool isBirchFamily(BasebandModel m);

struct FirmwareSpec {
    std::string primaryFile = "PRI0102.HEX";
    std::string stationFile = "STA0103.HEX";
    WORD buildSequence = 0x0025;
    // component id, variant, major, minor
    std::array<WORD, 4> primaryVersion{21, 1, 1, 2};
    std::array<WORD, 4> stationVersion{31, 2, 1, 3};
};

struct MemoryRange {
    std::uint32_t from = 0;
    std::uint32_t to = 0;  // inclusive
};

struct Quirks {
    // Answers NDIS_STATUS_INVALID_OID to a query of the command OID and accepts it as a set.
    bool commandQueryRefused = false;
    // A set of the command OID reports this BytesNeeded (nonzero: the command is not carried out).
    DWORD commandSetBytesNeeded = 0;
    // OIDs answered with NDIS_STATUS_INVALID_OID.
    std::vector<NDIS_OID> refusedOids;
};

struct Faults {
    // Memory writes into these ranges report success but leave the memory as it was.
    std::vector<MemoryRange> writesDoNotStick;
    // Controller commands (command codes such as 0x0838) the adapter refuses: answered with the
    // bad-parameter status and not carried out.
    std::vector<WORD> refusedCommands;
    // Configuration records whose writes the adapter refuses (reads still answer).
    std::vector<WORD> refusedRecordWrites;
};

struct PdrSpec {
    WORD code = 0;
    std::vector<WORD> words;  // data words (the length word is derived)
};

// A record the adapter answers with fixed contents (and possibly a length word of its own).
struct RecordSpec {
    WORD rid = 0;
    std::vector<WORD> words;
    std::optional<WORD> lengthWord;
};

// A station the adapter hears: what its channel sweep finds and what it can join.
struct Station {
    std::array<BYTE, 6> bssid{};
    std::string ssid;      // at most 32 characters
    WORD channel = 1;
    WORD signal = 0;       // on the sweep's 0..127 scale
    WORD noise = 0;        // on the sweep's 0..127 scale
    WORD beaconInterval = 100;
    WORD capability = 0x0001;
    std::array<BYTE, 10> rates{};  // supported rates, 500 kb/s units, 0x80 for a basic rate
    WORD probeRate = 110;  // 10, 20, 55 or 110 (100 kb/s units)
};

struct AdapterSpec {
    std::string key;          // network class key name, e.g. "0001"
    std::string service;      // driver service name
    std::string driverDesc;
    std::string title;
    bool vireo = true;        // answers the Vela probe and the private OIDs
    BasebandModel baseband = BasebandModel::None;
    std::array<BYTE, 6> mac{};
    std::string serial;       // at most 12 characters
    DWORD driverVersion = 0x00020001;  // major << 16 | minor
    BYTE domain = 0x10;
    WORD channel = 1;         // channel after power-on
    FirmwareSpec firmware;
    std::vector<PdrSpec> productionData;  // records added to (or replacing) the factory ones
    std::vector<WORD> missingRecords;     // records the adapter does not answer
    std::vector<RecordSpec> records;      // records with fixed contents
    std::optional<std::vector<Station>> stations;  // the stations it hears (nothing: the model's)
    Quirks quirks;
    Faults faults;
};

struct RfCableSpec {
    std::string adapterKey;  // the adapter that feeds the instruments ("" = none)
    double lossDb = 0.0;
};

struct InstrumentSpec {
    std::string model;
    std::optional<int> gpibAddress;
    std::string deviceFile;  // absolute; "" = the device file shipped for the model
};

struct BenchSpec {
    std::filesystem::path file;  // absolute
    std::string name;
    std::vector<AdapterSpec> adapters;
    RfCableSpec rfCable;
    std::optional<InstrumentSpec> powerMeter;
    std::optional<InstrumentSpec> spectrumAnalyzer;
    int gatewayPort = 1234;  // TCP port of the simulated GPIB-ETHERNET gateway

    const AdapterSpec* adapter(std::string_view key) const;
};

// A bench file that cannot be used; what() names the file and what is wrong.
struct BenchError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

BenchSpec loadBench(const std::filesystem::path& file);
// Parses bench text; `file` only names it in messages and in the result.
BenchSpec parseBench(const std::string& text, const std::filesystem::path& file);

// sim/benches/default.json: in the installation the running program belongs to
// (<bin>/../share/oru/benches), or else in the source tree this library was built from.
std::filesystem::path defaultBenchFile();

}  // namespace vireo::sim
