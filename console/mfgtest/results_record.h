// The results record of one test run: a JSON document for the production line's records.
#pragma once

#include <string>

#include "test_data.h"

namespace kestview::mfgtest {

struct ResultsRecord {
    std::string runId;            // random RFC 4122 id: the run's key in the results database
    std::string operatorName;     // the account that ran the test
    std::string station;          // the test station's host name
    std::string adapterKey;
    std::string macAddress;       // as the main window shows it (and the listing names it)
    std::string serialNo;
    std::string baseband;         // the main window's baseband text ("Cedar")
    std::string started, ended;   // ISO 8601 local times
    std::string softwareVersion;  // kestview's
    double maskOffset = 0;
    double testSeconds = 0;       // on the console clock
    double elapsedSeconds = 0;    // real time
    double timeScale = 1;         // how much faster than real time the console clock ran
    bool passed = false;
    std::string failureReason;    // why the run failed; written only for a failed run
    bool stored = false;          // the results were written into the adapter's production data
    std::string storeOutcome;     // what was stored, or why nothing was
};

// Rows 1 to 33 with their fields; each channel row carries the mask limit it was tuned against
// (-offset dB relative to the carrier) and whether its first sidelobe lies within 1 dB below it.
std::string resultsRecordJson(const ResultsRecord& record, const TestRows& rows);

// "<MAC without dashes>-<yyyymmddThhmmss>.json".
std::string resultsRecordName(const std::string& macAddress, const std::string& compactTime);

}  // namespace kestview::mfgtest
