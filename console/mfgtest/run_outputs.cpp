#include "run_outputs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QUuid>
#include <pwd.h>
#include <unistd.h>

#include "mfg_listing.h"
#include "output_files.h"
#include "result_report.h"
#include "results_record.h"

namespace kestview::mfgtest {

namespace {

std::string hostName() {
    char name[256] = {};
    gethostname(name, sizeof name - 1);
    return name;
}

std::string accountName() {
    if (const passwd* pw = getpwuid(getuid())) return pw->pw_name;
    return qEnvironmentVariable("USER").toStdString();
}

}  // namespace

ListingTarget listingTarget(const Console& console, const QString& folder) {
    const QString mac = console.macText();
    ListingTarget target{QDir(folder).filePath(QString::fromStdString(mfgListingName(mac.toStdString()))), {}};
    QFile existing(target.path);
    if (existing.open(QIODevice::ReadOnly)) {
        const auto other = listingMacAddress(existing.readAll().toStdString());
        if (other && QString::fromStdString(*other) != mac) target.otherMac = QString::fromStdString(*other);
    }
    return target;
}

bool writeMfgListing(const Console& console, const TestRows& rows, const QString& path, QString& error) {
    const auto text = buildMfgListing(rows, {console.SerialNo.toStdString(), console.macText().toStdString(),
                                             generatedText().toStdString(), QFileInfo(path).fileName().toStdString()});
    if (!text) {
        error = QStringLiteral("The test results are incomplete: no PDA listing was written");
        return false;
    }
    return writeWholeFile(path, QByteArray::fromStdString(*text), error);
}

QString generatedText() { return QLocale::system().toString(QDateTime::currentDateTime(), QLocale::ShortFormat); }

QStringList resultReportLines(const QString& macText, const QString& serialNo, const MaskTestRun& run) {
    const ReportInputs in{macText.toStdString(), serialNo.toStdString(), run.testSeconds,
                          generatedText().toStdString(), QLocale::system().decimalPoint().at(0).toLatin1()};
    QStringList lines;
    for (const auto& line : buildReport(run.rows, in)) lines << QString::fromStdString(line);
    return lines;
}

QString writeRunRecord(const Console& console, const MaskTestRun& run, const RunRecordInputs& in, QString& error,
                       const QString& alsoTo) {
    ResultsRecord r;
    r.runId = QUuid::createUuid().toString(QUuid::WithoutBraces).toStdString();
    r.operatorName = accountName();
    r.station = hostName();
    r.adapterKey = console.AdapterKey.toStdString();
    r.macAddress = console.macText().toStdString();  // the address as the operator reads it
    r.serialNo = console.SerialNo.toStdString();
    r.baseband = bbpModelName(console.BbpTypeHex).toStdString();
    r.started = in.started.toString(Qt::ISODate).toStdString();
    r.ended = in.ended.toString(Qt::ISODate).toStdString();
    r.softwareVersion = QCoreApplication::applicationVersion().toStdString();
    r.maskOffset = run.maskOffset;
    r.testSeconds = run.testSeconds;
    r.elapsedSeconds = run.elapsedSeconds;
    r.timeScale = console.clock().timeScale();
    r.passed = in.passed;
    if (!in.passed) r.failureReason = run.failure;
    r.stored = in.store && in.store->pdaStored;
    r.storeOutcome = storeOutcomeText(in.store);
    const QByteArray text = QByteArray::fromStdString(resultsRecordJson(r, run.rows));
    // The start of the run id keeps the names of runs that end in the same second apart.
    QString name = QString::fromStdString(
        resultsRecordName(r.macAddress, in.ended.toString(QStringLiteral("yyyyMMdd'T'HHmmss")).toStdString()));
    name.insert(name.size() - 5, QStringLiteral("-") + QString::fromStdString(r.runId.substr(0, 8)));
    const QString path = QDir(dataFolder(QStringLiteral("results"))).filePath(name);
    if (!writeWholeFile(path, text, error)) return {};
    if (!alsoTo.isEmpty() && !writeWholeFile(alsoTo, text, error)) return {};
    return path;
}

}  // namespace kestview::mfgtest
