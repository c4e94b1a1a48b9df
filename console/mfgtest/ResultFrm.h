// "TEST RESULTS": the outcome and report of a completed spectral-mask test, its chart, printing,
// the manufacturing PDA listing and storing the results in the adapter (a passed run only).
#pragma once

#include <QDialog>
#include <QString>

#include "console.h"
#include "mask_test.h"
#include "store_results.h"

class QLabel;
class QListWidget;
class QPushButton;
class QProgressBar;
class QChart;

namespace kestview::mfgtest {

class ResultFrm : public QDialog {
    Q_OBJECT

public:
    // The adapter's MAC address and serial number as the main window shows them.
    ResultFrm(Console& console, const MaskTestRun& run, QWidget* parent = nullptr);
    ~ResultFrm() override;

    QStringList reportLines() const { return lines_; }
    QString listingPath() const { return listingPath_; }  // empty when none was written
    const StoreOutcome& storeOutcome() const { return store_; }
    bool storeAttempted() const { return storeAttempted_; }
    QChart* chart() const { return chart_; }
    QString outcomeText() const;  // what the window shows at its top

    // The buttons' actions.
    void printReport();
    void writeMfgPda();
    void flashTestResults();

private:
    void writeListingOnLoad();

    Console& c_;
    MaskTestRun run_;
    QString macText_;
    QStringList lines_;
    QString listingPath_;
    StoreOutcome store_;
    bool storeAttempted_ = false;
    QLabel* outcome_ = nullptr;
    QListWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QChart* chart_ = nullptr;
};

}  // namespace kestview::mfgtest
