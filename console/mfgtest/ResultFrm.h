// "TEST RESULTS": the report of a completed spectral-mask test, its chart, printing, the
// manufacturing PDA listing and storing the results in the adapter.
#pragma once

#include <QDialog>
#include <QString>

#include "console.h"
#include "mask_test.h"
#include "store_results.h"

class QListWidget;
class QPushButton;
class QProgressBar;
class QChart;

namespace kestview::mfgtest {

class ResultFrm : public QDialog {
    Q_OBJECT

public:
    // `macText` and `serialNo` as the main window shows them; `formattedMac` names the listing.
    ResultFrm(Console& console, const MaskTestRun& run, QString macText, QString formattedMac, QWidget* parent = nullptr);
    ~ResultFrm() override;

    QStringList reportLines() const { return lines_; }
    QString listingPath() const { return listingPath_; }  // empty when none was written
    const StoreOutcome& storeOutcome() const { return store_; }
    bool storeAttempted() const { return storeAttempted_; }
    QChart* chart() const { return chart_; }

    // The buttons' actions.
    void printReport();
    void writeMfgPda();
    void flashTestResults();

private:
    QByteArray listingText(const QString& fileName) const;
    void writeListingOnLoad();

    Console& c_;
    MaskTestRun run_;
    QString macText_, formattedMac_;
    QStringList lines_;
    QString listingPath_;
    StoreOutcome store_;
    bool storeAttempted_ = false;
    QListWidget* list_ = nullptr;
    QProgressBar* progress_ = nullptr;
    QChart* chart_ = nullptr;
};

}  // namespace kestview::mfgtest
