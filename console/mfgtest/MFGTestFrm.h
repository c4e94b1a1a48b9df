// "Manufacturing Test Form": opens and closes the adapter for the test, runs the spectral-mask
// test (with "Stop Testing" while it runs), shows the adapter's MAC address and serial number, the
// channels as they are tested, and the production entry fields.
#pragma once

#include <QWidget>
#include <functional>
#include <map>
#include <optional>

#include "console.h"
#include "mask_test.h"
#include "store_results.h"
#include "test_equipment.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

namespace kestview::mfgtest {

class MFGTestFrm : public QWidget {
    Q_OBJECT

public:
    // `macReadoutChanged` has the main window re-format its MAC read-out from Console::MacBytes.
    MFGTestFrm(Console& console, instruments::TestEquipment& equipment, std::function<void()> macReadoutChanged = {},
               QWidget* parent = nullptr);
    ~MFGTestFrm() override;

    // The window's operations, public so that tests drive them as the buttons do.
    bool OpenTestAdapter();
    void CloseTestAdapter();
    void TestCmd_Click(int index);
    void MaskOffSettxt_Change();

    // The last spectral-mask test's outcome (ran: the instruments were ready).
    const OperationalTestResult& lastTest() const { return last_; }
    bool referenceFlag() const { return reference_; }

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class FormHost;
    QWidget* buildCommands();
    QWidget* buildAdapterFrames();
    QWidget* buildEntryFields();
    void setTestButtons(bool enabled);
    void spectralMaskTest();
    void showResults(const MaskTestRun& run);

    Console& c_;
    instruments::TestEquipment& equipment_;
    std::function<void()> macReadoutChanged_;
    std::map<int, QPushButton*> TestCmd_;
    std::map<int, QCheckBox*> AllowedChnChk_;
    QCheckBox* Check1_ = nullptr;
    QLineEdit *MaskOffSettxt_ = nullptr, *MacTxt_ = nullptr, *NicSerialTxt_ = nullptr;
    bool reference_ = false;
    OperationalTestResult last_;
    std::optional<StoreOutcome> store_;  // what "Flash Test Results" did in the last results window
};

}  // namespace kestview::mfgtest
