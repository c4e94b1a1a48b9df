// kestview-results on both engines: importing a folder of records skips what is not one and
// stores the rest once; yield gives the numbers counted by hand from those files; both engines
// answer alike; every table fits 80 columns.
#include <QDir>
#include <QProcess>

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace kestview::results {
namespace {

using testing::Engine;
using testing::EngineTest;

struct Answer {
    int exit = -1;
    QString out, err;
};

Answer tool(const QString& url, const QStringList& args) {
    QProcess p;
    p.start(qEnvironmentVariable("ORU_BINARY_DIR") + "/bin/kestview-results",
            (url.isEmpty() ? QStringList{} : QStringList{"--results-db", url}) + args);
    EXPECT_TRUE(p.waitForFinished(120000)) << args.join(' ').toStdString();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QString records() { return qEnvironmentVariable("ORU_SOURCE_DIR") + "/console/results/tests/records"; }

void expectFits(const QString& text) {
    for (const QString& line : text.split('\n')) EXPECT_LE(line.size(), 80) << line.toStdString();
}

// November 2026 in the records folder, counted by hand: six runs of five adapters (A failed on
// channel 7, then passed; B passed; C failed on channel 7; D failed on channel 14 (its station
// writes +01:00); E, an older record without run id, passed); October's run and the two files
// that are not records stay out.
const char* const kNovemberYield = R"(Yield from 2026-11-01 to 2026-11-30, all stations
6 runs, 3 passed (50.0%); first-pass yield 40.0% (2 of 5 adapters)

Day           Runs  Passed   Yield  First-pass
2026-11-02       3       2   66.7%       50.0%
2026-11-03       3       1   33.3%       33.3%

Station                     Runs  Passed   Yield  First-pass
st-1                           3       1   33.3%        0.0%
st-2                           3       2   66.7%       66.7%

Channel    Runs  Failed  Failure rate
      1       6       0          0.0%
      2       6       0          0.0%
      3       6       0          0.0%
      4       6       0          0.0%
      5       6       0          0.0%
      6       6       0          0.0%
      7       6       2         33.3%
      8       6       0          0.0%
      9       6       0          0.0%
     10       6       0          0.0%
     11       6       0          0.0%
     12       6       0          0.0%
     13       6       0          0.0%
     14       6       1         16.7%

Most common failure reasons
  Count  Reason
      2  first sidelobe above the mask on channel 7
      1  first sidelobe above the mask on channel 14
)";

class ToolTest : public EngineTest {};

TEST_P(ToolTest, ImportOfARecordsFolderThenYieldGivesTheHandCounts) {
    const Answer imported = tool(url(), {"import", records()});
    EXPECT_EQ(imported.exit, 1) << imported.err.toStdString();  // two files skipped
    EXPECT_EQ(imported.out, "Imported 7 runs (0 already stored), 2 files skipped\n");
    EXPECT_NE(imported.err.indexOf("08-truncated.json: skipped: not JSON"), -1) << imported.err.toStdString();
    EXPECT_NE(imported.err.indexOf("09-bench-file.json: skipped: not a results record"), -1) << imported.err.toStdString();

    const Answer yield = tool(url(), {"yield", "--month", "2026-11"});
    EXPECT_EQ(yield.exit, 0) << yield.err.toStdString();
    EXPECT_EQ(yield.out, QString::fromUtf8(kNovemberYield));
    expectFits(yield.out);

    const Answer again = tool(url(), {"import", records() + "/01-a-fail.json", records() + "/06-e-older.json"});
    EXPECT_EQ(again.exit, 0);
    EXPECT_EQ(again.out, "Imported 0 runs (2 already stored), 0 files skipped\n");
    EXPECT_EQ(tool(url(), {"yield", "--month", "2026-11"}).out, QString::fromUtf8(kNovemberYield));
}

TEST_P(ToolTest, ListShowExportAndExitCodes) {
    tool(url(), {"import", records()});
    const Answer list = tool(url(), {"list", "--mac", "00:60:1d:c3:00:03"});
    EXPECT_EQ(list.exit, 0);
    EXPECT_EQ(list.out,
              "Run      Started          Station        MAC address       Serial       Result\n"
              "7f1c2a10 2026-11-02 10:00 st-1           00-60-1D-C3-00-03 SN03         pass\n"
              "7f1c2a10 2026-11-02 09:00 st-1           00-60-1D-C3-00-03 SN03         fail\n"
              "2 runs\n");
    EXPECT_EQ(tool(url(), {"list", "--result", "fail", "--station", "st-2"}).out.count('\n'), 3);
    EXPECT_EQ(tool(url(), {"list", "--from", "2026-11-03", "--to", "2026-11-03"}).out.count('\n'), 5);

    const Answer show = tool(url(), {"show", "7f1c2a10-0005"});
    EXPECT_EQ(show.exit, 0) << show.err.toStdString();
    EXPECT_NE(show.out.indexOf("Failure reason     first sidelobe above the mask on channel 14"), -1);
    EXPECT_NE(show.out.indexOf(" 14 US    Ch14   14      15.40   110    74  -27.35  -42.40  -28.0  no\n"), -1)
        << show.out.toStdString();
    expectFits(show.out);
    expectFits(tool(url(), {"list"}).out);
    expectFits(tool({}, {"--help"}).out);

    const Answer ambiguous = tool(url(), {"show", "7f1c2a10"});
    EXPECT_EQ(ambiguous.exit, 1);
    EXPECT_NE(ambiguous.err.indexOf("More than one run begins with 7f1c2a10"), -1);
    EXPECT_EQ(tool(url(), {"show", "0123456789"}).exit, 1);

    const Answer csv = tool(url(), {"export", "--csv", "--month", "2026-11"});
    EXPECT_EQ(csv.exit, 0);
    EXPECT_EQ(csv.out.count("\r\n"), 1 + 6 * 33);
    EXPECT_NE(csv.out.indexOf(",\"ETSI Ch01  \",1,"), -1);  // trailing blanks kept, quoted
    const QString file = home() + "/runs.json";
    EXPECT_EQ(tool(url(), {"export", "--json", "--mac", "00-60-1D-C3-00-0B", "--output", file}).exit, 0);
    const Answer reimport = tool(url(), {"import", file});
    EXPECT_EQ(reimport.exit, 1);  // an array of records is not one record
    EXPECT_NE(reimport.err.indexOf("no JSON object"), -1);

    for (const QStringList& wrong : {QStringList{"frobnicate"}, QStringList{"yield", "--month", "2026-13"},
                                     QStringList{"list", "--mac", "nonsense"}, QStringList{"export"},
                                     QStringList{"show"}, QStringList{"import"}, QStringList{"sync", "extra"},
                                     QStringList{"show", "not-an-id!"}}) {
        const Answer a = tool(url(), wrong);
        EXPECT_EQ(a.exit, 2) << wrong.join(' ').toStdString() << ": " << a.err.toStdString();
        EXPECT_TRUE(a.err.startsWith("kestview-results: ")) << a.err.toStdString();
    }
    EXPECT_EQ(tool("postgresql://bench@127.0.0.1:1/none?connect_timeout=2", {"list"}).exit, 3);
}

INSTANTIATE_TEST_SUITE_P(Engines, ToolTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), testing::engineName);

class BothEnginesTest : public EngineTest {};

TEST_P(BothEnginesTest, GiveTheSameYieldAndExport) {
    QString error;
    const QString postgres = testing::freshDatabase(Engine::Postgres, home(), error);
    ASSERT_FALSE(postgres.isEmpty()) << error.toStdString();
    for (const QString& db : {url(), postgres}) tool(db, {"import", records()});
    for (const QStringList& question :
         {QStringList{"yield"}, QStringList{"yield", "--station", "st-2"}, QStringList{"export", "--csv"},
          QStringList{"export", "--json"}, QStringList{"list", "--limit", "0"}}) {
        const Answer a = tool(url(), question), b = tool(postgres, question);
        EXPECT_EQ(a.exit, 0);
        EXPECT_EQ(a.out, b.out) << question.join(' ').toStdString();
    }
}

INSTANTIATE_TEST_SUITE_P(SqliteAndPostgres, BothEnginesTest, ::testing::Values(Engine::Sqlite), testing::engineName);

}  // namespace
}  // namespace kestview::results
