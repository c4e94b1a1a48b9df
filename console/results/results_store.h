// The results database behind one small interface over Qt SQL: SQLite (one file, WAL, several
// processes on one host) or PostgreSQL (a line of stations). Opening applies the schema steps
// this program knows and refuses a database at a newer step. Each run goes in with its rows in
// one transaction under its run id; storing a run that is already there changes nothing.
#pragma once

#include <QString>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "db_target.h"
#include "run_record.h"

namespace kestview::results {

struct RunFilter {
    QString mac;                // as the main window shows it, or any spelling of its digits
    QString station;
    QString result;             // "pass", "fail" or empty
    QString fromDay, toDay;     // yyyy-MM-dd, inclusive; empty: open
    int limit = 0;              // 0: every run
};

struct RunSummary {
    QString runId, started, station, macAddress, serialNumber, result, failureReason;
};

struct YieldLine {
    QString key;                      // the day, the station, or empty for the whole range
    long runs = 0, passes = 0;
    long firstRuns = 0, firstPasses = 0;  // each adapter's first run in the range
};
struct ChannelLine {
    int channel = 0;
    long runs = 0, failed = 0;        // runs with a row of the channel outside the mask
};
struct ReasonLine {
    QString reason;
    long count = 0;
};
struct YieldReport {
    QString fromDay, toDay, station;
    YieldLine total;
    std::vector<YieldLine> byDay, byStation;
    std::vector<ChannelLine> byChannel;
    std::vector<ReasonLine> reasons;  // the most common, most first
};

// One measured channel row of a run, for the drift charts.
struct ChannelPoint {
    QString runId, startedUtc, tag;
    double firstLobeDbc = 0;
    int integrator = 0;
    std::optional<double> limitDbc;
};

struct StoreCounts {
    int added = 0, alreadyStored = 0;
};

class ResultsStore {
public:
    // Connects (bounded time-outs) and brings the schema up to date; nullptr with `error` set.
    static std::unique_ptr<ResultsStore> open(const DbTarget& target, QString& error);
    ~ResultsStore();
    ResultsStore(const ResultsStore&) = delete;
    ResultsStore& operator=(const ResultsStore&) = delete;

    const DbTarget& target() const { return target_; }
    int schemaVersion() const { return version_; }

    // All the runs in one transaction: every one stored (or found already there), or none.
    std::optional<StoreCounts> store(std::span<const RunRecord> runs, QString& error);

    std::optional<std::vector<RunSummary>> list(const RunFilter& filter, QString& error);
    // The run with this id, or with the only id that begins so.
    std::optional<RunRecord> run(const QString& idOrPrefix, QString& error);
    std::optional<std::vector<RunRecord>> runs(const RunFilter& filter, QString& error);
    std::optional<YieldReport> yield(const RunFilter& range, QString& error);
    // The channel rows (both passes, not the back-off rows) of the runs, oldest first.
    std::optional<std::vector<ChannelPoint>> channelSeries(int channel, const RunFilter& filter, QString& error);

private:
    ResultsStore(DbTarget target, QString connection);
    bool migrate(QString& error);
    bool begin(QString& error);
    bool finish(bool commit, QString& error);

    DbTarget target_;
    QString connection_;
    int version_ = 0;
};

}  // namespace kestview::results
