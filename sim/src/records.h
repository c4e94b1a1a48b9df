// The controller's configuration and information records. Each record has a fixed number of data
// words; configuration records (below FD00) that are writable keep what is written, information
// records report the adapter's state (channel, link quality, sweep results, running firmware).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <vector>

#include "neighbourhood.h"
#include "production_data.h"
#include "running_firmware.h"
#include "vireo/sim/controller_state.h"

namespace vireo::sim {

class Records {
public:
    // What the information records report from.
    struct View {
        const ControllerState& controller;
        const FirmwareIdentity& firmware;
        std::int64_t timeUs;
    };

    explicit Records(const AdapterSpec& spec);

    // Configuration back to its power-on values; identification from the production data.
    void powerOn(const ProductionArea& pda);

    // The record's data words and the length word the adapter reports with them (normally their
    // count + 1); a failure status when the adapter does not answer the record.
    NDIS_STATUS read(WORD rid, std::vector<WORD>& data, WORD& lengthWord, const View& view) const;
    NDIS_STATUS write(WORD rid, std::span<const WORD> data);

    // From now on (card resets included) the adapter answers `rid` with these data words, and with
    // `lengthWord` when given (a length word that disagrees with the data, as a faulty firmware
    // might report). Writes to it then keep its number of data words.
    void present(WORD rid, std::vector<WORD> data, std::optional<WORD> lengthWord);

    // The data rate continuous transmit uses, from the rate control record.
    double txRateMbps() const;
    // Stations beaconing on `channel`.
    int stationsOn(WORD channel) const;

private:
    struct Definition {
        WORD words;     // data words
        bool writable;
    };
    static const std::map<WORD, Definition>& definitions();
    NDIS_STATUS readDefined(WORD rid, std::vector<WORD>& data, const View& view) const;
    std::vector<WORD> sweepTable(std::int64_t timeUs) const;
    const Station* joinedStation(const ControllerState& c) const;
    void quality(const ControllerState& c, std::int64_t timeUs, std::vector<WORD>& out) const;

    const AdapterSpec& spec_;
    std::set<WORD> missing_;
    struct Presented {
        std::vector<WORD> data;
        std::optional<WORD> lengthWord;
    };
    std::map<WORD, Presented> presented_;
    std::map<WORD, std::vector<WORD>> values_;
    std::vector<Station> stations_;
    unsigned sweeps_ = 0;
};

// A counted text as records hold it: byte count, then two characters per word (low byte first).
std::vector<WORD> countedText(std::string_view text, std::size_t words);
std::string countedTextValue(std::span<const WORD> words);

}  // namespace vireo::sim
