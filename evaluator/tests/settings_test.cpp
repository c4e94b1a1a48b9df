// The settings file, offscreen: range checks of every numeric key, edits made while the program
// runs, a read-only file beside the program, and a hand-written file kept as it was written.
#include <gtest/gtest.h>

#include <QFile>
#include <QLineEdit>
#include <QPushButton>

#include "gui_support.h"
#include "main_form.h"
#include "xmit_form.h"

using namespace airmeter;

namespace {

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

void writeFile(const QString& path, const QByteArray& text) {
    QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override {
        setMessageSink(&sink_);
        const QString name = QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name());
        path_ = scratch(name + ".INI");
        fallback_ = scratch("config-" + name + "/Airmeter.INI");
        for (const QString& p : {path_, fallback_}) {
            QFile::setPermissions(p, QFile::ReadOwner | QFile::WriteOwner);
            QFile::remove(p);
        }
    }
    void TearDown() override {
        setMessageSink(nullptr);
        QFile::setPermissions(path_, QFile::ReadOwner | QFile::WriteOwner);
    }
    // Opens the transmit window from the main window, lets `meanwhile` run while it is up, and
    // closes it with Done; returns what the window read.
    TxOptions openTransmitWindow(TMainForm& main, const std::function<void()>& meanwhile = {}) {
        TxOptions read;
        whenModal<TXmitForm>([&](TXmitForm* form) {
            read = form->options();
            if (meanwhile) meanwhile();
            form->findChild<QPushButton*>("DoneButton")->click();
        });
        main.startTx();
        return read;
    }

    RecordingSink sink_;
    QString path_;
    QString fallback_;
    LocalIdentity identity_{"bench", "127.0.0.1"};
};

}  // namespace

TEST_F(SettingsTest, EveryNumericKeyIsRangeCheckedWhereItIsRead) {
    const IntegerSetting settings[] = {kSockPortSetting, kModeSetting,     kPktSizeSetting, kPktUnitSetting,
                                       kPktDelaySetting, kPktBurstSetting, kPktFillSetting};
    const char* const values[] = {"0", "-1", "2147483647", "2147483648", "fast", ""};
    for (const IntegerSetting& s : settings) {
        for (const char* text : values) {
            const std::string value = text;
            writeFile(path_, QByteArray("[") + s.section + "]\n" + s.key + "=" + text + "\n");
            IniFile ini(path_);
            const int read = ini.integer(ini.read(), s);
            const QString message = ini.takeMessages();
            const bool inRange = value == "0" ? s.low <= 0 : value == "-1" && s.low <= -1;
            const std::string where = std::string(s.key) + "=" + value;
            if (inRange) {
                EXPECT_EQ(read, std::stoi(value)) << where;
                EXPECT_TRUE(message.isEmpty()) << where;
            } else {
                EXPECT_EQ(read, s.defaultValue) << where;
                EXPECT_EQ(message, QString("Settings file: %1 in [%2]: '%3' is not an integer from %4 to %5; "
                                           "the default %6 is used.")
                                       .arg(s.key, s.section, text)
                                       .arg(s.low)
                                       .arg(s.high)
                                       .arg(s.defaultValue))
                    << where;
            }
        }
    }
}

TEST_F(SettingsTest, AHugeBurstIsRefusedWhenTheTransmitWindowOpens) {
    writeFile(path_, "[TxConfig]\nPktDelay=1\nPktBurst=2147483647\n");
    TMainForm main(path_, identity_);
    const TxOptions read = openTransmitWindow(main);
    EXPECT_EQ(read.pktDelay, 1);
    EXPECT_EQ(read.pktBurst, 0);
    ASSERT_FALSE(sink_.texts.empty());
    EXPECT_TRUE(sink_.texts[0].startsWith("Settings file: PktBurst in [TxConfig]: '2147483647' is not an integer"));
    EXPECT_TRUE(contents(path_).contains("PktBurst=2147483647\n"));  // the user's text stays for mending
    EXPECT_TRUE(main.close());
}

TEST_F(SettingsTest, AnEditMadeWhileTheProgramRunsIsReadAndKept) {
    writeFile(path_, "[MainConfig]\nSockPort=1500\n[TxConfig]\nPktDelay=0\n");
    TMainForm main(path_, identity_);
    openTransmitWindow(main, [&] {
        writeFile(path_, "[MainConfig]\nSockPort=1600\n[TxConfig]\nPktDelay=7\nPktFill=65\n");
    });
    EXPECT_TRUE(contents(path_).contains("PktDelay=7\nPktFill=65\n"));
    const TxOptions again = openTransmitWindow(main);  // read afresh at every opening
    EXPECT_EQ(again.pktDelay, 7);
    EXPECT_EQ(again.pktFill, 65);
    main.findChild<QLineEdit*>("PktSizeEdit")->setText("2048");
    EXPECT_TRUE(main.close());
    // The port, untouched in the window, keeps the file's edit; the size the user changed is stored.
    const QByteArray text = contents(path_);
    EXPECT_TRUE(text.startsWith("[MainConfig]\nSockPort=1600\n")) << text.toStdString();
    EXPECT_TRUE(text.contains("PktSize=2048\n")) << text.toStdString();
    EXPECT_TRUE(sink_.texts.empty()) << sink_.texts.front().toStdString();
}

TEST_F(SettingsTest, AHandWrittenFileKeepsEveryByteButTheValuesTheProgramChanges) {
    const QByteArray original =
        "; Bench 3, do not lose this line\r\n"
        "[mainconfig]\r\n"
        "sockport = 1500 \r\n"
        "Owner=lab ; ask first\r\n"
        "\r\n"
        "[RxConfig]\r\n"
        "RxTitle=\"Bench A; room 2\"\r\n"
        "[TxConfig]\r\n"
        "TxRemoteHost='127.0.0.1'\r\n"
        "PktDelay=0\r\nPktBurst=0\r\nPktFill=-1\r\n";
    writeFile(path_, original);
    TMainForm main(path_, identity_);
    EXPECT_EQ(main.findChild<QLineEdit*>("SockPortEdit")->text(), "1500");
    openTransmitWindow(main);
    EXPECT_EQ(contents(path_), original);  // nothing the window owns changed
    main.findChild<QLineEdit*>("SockPortEdit")->setText("2500");
    EXPECT_TRUE(main.close());
    QByteArray expected = original;
    expected.replace("sockport = 1500 \r\n", "sockport = 2500\r\n");
    expected.replace("Owner=lab ; ask first\r\n",
                     "Owner=lab ; ask first\r\nMode=0\r\nPktSize=1024\r\nPktUnit=0\r\nBroadcastAddr=255.255.255.255\r\n");
    EXPECT_EQ(contents(path_), expected);
}

TEST_F(SettingsTest, AReadOnlyFileBesideTheProgramIsReadAndTheSettingsGoToTheConfigurationFolder) {
    const QByteArray original = "; shared bench settings\n[MainConfig]\nSockPort=2000\n";
    writeFile(path_, original);
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    {
        TMainForm main(IniFile(path_, fallback_), identity_);
        EXPECT_EQ(main.findChild<QLineEdit*>("SockPortEdit")->text(), "2000");
        EXPECT_TRUE(sink_.texts.empty());
        main.findChild<QLineEdit*>("SockPortEdit")->setText("2100");
        EXPECT_TRUE(main.close());
        ASSERT_EQ(sink_.texts.size(), 1u);
        EXPECT_EQ(sink_.texts[0], "The settings file \"" + path_ + "\" cannot be written; the settings are saved in \"" +
                                      fallback_ + "\".");
        main.findChild<QLineEdit*>("SockPortEdit")->setText("2200");
        EXPECT_TRUE(main.close());
        EXPECT_EQ(sink_.texts.size(), 1u);  // said once
    }
    EXPECT_EQ(contents(path_), original);
    EXPECT_TRUE(contents(fallback_).startsWith("; shared bench settings\n[MainConfig]\nSockPort=2200\n"));
    // The next run of the program reads them there and says nothing more at its exit.
    TMainForm again(IniFile(path_, fallback_), identity_);
    EXPECT_EQ(again.findChild<QLineEdit*>("SockPortEdit")->text(), "2200");
    again.findChild<QLineEdit*>("SockPortEdit")->setText("2300");
    EXPECT_TRUE(again.close());
    EXPECT_EQ(sink_.texts.size(), 1u);
    EXPECT_TRUE(contents(fallback_).contains("SockPort=2300\n"));
}

TEST_F(SettingsTest, SettingsThatCanBeWrittenNowhereAreSaidOnceNotToBeSaved) {
    writeFile(path_, "[MainConfig]\nSockPort=2000\n");
    QFile::setPermissions(path_, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther);
    const QString blocker = scratch("blocker");
    writeFile(blocker, "a file where the configuration folder would be\n");
    const QString fallback = blocker + "/Airmeter.INI";
    TMainForm main(IniFile(path_, fallback), identity_);
    main.findChild<QLineEdit*>("SockPortEdit")->setText("2100");
    EXPECT_TRUE(main.close());
    ASSERT_EQ(sink_.texts.size(), 1u) << (sink_.texts.empty() ? QString() : sink_.texts.back()).toStdString();
    EXPECT_EQ(sink_.texts[0], "Cannot write the settings file \"" + path_ + "\" nor \"" + fallback +
                                  "\"; the settings were not saved.");
    EXPECT_EQ(contents(path_), "[MainConfig]\nSockPort=2000\n");
}

TEST_F(SettingsTest, AnUnreadableFileIsReportedAndNeverReplaced) {
    ASSERT_TRUE(QDir().mkpath(path_));  // a folder in the file's place cannot be read as one
    TMainForm main(IniFile(path_, fallback_), identity_);
    ASSERT_EQ(sink_.texts.size(), 1u);
    EXPECT_TRUE(sink_.texts[0].startsWith("Cannot read the settings file \"" + path_ + "\" (it is a folder)"))
        << sink_.texts[0].toStdString();
    EXPECT_EQ(main.findChild<QLineEdit*>("SockPortEdit")->text(), "1500");
    EXPECT_TRUE(main.close());
    EXPECT_TRUE(QFileInfo(path_).isDir());
    EXPECT_TRUE(contents(fallback_).contains("SockPort=1500\n"));
    QDir(path_).removeRecursively();
}
