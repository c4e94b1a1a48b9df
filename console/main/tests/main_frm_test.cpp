// The main window on the simulated bench: open and close, the control panel's requests served by
// the tick, the status poll and its error exit, the remote choice and exit.
#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>

#include "channel_option_style.h"
#include "console_fixture.h"
#include "main_frm.h"
#include "ndisreq32/vireo_oids.h"
#include "record_objects.h"
#include "vireo/sim/rf_emission.h"
#include "rid_form.h"
#include "tally_frm.h"
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
public:  // the helpers are open to the tables of cases below
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
    // The journal since it was last cleared, one word per request: "probe", "cmd 0838" (the
    // command code), "read FC01" / "write FC84" (the record), else the OID.
    QStringList requestList(const std::string& key = "") {
        QStringList out;
        for (const auto& e : bench().journal().entries()) {
            if (!key.empty() && e.adapterKey != key) continue;
            auto hex = [](unsigned v, int digits) { return QStringLiteral("%1").arg(v, digits, 16, QChar('0')).toUpper(); };
            if (e.oid == OID_VIREO_COMMAND) out << "cmd " + hex(e.inWord(0), 4);
            else if (e.oid == OID_VIREO_RECORD)
                out << (e.type == NdisRequestSetInformation ? "write " : "read ") + hex(e.inWord(1), 4);
            else if (e.oid == OID_VIREO_VELA_PROBE) out << "probe";
            else out << "oid " + hex(e.oid, 8);
        }
        return out;
    }
    // Whether the adapter radiates, as the bench's instruments would see it.
    bool transmitting(const std::string& key) {
        return vireo::sim::readPublishedEmission(bench().device(key)->stateDir()).transmitting;
    }
    // Adapter `key` open, on channel 6, in continuous transmit.
    void transmitOn6(const QString& key) {
        clickLine(key);
        click("RadioOpt(6)");
        tick();
        click("ContTxBtn");
        tick();
        ASSERT_TRUE(console().TxRunning);
        ASSERT_TRUE(transmitting(key.toStdString()));
    }

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
    // Open (the probe), BBPType (a read of CR0), the records collection, the MAC address, the
    // serial number, and last port 0 enabled; every request to the adapter opened.
    const QStringList sent = requestList();
    EXPECT_EQ(requestList("0002"), sent);
    ASSERT_GE(sent.size(), 5);
    EXPECT_EQ(sent.front(), "probe");
    EXPECT_EQ(sent.mid(sent.size() - 3), QStringList({"read FC01", "read FD0A", "cmd 0001"})) << sent.join(", ").toStdString();
    const auto cr0 = sent.indexOf("cmd 0030");
    EXPECT_GT(cr0, 0);
    EXPECT_LT(cr0, sent.indexOf("read FC00")) << "BBPType before the records";
    EXPECT_EQ(console().AdapterKey, "0002");
    EXPECT_EQ(field("BBPTypeTxt"), "BirchB");
    EXPECT_EQ(field("MacTxt"), "00-60-1D-B2-00-02");
    EXPECT_EQ(console().SerialNo, "9 9 V B 0 0 0 2 0 0 0 2");
    EXPECT_TRUE(find<QPushButton>("ContTxBtn")->isEnabled());
    EXPECT_TRUE(find<QPushButton>("CloseAdaptCmd")->isEnabled());
    EXPECT_TRUE(console().refreshTimer().isActive());
    EXPECT_EQ(console().refreshTimer().interval(), 250);
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

TEST_F(MainWindow, ColoursAreTheTablesAndStayReadable) {
    frm->show();
    transmitOn6("0002");
    // The red of continuous transmit fills the button: the table's red, not a shade of it.
    auto* tx = find<QPushButton>("ContTxBtn");
    const QImage button = tx->grab().toImage();
    EXPECT_EQ(button.pixelColor(6, button.height() / 2), QColor(255, 0, 0));
    EXPECT_EQ(button.pixelColor(button.width() - 7, button.height() - 6), QColor(255, 0, 0));
    // The reported channel's green on the chosen channel's yellow has a dark outline.
    tick();
    ASSERT_EQ(text("RadioOpt(6)"), QColor(0, 255, 0));
    auto* six = find<QRadioButton>("RadioOpt(6)");
    QStyleOptionButton option;
    option.initFrom(six);
    option.text = six->text();
    const QRect caption = six->style()->subElementRect(QStyle::SE_RadioButtonContents, &option, six);
    const QImage image = six->grab().toImage();
    int dark = 0;
    for (int x = caption.left(); x <= caption.right(); ++x)
        for (int y = caption.top(); y <= caption.bottom(); ++y) dark += qGray(image.pixel(x, y)) < 60;
    EXPECT_GT(dark, 20) << "an outline around the green caption";
    // A disabled option looks disabled, whatever colour its text had.
    click("CloseAdaptCmd");
    auto* three = find<QRadioButton>("RadioOpt(3)");
    three->setProperty("optionText", QColor(0, 255, 0));
    applyChannelOptionStyle(three);
    three->ensurePolished();
    EXPECT_FALSE(three->isEnabled());
    EXPECT_NE(three->palette().color(QPalette::Disabled, QPalette::WindowText), QColor(0, 255, 0));
}

TEST_F(MainWindow, RatesOutsideTheSixWriteNothingButStillToggleThePort) {
    clickLine("0002");
    tick();
    // The rate change alone: port 0 disabled, FC84 read (and written for one of the six), port 0
    // enabled again; the poll that follows in the same tick reads FC84 too.
    const struct {
        int rate;
        QStringList change;
    } cases[] = {
        {5, {"cmd 0002", "read FC84", "cmd 0001"}},
        {0, {"cmd 0002", "read FC84", "cmd 0001"}},
        {8, {"cmd 0002", "read FC84", "read FC84", "write FC84", "cmd 0001"}},  // the write reads it first
        {3, {"cmd 0002", "read FC84", "read FC84", "write FC84", "cmd 0001"}},
    };
    for (const auto& c : cases) {
        const int before = console().RidTxRate.getAsInteger(1);
        bench().journal().clear();
        frm->RateOpt_Click(c.rate);
        tick();
        const QStringList sent = requestList();
        EXPECT_EQ(sent.mid(0, int(c.change.size())), c.change) << c.rate << ": " << sent.join(", ").toStdString();
        const bool written = c.change.contains("write FC84");
        EXPECT_EQ(console().RidTxRate.getAsInteger(1), written ? c.rate : before) << c.rate;
    }
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

TEST_F(MainWindowAndItsWindows, TheTalliesWindowIsOneAndItsCardResetRestsTheTestButtons) {
    clickLine("0002");
    auto* tallies = frm->findChild<QAction*>("ViewTalliesMnu");
    tallies->trigger();
    tallies->trigger();
    EXPECT_EQ(frm->findChildren<TallyFrm*>(Qt::FindDirectChildrenOnly).size(), 1) << "one window, one poll";
    click("ContRxBtn");
    ASSERT_EQ(back("ContRxBtn"), QColor(0, 0, 255));
    QWidget* w = shown("TallyFrm");
    ASSERT_TRUE(w);
    w->findChild<QPushButton*>("ResetCmd")->click();
    EXPECT_NE(back("ContRxBtn"), QColor(0, 0, 255)) << "as Soft Boot does";
    EXPECT_FALSE(console().TxRunning);
    closeAll();
}

TEST_F(MainWindowAndItsWindows, WindowsWorkOnTheAdapterOpenAndCloseWithIt) {
    clickLine("0002");
    click("RIDBtn");
    click("RIDBtn");
    EXPECT_EQ(frm->findChildren<RidForm*>(Qt::FindDirectChildrenOnly).size(), 2) << "browsers may be compared";
    frm->findChild<QAction*>("ViewTalliesMnu")->trigger();
    clickLine("0003");
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    for (QWidget* w : frm->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
        EXPECT_FALSE(w->isWindow() && w->isVisible()) << w->objectName().toStdString() << " of 0002 still open";
}

TEST_F(MainWindowAndItsWindows, EveryHandlerTracesItsEntry) {
    clickLine("0002");
    const struct {
        const char* control;
        const char* window;
        const char* closer;
        const char* traced;
    } cases[] = {
        {"RIDBtn", "RidForm", "CloseCmd", "EVENT: CloseCmd_Click()"},
        {"IssueCmdBtn", "cmdsFrm", "ExitCmd", "EVENT: ExitCmd_Click()"},
        {"ViewTalliesMnu", "TallyFrm", "ExitCmd", "EVENT: ExitCmd_Click()"},
        {"SweepResultsMnu", "SweepFrm", "ExitCmd", "EVENT: ExitCmd_Click()"},
    };
    auto traced = [&](const QString& line) {
        return std::count(traceLines().begin(), traceLines().end(), "1 " + line);
    };
    for (const auto& c : cases) {
        const auto before = traced(QString::fromLatin1(c.traced));
        const auto loads = traced(QStringLiteral("EVENT: Form_Load()"));
        if (auto* action = frm->findChild<QAction*>(c.control)) action->trigger();
        else click(c.control);
        EXPECT_EQ(traced(QStringLiteral("EVENT: %1_Click()").arg(QLatin1String(c.control))), 1) << c.control;
        QWidget* w = shown(c.window);
        ASSERT_TRUE(w) << c.window;
        EXPECT_EQ(traced(QStringLiteral("EVENT: Form_Load()")), loads + 1) << c.window;
        w->findChild<QPushButton*>(c.closer)->click();
        EXPECT_EQ(traced(QString::fromLatin1(c.traced)), before + 1) << c.window;
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


// The three ways an operator leaves an adapter: opening another one, Close Adapter, and closing
// the main window. Each stops the test on the adapter that runs it, before anything else.
TEST_F(MainWindow, LeavingAnAdapterStopsItsTransmitter) {
    const struct {
        const char* way;
        std::function<void(MainWindow&)> leave;
    } ways[] = {
        {"another adapter", [](MainWindow& t) { t.clickLine("0003"); }},
        {"Close Adapter", [](MainWindow& t) { t.click("CloseAdaptCmd"); }},
        {"the window's close button", [](MainWindow& t) { t.frm->close(); }},
    };
    for (const auto& w : ways) {
        SCOPED_TRACE(w.way);
        if (frm->isHidden() && frm->testAttribute(Qt::WA_WState_ExplicitShowHide)) {  // closed
            frm.reset();
            frm = std::make_unique<MainFrm>(console());
        }
        frm->show();
        transmitOn6("0002");
        bench().journal().clear();
        w.leave(*this);
        EXPECT_FALSE(transmitting("0002"));
        EXPECT_FALSE(transmitting("0003"));
        EXPECT_EQ(bench().device("0002")->controllerState().mode, vireo::sim::TestMode::Stopped);
        const QStringList sent = requestList();
        ASSERT_FALSE(sent.isEmpty());
        EXPECT_EQ(sent.front(), "cmd 0F38") << "the stop goes first: " << sent.join(", ").toStdString();
        EXPECT_EQ(requestList("0002").front(), "cmd 0F38");
        EXPECT_FALSE(console().TxRunning);
        // Nothing is left for a tick to serve on the next adapter.
        bench().journal().clear();
        if (frm->isVisible()) tick();
        EXPECT_FALSE(requestList().contains("cmd 0E38")) << requestList().join(", ").toStdString();
        EXPECT_FALSE(requestList().contains("cmd 0F38"));
        if (frm->isVisible()) {
            EXPECT_NE(painted("ContTxBtn"), QColor(255, 0, 0));
            EXPECT_FALSE(find<QRadioButton>("RadioOpt(6)")->isChecked());
            click("CloseAdaptCmd");
        }
    }
}

TEST_F(MainWindow, ExitTestingWhileTransmittingStopsThenInitialisesTheRadio) {
    frm->show();
    transmitOn6("0002");
    bench().journal().clear();
    click("CloseBtn");
    EXPECT_EQ(requestList(), QStringList({"cmd 0F38", "cmd 0138"}));
    EXPECT_FALSE(transmitting("0002"));
    tick();
    EXPECT_FALSE(frm->isVisible());
    EXPECT_FALSE(console().AdaptersObj);
}

TEST_F(MainWindow, ANewAdapterStartsWithNoChoicesOfTheOneBefore) {
    // Rate and mode belong to an open adapter.
    EXPECT_FALSE(find<QGroupBox>("RateFrm")->isEnabled());
    EXPECT_FALSE(find<QGroupBox>("modeFrm")->isEnabled());
    bench().journal().clear();
    click("RateOpt(8)");
    clickLine("0002");
    EXPECT_TRUE(find<QGroupBox>("RateFrm")->isEnabled());
    tick();
    EXPECT_FALSE(requestList().contains("write FC84")) << "no rate clicked before the open is written";
    click("RadioOpt(3)");
    tick();
    EXPECT_EQ(back("RadioOpt(3)"), QColor(255, 255, 128));
    clickLine("0003");
    EXPECT_NE(back("RadioOpt(3)"), QColor(255, 255, 128)) << "the choice was made on 0002";
    click("ContTxBtn");
    tick();
    EXPECT_FALSE(console().TxRunning);
    ASSERT_EQ(dialogs().messages().size(), 1u);
    EXPECT_EQ(dialogs().messages()[0].text, "Please set a Channel first !");
    EXPECT_FALSE(transmitting("0003"));
    click("CloseAdaptCmd");
    EXPECT_FALSE(find<QGroupBox>("RateFrm")->isEnabled());
    EXPECT_FALSE(find<QGroupBox>("modeFrm")->isEnabled());
}

TEST_F(MainWindow, TheSsidFieldRestartsPollingOnlyWhereItRan) {
    auto* ssid = find<QLineEdit>("SSIDTxt");
    QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
    clickLine("0002");
    click("tmrdisablechk");  // polling off
    QApplication::sendEvent(ssid, &in);
    QApplication::sendEvent(ssid, &out);
    EXPECT_FALSE(console().refreshTimer().isActive()) << "the disable box holds";
    click("tmrdisablechk");
    QApplication::sendEvent(ssid, &in);
    EXPECT_FALSE(console().refreshTimer().isActive());
    QApplication::sendEvent(ssid, &out);
    EXPECT_TRUE(console().refreshTimer().isActive());
    click("CloseAdaptCmd");
    QApplication::sendEvent(ssid, &in);
    QApplication::sendEvent(ssid, &out);
    EXPECT_FALSE(console().refreshTimer().isActive()) << "no adapter to poll";
}

TEST_F(MainWindow, TheKeyboardOpensTheSelectedAdapter) {
    auto* list = find<QListWidget>("AdapterLst");
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Space}) {
        click("CloseAdaptCmd");
        list->setCurrentRow(1);  // 0002
        QTest::keyClick(list, key);
        EXPECT_EQ(console().AdapterKey, "0002") << key;
        EXPECT_EQ(field("BBPTypeTxt"), "BirchB") << key;
        console().AdapterKey.clear();
    }
    // Tab walks the window in reading order.
    std::vector<QString> chain;
    for (QWidget* w = find<QWidget>("AdapterLst"); chain.size() < 4; w = w->nextInFocusChain())
        if (w->focusPolicy() & Qt::TabFocus) chain.push_back(w->objectName());
    EXPECT_EQ(chain, (std::vector<QString>{"AdapterLst", "CloseAdaptCmd", "CloseBtn", "SSIDTxt"}));
}

TEST_F(MainWindow, ThePatternFieldIsEditedByClickingAndTyping) {
    frm->show();
    frm->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(frm.get()));
    clickLine("0002");
    auto* p = find<QLineEdit>("PatternTxt");
    QTest::mouseClick(p, Qt::LeftButton, {}, QPoint(p->width() - 4, p->height() / 2));
    QCoreApplication::processEvents();
    QTest::keyClicks(p, "5a5A");
    EXPECT_EQ(p->text(), "5a5A");
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(p, &out);
    EXPECT_EQ(console().TxPattern, 0x5A5A);
}

// Bench adapters that refuse a command or a record write; each refusal shows the control's own
// text and leaves the panel and the adapter as they were.
struct RefusalCase {
    const char* name;
    const char* faults;
    std::function<void(MainWindow&)> act;
    const char* error;
};

class Refusals : public MainWindow, public ::testing::WithParamInterface<RefusalCase> {
protected:
    Refusals() : MainWindow(benchWith(std::string("\"faults\": ") + GetParam().faults)) {}
};

TEST_P(Refusals, ShowTheirErrorAndChangeNothing) {
    clickLine("0002");
    tick();
    if (std::string(GetParam().name) != "Channel") {  // a channel first, where the channel works
        click("RadioOpt(3)");
        tick();
    }
    const int channelBefore = console().RidChannel.getAsInteger(1);
    const auto selectedBefore = back("RadioOpt(3)");
    console().clrstatusbar();
    GetParam().act(*this);
    tick();
    EXPECT_EQ(console().errorText(), GetParam().error);
    EXPECT_FALSE(console().TxRunning);
    EXPECT_NE(painted("ContTxBtn"), QColor(255, 0, 0));
    EXPECT_FALSE(transmitting("0002"));
    EXPECT_EQ(console().RidChannel.getAsInteger(1), channelBefore);
    EXPECT_EQ(back("RadioOpt(3)"), selectedBefore);
    EXPECT_EQ(find<QRadioButton>("RadioOpt(3)")->isChecked(), std::string(GetParam().name) != "Channel")
        << "ticked only where it was chosen";
    EXPECT_TRUE(find<QRadioButton>("RateOpt(15)")->isChecked());
    EXPECT_EQ(find<QComboBox>("portTypeCbo")->currentIndex(), 0);
    // The adapter has answered: the request is not sent again on every tick.
    bench().journal().clear();
    tick();
    const QStringList sent = requestList();
    EXPECT_FALSE(sent.contains("cmd 0838") || sent.contains("cmd 0E38") || sent.contains("write FC84") ||
                 sent.contains("write FC00"))
        << sent.join(", ").toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Adapter, Refusals,
    ::testing::Values(
        RefusalCase{"Channel", R"({"refusedCommands": ["0x0838"]})", [](MainWindow& t) { t.click("RadioOpt(3)"); },
                    "Channel Change Error"},
        RefusalCase{"ContinuousTx", R"({"refusedCommands": ["0x0E38"]})", [](MainWindow& t) { t.click("ContTxBtn"); },
                    "Continuous Transmit Button Click Error"},
        RefusalCase{"Rate", R"({"refusedRecordWrites": ["FC84"]})", [](MainWindow& t) { t.click("RateOpt(8)"); },
                    "RATE CHANGE ERROR !"},
        RefusalCase{"Mode", R"({"refusedRecordWrites": ["FC00"]})",
                    [](MainWindow& t) {
                        auto* combo = t.find<QComboBox>("portTypeCbo");
                        combo->setCurrentIndex(2);
                        emit combo->activated(2);
                    },
                    "MODE CHANGE ERROR"}),
    [](const auto& info) { return std::string(info.param.name); });

// A record missing on the adapter opened next: nothing of the adapter before is shown.
class MissingMac : public MainWindow {
protected:
    MissingMac() : MainWindow(benchWith0003(R"("missingRecords": ["FC01"])")) {}
    static std::string benchWith0003(const std::string& fields) {
        std::string json = vireo::sim::testing::defaultBenchJson();
        const std::string anchor = "\"key\": \"0003\",";
        json.insert(json.find(anchor) + anchor.size(), " " + fields + ",");
        return json;
    }
};

TEST_F(MissingMac, ShowsNoMacOfTheAdapterBeforeAndSaysSo) {
    clickLine("0002");
    tick();
    ASSERT_FALSE(field("MacTxt").isEmpty());
    clickLine("0003");
    EXPECT_TRUE(field("MacTxt").isEmpty());
    EXPECT_EQ(find<QLineEdit>("MacTxt")->placeholderText(), "not available");
    EXPECT_EQ(console().errorText(), "Adapter 0003 Open Rids failure - RID Argument Error");
    EXPECT_TRUE(console().MacBytes.isEmpty());
    EXPECT_TRUE(console().SerialNo.isEmpty());
    EXPECT_EQ(find<QProgressBar>("SignalBar")->value(), 27);
    EXPECT_EQ(find<QProgressBar>("QualityBar")->value(), 0);
    // The records the console holds are the new adapter's (its quality record reads 0003).
    bench().journal().clear();
    console().RidCommsQuality.getAsInteger(1);
    EXPECT_EQ(requestList("0003"), requestList());
    EXPECT_FALSE(requestList().isEmpty());
    EXPECT_FALSE(console().refreshTimer().isActive()) << "the open ended at its last guard";
}

TEST_F(MainWindow, AFailedRemoteAttemptLeavesNoStandbyAndSaysWhy) {
    find<QLineEdit>("txtServer")->setText("127.0.0.2");
    click("optServer(1)");
    EXPECT_FALSE(console().errorText().startsWith("STANDBY")) << console().errorText().toStdString();
    EXPECT_FALSE(console().errorText().isEmpty());
    EXPECT_EQ(find<QLineEdit>("txtServer")->palette().color(QPalette::Base), QColor(255, 255, 255));
    ASSERT_EQ(dialogs().messages().size(), 1u);
    EXPECT_TRUE(dialogs().messages()[0].text.startsWith("Remote Host") || dialogs().messages()[0].text.startsWith("No response"));
}

}  // namespace
}  // namespace kestview::testing
