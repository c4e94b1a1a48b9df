// The "Results" window over a database of the records folder: its runs follow the filters, its
// yield table the runs, and its charts show the channel's first sidelobe and integrator per run
// with the mask limit.
#include <QApplication>
#include <QChart>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include "ResultsFrm.h"
#include "results_store.h"

// Fontconfig keeps its caches until the process ends.
extern "C" const char* __lsan_default_suppressions() { return "leak:libfontconfig\n"; }

namespace kestview::results {
namespace {

class ResultsFrmTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "results-frm-test";
        static char* argv[] = {name, nullptr};
        qputenv("QT_QPA_PLATFORM", "offscreen");
        if (!QApplication::instance()) new QApplication(argc, argv);
    }
    void SetUp() override {
        qputenv("XDG_DATA_HOME", dir_.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", dir_.path().toUtf8());
        url_ = "sqlite:" + dir_.path() + "/line.db";
        QString error;
        const auto store = ResultsStore::open(*parseDbTarget(url_, error), error);
        ASSERT_TRUE(store) << error.toStdString();
        std::vector<RunRecord> runs;
        const QDir records(qEnvironmentVariable("ORU_SOURCE_DIR") + "/console/results/tests/records");
        for (const QString& name : records.entryList({"0[1-7]*.json"})) {
            QFile f(records.filePath(name));
            EXPECT_TRUE(f.open(QIODevice::ReadOnly));
            runs.push_back(*parseRunRecord(f.readAll(), error));
        }
        ASSERT_TRUE(store->store(runs, error)) << error.toStdString();
    }
    QTemporaryDir dir_;
    QString url_;
};

QStringList column(const QTableWidget* t, int c) {
    QStringList cells;
    for (int r = 0; r < t->rowCount(); ++r) cells << t->item(r, c)->text();
    return cells;
}

TEST_F(ResultsFrmTest, RunsYieldAndChartsFollowTheFilters) {
    auto* w = new ResultsFrm(url_);
    const auto* runs = w->findChild<QTableWidget*>("RunsLst");
    const auto* yield = w->findChild<QTableWidget*>("YieldLst");
    ASSERT_TRUE(runs && yield);
    EXPECT_EQ(w->windowTitle(), "Results");
    EXPECT_EQ(runs->rowCount(), 7);
    EXPECT_EQ(yield->item(yield->rowCount() - 1, 0)->text(), "All");
    EXPECT_EQ(yield->item(yield->rowCount() - 1, 1)->text(), "7");
    EXPECT_EQ(yield->item(yield->rowCount() - 1, 2)->text(), "4");

    w->findChild<QLineEdit*>("MacTxt")->setText("00-60-1d-c3-00-03");
    w->findChild<QLineEdit*>("FromTxt")->setText("2026-11-01");
    w->findChild<QPushButton*>("RefreshCmd")->click();
    EXPECT_EQ(column(runs, 5), (QStringList{"pass", "fail"}));
    // The yield is the line's over the station and days asked for, whatever adapter is picked.
    EXPECT_EQ(column(yield, 0), (QStringList{"2026-11-02", "2026-11-03", "station st-1", "station st-2", "All"}));
    EXPECT_EQ(column(yield, 4), (QStringList{"50.0%", "33.3%", "0.0%", "66.7%", "40.0%"}));

    // Channel 7 of adapter A: the failed run's US and JPN sidelobes above the limit, then below.
    w->findChild<QComboBox*>("ChannelCbo")->setCurrentIndex(6);
    const auto series = w->sidelobeChart()->series();
    std::map<QString, QList<QPointF>> points;
    for (auto* s : series) points[s->name()] = static_cast<QLineSeries*>(s)->points();
    EXPECT_EQ(points["Mask limit"], (QList<QPointF>{{1, -28.0}, {2, -28.0}}));
    EXPECT_EQ(points["US first sidelobe"], (QList<QPointF>{{1, -27.35}, {2, -28.47}}));
    EXPECT_EQ(points["JPN first sidelobe"], (QList<QPointF>{{1, -27.35}, {2, -28.63}}));
    ASSERT_EQ(w->integratorChart()->series().size(), 2);
    EXPECT_EQ(static_cast<QLineSeries*>(w->integratorChart()->series()[0])->points().size(), 2);

    w->findChild<QLineEdit*>("MacTxt")->setText("not a mac");
    w->findChild<QPushButton*>("RefreshCmd")->click();
    EXPECT_EQ(w->errorText(), "\"not a mac\" is not a MAC address");
    EXPECT_EQ(runs->rowCount(), 2);  // what was shown stays
    w->close();
}

TEST_F(ResultsFrmTest, AnUnreachableDatabaseIsShownAsNotOpen) {
    auto* w = new ResultsFrm("postgresql://nobody@127.0.0.1:1/none?connect_timeout=2");
    EXPECT_EQ(w->findChild<QLabel*>("DatabaseLbl")->text(), "Database: not open");
    EXPECT_NE(w->errorText().indexOf("Cannot open the results database"), -1) << w->errorText().toStdString();
    EXPECT_EQ(w->findChild<QTableWidget*>("RunsLst")->rowCount(), 0);
    w->close();
}

}  // namespace
}  // namespace kestview::results
