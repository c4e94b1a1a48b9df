// One test run as the results store keeps it, read from the JSON results record the console
// writes after every completed run. Older records lack some fields; those stay empty.
#pragma once

#include <QByteArray>
#include <QString>
#include <optional>
#include <vector>

namespace kestview::results {

struct RunRow {
    int row = 0;
    QString tag;
    int channel = 0;
    std::optional<bool> passed;       // the record's "pass", else its "withinMask"
    double outputPowerDbm = 0;
    int setPoint = 0, integrator = 0;
    double firstLobeDbc = 0, secondLobeDbc = 0;
    std::optional<double> limitDbc;    // channel rows only
    std::optional<bool> withinMask;
};

struct RunRecord {
    QString runId;            // RFC 4122 text; records without one get a name-based id of their content
    QString station, operatorName, softwareVersion, adapterKey, macAddress, serialNumber, baseband;
    QString started, ended;   // as the record has them (ISO 8601)
    QString startedUtc;       // yyyy-MM-ddTHH:mm:ss in UTC, for ordering and ranges
    QString runDay;           // yyyy-MM-dd of the start on the station's clock
    std::optional<double> elapsedSeconds, testSeconds, timeScale, maskOffsetDb;
    QString result;           // "pass" or "fail"
    QString failureReason;
    std::optional<bool> storedInAdapter;
    QString storeOutcome;
    std::vector<RunRow> rows;
};

// The run in a results record; nullopt with `why` when the text is not one (malformed JSON, or a
// document of another kind).
std::optional<RunRecord> parseRunRecord(const QByteArray& json, QString& why);
// The record of a stored run, in the form the console writes it.
QByteArray runRecordJson(const RunRecord& run);

// A MAC address as the main window shows it (00-60-1D-C3-00-03) from any spelling of its twelve
// digits; empty when the text is not a MAC address.
QString normalMac(const QString& text);

}  // namespace kestview::results
