// The record browser, command, tallies and sweep windows on an opened bench adapter.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>

#include "cmds_frm.h"
#include "console_fixture.h"
#include "ndisreq32/vireo_oids.h"
#include "record_objects.h"
#include "rid_form.h"
#include "sweep_frm.h"
#include "tally_frm.h"
#include "vireo_object.h"

namespace kestview::testing {
namespace {

template <class W>
W* child(QWidget& w, const QString& name) {
    W* c = w.findChild<W*>(name);
    EXPECT_TRUE(c) << name.toStdString();
    return c;
}

QStringList lines(QListWidget* list) {
    QStringList out;
    for (int i = 0; i < list->count(); ++i) out << list->item(i)->text();
    return out;
}

QStringList messages(const ScriptedDialogs& d) {
    QStringList out;
    for (const auto& m : d.messages()) out << m.text;
    return out;
}

// Chooses a record in the combo as the operator does.
void choose(RidForm& form, const QString& id) {
    auto* box = child<QComboBox>(form, "RidCBox");
    const int i = box->findText(id);
    ASSERT_GE(i, 0) << id.toStdString();
    box->setCurrentIndex(i);
    emit box->activated(i);
}

std::size_t recordWrites(vireo::sim::testing::TestBench& bench) {
    std::size_t n = 0;
    for (const auto& e : bench.journal().entriesFor(OID_VIREO_RECORD)) n += e.type == NdisRequestSetInformation;
    return n;
}

// One Birch B adapter (key 0002) with the records and stations the edge cases need.
const std::string kEdgeBench = R"({"adapters":[{"key":"0002","service":"VIREO2","driverDesc":"Edge","baseband":"birch-b",
  "mac":"00:60:1D:B2:00:02",
  "records":[{"rid":"FC40","words":[1],"lengthWord":300}],
  "stations":[{"bssid":"02:4F:52:55:00:06","ssid":"","channel":6,"signal":64,"noise":10,"capability":"0x11",
               "rates":["0x82","0x84","0x0B","0x16"],"probeRate":55},
              {"bssid":"02:4F:52:55:00:0B","ssid":"slow","channel":11,"capability":2,"rates":["0x02","0x04"],
               "probeRate":5}]}]})";

class RecordBrowser : public OpenedAdapterTest {};

TEST_F(RecordBrowser, ListsEveryRecordWithItsDescription) {
    RidForm form(console());
    auto* box = child<QComboBox>(form, "RidCBox");
    EXPECT_EQ(box->count(), 87);
    // In the collection's (descending) order, and shown from its first record on.
    EXPECT_EQ(box->itemText(0), "FFFF");
    EXPECT_EQ(box->itemText(86), "FC00");
    EXPECT_EQ(lines(child<QListWidget>(form, "RidLst")).value(2), "Rid Description = Firmware Hex FileNames");
    EXPECT_TRUE(child<QRadioButton>(form, "DispOpt(0)")->isChecked());
    EXPECT_EQ(console().RidsObj.item(QStringLiteral("fffe")).name(), "Build Sequence Number");
    EXPECT_EQ(console().RidsObj.item(QStringLiteral("fc20")).name(), "[FC20]");

    choose(form, "FC0E");  // Identification Name for Diagnostics: "VIREO STATION 0002"
    const QStringList shown = lines(child<QListWidget>(form, "RidLst"));
    ASSERT_GE(shown.size(), 5);
    EXPECT_EQ(shown.mid(0, 4), QStringList({"Rid Length = 18", "Rid Type = Configuration Rid",
                                            "Rid Description = Identification Name for Diagnostics",
                                            QString(55, u'_')}));
    EXPECT_TRUE(shown[4].startsWith(" ~ ~ V I R E O")) << shown[4].toStdString();  // count word 18, then the text

    child<QRadioButton>(form, "DispOpt(3)")->click();
    EXPECT_EQ(lines(child<QListWidget>(form, "RidLst")).mid(4), QStringList({"VIREO STATION 0002"}));
}

TEST_F(RecordBrowser, IntegerFormLimitsTheWordIndex) {
    RidForm form(console());
    choose(form, "FD01");  // Download buffer location and size: 0060 0000 2000
    auto* upDown = child<QSpinBox>(form, "RngUpDown");
    EXPECT_TRUE(upDown->isHidden());
    child<QRadioButton>(form, "DispOpt(4)")->click();
    EXPECT_FALSE(upDown->isHidden());
    EXPECT_EQ(upDown->maximum(), 3);
    EXPECT_EQ(lines(child<QListWidget>(form, "RidLst")).mid(4), QStringList({"00096"}));
    child<QLineEdit>(form, "ridRangeTxt");
    upDown->setValue(3);
    EXPECT_EQ(lines(child<QListWidget>(form, "RidLst")).mid(4), QStringList({"08192"}));
    upDown->setValue(9);  // beyond Length - 1: held at 3
    EXPECT_EQ(upDown->value(), 3);
}

TEST_F(RecordBrowser, WritesHexWordsAndQuotedText) {
    RidForm form(console());
    choose(form, "FC08");  // Mac Address of WDS Link Node, length 4
    child<QLineEdit>(form, "ridWriteTxt")->setText("1234 00ff");
    child<QPushButton>(form, "writeCmd")->click();
    EXPECT_EQ(console().RidsObj.item(QStringLiteral("fc08")).ridAsByteArray(), QByteArray("\x12\x34\x00\xFF\x00\x00", 6));
    child<QRadioButton>(form, "DispOpt(1)")->click();
    EXPECT_EQ(lines(child<QListWidget>(form, "RidLst")).mid(4), QStringList({"1234 00FF 0000 "}));

    choose(form, "FC0E");
    for (const char* input : {"\"abc", "\"abc\""}) {
        console().RidsObj.item(QStringLiteral("fc0e")).setRidStringValue(QStringLiteral("zzzzzz"));
        child<QLineEdit>(form, "ridWriteTxt")->setText(input);
        child<QPushButton>(form, "writeCmd")->click();
        EXPECT_EQ(console().RidsObj.item(QStringLiteral("fc0e")).ridStringValue(), "abc") << input;
    }
    EXPECT_TRUE(dialogs().messages().empty());
}

TEST_F(RecordBrowser, BadInputOrARefusedWriteIsAWriteError) {
    RidForm form(console());
    choose(form, "FC08");
    const std::size_t before = recordWrites(bench());
    child<QLineEdit>(form, "ridWriteTxt")->setText("12 G");
    child<QPushButton>(form, "writeCmd")->click();
    EXPECT_EQ(recordWrites(bench()), before);  // nothing sent
    choose(form, "FD01");  // an information record: the adapter refuses the write
    child<QLineEdit>(form, "ridWriteTxt")->setText("1");
    child<QPushButton>(form, "writeCmd")->click();
    EXPECT_EQ(messages(dialogs()), QStringList({"Write Error", "Write Error"}));
    child<QLineEdit>(form, "ridWriteTxt")->setText("   ");  // blanks only: nothing happens
    child<QPushButton>(form, "writeCmd")->click();
    EXPECT_EQ(dialogs().messages().size(), 2u);
}

TEST_F(RecordBrowser, TwoBrowsersEachWriteTheRecordTheyShow) {
    RidForm a(console()), b(console());
    choose(a, "FC02");
    choose(b, "FC04");
    child<QLineEdit>(a, "ridWriteTxt")->setText("\"net-a");
    child<QPushButton>(a, "writeCmd")->click();
    child<QLineEdit>(b, "ridWriteTxt")->setText("\"own-b");
    child<QPushButton>(b, "writeCmd")->click();
    const Rids rids = console().VireoObj.rids();
    EXPECT_EQ(rids.item(QStringLiteral("fc02")).ridStringValue(), "net-a");
    EXPECT_EQ(rids.item(QStringLiteral("fc04")).ridStringValue(), "own-b");
    EXPECT_TRUE(dialogs().messages().empty());
}

class RefusingAdapter : public ConsoleTest {
protected:
    RefusingAdapter()
        : ConsoleTest(R"({"adapters":[{"key":"0002","service":"VIREO2","driverDesc":"Refusing","baseband":"birch-b",
                          "mac":"00:60:1D:B2:00:02","faults":{"refusedCommands":["0x0838"]}}]})") {
        openAdapter();
    }
};

TEST_F(RefusingAdapter, ARefusedCommandIsAnIssueCommandError) {
    cmdsFrm form(console());
    child<QPushButton>(form, "executeCmd")->click();  // command 0000 is carried out
    ASSERT_TRUE(dialogs().messages().empty());
    const QString before = child<QLineEdit>(form, "rsptxt(0)")->text();
    child<QLineEdit>(form, "cmdTxt")->setText("0838");
    child<QLineEdit>(form, "paramtxt(0)")->setText("6");
    bench().journal().clear();
    child<QPushButton>(form, "executeCmd")->click();
    EXPECT_EQ(bench().journal().entriesFor(OID_VIREO_COMMAND).size(), 1u) << "sent, and refused";
    EXPECT_EQ(messages(dialogs()), QStringList({"Issue Command Error"}));
    EXPECT_EQ(child<QLineEdit>(form, "rsptxt(0)")->text(), before);
    EXPECT_EQ(bench().device("0002")->controllerState().channel, 1);
}

class EdgeBench : public ConsoleTest {
protected:
    EdgeBench() : ConsoleTest(kEdgeBench) { openAdapter(); }
};

TEST_F(EdgeBench, AnUnreadableRecordShowsItsHeaderAndWhy) {
    RidForm form(console());
    choose(form, "FC40");
    const QStringList shown = lines(child<QListWidget>(form, "RidLst"));
    ASSERT_EQ(shown.size(), 5);
    EXPECT_EQ(shown[0], "Rid Length = 300");
    EXPECT_EQ(shown[4], "Rid could not be read: 0 of 598 bytes returned");
}

TEST_F(EdgeBench, SweepListsTheBenchsStationsExactly) {
    SweepFrm form(console());
    const QStringList shown = lines(child<QListWidget>(form, "SweepLst"));
    ASSERT_EQ(shown.size(), 20);
    EXPECT_EQ(shown.mid(0, 3), QStringList({"----------- Sweep Entry 1 ---------- ", "BSSID: 02:4F:52:55:00:06", " - SSID: "}));
    EXPECT_EQ(shown[7], " - Capability Info:  ESS  Privacy ");
    EXPECT_EQ(shown[8], " - Supported Rates: *1MB *2MB 5.5MB 11MB       ");
    EXPECT_EQ(shown[9], " - Probe Rate: 5.5 MB/s");
    EXPECT_EQ(shown[12], " - SSID: slow");
    EXPECT_EQ(shown[13], " - Channel ID: 11");
    EXPECT_EQ(shown[17], " - Capability Info:  IBSS ");
    EXPECT_EQ(shown[18], " - Supported Rates: 1MB 2M         ");
    EXPECT_EQ(shown[19], " - Probe Rate: Unknown Rate");
}

class SweepWindow : public OpenedAdapterTest {};

TEST_F(SweepWindow, ListsTheDefaultBenchsThreeStations) {
    SweepFrm form(console());
    const QStringList shown = lines(child<QListWidget>(form, "SweepLst"));
    ASSERT_EQ(shown.size(), 30);
    EXPECT_EQ(shown[1], "BSSID: 02:4F:52:55:00:01");
    EXPECT_EQ(shown[2], " - SSID: BENCH-AP-1");
    EXPECT_EQ(shown[12], " - SSID: BENCH-AP-6");
    EXPECT_EQ(shown[23], " - Channel ID: 11");
}

class NoStations : public ConsoleTest {
protected:
    NoStations()
        : ConsoleTest(R"({"adapters":[{"key":"0002","service":"VIREO2","driverDesc":"None","baseband":"birch-b",
                          "mac":"00:60:1D:B2:00:02","stations":[],"missingRecords":["FD13"]}]})") {
        openAdapter();
    }
};

TEST_F(NoStations, EmptyListThenResultsNotAvailable) {
    SweepFrm form(console());
    EXPECT_EQ(console().RidsObj.item(QStringLiteral("fd88")).length(), 3);
    EXPECT_EQ(child<QListWidget>(form, "SweepLst")->count(), 0);
    console().RidsObj = Rids();  // no record collection: the update fails
    child<QPushButton>(form, "UpdateCmd")->click();
    EXPECT_EQ(lines(child<QListWidget>(form, "SweepLst")), QStringList({"Results not available!"}));
}

class CommandWindow : public OpenedAdapterTest {};

TEST_F(CommandWindow, SendsTheFieldsAndShowsTheResponses) {
    cmdsFrm form(console());
    auto* cmd = child<QLineEdit>(form, "cmdTxt");
    EXPECT_EQ(cmd->text(), "0000");
    EXPECT_EQ(cmd->selectedText(), "0000");
    cmd->setText("0838");
    child<QLineEdit>(form, "paramtxt(0)")->setText("b");
    child<QLineEdit>(form, "paramtxt(1)")->clear();
    child<QLineEdit>(form, "paramtxt(2)")->setText("FFFF");
    bench().journal().clear();
    child<QPushButton>(form, "executeCmd")->click();
    const auto sent = bench().journal().entriesFor(OID_VIREO_COMMAND);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].inWord(0), 0x0838);
    EXPECT_EQ(sent[0].inWord(1), 0x000B);
    EXPECT_EQ(sent[0].inWord(2), 0);
    EXPECT_EQ(sent[0].inWord(3), 0xFFFF);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(child<QLineEdit>(form, QStringLiteral("rsptxt(%1)").arg(i))->text(),
                  QString::number(sent[0].outWord(std::size_t(i) + 1) & 0xFF, 16).toUpper());
    EXPECT_TRUE(dialogs().messages().empty());
}

TEST_F(CommandWindow, TextThatIsNotAWordSendsNothing) {
    cmdsFrm form(console());
    child<QPushButton>(form, "executeCmd")->click();
    const QString before = child<QLineEdit>(form, "rsptxt(0)")->text();
    for (const char* bad : {"G", "10000"}) {
        child<QLineEdit>(form, "paramtxt(1)")->setText(bad);
        bench().journal().clear();
        child<QPushButton>(form, "executeCmd")->click();
        EXPECT_TRUE(bench().journal().entriesFor(OID_VIREO_COMMAND).empty()) << bad;
        EXPECT_EQ(child<QLineEdit>(form, "rsptxt(0)")->text(), before);
    }
    EXPECT_EQ(messages(dialogs()), QStringList({"Issue Command Error", "Issue Command Error"}));
    EXPECT_EQ(dialogs().messages()[0].title, "");
}

class TalliesWindow : public OpenedAdapterTest {};

TEST_F(TalliesWindow, CountersInDecimalMoveUnderContinuousTx) {
    auto* form = new TallyFrm(console());
    EXPECT_TRUE(form->timer().isActive());
    EXPECT_EQ(form->timer().interval(), 500);
    EXPECT_EQ(form->findChildren<QLineEdit*>().size(), 36);
    EXPECT_TRUE(child<QLineEdit>(*form, "rxWepUndecryp"));
    ASSERT_TRUE(console().VireoObj.setChannel(6));
    ASSERT_TRUE(console().VireoObj.continuousTx(0x5555));
    bench().clock().advance(std::chrono::seconds(3));
    form->refreshTallies();
    const QString frames = child<QLineEdit>(*form, "txUnicast")->text();
    const QString octets = child<QLineEdit>(*form, "txUniOctets")->text();
    EXPECT_GT(frames.toLongLong(), 0);
    EXPECT_GT(octets.toLongLong(), 1000000);  // 11 Mb/s for 3 s
    EXPECT_FALSE(octets.contains(QRegularExpression("[^0-9]"))) << octets.toStdString();
    EXPECT_EQ(child<QLineEdit>(*form, "rxOvr")->text(), "0");
    bench().clock().advance(std::chrono::seconds(1));
    form->refreshTallies();
    EXPECT_GT(child<QLineEdit>(*form, "txUnicast")->text().toLongLong(), frames.toLongLong());
    console().VireoObj.stopTest();

    QPointer<TallyFrm> watched(form);
    const QTimer* timer = &form->timer();
    form->close();
    EXPECT_FALSE(timer->isActive() && watched);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(watched);
}

TEST_F(TalliesWindow, AFailingTickKeepsTheBoxesAndReopenReadsTheTalliesAgain) {
    {
        TallyFrm form(console());
        form.refreshTallies();
        const QString shown = child<QLineEdit>(form, "txUnicast")->text();
        EXPECT_EQ(shown, "0");
        console().AdapterObj.close();  // every request now fails
        form.refreshTallies();
        EXPECT_EQ(child<QLineEdit>(form, "txUnicast")->text(), shown);
        child<QPushButton>(form, "ResetCmd")->click();
        ASSERT_EQ(dialogs().messages().size(), 1u);
        EXPECT_EQ(dialogs().messages()[0].title, "CARD RESET ERROR");
    }
    openAdapter();
    TallyFrm again(console());
    again.refreshTallies();
    EXPECT_EQ(child<QLineEdit>(again, "txUnicast")->text(), "0");
}

}  // namespace
}  // namespace kestview::testing

// The application lives on this stack so that it takes its font caches down with it when the
// tests are done (a process-long application leaves them to the leak checker).
int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestview"));
    return RUN_ALL_TESTS();
}
