// The results database of a busy line: 100,000 runs of one month in SQLite, and the time the
// month's yield (by day, station and channel, with the failure reasons) takes to answer.
#include <QCoreApplication>
#include <QTemporaryDir>
#include <QUuid>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>

#include "bench_results.h"
#include "report_text.h"
#include "results_store.h"

using namespace kestview::results;

namespace {

constexpr int kRuns = 100000;
constexpr double kGoalMs = 1000;

RunRecord run(int n, std::mt19937& rng) {
    RunRecord r;
    r.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    r.station = QStringLiteral("st-%1").arg(n % 12 + 1);
    r.operatorName = QStringLiteral("tester");
    r.softwareVersion = QStringLiteral("2.0.0");
    r.adapterKey = QStringLiteral("0003");
    const int adapter = n - (n % 10 == 9 ? 1 : 0);  // one adapter in ten is tested twice
    r.macAddress = QStringLiteral("00-60-%1-%2-%3-%4")
                       .arg((adapter >> 24) & 0xFF, 2, 16, QChar('0'))
                       .arg((adapter >> 16) & 0xFF, 2, 16, QChar('0'))
                       .arg((adapter >> 8) & 0xFF, 2, 16, QChar('0'))
                       .arg(adapter & 0xFF, 2, 16, QChar('0'))
                       .toUpper();
    r.serialNumber = QStringLiteral("SN%1").arg(adapter);
    r.baseband = QStringLiteral("Cedar");
    const QDateTime start = QDateTime(QDate(2026, 11, 1), QTime(0, 0)).addSecs(qint64(n) * 25);  // 30 days
    r.started = start.toString(Qt::ISODate);
    r.ended = start.addSecs(500).toString(Qt::ISODate);
    r.startedUtc = r.started;
    r.runDay = start.date().toString(Qt::ISODate);
    r.maskOffsetDb = 28;
    r.testSeconds = 500;
    const int failing = rng() % 20 == 0 ? int(rng() % 14) + 1 : 0;
    for (int i = 1; i <= 33; ++i) {
        RunRow x;
        x.row = i;
        x.channel = i <= 14 ? i : i == 15 ? 1 : i == 16 ? 13 : i <= 30 ? i - 16 : 6;
        x.tag = QStringLiteral("US    Ch%1").arg(x.channel, 2, 10, QChar('0'));
        x.firstLobeDbc = x.channel == failing ? -27.5 : -28.5;
        x.secondLobeDbc = -41;
        x.outputPowerDbm = 14.5;
        x.setPoint = 100;
        x.integrator = 70;
        if (i <= 30) {
            x.limitDbc = -28;
            x.withinMask = x.channel != failing;
            x.passed = x.withinMask;
        }
        r.rows.push_back(std::move(x));
    }
    r.result = failing ? QStringLiteral("fail") : QStringLiteral("pass");
    if (failing) r.failureReason = QStringLiteral("first sidelobe above the mask on channel %1").arg(failing);
    return r;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    QString error;
    const auto target = parseDbTarget("sqlite:" + dir.path() + "/line.db", error);
    auto store = ResultsStore::open(*target, error);
    if (!store) {
        std::fprintf(stderr, "results bench: %s\n", qPrintable(error));
        return 1;
    }
    std::mt19937 rng(27);
    for (int n = 0; n < kRuns; n += 5000) {
        std::vector<RunRecord> batch;
        for (int i = n; i < std::min(kRuns, n + 5000); ++i) batch.push_back(run(i, rng));
        if (!store->store(batch, error)) {
            std::fprintf(stderr, "results bench: %s\n", qPrintable(error));
            return 1;
        }
    }
    store.reset();  // a station asking afresh: a new connection, nothing cached in it
    RunFilter month;
    month.fromDay = QStringLiteral("2026-11-01");
    month.toDay = QStringLiteral("2026-11-30");
    double best = 1e9;
    long runs = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        const auto t0 = std::chrono::steady_clock::now();
        const auto s = ResultsStore::open(*target, error);
        const auto report = s ? s->yield(month, error) : std::nullopt;
        if (!report) {
            std::fprintf(stderr, "results bench: %s\n", qPrintable(error));
            return 1;
        }
        const QString text = yieldText(*report);
        best = std::min(best, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
        runs = report->total.runs;
    }
    if (runs != kRuns) {
        std::fprintf(stderr, "results bench: the month's yield counted %ld runs, not %d\n", runs, kRuns);
        return 1;
    }
    const bool met = best < kGoalMs;
    std::printf("results: yield for a month of %d runs (SQLite): %.1f ms (goal < %.0f ms)%s\n", kRuns, best, kGoalMs,
                met ? "" : "  ** over the goal **");
    bench::appendResult({"results", "yield for a month of 100,000 runs (SQLite, open and query)", best, "ms",
                         std::nullopt, std::nullopt, "under 1000 ms", met});
    return 0;
}
