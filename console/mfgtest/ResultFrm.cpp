#include "ResultFrm.h"

#include <QChartView>
#include <algorithm>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QLocale>
#include <QPrinter>
#include <QPrinterInfo>
#include <QProgressBar>
#include <QScreen>
#include <QPushButton>
#include <QVBoxLayout>

#include "mask_chart.h"
#include "mfg_listing.h"
#include "output_files.h"
#include "report_printer.h"
#include "result_report.h"
#include "run_outputs.h"
#include "console_ports.h"

namespace kestview::mfgtest {

ResultFrm::ResultFrm(Console& console, const MaskTestRun& run, QWidget* parent)
    : QDialog(parent), c_(console), run_(run), macText_(console.macText()) {
    setObjectName("ResultFrm");
    setWindowTitle("TEST RESULTS");
    auto* layout = new QVBoxLayout(this);
    // The outcome first: nothing below it is offered without it in view.
    outcome_ = new QLabel(outcomeText());
    outcome_->setObjectName("OutcomeLbl");
    outcome_->setWordWrap(true);
    QFont bold = outcome_->font();
    bold.setBold(true);
    bold.setPointSize(bold.pointSize() + 2);
    outcome_->setFont(bold);
    outcome_->setStyleSheet(run_.passed ? "QLabel { color: white; background: #2e7d32; padding: 6px; }"
                                        : "QLabel { color: white; background: #c62828; padding: 6px; }");
    layout->addWidget(outcome_);
    list_ = new QListWidget;
    list_->setObjectName("List1");
    QFont font("MS Sans Serif");
    font.setPointSize(10);
    list_->setFont(font);
    list_->setMinimumHeight(160);
    layout->addWidget(list_, 2);
    chart_ = makeMaskChart(run_.rows, run_.maskOffset);
    auto* view = new QChartView(chart_);
    view->setObjectName("MaskChart");
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(320);
    layout->addWidget(view, 3);
    progress_ = new QProgressBar;
    progress_->setObjectName("FlashProgressBar");
    progress_->setVisible(false);
    layout->addWidget(progress_);
    auto* buttons = new QHBoxLayout;
    auto* print = new QPushButton("Print");
    print->setObjectName("print(0)");
    auto* flash = new QPushButton("Flash Test Results");
    flash->setObjectName("flashCmd");
    if (!run_.passed) flash->setToolTip("A failed test is not stored in the adapter");
    auto* pda = new QPushButton("Write MFG PDA");
    pda->setObjectName("cmdPda");
    buttons->addWidget(print);
    buttons->addWidget(flash);
    buttons->addWidget(pda);
    buttons->addStretch();
    layout->addLayout(buttons);
    connect(print, &QPushButton::clicked, this, &ResultFrm::printReport);
    connect(flash, &QPushButton::clicked, this, &ResultFrm::flashTestResults);
    connect(pda, &QPushButton::clicked, this, &ResultFrm::writeMfgPda);
    // Within the screen, frame and a panel included, down to 1024 x 768; larger screens give the
    // chart and the report more room.
    const QRect screen = this->screen()->availableGeometry();
    resize(std::clamp(screen.width() - 24, 800, 1240), std::clamp(screen.height() - 68, 560, 960));

    // Load: the report, then the listing.
    lines_ = resultReportLines(macText_, c_.SerialNo, run_);
    list_->addItems(lines_);
    writeListingOnLoad();
}

ResultFrm::~ResultFrm() = default;

QString ResultFrm::outcomeText() const {
    if (run_.passed) return QStringLiteral("PASSED: every channel is tuned within 1 dB below the mask limit");
    return QStringLiteral("FAILED: ") + QString::fromStdString(run_.failure);
}

void ResultFrm::writeListingOnLoad() {
    const ListingTarget target = listingTarget(c_, writableFolder("listings"));
    QString path = target.path;
    // The name holds only the end of the MAC address: a listing of another adapter is not
    // overwritten without asking.
    if (!target.otherMac.isEmpty()) {
        const auto answer = c_.dialogs().messageBox(
            this, {QStringLiteral("%1 holds the results of the adapter %2.\nOverwrite it with the results of %3?")
                       .arg(path, target.otherMac, macText_),
                   "LISTING EXISTS", Dialogs::Icon::Question, Dialogs::Buttons::YesNo});
        if (answer != Dialogs::Answer::Yes) {
            path = c_.dialogs().saveFileName(this, "Save the manufacturing PDA listing as", QFileInfo(path).path(),
                                             QFileInfo(path).fileName(), "PDA listings (*.pda)");
            if (path.isEmpty()) return;
        }
    }
    QString error;
    if (writeMfgListing(c_, run_.rows, path, error)) listingPath_ = path;
    else c_.setError(error);
}

void ResultFrm::printReport() {
    QString error;
    if (QPrinterInfo::availablePrinters().isEmpty()) {
        const QString path = QDir(dataFolder("reports"))
                                 .filePath(QStringLiteral("S%1-%2.pdf")
                                               .arg(macText_.right(6),
                                                    QDateTime::currentDateTime().toString("yyyyMMdd-HHmmss")));
        if (printReportPdf(path, lines_, chart_, error))
            c_.dialogs().message(this, "No printer is installed: the report was printed to " + path, "PRINT");
        else
            c_.dialogs().message(this, error, "PRINT ERROR", Dialogs::Icon::Critical);
        return;
    }
    QPrinter printer(QPrinterInfo::defaultPrinter(), QPrinter::HighResolution);
    if (!kestview::mfgtest::printReport(printer, lines_, chart_, error))
        c_.dialogs().message(this, error, "PRINT ERROR", Dialogs::Icon::Critical);
}

void ResultFrm::writeMfgPda() {
    const QString name = QString::fromStdString(mfgListingName(macText_.toStdString()));
    const QString path = c_.dialogs().saveFileName(this, "Write MFG PDA", writableFolder("listings"), name,
                                                   "PDA listings (*.pda)");
    if (path.isEmpty()) return;
    QString error;
    if (!writeMfgListing(c_, run_.rows, path, error))
        c_.dialogs().message(this, error, "WRITE ERROR", Dialogs::Icon::Critical);
}

void ResultFrm::flashTestResults() {
    if (!run_.passed) {  // refused before anything is asked or written
        storeAttempted_ = true;
        store_ = refusedStore(run_.failure);
        c_.dialogs().message(this, QString::fromStdString(store_.failure), "FLASH TEST RESULTS", Dialogs::Icon::Critical);
        return;
    }
    if (c_.FlashImageFile.isEmpty()) {
        c_.FlashImageFile = c_.dialogs().openFileName(this, "Station firmware image to download (cancel: none)",
                                                      QString(), QString(), "S-record images (*.hex *.s19 *.srec);;All files (*)");
    }
    const auto answer = c_.dialogs().messageBox(
        this, {"Store the test results in the adapter's production data area" +
                   QString(c_.FlashImageFile.isEmpty() ? "" : " and download " + c_.FlashImageFile) +
                   "?\nThis writes the adapter's non-volatile memory.",
               "FLASH TEST RESULTS", Dialogs::Icon::Question, Dialogs::Buttons::YesNo});
    if (answer != Dialogs::Answer::Yes) return;
    storeAttempted_ = true;
    store_ = storeRunInAdapter(
        c_, run_, c_.FlashImageFile.toStdString(),
        [this](long n, long, long) {
            if (progress_->maximum() < n) progress_->setMaximum(int(n));
            progress_->setValue(int(n));
        },
        [this](int blocks) {
            progress_->setRange(0, std::max(1, blocks));
            progress_->setVisible(true);
        });
    progress_->setVisible(false);
    QString text;
    for (const auto& step : store_.steps) text += QString::fromStdString(step) + "\n";
    if (store_.failure.empty()) {
        c_.dialogs().message(this, text + "The test results are stored in the adapter.", "FLASH TEST RESULTS");
    } else {
        c_.dialogs().message(this, text + QString::fromStdString(store_.failure), "FLASH ERROR", Dialogs::Icon::Critical);
    }
}

}  // namespace kestview::mfgtest
