// Nothing lost when the database is away: every completed run's JSON record is linked into the
// spool folder before it is sent, and leaves it once the database has it. What the database did
// not take goes with the next run or with `kestview-results sync`; a run sent twice is stored once.
#pragma once

#include <QString>
#include <QStringList>

#include "results_store.h"

namespace kestview::results {

// $XDG_DATA_HOME/oru/results/spool (created).
QString spoolFolder();
// Puts the record into the spool (a hard link to it, or a copy where no link can be made).
bool spoolRecord(const QString& recordPath, QString& error);

struct SyncOutcome {
    int sent = 0, alreadyStored = 0;
    QStringList kept;   // "<file>: why" for each record left in the spool
    bool failed() const { return !kept.isEmpty(); }
};
// Sends every spooled record, each in its own transaction.
SyncOutcome sendSpool(ResultsStore& store);

struct AfterRun {
    bool stored = false;
    QString message;  // one line for the station's operator
};
// After a completed run: spools the record and sends the spool to the database chosen by
// `databaseText` (empty: the configured one, else the default file), within bounded time-outs.
AfterRun storeAfterRun(const QString& recordPath, const QString& databaseText);

}  // namespace kestview::results
