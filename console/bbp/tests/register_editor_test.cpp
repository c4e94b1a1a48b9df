// The register editors on the default bench: field rules, signals, auto refresh, and listings saved
// and restored through the adapter, and the entry line every handler traces.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFile>
#include <QFocusEvent>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

#include "alderfrm.h"
#include "birchfrm.h"
#include "console_fixture.h"
#include "ndisreq32/vireo_oids.h"

using namespace kestview;

namespace {
const QString kAlderKey = "0001", kCedarKey = "0003";

class EditorTest : public kestview::testing::ConsoleTest {
protected:
    EditorTest() {
        createAdapters();
        scratch_ = std::filesystem::temp_directory_path() / ("bbp-editor-" + std::to_string(::getpid()));
        std::filesystem::remove_all(scratch_);
        std::filesystem::create_directories(scratch_);
    }
    ~EditorTest() override { std::filesystem::remove_all(scratch_); }

    QString scratch(const QString& name) const { return QString::fromStdString((scratch_ / name.toStdString()).string()); }
    template <class Form>
    std::unique_ptr<Form> open(const QString& key) {
        openAdapter(key);
        auto form = std::make_unique<Form>(console());
        form->setAttribute(Qt::WA_DeleteOnClose, false);
        return form;
    }
    QLineEdit* field(QWidget& w, const QString& name) {
        auto* e = w.findChild<QLineEdit*>(name);
        EXPECT_TRUE(e) << name.toStdString();
        return e;
    }
    qint32 reg(const QString& key) { return console().BbpRegsObj.item(key).value(); }
    // Focus enters the field (selecting its register) and leaves it (writing the text).
    void leave(QLineEdit* e) {
        QFocusEvent in(QEvent::FocusIn), out(QEvent::FocusOut);
        QCoreApplication::sendEvent(e, &in);
        QCoreApplication::sendEvent(e, &out);
    }
    // The registers written since the journal was cleared, by bus address / step.
    std::set<int> writtenRegisters(int step) {
        std::set<int> out;
        for (const auto& e : bench().journal().entriesFor(OID_VIREO_COMMAND))
            if (e.inWord(0) == 0x0031) out.insert(e.inWord(1) / step);
        return out;
    }
    std::string fileText(const QString& path) {
        std::ifstream in(path.toStdString(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    std::filesystem::path scratch_;
};
}  // namespace

TEST_F(EditorTest, AlderFieldsPlusMinusWrapAndTheKeyFilter) {
    auto w = open<alderfrm>(kAlderKey);
    EXPECT_EQ(w->windowTitle(), "Alder Base Band Processor Form");
    QLineEdit* cr28 = field(*w, "bbpTxt(28)");
    QLineEdit* cr24 = field(*w, "bbpTxt(24)");
    EXPECT_EQ(cr28->property("Tag").toString(), "CR28");
    EXPECT_EQ(cr28->toolTip(), "Test Bus Address");
    EXPECT_EQ(cr28->palette().color(QPalette::Base), QColor(0, 255, 255));
    EXPECT_FALSE(cr28->isReadOnly());
    EXPECT_TRUE(cr24->isReadOnly());
    EXPECT_EQ(cr24->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(cr24->palette().color(QPalette::Base), w->palette().color(QPalette::Button));

    cr28->setText("FF");
    QTest::keyClick(cr28, '+');
    EXPECT_EQ(cr28->text(), "0");
    EXPECT_EQ(reg("CR28"), 0);
    QTest::keyClick(cr28, '-');
    EXPECT_EQ(cr28->text(), "FF");
    EXPECT_EQ(reg("CR28"), 255);
    cr28->setText("zz");  // no hexadecimal text: "+" starts from 0
    QTest::keyClick(cr28, '+');
    EXPECT_EQ(cr28->text(), "1");
    EXPECT_EQ(reg("CR28"), 1);

    cr28->clear();
    QTest::keyClicks(cr28, "1g-Z+b");
    EXPECT_EQ(cr28->text().right(2), "1b");  // only hexadecimal digits get through
    cr28->setText("3c");
    leave(cr28);
    EXPECT_EQ(reg("CR28"), 0x3C);
}

TEST_F(EditorTest, SignalsAreSummedIntoOneCall) {
    auto w = open<birchfrm>(kestview::testing::kBirchBKey);
    auto* txpe = w->findChild<QCheckBox*>("SigChk(1)");
    auto* resetbb = w->findChild<QCheckBox*>("SigChk(10)");
    ASSERT_TRUE(txpe && resetbb);
    EXPECT_EQ(resetbb->text(), "RESETBB");
    EXPECT_EQ(resetbb->property("Tag").toString(), "&h1000");
    txpe->click();
    resetbb->click();
    EXPECT_FALSE(console().errorShown());
}

TEST_F(EditorTest, AlderSaveAndRestoreRoundTrip) {
    auto w = open<alderfrm>(kAlderKey);
    field(*w, "bbpTxt(5)")->setText("A");
    leave(field(*w, "bbpTxt(5)"));
    w->RefreshRegisters();
    std::map<int, qint32> saved;
    for (int i = 1; i < 32; ++i) saved[i] = reg(QStringLiteral("CR%1").arg(i));

    dialogs().chooseFile(scratch("run"));  // no ".": the whole name is the base
    w->save();
    const std::string ini = fileText(scratch("run.ini")), c = fileText(scratch("run.c"));
    EXPECT_NE(ini.find("\r\nCR5  = 0A     #  CCA antenna control\r\n"), std::string::npos);
    EXPECT_NE(c.find("\r\n          ini_set(  5, 0xA , 0xff);\r\n"), std::string::npos);
    EXPECT_EQ(ini.find("CR24"), std::string::npos);
    EXPECT_EQ(c.find("CR24"), std::string::npos);
    EXPECT_FALSE(QFile::exists(scratch("run.pda")));

    for (const char* name : {"run.ini", "run.c"}) {
        for (int i = 1; i < 32; ++i)
            if (i < 24 || i == 28 || i >= 30) console().BbpRegsObj.item(QStringLiteral("CR%1").arg(i)).setValue(0x5A);
        dialogs().chooseFile(scratch(name));
        bench().journal().clear();
        w->restore();
        std::set<int> writable;  // every read-write register, and none of CR0, CR24 to CR27, CR29
        for (int i = 1; i < 32; ++i)
            if (i < 24 || i == 28 || i >= 30) writable.insert(i);
        EXPECT_EQ(writtenRegisters(4), writable) << name;
        for (int i = 1; i < 32; ++i)
            if (i < 24 || i == 28 || i >= 30) {
                EXPECT_EQ(reg(QStringLiteral("CR%1").arg(i)), saved[i]) << name << " CR" << i;
            }
        EXPECT_EQ(field(*w, "bbpTxt(5)")->text(), "A");
    }

    // Upper-case extensions are not read; both readers run on x.c.ini, the INI reader first.
    console().BbpRegsObj.item("CR28").setValue(0x11);
    QFile::copy(scratch("run.ini"), scratch("x.INI"));
    dialogs().chooseFile(scratch("x.INI"));
    w->restore();
    EXPECT_EQ(reg("CR28"), 0x11);
    std::ofstream(scratch("x.c.ini").toStdString()) << "CR28 = 22\r\n CR30 = 01\r\n\tini_set( 28, 0x33 , 0xff);\r\n";
    dialogs().chooseFile(scratch("x.c.ini"));
    w->restore();
    EXPECT_EQ(reg("CR28"), 0x33);
    EXPECT_EQ(reg("CR30"), 1);

    // A ".pda" restore changes nothing and says so.
    dialogs().chooseFile(scratch("x.pda"));
    w->restore();
    EXPECT_EQ(reg("CR28"), 0x33);
    EXPECT_TRUE(console().errorShown());

    // A name without a folder is taken in the configuration folder, which Save creates.
    console().ConfigFolder = scratch("CFGALDER");
    dialogs().chooseFile("bench1");
    w->save();
    EXPECT_TRUE(QFile::exists(scratch("CFGALDER/bench1.ini")));
    EXPECT_TRUE(QFile::exists(scratch("CFGALDER/bench1.c")));
    console().BbpRegsObj.item("CR28").setValue(0x44);
    dialogs().chooseFile("bench1.ini");
    w->restore();
    EXPECT_EQ(reg("CR28"), 0x33);
}

TEST_F(EditorTest, AlderAutoRefreshLeavesEditedFieldsAlone) {
    auto w = open<alderfrm>(kAlderKey);
    auto* timer = w->findChild<QTimer*>("Timer1");
    ASSERT_TRUE(timer);
    EXPECT_EQ(timer->interval(), 1000);
    EXPECT_FALSE(timer->isActive());
    w->findChild<QCheckBox*>("RefreshChk")->click();
    EXPECT_TRUE(timer->isActive());
    QLineEdit* status = field(*w, "bbpTxt(24)");
    QLineEdit* edited = field(*w, "bbpTxt(28)");
    edited->setText("7E");
    const QString before = status->text();
    // Each pass lets the bench's status registers move, then waits for the refresh (connected
    // before the spy, so it has run when the spy sees the tick).
    QSignalSpy ticks(timer, &QTimer::timeout);
    bool changed = false;
    for (int i = 0; i < 3 && !changed; ++i) {
        bench().clock().advance(std::chrono::milliseconds(700));
        ASSERT_TRUE(ticks.wait(30000)) << "no refresh tick";
        changed = status->text() != before;
    }
    EXPECT_TRUE(changed);
    EXPECT_EQ(edited->text(), "7E");
}

TEST_F(EditorTest, BirchAutoRefreshOverwritesRegister31) {
    auto w = open<birchfrm>(kestview::testing::kBirchBKey);
    EXPECT_EQ(w->windowTitle(), "Baseband Processor BirchB");
    EXPECT_EQ(w->findChild<QTimer*>("Timer1")->interval(), 500);
    QLineEdit* cr31 = field(*w, "bbpTxt(31)");
    const QString shown = cr31->text();
    cr31->setText("77");
    QSignalSpy ticks(w->findChild<QTimer*>("Timer1"), &QTimer::timeout);
    w->findChild<QCheckBox*>("RefreshChk")->click();
    ASSERT_TRUE(ticks.wait(30000)) << "no refresh tick";
    EXPECT_EQ(cr31->text(), shown);
}

TEST_F(EditorTest, Register49SwitchesTheMultiplexerTexts) {
    auto w = open<birchfrm>(kestview::testing::kBirchBKey);
    QLineEdit* cr49 = field(*w, "bbpTxt(49)");
    EXPECT_EQ(field(*w, "bbpTxt(51)")->toolTip(), "Signal Quality Measure Based on Carrier Tracking");
    cr49->setText("40");
    leave(cr49);
    EXPECT_EQ(reg("CR49"), 0x40);
    EXPECT_EQ(field(*w, "bbpTxt(51)")->toolTip(), "Noise Floor Antenna A");
    EXPECT_EQ(field(*w, "bbpTxt(57)")->toolTip(), "UNASSIGNED");
    EXPECT_EQ(cr49->palette().color(QPalette::Base), QColor(0x00, 0xC0, 0xC0));
    cr49->setText("1");
    leave(cr49);
    EXPECT_EQ(field(*w, "bbpTxt(55)")->toolTip(), "Received Length Field, High byte");
    EXPECT_EQ(cr49->palette().color(QPalette::Base), QColor(0xC0, 0xFF, 0xFF));
}

namespace {
// The words of a PDA listing's records, as its lines list them (before each comment).
std::vector<std::vector<qint32>> listedRecords(const std::string& text) {
    std::vector<std::vector<qint32>> records;
    std::vector<qint32> words;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        const QString data = QString::fromStdString(line.substr(0, line.find(';'))).trimmed();
        for (const QString& w : data.split(QRegularExpression("[,\\s]+"), Qt::SkipEmptyParts)) words.push_back(w.toInt(nullptr, 16));
    }
    for (std::size_t i = 0; i < words.size(); i += std::size_t(words[i]) + 1)
        records.emplace_back(words.begin() + long(i), words.begin() + long(std::min(words.size(), i + words[i] + 1)));
    return records;
}
}  // namespace

TEST_F(EditorTest, PdaListingsLoadThroughTheComponent) {
    for (const QString& key : {kestview::testing::kBirchBKey, kCedarKey}) {
        auto w = open<birchfrm>(key);
        const bool cedar = key == kCedarKey;
        if (cedar) {
            EXPECT_EQ(w->windowTitle(), "Baseband Processor Cedar");
        }
        console().BbpRegsObj.item("SR10").setValue(7);
        w->RefreshRegisters();
        dialogs().chooseFile(scratch(key + ".cfg"));
        w->save();
        const std::string pda = fileText(scratch(key + ".pda"));
        EXPECT_NE(pda.find("\r\n2c0A,2e07     ;SR10 : AGC Register 10\r\n"), std::string::npos);
        const std::string ini = fileText(scratch(key + ".ini")), c = fileText(scratch(key + ".c"));
        EXPECT_NE(ini.find("\r\nCR22 = 0A     #  * INDEX #10\r\nCR23 = 07     #  AGC Register 10\r\n"), std::string::npos);
        EXPECT_NE(c.find("ini_set( 22, 0x2A , 0xff);\r\n          /* SR10 = 0x7 # Write AGC Register 10 */\r\n"
                         "          ini_set( 23, 0x7 , 0xff);"), std::string::npos);
        const auto records = listedRecords(pda);
        ASSERT_EQ(records.size(), 2u);
        EXPECT_EQ(records[0][0], cedar ? 0x33 : 0x32);
        if (cedar) {
            EXPECT_EQ(records[0][2], 0x0401);
            EXPECT_EQ(records[0].back(), 0x0400);
        }
        const PDA pdaObj = console().VireoObj.pda();
        ASSERT_TRUE(pdaObj.loadPDAFile(scratch(key + ".pda")));
        EXPECT_EQ(pdaObj.count(), 2);
        for (std::size_t r = 0; r < 2; ++r) {
            const PDR pdr = pdaObj.item(r ? "0203" : "0202");
            std::vector<qint32> bytes;  // the listed data words, low byte first
            for (std::size_t i = 2; i < records[r].size(); ++i) bytes.insert(bytes.end(), {records[r][i] & 0xFF, records[r][i] >> 8});
            EXPECT_EQ(pdr.length(), records[r][0]);
            EXPECT_EQ(pdr.pdr(), bytes) << key.toStdString() << " record " << r;
        }
        w.reset();
        console().releaseAdapterObjects();
    }
}

TEST_F(EditorTest, BirchRoundTripsIncludeTheShadowTable) {
    auto w = open<birchfrm>(kestview::testing::kBirchBKey);
    dialogs().chooseFile(scratch("birch.ini"));
    w->save();
    std::map<QString, qint32> saved;
    auto writable = [&](const BBPReg& r) { return r.type() != 0 && r.id() != "CR22" && r.id() != "CR23"; };
    for (const BBPReg& r : console().BbpRegsObj.all())
        if (writable(r)) saved[r.id()] = r.value();
    for (const char* name : {"birch.ini", "birch.c"}) {
        for (const BBPReg& r : console().BbpRegsObj.all())
            if (writable(r)) r.setValue(0xA5);
        dialogs().chooseFile(scratch(name));
        w->restore();
        for (const auto& [id, value] : saved) EXPECT_EQ(reg(id), value) << name << " " << id.toStdString();
    }
}

TEST_F(EditorTest, EveryHandlerTracesItsEntry) {
    enum Drive { Click, FocusIn, FocusOut, Plus, Tick };
    const struct {
        const char* control;
        Drive drive;
        const char* traced;
        bool birchOnly;
    } cases[] = {
        {"bbpTxt(31)", FocusIn, "EVENT: bbpTxt_GotFocus(31)", false},
        {"bbpTxt(31)", Plus, "EVENT: bbpTxt_KeyPress(31, 43)", false},
        {"bbpTxt(31)", FocusOut, "EVENT: bbpTxt_LostFocus(31)", false},
        {"bbpsTxt(5)", FocusIn, "EVENT: bbpsTxt_GotFocus(5)", true},
        {"bbpsTxt(5)", Plus, "EVENT: bbpsTxt_KeyPress(5, 43)", true},
        {"bbpsTxt(5)", FocusOut, "EVENT: bbpsTxt_LostFocus(5)", true},
        {"SigChk(1)", Click, "EVENT: SigChk_Click(1)", false},
        {"SigChk(5)", Click, "EVENT: SigChk_Click(5)", false},
        {"SigChk(10)", Click, "EVENT: SigChk_Click(10)", true},
        {"RefreshChk", Click, "EVENT: RefreshChk_Click()", false},
        {"Timer1", Tick, "EVENT: Timer1_Timer()", false},
        {"savebtn", Click, "EVENT: savebtn_Click()", false},  // the dialogs answer no file
        {"restoreBtn", Click, "EVENT: restoreBtn_Click()", false},
        {"closebtn", Click, "EVENT: closebtn_Click()", false},
    };
    auto traced = [&](const QString& line) {
        return std::count(traceLines().begin(), traceLines().end(), "1 " + line);
    };
    for (const QString& key : {kAlderKey, kestview::testing::kBirchBKey}) {
        const bool birch = key != kAlderKey;
        const auto loads = traced("EVENT: Form_Load()");
        std::unique_ptr<QWidget> w;
        if (birch) w = open<birchfrm>(key);
        else w = open<alderfrm>(key);
        EXPECT_EQ(traced("EVENT: Form_Load()"), loads + 1) << key.toStdString();
        w->show();
        for (const auto& c : cases) {
            if (c.birchOnly && !birch) continue;
            const QString control = QString::fromLatin1(c.control), line = QString::fromLatin1(c.traced);
            const auto before = traced(line);
            if (c.drive == Click) {
                auto* b = w->findChild<QAbstractButton*>(control);
                ASSERT_TRUE(b) << c.control;
                b->click();
            } else if (c.drive == Tick) {
                auto* timer = w->findChild<QTimer*>(control);
                ASSERT_TRUE(timer && timer->isActive()) << "Auto Refresh starts it";
                QSignalSpy ticks(timer, &QTimer::timeout);
                ASSERT_TRUE(ticks.wait(30000)) << "no refresh tick";
                timer->stop();  // one tick is what this case counts
            } else if (c.drive == Plus) {
                QTest::keyClick(field(*w, control), '+');
            } else {
                QFocusEvent e(c.drive == FocusIn ? QEvent::FocusIn : QEvent::FocusOut);
                QCoreApplication::sendEvent(field(*w, control), &e);
            }
            EXPECT_EQ(traced(line), before + 1) << key.toStdString() << " " << c.control;
        }
        EXPECT_FALSE(w->isVisible()) << "closebtn unloads the window";
        w.reset();
        console().releaseAdapterObjects();
    }
}
