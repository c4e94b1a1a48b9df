#include "headless_run.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <cstdio>
#include <memory>

#include <QChart>

#include "console_ports.h"
#include "instrument_port.h"
#include "mask_chart.h"
#include "mask_test.h"
#include "report_printer.h"
#include "run_outputs.h"
#include "spool.h"

namespace kestview::mfgtest {

namespace {

const QCommandLineOption kMfgTest(QStringLiteral("mfgtest"),
                                  QStringLiteral("Run the spectral mask test without windows (needs --adapter)."));
const QCommandLineOption kAdapter(QStringLiteral("adapter"), QStringLiteral("The adapter to test, by its key."),
                                  QStringLiteral("KEY"));
const QCommandLineOption kOffset(QStringLiteral("offset"),
                                 QStringLiteral("Mask offset in dB, 0 to 255 (0 or none: 28)."), QStringLiteral("DB"));
const QCommandLineOption kReport(QStringLiteral("report"), QStringLiteral("Print the results report to this PDF file."),
                                 QStringLiteral("FILE.pdf"));
const QCommandLineOption kJson(QStringLiteral("json"),
                               QStringLiteral("Write the results record also to this file."), QStringLiteral("FILE"));
const QCommandLineOption kStore(QStringLiteral("store"),
                                QStringLiteral("Store the results in the adapter's production data area."));
const QCommandLineOption kListing(QStringLiteral("listing"),
                                  QStringLiteral("Write the PDA listing into this folder (default: the working folder)."),
                                  QStringLiteral("DIR"));
const QCommandLineOption kImage(QStringLiteral("image"),
                                QStringLiteral("With --store: download this station firmware image with them."),
                                QStringLiteral("FILE"));

std::string text(double v, int decimals) {
    char s[32];
    std::snprintf(s, sizeof s, "%.*f", decimals, v);
    return s;
}

// The console around the test, printing its messages and one line per recorded row.
class HeadlessHost final : public ConsoleTestHost {
public:
    HeadlessHost(Console& console, std::ostream& out) : ConsoleTestHost(console), out_(out) {}
    void message(const std::string& msg, const std::string& title, bool) override {
        out_ << (title.empty() ? msg : title + ": " + msg) << std::endl;
    }
    void reportError(const std::string& msg) override { out_ << msg << std::endl; }
    void rowRecorded(int row, const clsTestData& d) override {
        char line[200];
        std::snprintf(line, sizeof line, "%02d %-12s ch %2d  power %6s dBm  CR58 %3d  CR31 %3d  1st SL %7s dBc  2nd SL %7s dBc",
                      row, d.dataTag.c_str(), int(d.channel), text(d.outputPower, 2).c_str(), int(d.setPoint),
                      int(d.integrator), text(d.firstLobe, 2).c_str(), text(d.secondLobe, 2).c_str());
        out_ << line << std::endl;
    }

private:
    std::ostream& out_;
};

bool isSpectralMaskBaseband(const QString& hex) { return hex == "10" || hex == "11" || hex == "13" || hex == "30"; }

}  // namespace

bool openAdapterForTest(Console& c, const QString& key, std::string& why) {
    try {
        if (!c.AdaptersObj) c.AdaptersObj = createLocalAdapters();
        c.AdapterKey = key;
        c.fetchAdapter();
        if (!c.AdapterObj.open()) {
            why = "adapter " + key.toStdString() + " did not open";
            return false;
        }
        c.bindVireo();
        if (!c.SetObjects()) {
            why = c.errorText().toStdString();
            return false;
        }
        c.MacBytes = c.RidMacAddr.ridAsByteArray();
        c.SerialNo = c.getSerial().trimmed();
    } catch (const AutomationError& e) {
        why = "adapter " + key.toStdString() + ": " + e.text().toStdString();
        return false;
    }
    if (!isSpectralMaskBaseband(c.BbpTypeHex)) {
        why = "adapter " + key.toStdString() + " has the " + bbpModelName(c.BbpTypeHex).toStdString() +
              " baseband: the spectral mask test needs a Birch or Cedar baseband";
        return false;
    }
    return true;
}

void addHeadlessOptions(QCommandLineParser& parser) {
    parser.addOptions({kMfgTest, kAdapter, kOffset, kReport, kJson, kStore, kImage, kListing});
}

bool headlessRequested(const QCommandLineParser& parser) { return parser.isSet(kMfgTest); }

std::optional<HeadlessOptions> headlessOptions(const QCommandLineParser& parser, QString& error) {
    HeadlessOptions o;
    o.adapterKey = parser.value(kAdapter).trimmed();
    o.offsetText = parser.value(kOffset).trimmed();
    o.reportPdf = parser.value(kReport);
    o.jsonFile = parser.value(kJson);
    o.store = parser.isSet(kStore);
    o.imageFile = parser.value(kImage);
    o.listingFolder = parser.value(kListing);
    if (o.adapterKey.isEmpty()) error = QStringLiteral("--mfgtest needs --adapter KEY");
    else if (!o.offsetText.isEmpty()) {
        bool ok = false;
        const double v = o.offsetText.toDouble(&ok);
        if (!ok || v < 0 || v > 255)
            error = QStringLiteral("--offset needs a number of dB from 0 to 255, not \"%1\"").arg(o.offsetText);
    }
    if (error.isEmpty() && !o.imageFile.isEmpty() && !o.store) error = QStringLiteral("--image needs --store");
    if (error.isEmpty() && !o.listingFolder.isEmpty() && !QFileInfo(o.listingFolder).isDir())
        error = QStringLiteral("--listing needs an existing folder, not \"%1\"").arg(o.listingFolder);
    if (!error.isEmpty()) return std::nullopt;
    return o;
}

namespace {

// The listing of a completed run, as the results window writes it; a listing of another adapter
// under the same short name is kept, and this one is named after the whole MAC address instead.
bool writeHeadlessListing(const Console& c, const MaskTestRun& run, const QString& folder, std::ostream& out,
                          std::ostream& err) {
    const ListingTarget target = listingTarget(c, folder.isEmpty() ? QDir::currentPath() : folder);
    QString path = target.path;
    if (!target.otherMac.isEmpty()) {
        path = QFileInfo(path).dir().filePath("S" + c.macText() + ".pda");
        out << target.path.toStdString() << " holds the listing of the adapter " << target.otherMac.toStdString()
            << ": kept" << std::endl;
    }
    QString error;
    if (!writeMfgListing(c, run.rows, path, error)) {
        err << "kestview: " << error.toStdString() << std::endl;
        return false;
    }
    out << "PDA listing: " << path.toStdString() << std::endl;
    return true;
}

}  // namespace

int runHeadless(Console& c, instruments::TestEquipment& equipment, const HeadlessOptions& o, std::ostream& out,
                std::ostream& err) {
    initTestEquipment(c, equipment);
    if (!c.PowerMeterOk || !c.AnalyzerOk) {
        // The drivers' reasons name the gateway they tried.
        err << "kestview: Cannot Run Test - All Instruments did not initialize ("
            << (c.PowerMeterOk ? "Analyzer Failure" : "Power Meter Failure") << ")\n"
            << c.InstrumentsNotReady.toStdString() << "\n"
            << "On the simulated bench, start its instrument gateway first (it runs until stopped):\n"
            << "    build/bin/vireo-bench instruments &" << std::endl;
        return kExitSetUp;
    }
    std::string why;
    if (!openAdapterForTest(c, o.adapterKey, why)) {
        err << "kestview: " << why << std::endl;
        return kExitSetUp;
    }
    out << "Spectral mask test of adapter " << o.adapterKey.toStdString() << " (" << bbpModelName(c.BbpTypeHex).toStdString()
        << ", MAC " << c.macText().toStdString() << ", serial " << c.SerialNo.toStdString() << ")" << std::endl;

    ConsoleAdapterPort adapter(c);
    EquipmentInstruments instruments(equipment);
    HeadlessHost host(c, out);
    const QDateTime started = QDateTime::currentDateTime();
    bool outputsDone = true;
    std::optional<StoreOutcome> store;
    // What the results window does with a completed run: the listing, the printed report, and
    // storing the rows when asked (refused for a failed run).
    auto results = [&](const MaskTestRun& run) {
        out << (run.passed ? "Outcome: pass" : "Outcome: fail: " + run.failure) << std::endl;
        outputsDone = writeHeadlessListing(c, run, o.listingFolder, out, err) && outputsDone;
        if (!o.reportPdf.isEmpty()) {
            std::unique_ptr<QChart> chart(makeMaskChart(run.rows, run.maskOffset));
            QString error;
            if (printReportPdf(o.reportPdf, resultReportLines(c.macText(), c.SerialNo, run), chart.get(), error)) {
                out << "Report printed to " << o.reportPdf.toStdString() << std::endl;
            } else {
                err << "kestview: " << error.toStdString() << std::endl;
                outputsDone = false;
            }
        }
        if (!o.store) return;
        store = storeRunInAdapter(c, run, o.imageFile.toStdString());
        for (const auto& step : store->steps) out << step << std::endl;
        if (store->failure.empty()) {
            out << "The test results are stored in the adapter." << std::endl;
        } else if (!run.passed) {
            out << store->failure << std::endl;
        } else {
            err << "kestview: " << store->failure << std::endl;
            outputsDone = false;
        }
    };
    const OperationalTestResult result = OperationalTest(adapter, instruments, host, true, true, {},
                                                         o.offsetText.toStdString(), c.MaskOffset, results);
    if (result.run.stopped) return kExitFailed;
    if (!result.run.completed && o.store) store = refusedStore(result.run.failure);

    QString error;
    const QString path = writeRunRecord(c, result.run, {started, QDateTime::currentDateTime(), result.passed,
                                                        store ? &*store : nullptr},
                                        error, o.jsonFile);
    if (path.isEmpty()) {
        err << "kestview: " << error.toStdString() << std::endl;
        return kExitFailed;
    }
    out << "Results record: " << path.toStdString() << std::endl;
    // The database has its copy after the run; when it cannot take it the run waits in the spool.
    const auto db = results::storeAfterRun(path, c.ResultsDb);
    (db.stored ? out : err) << db.message.toStdString() << std::endl;
    return result.passed && outputsDone ? kExitPassed : kExitFailed;
}

}  // namespace kestview::mfgtest
