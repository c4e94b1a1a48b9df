// The main window on the simulated bench: open and close, the control panel's requests served by
// the tick, the status poll and its error exit, the remote choice and exit.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "console_fixture.h"
#include "main_frm.h"
#include "ndisreq32/vireo_oids.h"
#include "record_objects.h"
#include "window_openers.h"

namespace kestview::testing {
namespace {

// The default bench with extra fields for the Birch B adapter (0002).
std::string benchWith(const std::string& fields) {
    std::string json = vireo::sim::testing::defaultBenchJson();
    const std::string anchor = "\"key\": \"0002\",";
    json.insert(json.find(anchor) + anchor.size(), " " + fields + ",");
    return json;
}

class MainWindow : public ConsoleTest {
protected:
    explicit MainWindow(std::optional<std::string> bench = std::nullopt, WindowOpeners openers = {})
        : ConsoleTest(std::move(bench)) {
        frm = std::make_unique<MainFrm>(console(), std::move(openers));
    }
    ~MainWindow() override { frm.reset(); }

    template <class W>
    W* find(const QString& name) {
        W* w = frm->findChild<W*>(name);
        EXPECT_TRUE(w) << name.toStdString();
        return w;
    }
    void clickLine(const QString& key) {
        auto* list = find<QListWidget>("AdapterLst");
        for (int i = 0; i < list->count(); ++i)
            if (list->item(i)->text().startsWith(key)) {
                list->setCurrentRow(i);
                emit list->itemClicked(list->item(i));
                return;
            }
        ADD_FAILURE() << "no line for " << key.toStdString();
    }
    void click(const QString& name) { find<QAbstractButton>(name)->click(); }
    void tick() { frm->RefreshTmr_Timer(); }
    // Colours as the widget's palette holds them once its style sheet, if any, is applied.
    QColor back(const QString& name) {
        QWidget* w = find<QWidget>(name);
        w->ensurePolished();
        return w->palette().color(qobject_cast<QPushButton*>(w) ? QPalette::Button : QPalette::Window);
    }
    QColor text(const QString& name) {
        QWidget* w = find<QWidget>(name);
        w->ensurePolished();
        return w->palette().color(QPalette::WindowText);
    }
    // The colour the style paints at the right end of a control, past its caption.
    QColor painted(const QString& name) {
        QWidget* w = find<QWidget>(name);
        w->resize(160, w->sizeHint().height());
        const QImage image = w->grab().toImage();
        return image.pixelColor(image.width() - 3, image.height() / 2);
    }
    QString field(const QString& name) { return find<QLineEdit>(name)->text(); }
    // The commands the controller got since the journal was cleared (OID of the command block).
    std::size_t requests() { return bench().journal().size(); }

    std::unique_ptr<MainFrm> frm;
};

TEST_F(MainWindow, StartsWithTheCaptionTheHostAndTheVireoAdapters) {
    EXPECT_EQ(frm->windowTitle(), "ORUBENCH    ( Version 2.0.0 )");
    EXPECT_FALSE(field("txtServer").isEmpty());
    auto* list = find<QListWidget>("AdapterLst");
    ASSERT_EQ(list->count(), 3) << "the non-Vireo adapter is listed only with All Adapters";
    EXPECT_EQ(list->item(0)->text(), "0001     Vireo 802.11b PC Card (Alder)");
    click("optAdapters(0)");
    EXPECT_EQ(list->count(), 4);
    EXPECT_FALSE(find<QPushButton>("ContTxBtn")->isEnabled());
    EXPECT_EQ(find<QRadioButton>("RadioOpt(14)")->text(), "2484mhz");
    EXPECT_EQ(find<QRadioButton>("RadioOpt(13)")->text(), "2472mhz");
    EXPECT_EQ(find<QRadioButton>("RateOpt(4)")->text(), "5.5MB ");
    EXPECT_EQ(find<QComboBox>("portTypeCbo")->itemText(5), "Host AP");
    EXPECT_EQ(console().TxPattern, 0);
}

TEST_F(MainWindow, OpensTheBirchBAdapterInTheComponentsOrder) {
    bench().journal().clear();
    clickLine("0002");
    EXPECT_EQ(console().AdapterKey, "0002");
    EXPECT_EQ(field("BBPTypeTxt"), "BirchB");
    EXPECT_EQ(field("MacTxt"), "00-60-1D-B2-00-02");
    EXPECT_EQ(console().SerialNo, "9 9 V B 0 0 0 2 0 0 0 2");
    EXPECT_TRUE(find<QPushButton>("ContTxBtn")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("CloseAdaptCmd")->isEnabled());
    EXPECT_TRUE(console().refreshTimer().isActive());
    EXPECT_EQ(console().refreshTimer().interval(), 250);
    // The open ends with port 0 enabled: the last request is the enable-port command.
    const auto entries = bench().journal().entries();
    ASSERT_FALSE(entries.empty());
    EXPECT_EQ(entries.front().adapterKey, "0002");
    // The polled records carry the record browser's descriptions.
    const std::pair<const Rid*, const char*> names[] = {
        {&console().RidChannel, "Current frequency channel used for TX"}, {&console().RidTxRate, "TX Rate Control"},
        {&console().RidPortType, "Port Type"}, {&console().RidSsid, "Configured SSID"},
        {&console().RidMacAddr, "MAC Address"}, {&console().RidCommsQuality, "Quality of the BSS connection"},
        {&console().RidSerial, "NIC Serial Number"}};
    for (const auto& [rid, name] : names) EXPECT_EQ(rid->name(), name);
    EXPECT_EQ(find<QLineEdit>("SSIDTxt")->toolTip(), "Configured SSID (record FC02)");

    bench().journal().clear();
    tick();
    // Port, rate, quality, signal, channel and the SSID text: one record read each.
    EXPECT_EQ(bench().journal().entriesFor(OID_VIREO_RECORD).size(), 6u) << bench().journal().toJson();
    EXPECT_EQ(bench().journal().size(), 6u);
    EXPECT_FALSE(console().errorShown()) << console().errorText().toStdString();
    EXPECT_EQ(text("RadioOpt(6)"), QColor(0, 255, 0)) << "the channel the adapter reports";
    EXPECT_TRUE(find<QRadioButton>("RateOpt(15)")->isChecked());
    EXPECT_EQ(find<QComboBox>("portTypeCbo")->currentIndex(), 0);

    bench().journal().clear();
    click("CloseAdaptCmd");
    EXPECT_FALSE(console().refreshTimer().isActive());
    EXPECT_TRUE(field("MacTxt").isEmpty());
    EXPECT_FALSE(find<QPushButton>("ContTxBtn")->isEnabled());
    EXPECT_EQ(console().AdapterKey, "0002") << "the key stays";
    EXPECT_FALSE(console().AdaptersObj.item(QStringLiteral("0002")).isOpen());
}

TEST_F(MainWindow, TheKeyIsTheLineUpToItsFirstBlank) {
    clickLine("0001");
    EXPECT_EQ(console().AdapterKey, "0001");
    EXPECT_EQ(field("BBPTypeTxt"), "Alder");
}

TEST_F(MainWindow, ANonVireoAdapterOpensWithThePanelDisabled) {
    click("optAdapters(0)");
    clickLine("0004");
    EXPECT_TRUE(console().AdaptersObj.item(QStringLiteral("0004")).isOpen());
    EXPECT_FALSE(find<QPushButton>("ContTxBtn")->isEnabled());
    EXPECT_TRUE(field("BBPTypeTxt").isEmpty());
    EXPECT_TRUE(field("MacTxt").isEmpty());
    EXPECT_TRUE(console().SerialNo.isEmpty());
    EXPECT_FALSE(console().refreshTimer().isActive());
}

TEST_F(MainWindow, ContinuousTxNeedsAChannelAndFollowsChannelChanges) {
    clickLine("0002");
    click("ContTxBtn");
    tick();
    ASSERT_EQ(dialogs().messages().size(), 1u);
    EXPECT_EQ(dialogs().messages()[0].text, "Please set a Channel first !");
    EXPECT_EQ(dialogs().messages()[0].title, "CHANNEL ERROR");
    EXPECT_FALSE(console().TxRunning);

    click("RadioOpt(3)");
    tick();
    EXPECT_EQ(back("RadioOpt(3)"), QColor(255, 255, 128));
    EXPECT_EQ(painted("RadioOpt(3)"), QColor(255, 255, 128)) << "the chosen channel is painted light yellow";
    EXPECT_EQ(console().RidChannel.getAsInteger(1), 3);
    click("ContTxBtn");
    tick();
    EXPECT_TRUE(console().TxRunning);
    EXPECT_EQ(back("ContTxBtn"), QColor(255, 0, 0));
    EXPECT_TRUE(find<QRadioButton>("RadioOpt(3)")->isChecked());

    bench().journal().clear();
    click("RadioOpt(9)");
    tick();
    EXPECT_EQ(console().RidChannel.getAsInteger(1), 9);
    EXPECT_EQ(text("RadioOpt(9)"), QColor(0, 255, 0));
    EXPECT_EQ(text("RadioOpt(3)"), QColor(0, 0, 0));
    EXPECT_NE(back("RadioOpt(3)"), QColor(255, 255, 128));
    EXPECT_NE(painted("RadioOpt(3)"), QColor(255, 255, 128));
    EXPECT_EQ(painted("RadioOpt(9)"), QColor(255, 255, 128));
    EXPECT_EQ(bench().device("0002")->controllerState().mode, vireo::sim::TestMode::ContinuousTx)
        << "ContinuousTx re-issued on the new channel";

    click("ContTxBtn");
    tick();
    EXPECT_FALSE(console().TxRunning);
    EXPECT_FALSE(find<QRadioButton>("RadioOpt(9)")->isChecked());
}

TEST_F(MainWindow, RatesOutsideTheSixWriteNothingButStillToggleThePort) {
    clickLine("0002");
    tick();
    const auto fc84Before = console().RidTxRate.getAsInteger(1);
    frm->findChild<QRadioButton*>("RateOpt(8)")->click();
    tick();
    EXPECT_EQ(console().RidTxRate.getAsInteger(1), 8);
    EXPECT_NE(fc84Before, 8);
}

TEST_F(MainWindow, AnEmptySsidWritesNothingAndAnotherIsWritten) {
    clickLine("0002");
    auto* ssid = find<QLineEdit>("SSIDTxt");
    ssid->setFocus();
    bench().journal().clear();
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(ssid, &out);
    EXPECT_EQ(bench().journal().size(), 0u);
    ssid->setText("benchnet");
    QApplication::sendEvent(ssid, &out);
    EXPECT_EQ(console().RidSsid.ridStringValue(), "benchnet");
    EXPECT_TRUE(console().refreshTimer().isActive());
}

TEST_F(MainWindow, ThePatternFieldTakesHexDigitsOnly) {
    clickLine("0002");
    auto* p = find<QLineEdit>("PatternTxt");
    p->clear();
    QTest::keyClicks(p, "1g2-A");
    EXPECT_EQ(p->text(), "12A");
    QTest::keyClick(p, Qt::Key_Backspace);
    EXPECT_EQ(p->text(), "12A") << "editing keys are discarded too";
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(p, &out);
    EXPECT_EQ(console().TxPattern, 0x12A);
}

TEST_F(MainWindow, TheDisableBoxStopsPollingAndRequests) {
    clickLine("0002");
    click("tmrdisablechk");
    EXPECT_FALSE(console().refreshTimer().isActive());
    click("tmrdisablechk");
    EXPECT_TRUE(console().refreshTimer().isActive());
}

TEST_F(MainWindow, ToggleButtonsKeepTheirOwnFlags) {
    clickLine("0002");
    click("ContRxBtn");
    EXPECT_EQ(back("ContRxBtn"), QColor(0, 0, 255));
    click("MonitorBtn");
    EXPECT_EQ(back("MonitorBtn"), QColor(0, 0, 255));
    EXPECT_NE(back("ContRxBtn"), QColor(0, 0, 255));
    click("ContRxBtn");  // its flag was still set: only cleared
    EXPECT_NE(back("ContRxBtn"), QColor(0, 0, 255));
    EXPECT_NE(back("MonitorBtn"), QColor(0, 0, 255));
    click("BBPBtn");
    EXPECT_TRUE(dialogs().messages().empty()) << "Birch B has an editor";
    click("TestCmd");
    ASSERT_EQ(dialogs().messages().size(), 1u);
    EXPECT_EQ(dialogs().messages()[0].title, "Power Meter Failure");
    EXPECT_EQ(dialogs().messages()[0].buttons, Dialogs::Buttons::RetryCancel);
}

// Instruments that open on the second Retry, and a test window opener that counts.
struct RetryCounts {
    int inits = 0, opened = 0;
};
class MainWindowRetry : protected RetryCounts, public MainWindow {
protected:
    MainWindowRetry() : MainWindow(std::nullopt, openers()) {}
    WindowOpeners openers() {
        WindowOpeners o;
        o.initTestEquip = [this](Console& c) {
            ++inits;
            c.PowerMeterOk = true;
            c.AnalyzerOk = inits >= 2;
            c.InstrumentsNotReady = c.AnalyzerOk ? QString() : QStringLiteral("Spectrum analyzer: another instrument answers");
        };
        o.mfgTest = [this](Console&) { ++opened; };
        return o;
    }
};

// Every Retry that leaves the instruments unready shows the refusal again, with why they are not
// ready; once they are, the test window opens.
TEST_F(MainWindowRetry, RetryShowsWhyUntilTheInstrumentsAreReady) {
    clickLine("0002");
    dialogs().answer(Dialogs::Answer::Retry);
    dialogs().answer(Dialogs::Answer::Retry);
    click("TestCmd");
    ASSERT_EQ(dialogs().messages().size(), 2u);
    EXPECT_EQ(dialogs().messages()[0].text, "Cannot Run Test - All Instruments did not initialize");
    EXPECT_EQ(dialogs().messages()[1].text,
              "Cannot Run Test - All Instruments did not initialize\nSpectrum analyzer: another instrument answers");
    EXPECT_EQ(dialogs().messages()[1].title, "Analyzer Failure");
    EXPECT_EQ(inits, 2);
    EXPECT_EQ(opened, 1);
}

TEST_F(MainWindow, RemoteWithAnUnreachableHostClearsTheList) {
    find<QLineEdit>("txtServer")->setText("127.0.0.2");
    click("optServer(1)");
    ASSERT_EQ(dialogs().messages().size(), 1u);
    const auto& m = dialogs().messages()[0];
    EXPECT_TRUE(m.title == "CONNECT ERROR" || m.title == "CREATE ERROR") << m.title.toStdString();
    EXPECT_EQ(m.icon, Dialogs::Icon::Critical);
    EXPECT_EQ(find<QListWidget>("AdapterLst")->count(), 0);
    EXPECT_FALSE(console().AdaptersObj);
    click("optServer(0)");
    EXPECT_EQ(find<QListWidget>("AdapterLst")->count(), 4);
}

TEST_F(MainWindow, ExitWithNoAdapterOpenEndsOnTheNextTick) {
    frm->show();
    click("CloseBtn");
    EXPECT_TRUE(console().refreshTimer().isActive());
    EXPECT_TRUE(frm->isVisible());
    tick();
    EXPECT_FALSE(frm->isVisible());
    EXPECT_FALSE(console().refreshTimer().isActive());
    EXPECT_FALSE(console().AdaptersObj);
}

class MainWindowAndItsWindows : public MainWindow {
protected:
    MainWindowAndItsWindows() : MainWindow(std::nullopt, consoleWindowOpeners()) {}

    // The window of this name the main window owns, once shown.
    QWidget* shown(const QString& name) {
        QWidget* w = frm->findChild<QWidget*>(name, Qt::FindDirectChildrenOnly);
        EXPECT_TRUE(w && w->isWindow() && w->isVisible()) << name.toStdString();
        return w && w->isVisible() ? w : nullptr;
    }
    void closeAll() {
        for (QWidget* w : frm->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
            if (w->isWindow()) w->close();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }
};

TEST_F(MainWindowAndItsWindows, EachWindowOpensFromTheOpenAdapter) {
    clickLine("0002");
    const struct {
        const char* control;
        const char* window;
        const char* caption;
    } cases[] = {
        {"RIDBtn", "RidForm", "RID LIST"},
        {"IssueCmdBtn", "cmdsFrm", "Issue Commands via CMD Register"},
        {"ViewTalliesMnu", "TallyFrm", "Tallies"},
        {"SweepResultsMnu", "SweepFrm", "Sweep Results Table"},
        {"BBPBtn", "birchfrm", "Baseband Processor BirchB"},
    };
    for (const auto& c : cases) {
        if (auto* action = frm->findChild<QAction*>(c.control)) {
            action->trigger();
        } else {
            click(c.control);
        }
        if (QWidget* w = shown(c.window)) {
            EXPECT_EQ(w->windowTitle(), c.caption);
        }
    }
    // Each shows what the adapter holds.
    if (QWidget* w = shown("RidForm")) {
        EXPECT_EQ(w->findChild<QComboBox*>("RidCBox")->count(), 87);
    }
    if (QWidget* w = shown("SweepFrm")) {
        EXPECT_EQ(w->findChild<QListWidget*>("SweepLst")->item(2)->text(), " - SSID: BENCH-AP-1");
    }
    if (QWidget* w = shown("TallyFrm")) {
        EXPECT_EQ(w->findChildren<QLineEdit*>().size(), 36);
    }
    if (QWidget* w = shown("birchfrm")) {
        EXPECT_EQ(w->findChild<QLineEdit*>("bbpTxt(0)")->text(), QString::number(console().BbpRegsObj.item("CR0").value(), 16).toUpper());
    }
    EXPECT_TRUE(dialogs().messages().empty());
    closeAll();

    click("CloseAdaptCmd");
    clickLine("0001");
    click("BBPBtn");
    if (QWidget* w = shown("alderfrm")) {
        EXPECT_EQ(w->windowTitle(), "Alder Base Band Processor Form");
    }
    closeAll();
    click("CloseAdaptCmd");
    clickLine("0003");
    click("BBPBtn");
    if (QWidget* w = shown("birchfrm")) {
        EXPECT_EQ(w->windowTitle(), "Baseband Processor Cedar");
    }
    closeAll();
}

// Values of the polled records the tick must report.
struct PollCase {
    const char* name;
    const char* records;  // the bench's fixed records for adapter 0002
    const char* expectError;  // the status text after the tick (a prefix)
    bool errorExit;
};

class PollValues : public MainWindow, public ::testing::WithParamInterface<PollCase> {
protected:
    PollValues() : MainWindow(benchWith(std::string("\"records\": ") + GetParam().records)) {}
};

TEST_P(PollValues, AreReportedAsTheirRuleSays) {
    clickLine("0002");
    tick();
    tick();
    const QString expected = QString::fromLatin1(GetParam().expectError);
    if (expected.isEmpty()) EXPECT_FALSE(console().errorShown()) << console().errorText().toStdString();
    else EXPECT_TRUE(console().errorText().startsWith(expected)) << console().errorText().toStdString();
    const bool exited = std::find(traceLines().begin(), traceLines().end(), "2 ** Refresh timer Error Exit **") !=
                        traceLines().end();
    EXPECT_EQ(exited, GetParam().errorExit);
}

INSTANTIATE_TEST_SUITE_P(
    Tick, PollValues,
    ::testing::Values(
        PollCase{"PortZero", R"([{"rid": "FC00", "words": [0]}])", "IPORT = 0", false},
        PollCase{"RateFive", R"([{"rid": "FC84", "words": [5]}])", "kestview Control array element '5'", true},
        PollCase{"SignalLow", R"([{"rid": "FD43", "words": [40, 20, 5]}])", "kestview Invalid property value", true},
        PollCase{"QualityHigh", R"([{"rid": "FD43", "words": [93, 120, 5]}])", "kestview Invalid property value", true},
        PollCase{"ChannelOutside", R"([{"rid": "FDC1", "words": [20]}])", "", false}),
    [](const auto& info) { return std::string(info.param.name); });

class OddRecords : public MainWindow {
protected:
    OddRecords()
        : MainWindow(benchWith(R"("records": [{"rid": "FDC1", "words": [20]}, {"rid": "FD0A", "words": [12345, 2, 16706, 67, 0, 0]}])")) {}
};

TEST_F(OddRecords, ControlBytesInTheSerialLeaveBlanksAndAForeignChannelNoColour) {
    clickLine("0002");
    EXPECT_EQ(console().SerialNo, "9 0   B A C") << "0x3039, 0x0002, 0x4142, 0x0043: control bytes give blanks";
    tick();
    for (int ch = 1; ch <= 14; ++ch)
        EXPECT_NE(text(QStringLiteral("RadioOpt(%1)").arg(ch)), QColor(0, 255, 0)) << ch;
}

class RefusedCommands : public MainWindow {
protected:
    RefusedCommands() : MainWindow(benchWith(R"("quirks": {"refusedOids": ["0xFF010183"]})")) {}
};

TEST_F(RefusedCommands, AnImmediateButtonShowsItsFailure) {
    clickLine("0002");
    console().clrstatusbar();
    click("SleepBtn");
    EXPECT_TRUE(console().errorText().startsWith("SleepBtn")) << console().errorText().toStdString();
}

}  // namespace
}  // namespace kestview::testing
