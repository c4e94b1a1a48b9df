// What a test run leaves, over the console's view of the open adapter: the report's lines, the
// manufacturing PDA listing, and the results record in the results folder (named by MAC address
// and time).
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

// The listing of a run in `folder`: its path (S<end of MAC>.pda) and, when a listing of another
// adapter is there under that name, that adapter's MAC address.
struct ListingTarget {
    QString path;
    QString otherMac;
};
ListingTarget listingTarget(const Console& console, const QString& folder);
// Writes the listing of the rows (every row 1 to 33 needed) whole to `path`; false with `error`.
bool writeMfgListing(const Console& console, const TestRows& rows, const QString& path, QString& error);

// The results report of the run (MAC address and serial number as the main window shows them), generated now, with the locale's decimal point.
QStringList resultReportLines(const QString& macText, const QString& serialNo, const MaskTestRun& run);
// The current date and time in the system's default text.
QString generatedText();

// Writes the record; returns the path in the results folder, or an empty text with `error` set.
// `alsoTo`, when given, receives the same text.
QString writeRunRecord(const Console& console, const MaskTestRun& run, const RunRecordInputs& in, QString& error,
                       const QString& alsoTo = {});

}  // namespace kestview::mfgtest
