#include "results_record.h"

#include <algorithm>
#include <cmath>

#include <nlohmann/json.hpp>

namespace kestview::mfgtest {

std::string resultsRecordJson(const ResultsRecord& r, const TestRows& rows) {
    using nlohmann::json;
    const double limit = -r.maskOffset;
    json list = json::array();
    for (int i = 1; i <= kTestRows; ++i) {
        if (!rows[i]) continue;
        const clsTestData& d = *rows[i];
        json row = {{"row", i},           {"tag", d.dataTag},       {"channel", d.channel},
                    {"outputPowerDbm", d.outputPower}, {"setPoint", d.setPoint}, {"integrator", d.integrator},
                    {"firstLobeDbc", d.firstLobe},     {"secondLobeDbc", d.secondLobe}};
        if (i <= 30) {  // the measured channel rows; the back-off rows are derived
            row["limitDbc"] = limit;
            row["withinMask"] = d.firstLobe <= limit;
            row["tunedWithin1Db"] = d.firstLobe < limit && d.firstLobe > limit - 1.0;
        }
        list.push_back(std::move(row));
    }
    json doc = {{"runId", r.runId},
                {"operator", r.operatorName},
                {"station", r.station},
                {"adapterKey", r.adapterKey},
                {"macAddress", r.macAddress},
                {"serialNumber", r.serialNo},
                {"baseband", r.baseband},
                {"started", r.started},
                {"ended", r.ended},
                {"softwareVersion", r.softwareVersion},
                {"maskOffsetDb", r.maskOffset},
                {"testSeconds", r.testSeconds},
                {"elapsedSeconds", r.elapsedSeconds},
                {"timeScale", r.timeScale},
                {"result", r.passed ? "pass" : "fail"},
                {"storedInAdapter", r.stored},
                {"storeOutcome", r.storeOutcome},
                {"rows", std::move(list)}};
    if (!r.passed) doc["failureReason"] = r.failureReason.empty() ? std::string("Transmit Test Failure") : r.failureReason;
    return doc.dump(2) + "\n";
}

std::string resultsRecordName(const std::string& macAddress, const std::string& compactTime) {
    std::string mac = macAddress;
    mac.erase(std::remove(mac.begin(), mac.end(), '-'), mac.end());
    if (mac.empty()) mac = "unknown";
    return mac + "-" + compactTime + ".json";
}

}  // namespace kestview::mfgtest
