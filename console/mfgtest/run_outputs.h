// What a completed test run leaves, over the console's view of the open adapter: the report's
// lines, and the results record in the results folder (named by MAC address and time).
#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include "console.h"
#include "mask_test.h"
#include "store_results.h"

namespace kestview::mfgtest {

struct RunRecordInputs {
    QDateTime started, ended;
    bool passed = false;
    const StoreOutcome* store = nullptr;  // null: storing in the adapter was not attempted
};

// The formatted MAC address (00-11-22-33-44-55) of the open adapter's address record.
QString formattedMac(const Console& console);

// The results report of the run (MAC address and serial number as the main window shows them), generated now, with the locale's decimal point.
QStringList resultReportLines(const QString& macText, const QString& serialNo, const MaskTestRun& run);
// The current date and time in the system's default text.
QString generatedText();

// Writes the record; returns the path in the results folder, or an empty text with `error` set.
// `alsoTo`, when given, receives the same text.
QString writeRunRecord(const Console& console, const MaskTestRun& run, const RunRecordInputs& in, QString& error,
                       const QString& alsoTo = {});

}  // namespace kestview::mfgtest
