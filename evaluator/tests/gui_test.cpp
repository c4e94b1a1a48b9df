// The windows, offscreen: settings file, test-mode rule, modal flow, runs over the loopback
// interface, printing and the DMI browser.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPdfWriter>
#include <QPushButton>
#include <QSettings>
#include <QTest>
#include <QTimer>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>

#include "dmi_access.h"
#include "main_form.h"
#include "message_sink.h"
#include "printing.h"
#include "recv_form.h"
#include "gui_support.h"
#include "loopback.h"
#include "socket_util.h"
#include "start_tx_form.h"
#include "test_form.h"
#include "xmit_form.h"

using namespace airmeter;
using namespace std::chrono_literals;

namespace {

void answerTarget(const QString& target) {
    whenModal<TStartTxForm>([target](TStartTxForm* dialog) {
        dialog->findChild<QLineEdit*>("TargetEdit")->setText(target);
        dialog->findChild<QPushButton*>("OKButton")->click();
    });
}


QString text(QWidget* form, const char* name) { return form->findChild<QLabel*>(name)->text(); }
void click(QWidget* form, const char* name) { form->findChild<QPushButton*>(name)->click(); }

class GuiTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessageSink(&sink_);
        iniPath_ = scratch(QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".INI");
        QFile::remove(iniPath_);
    }
    void TearDown() override {
        setMessageSink(nullptr);
        setPrinterFactory({});
    }
    TestSettings settings(TestMode mode, int port, int size = 1024) {
        TestSettings s;
        s.localAddress = "127.0.0.1";
        s.localHostName = "bench";
        s.mode = mode;
        s.socketPort = port;
        s.packetSize = size;
        s.broadcastAddress = "127.255.255.255";
        return s;
    }

    RecordingSink sink_;
    QString iniPath_;
    LocalIdentity identity_{"bench", "127.0.0.1"};
};

}  // namespace

TEST_F(GuiTest, WithoutSettingsFileTheMainWindowShowsDefaultsAndExitWritesThem) {
    {
        TMainForm main(iniPath_, identity_);
        EXPECT_EQ(main.windowTitle(), "Wireless LAN Evalution Software");
        EXPECT_EQ(text(&main, "HeaderPanel"), "VIREO Wireless LAN Evaluation Program -- Version 2.03");
        EXPECT_EQ(text(&main, "LocalAddrPanel"), " 127.0.0.1");
        EXPECT_EQ(text(&main, "LocalNamePanel"), " bench");
        EXPECT_EQ(main.findChild<QLineEdit*>("SockPortEdit")->text(), "1500");
        EXPECT_EQ(main.findChild<QLineEdit*>("PktSizeEdit")->text(), "1024");
        EXPECT_EQ(main.findChild<QComboBox*>("PktUnitCombo")->currentText(), "Application");
        EXPECT_EQ(main.findChild<QComboBox*>("TestModeCombo")->currentText(), "Broadcast");
        for (const char* name : {"DataRateCombo", "ChannelCombo"}) {
            auto* box = main.findChild<QComboBox*>(name);
            EXPECT_FALSE(box->isEnabled());
            EXPECT_EQ(box->currentIndex(), -1);
        }
        EXPECT_EQ(main.findChild<QComboBox*>("ChannelCombo")->count(), 12);
        EXPECT_TRUE(main.close());
    }
    QSettings ini(iniPath_, QSettings::IniFormat);
    EXPECT_EQ(ini.value("MainConfig/SockPort").toString(), "1500");
    EXPECT_EQ(ini.value("MainConfig/Mode").toString(), "0");
    EXPECT_EQ(ini.value("MainConfig/PktSize").toString(), "1024");
    EXPECT_EQ(ini.value("MainConfig/PktUnit").toString(), "0");
    EXPECT_EQ(ini.value("MainConfig/BroadcastAddr").toString(), "255.255.255.255");
}

TEST_F(GuiTest, StreamOffersOnlyApplicationAndSwitchingBackRestoresTheChoice) {
    TMainForm main(iniPath_, identity_);
    auto* unit = main.findChild<QComboBox*>("PktUnitCombo");
    auto* mode = main.findChild<QComboBox*>("TestModeCombo");
    unit->setCurrentIndex(1);
    mode->setCurrentIndex(2);
    EXPECT_EQ(unit->count(), 1);
    EXPECT_EQ(unit->currentText(), "Application");
    mode->setCurrentIndex(1);
    EXPECT_EQ(unit->count(), 2);
    EXPECT_EQ(unit->currentText(), "MAC");
    main.findChild<QLineEdit*>("SockPortEdit")->setText("2500");
    EXPECT_TRUE(main.close());
    TMainForm again(iniPath_, identity_);
    EXPECT_EQ(again.findChild<QComboBox*>("TestModeCombo")->currentText(), "Directed");
    EXPECT_EQ(again.findChild<QComboBox*>("PktUnitCombo")->currentText(), "MAC");
    EXPECT_EQ(again.findChild<QLineEdit*>("SockPortEdit")->text(), "2500");
    EXPECT_TRUE(again.close());
}

TEST_F(GuiTest, TextThatIsNoIntegerIsReportedAndTheActionEnds) {
    TMainForm main(iniPath_, identity_);
    main.show();
    main.findChild<QLineEdit*>("SockPortEdit")->setText("15x");
    main.startTx();
    ASSERT_EQ(sink_.texts.size(), 1u);
    EXPECT_EQ(sink_.texts[0], "'15x' is not a valid integer value");
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.close());  // exit converts the text too, and stays
    EXPECT_EQ(sink_.texts.size(), 2u);
    main.findChild<QLineEdit*>("SockPortEdit")->setText("1600");
    EXPECT_TRUE(main.close());
}

TEST_F(GuiTest, SettingsThatCannotBeStoredAreReported) {
    ASSERT_TRUE(QDir().mkpath(iniPath_));  // a folder where the file should be
    TMainForm main(iniPath_, identity_);
    ASSERT_EQ(sink_.texts.size(), 1u);  // it cannot be read either
    EXPECT_TRUE(sink_.texts[0].startsWith("Cannot read the settings file \"" + iniPath_ + "\" (it is a folder)"));
    EXPECT_TRUE(main.close());
    ASSERT_EQ(sink_.texts.size(), 2u);
    EXPECT_EQ(sink_.texts[1], "Cannot write the settings file \"" + iniPath_ + "\"; the settings were not saved.");
    QDir(iniPath_).removeRecursively();
}

TEST_F(GuiTest, TheMainWindowHidesWhileATestWindowRuns) {
    {
        QFile file(iniPath_);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Text));
        file.write("[RxConfig]\nRxTitle=Bench A, room 2\n");  // written back unchanged
    }
    TMainForm main(iniPath_, identity_);
    main.show();
    bool hiddenMeanwhile = false;
    QString title;
    auto* timer = new QTimer(&main);
    QObject::connect(timer, &QTimer::timeout, [&] {
        if (auto* form = main.activeTestWindow(); form && form->isVisible()) {
            timer->stop();
            hiddenMeanwhile = !main.isVisible();
            title = form->windowTitle();
            click(form, "DoneButton");
        }
    });
    timer->start(10);
    main.startRx();
    EXPECT_TRUE(hiddenMeanwhile);
    EXPECT_EQ(title, "Receive Data");
    EXPECT_TRUE(main.isVisible());
    QFile file(iniPath_);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "[RxConfig]\nRxTitle=Bench A, room 2\n");
    EXPECT_TRUE(main.close());
}

class WindowExchange : public GuiTest, public ::testing::WithParamInterface<TestMode> {};

TEST_P(WindowExchange, TransmitAndReceiveWindowsAgreeOnTheTraffic) {
    const TestMode mode = GetParam();
    const bool stream = mode == TestMode::Stream;
    const int port = freeLoopbackPort(stream ? SOCK_STREAM : SOCK_DGRAM);
    IniFile ini(iniPath_);
    TRecvForm rx(settings(mode, port), ini);
    TXmitForm tx(settings(mode, port), ini);
    rx.show();
    tx.show();
    EXPECT_EQ(text(&tx, "ChanValue"), " ");
    EXPECT_EQ(text(&tx, "RateValue"), " ");
    EXPECT_FALSE(rx.findChild<QPushButton*>("StopButton")->isEnabled());
    click(&rx, "StartButton");
    EXPECT_EQ(text(&rx, "StateValue"), " Listening");
    if (mode != TestMode::Broadcast) answerTarget("127.0.0.1");
    click(&tx, "StartButton");
    ASSERT_TRUE(waitUntil([&] { return text(&tx, "StateValue") == " Sending"; }));
    EXPECT_FALSE(tx.findChild<QPushButton*>("DoneButton")->isEnabled());
    ASSERT_TRUE(waitUntil([&] { return text(&rx, "BytesCumulative").toDouble() > 0; }));
    if (stream) {
        EXPECT_EQ(rx.findChild<QLabel*>("PacketRateCumulative"), nullptr);
        EXPECT_EQ(rx.findChild<QLabel*>("GoodCumulative"), nullptr);
        EXPECT_EQ(tx.findChild<QLabel*>("TotalCumulative"), nullptr);
        EXPECT_NE(tx.findChild<QLabel*>("PacketRateCumulative"), nullptr);
        EXPECT_EQ(text(&rx, "RemoteAddrValue"), " 127.0.0.1");
    } else {
        EXPECT_EQ(text(&rx, "StateValue"), " Receiving");
        EXPECT_TRUE(text(&rx, "PerCumulative").endsWith("  "));
    }
    ASSERT_TRUE(waitUntil([&] { return text(&tx, "BytesCumulative").toDouble() > 0; }));
    EXPECT_EQ(text(&tx, "RemoteAddrValue"), mode == TestMode::Broadcast ? " " : " 127.0.0.1");
    click(&tx, "StopButton");
    EXPECT_EQ(text(&tx, "StateValue"), " Idle");
    EXPECT_TRUE(tx.findChild<QPushButton*>("StartButton")->isEnabled());
    if (stream) {
        ASSERT_TRUE(waitUntil([&] { return text(&rx, "StateValue") == " Idle"; }));  // the peer closed
        // Both windows show their final figures: every byte sent arrived.
        EXPECT_EQ(text(&rx, "BytesCumulative").toStdString(), text(&tx, "BytesCumulative").toStdString());
    } else {
        click(&rx, "StopButton");
    }
    EXPECT_EQ(text(&rx, "StateValue"), " Idle");
    EXPECT_TRUE(sink_.texts.empty()) << sink_.texts.front().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Modes, WindowExchange,
                         ::testing::Values(TestMode::Broadcast, TestMode::Directed, TestMode::Stream));

TEST_F(GuiTest, MinimisingAWindowKeepsItsRunOnlyClosingEndsIt) {
    const int port = freeLoopbackPort(SOCK_DGRAM);
    IniFile ini(iniPath_);
    TRecvForm rx(settings(TestMode::Directed, port), ini);
    TXmitForm tx(settings(TestMode::Broadcast, port), ini);
    for (TTrafficForm* form : {static_cast<TTrafficForm*>(&rx), static_cast<TTrafficForm*>(&tx)}) {
        form->show();
        click(form, "StartButton");
        ASSERT_NE(text(form, "StateValue").toStdString(), " Idle");
        form->showMinimized();
        ASSERT_TRUE(waitUntil([&] { return form->isMinimized(); }));
        QApplication::processEvents();
        EXPECT_NE(text(form, "StateValue").toStdString(), " Idle") << form->windowTitle().toStdString();
        form->showNormal();
        EXPECT_NE(text(form, "StateValue").toStdString(), " Idle") << form->windowTitle().toStdString();
        form->close();
        EXPECT_EQ(text(form, "StateValue"), " Idle") << form->windowTitle().toStdString();
    }
    TTestForm dmi(scratch("minimised.OUT"));
    dmi.show();
    dmi.showMinimized();
    ASSERT_TRUE(waitUntil([&] { return dmi.isMinimized(); }));
    EXPECT_TRUE(dmi.isVisible());
    EXPECT_TRUE(sink_.texts.empty()) << sink_.texts.front().toStdString();
}

TEST_F(GuiTest, StreamToAPortNobodyListensOnReturnsToIdleWithConnectError) {
    IniFile ini(iniPath_);
    TXmitForm tx(settings(TestMode::Stream, freeLoopbackPort(SOCK_STREAM)), ini);
    tx.show();
    answerTarget("127.0.0.1");
    click(&tx, "StartButton");
    ASSERT_TRUE(waitUntil([&] { return !sink_.texts.empty(); }));
    EXPECT_EQ(sink_.texts[0], "Connect error = 10061");
    EXPECT_EQ(text(&tx, "StateValue"), " Idle");
    EXPECT_TRUE(tx.findChild<QPushButton*>("StartButton")->isEnabled());
}

TEST_F(GuiTest, PacketSizeOutsideThePacketBufferIsRefused) {
    IniFile ini(iniPath_);
    for (const TestMode mode : {TestMode::Broadcast, TestMode::Directed, TestMode::Stream}) {
        sink_.texts.clear();
        TXmitForm tx(settings(mode, 1500, 20000), ini);
        tx.show();
        bool targetAsked = false;  // the refusal comes before the Connect Target dialog
        auto* guard = new QTimer(&tx);
        QObject::connect(guard, &QTimer::timeout, [&] {
            if (auto* dialog = qobject_cast<TStartTxForm*>(QApplication::activeModalWidget())) {
                targetAsked = true;
                dialog->reject();
            }
        });
        guard->start(10);
        click(&tx, "StartButton");
        EXPECT_FALSE(targetAsked) << modeName(mode);
        ASSERT_EQ(sink_.texts.size(), 1u) << modeName(mode);
        EXPECT_TRUE(sink_.texts[0].startsWith("Packet size 20000 is out of range")) << sink_.texts[0].toStdString();
        EXPECT_EQ(text(&tx, "StateValue"), " Idle");
    }
}

TEST_F(GuiTest, DoubleClickOnTheHeaderPrintsTheWindow) {
    const QString pdf = scratch("print.pdf");
    QFile::remove(pdf);
    setPrinterFactory([pdf]() -> std::unique_ptr<QPagedPaintDevice> { return std::make_unique<QPdfWriter>(pdf); });
    IniFile ini(iniPath_);
    TXmitForm tx(settings(TestMode::Directed, 1500), ini);
    tx.show();
    QTest::mouseDClick(tx.findChild<QWidget*>("HeaderPanel"), Qt::LeftButton);
    QFile file(pdf);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.read(5).startsWith("%PDF"));
    EXPECT_TRUE(sink_.texts.empty());
}

TEST_F(GuiTest, DmiBrowserListsAndSavesTheDatabase) {
    const QString out = scratch("Airmeter.OUT");
    QFile::remove(out);
    const std::string root = scratch("dmi-id").toStdString();
    std::filesystem::remove_all(root);
    std::filesystem::create_directories(root);
    qputenv("ORU_DMI_ROOT", QByteArray::fromStdString(root));
    // Without the provider library, and with it on a host without DMI data: nothing is found, the
    // window says so, and Save writes no empty file.
    for (const bool library : {false, true}) {
        DmiLibrary::unload();
        if (library) {
            ASSERT_TRUE(DmiLibrary::load({std::string(AIRMETER_BINARY_DIR) + "/lib"})) << DmiLibrary::lastError();
        }
        TTestForm form(out);
        EXPECT_EQ(form.windowTitle(), "TestForm");
        form.show();
        click(&form, "TestButton");
        click(&form, "SaveButton");
        ASSERT_EQ(sink_.texts.size(), 2u) << "library " << library;
        EXPECT_EQ(sink_.texts[0], "No DMI components were found.");
        EXPECT_EQ(sink_.texts[1], "There is nothing to save: no DMI components are listed.");
        EXPECT_FALSE(QFile::exists(out));
        sink_.texts.clear();
    }
    DmiLibrary::unload();
    std::ofstream(root + "/sys_vendor") << "Oru Systems\n";
    std::ofstream(root + "/bios_date") << "05/17/2024\n";
    std::ofstream(root + "/bios_vendor") << "Oru Firmware\n";
    qputenv("ORU_DMI_ROOT", QByteArray::fromStdString(root));
    ASSERT_TRUE(DmiLibrary::load({std::string(AIRMETER_BINARY_DIR) + "/lib"})) << DmiLibrary::lastError();
    {
        TTestForm form(out);
        form.show();
        click(&form, "TestButton");
        click(&form, "SaveButton");
        QStringList shown;
        for (int i = 0; i < form.list()->count(); ++i) shown << form.list()->item(i)->text();
        EXPECT_TRUE(shown.contains("CompId = 1 Name = System Desc = The computer system"));
        EXPECT_TRUE(shown.contains("----> -1"));  // the firmware date
        QFile file(out);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
        EXPECT_EQ(QString::fromUtf8(file.readAll()), shown.join('\n') + '\n');
    }
    DmiLibrary::unload();
    EXPECT_TRUE(sink_.texts.empty());
}

TEST_F(GuiTest, TheDmiBrowserKeepsItsEventsGoingWhileTheProviderConfirms) {
    const std::string root = scratch("dmi-slow").toStdString();
    std::filesystem::create_directories(root);
    std::ofstream(root + "/sys_vendor") << "Oru Systems\n";
    qputenv("ORU_DMI_ROOT", QByteArray::fromStdString(root));
    qputenv("ORU_DMI_CONFIRM_DELAY_MS", "150");
    DmiLibrary::unload();
    ASSERT_TRUE(DmiLibrary::load({std::string(AIRMETER_BINARY_DIR) + "/lib"})) << DmiLibrary::lastError();
    {
        TTestForm form(scratch("slow.OUT"));
        int ticks = 0;
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
        timer.start(10);
        form.show();  // registers: one confirmation, 150 ms
        EXPECT_GE(ticks, 3) << "the window froze while registering";
        // Closed from the event loop in the middle of the walk: the walk ends at its next entry.
        QTimer::singleShot(50, &form, [&] { form.close(); });
        click(&form, "TestButton");
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(form.list()->count(), 4);  // the first component's lines only
    }
    qunsetenv("ORU_DMI_CONFIRM_DELAY_MS");
    DmiLibrary::unload();
    EXPECT_TRUE(sink_.texts.empty()) << sink_.texts.front().toStdString();
}

TEST(SettingsFile, LivesBesideTheProgramOrInTheConfigurationFolder) {
    const QString folder = scratch("program");
    QDir().mkpath(folder);
    EXPECT_EQ(IniFile::forProgram(folder + "/Airmeter").storePath(), folder + "/Airmeter.INI");
    const QString elsewhere = IniFile::forProgram("/nonexistent-folder/Airmeter").storePath();
    EXPECT_TRUE(elsewhere.endsWith("/Airmeter.INI"));
    EXPECT_FALSE(elsewhere.startsWith("/nonexistent-folder"));
}

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    qputenv("XDG_CONFIG_HOME", scratch("config").toUtf8());
    QApplication app(argc, argv);
    QApplication::setApplicationName("Airmeter");
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
