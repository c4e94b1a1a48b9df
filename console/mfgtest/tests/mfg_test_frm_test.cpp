// The manufacturing test window on the default bench: its controls and the mask offset rules, the
// adapter buttons, a whole test through the results window, and "Stop Testing".
#include "MFGTestFrm.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <algorithm>
#include <nlohmann/json.hpp>

#include <gtest/gtest.h>

#include "ResultFrm.h"
#include "bench_fixture.h"
#include "console_ports.h"
#include "firmware_objects.h"
#include "vireo_object.h"

namespace kestview::mfgtest {
namespace {

class MFGTestFrmTest : public testing::BenchTest {
protected:
    MFGTestFrmTest() {
        openAdapter(testing::kCedarKey);
        initTestEquipment(console(), equipment());
        console().setMainWindow(&main_);
        form_ = new MFGTestFrm(console(), equipment(), [this] { ++macReformats_; }, &main_);
    }
    ~MFGTestFrmTest() override { delete form_; }

    template <class T = QWidget>
    T* control(const QString& name) {
        T* w = form_->findChild<T*>(name);
        EXPECT_TRUE(w) << name.toStdString();
        return w;
    }
    QPushButton* cmd(int i) { return control<QPushButton>(QStringLiteral("TestCmd(%1)").arg(i)); }
    bool enabled(std::initializer_list<int> buttons) {
        for (int i : buttons)
            if (!cmd(i)->isEnabled()) return false;
        return true;
    }
    bool disabled(std::initializer_list<int> buttons) {
        for (int i : buttons)
            if (cmd(i)->isEnabled()) return false;
        return true;
    }
    QStringList titles() {
        QStringList t;
        for (const auto& m : dialogs().messages()) t << m.text;
        return t;
    }
    bool anyFileUnder(const QString& folder, const QString& pattern) {
        return !QDir(folder).entryList({pattern}, QDir::Files).isEmpty();
    }

    QWidget main_;
    MFGTestFrm* form_ = nullptr;
    int macReformats_ = 0;
};

// Acts on the event loop while the test runs: `step` is called every few milliseconds until it
// says it is done.
void whileRunning(QObject* owner, std::function<bool()> step) {
    auto* t = new QTimer(owner);
    QObject::connect(t, &QTimer::timeout, owner, [t, step] {
        if (step()) t->deleteLater();
    });
    t->start(5);
}

TEST_F(MFGTestFrmTest, ControlsLoadAndMaskOffsetRules) {
    EXPECT_EQ(form_->windowTitle(), "Manufacturing Test Form");
    const char* captions[] = {"Spectral Mask Test", "Receiver Sensitivity Test", "Operational Test",
                              "Open Vireo Adapter", "Close Vireo Adapter", "Exit Testing"};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(cmd(i)->text(), captions[i]);
    EXPECT_EQ(control<QCheckBox>("Check1")->text(), "REF -25dbm");
    EXPECT_EQ(control<QLineEdit>("MacTxt")->text(), console().macText());
    EXPECT_EQ(control<QLineEdit>("NicSerialTxt")->text(), console().SerialNo);
    for (int ch = 1; ch <= 14; ++ch) control<QCheckBox>(QStringLiteral("AllowedChnChk(%1)").arg(ch));
    EXPECT_EQ(control<QLineEdit>("ProductTxt")->text(), "SPRUCEB5");
    EXPECT_EQ(control<QRadioButton>("TempOpt(1)")->text(), "Type III, Industrial -30  -> +70 Degrees");
    EXPECT_EQ(control<QCheckBox>("DomainChk(3)")->text(), "Euro/Aust");
    EXPECT_EQ(control<QListWidget>("DefaultLst")->count(), 14);
    EXPECT_EQ(control<QLineEdit>("CtrlRoleTxt")->text(), "0000");
    EXPECT_EQ(control<QLineEdit>("ModemInterfaceTxt")->text(), "0001");
    EXPECT_EQ(control<QLineEdit>("NicComponentTxt")->text(), "8002");
    QStringList frames;
    for (auto* g : form_->findChildren<QGroupBox*>()) frames << g->title();
    for (const char* f : {"Mac Address", "Nic Serial Number", "Allowed Channel Set", "Product Part Number",
                          "Temperature Type", "Default", "Regulatory Domain List", "Controller Supplier Range",
                          "RF Modem Supplier", "Nic Identification"})
        EXPECT_TRUE(frames.contains(f)) << f;

    auto* offset = control<QLineEdit>("MaskOffSettxt");
    EXPECT_EQ(offset->text(), "0");
    for (auto [text, shown, value] : {std::tuple{"40", "40", 40.0}, {"300", "0", 0.0}, {"-1", "0", 0.0}, {"255", "255", 255.0}}) {
        offset->setText(text);
        EXPECT_EQ(offset->text(), shown) << text;
        EXPECT_EQ(console().MaskOffset, value) << text;
    }
}

TEST_F(MFGTestFrmTest, AdapterButtonsAndExitShowsTheMainWindowAgain) {
    form_->show();
    main_.hide();
    cmd(4)->click();
    EXPECT_TRUE(disabled({0, 1, 2, 4}));
    EXPECT_FALSE(console().refreshTimer().isActive());
    control<QCheckBox>("AllowedChnChk(5)")->setChecked(true);
    cmd(3)->click();
    EXPECT_TRUE(enabled({0, 1, 2, 4}));
    EXPECT_TRUE(console().refreshTimer().isActive());
    EXPECT_FALSE(control<QCheckBox>("AllowedChnChk(5)")->isChecked());
    EXPECT_EQ(macReformats_, 1);
    EXPECT_EQ(control<QLineEdit>("MacTxt")->text(), console().macText());
    // The component objects of the adapter opened again serve the console.
    EXPECT_NO_THROW(console().VireoObj.setChannel(3));

    QPointer<MFGTestFrm> alive(form_);
    form_ = nullptr;
    alive->TestCmd_Click(5);  // "Exit Testing"
    QApplication::processEvents();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_TRUE(main_.isVisible());
}

TEST_F(MFGTestFrmTest, SpectralMaskTestRunsThroughTheResultsWindowAndKeepsARecord) {
    bool resultsShown = false;
    whileRunning(form_, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* r = qobject_cast<ResultFrm*>(w);
            if (!r || !r->isVisible()) continue;
            resultsShown = r->reportLines().size() == 33 + 9;
            dialogs().chooseFile("");  // no station image
            dialogs().answer(Dialogs::Answer::Yes);
            r->flashTestResults();
            r->accept();
            return true;
        }
        return false;
    });
    control<QCheckBox>("Check1")->click();  // the analyzer's reference level first
    EXPECT_TRUE(form_->referenceFlag());
    cmd(0)->click();
    EXPECT_TRUE(resultsShown);
    const auto analyzer = gateway().received(testing::kAnalyzerAddress);
    auto first = [&](const char* prefix) {
        return std::find_if(analyzer.begin(), analyzer.end(), [&](const std::string& m) { return m.rfind(prefix, 0) == 0; });
    };
    EXPECT_LT(first("RL -25"), first("TITLE@Testing US CH01"));
    EXPECT_TRUE(form_->lastTest().passed);
    EXPECT_EQ(titles().back(), "TEST SUCCESSFUL");
    EXPECT_EQ(cmd(5)->text(), "Exit Testing");
    EXPECT_TRUE(cmd(3)->isEnabled());
    EXPECT_TRUE(disabled({0, 1, 2, 4}));
    EXPECT_EQ(console().MaskOffset, 28.0);
    // The record, the listing and the adapter's records hold the same rows.
    const QStringList records = QDir(dataHome() + "/oru/results").entryList({"*.json"});
    ASSERT_EQ(records.size(), 1);
    QFile file(dataHome() + "/oru/results/" + records[0]);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const auto doc = nlohmann::json::parse(file.readAll().toStdString());
    EXPECT_EQ(doc["result"], "pass");
    EXPECT_EQ(doc["storedInAdapter"], true);
    EXPECT_EQ(doc["storeOutcome"], "stored records 0900 and 0901");
    PDA stored = console().VireoObj.pda();
    ASSERT_TRUE(stored.retrieve());
    PDA listed = console().VireoObj.pda();
    ASSERT_TRUE(listed.loadPDAFile(workDir() + "/S-00-03.pda"));
    const auto integrators = stored.item("0901").pdr();
    EXPECT_EQ(listed.item("0901").pdr(), integrators);
    EXPECT_EQ(listed.item("0900").pdr(), stored.item("0900").pdr());
    ASSERT_EQ(doc["rows"].size(), 33u);
    for (int i = 1; i <= 33; ++i)
        EXPECT_EQ(int(doc["rows"][std::size_t(i - 1)]["integrator"]) & 0xFF, integrators[std::size_t(2 * (i - 1))]) << i;
}

// The power meter at the analyzer's address: the analyzer does not initialize, and the test says
// so with the driver's reason instead of running on power readings.
TEST_F(MFGTestFrmTest, TheWrongInstrumentAtTheAnalyzersAddressIsNamedAndNothingRuns) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_LOCAL_MACHINE, oru::instruments::kGatewayKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                              KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD meter = 13;
    RegSetValueExA(key, oru::instruments::kAnalyzerAddressValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&meter),
                   sizeof meter);
    RegCloseKey(key);
    initTestEquipment(console(), equipment());
    EXPECT_TRUE(console().PowerMeterOk);
    EXPECT_FALSE(console().AnalyzerOk);
    gateway().forgetReceived();
    cmd(0)->click();
    ASSERT_EQ(dialogs().messages().size(), 1u);
    const auto& m = dialogs().messages()[0];
    EXPECT_EQ(m.title, "Analyzer Failure");
    EXPECT_TRUE(m.text.startsWith("Cannot Run Test - All Instruments did not initialize\nSpectrum analyzer: "));
    EXPECT_TRUE(m.text.contains("another instrument answers in place of")) << m.text.toStdString();
    EXPECT_FALSE(form_->lastTest().ran);
    EXPECT_TRUE(gateway().received(13).empty());  // nothing measured
    EXPECT_FALSE(anyFileUnder(dataHome() + "/oru/results", "*.json"));
}

TEST_F(MFGTestFrmTest, StopTestingEndsAtTheNextChannelWithoutResultsListingOrRecord) {
    // Stop while channel 2 is tuned: channel 2 is still recorded, channel 3 never starts.
    whileRunning(form_, [&] {
        if (!control<QCheckBox>("AllowedChnChk(2)")->isChecked()) return false;
        EXPECT_EQ(cmd(5)->text(), "Stop Testing");
        cmd(5)->click();
        return true;
    });
    cmd(0)->click();
    const auto& run = form_->lastTest().run;
    EXPECT_TRUE(run.stopped);
    EXPECT_FALSE(form_->lastTest().passed);
    EXPECT_TRUE(run.rows[2].has_value());
    EXPECT_FALSE(run.rows[3].has_value());
    EXPECT_FALSE(control<QCheckBox>("AllowedChnChk(3)")->isChecked());
    EXPECT_EQ(titles(), QStringList{"Transmit Test Failure"});
    EXPECT_EQ(cmd(5)->text(), "Exit Testing");
    EXPECT_FALSE(console().refreshTimer().isActive());
    for (QWidget* w : QApplication::topLevelWidgets()) EXPECT_FALSE(qobject_cast<ResultFrm*>(w));
    EXPECT_FALSE(anyFileUnder(dataHome() + "/oru/results", "*.json"));
    EXPECT_FALSE(anyFileUnder(dataHome() + "/oru/listings", "*.pda"));
    EXPECT_FALSE(anyFileUnder(workDir(), "*.pda"));
}

}  // namespace
}  // namespace kestview::mfgtest
