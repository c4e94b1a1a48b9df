#include "spool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <unistd.h>

namespace kestview::results {

QString spoolFolder() {
    const QString path = resultsFolder() + "/spool";
    QDir().mkpath(path);
    return path;
}

bool spoolRecord(const QString& recordPath, QString& error) {
    const QString target = QDir(spoolFolder()).filePath(QFileInfo(recordPath).fileName());
    QFile::remove(target);
    if (::link(QFile::encodeName(recordPath).constData(), QFile::encodeName(target).constData()) == 0) return true;
    if (QFile::copy(recordPath, target)) return true;
    error = QStringLiteral("Cannot put %1 into the spool %2").arg(recordPath, spoolFolder());
    return false;
}

SyncOutcome sendSpool(ResultsStore& store) {
    SyncOutcome out;
    const QDir dir(spoolFolder());
    for (const QFileInfo& file : dir.entryInfoList({QStringLiteral("*.json")}, QDir::Files, QDir::Name)) {
        QFile f(file.filePath());
        if (!f.open(QIODevice::ReadOnly)) continue;  // sent meanwhile by another process
        QString why;
        const auto run = parseRunRecord(f.readAll(), why);
        f.close();
        if (!run) {
            out.kept << file.fileName() + ": " + why;
            continue;
        }
        const auto counts = store.store({&*run, 1}, why);
        if (!counts) {
            out.kept << file.fileName() + ": " + why;
            continue;
        }
        out.sent += counts->added;
        out.alreadyStored += counts->alreadyStored;
        QFile::remove(file.filePath());
    }
    return out;
}

AfterRun storeAfterRun(const QString& recordPath, const QString& databaseText) {
    AfterRun out;
    QString error;
    if (!spoolRecord(recordPath, error)) {
        out.message = QStringLiteral("Results database: ") + error;
        return out;
    }
    const auto target = chooseDbTarget(databaseText, error);
    const auto store = target ? ResultsStore::open(*target, error) : nullptr;
    if (!store) {
        out.message = QStringLiteral("Results database: %1. The run is kept in %2 and is sent with the next run or "
                                     "by kestview-results sync.")
                          .arg(error, spoolFolder());
        return out;
    }
    const SyncOutcome sync = sendSpool(*store);
    const QString name = QFileInfo(recordPath).fileName();
    out.stored = !QFileInfo::exists(QDir(spoolFolder()).filePath(name));
    if (out.stored) {
        out.message = QStringLiteral("Results database: the run is stored in %1").arg(target->display());
        if (sync.sent > 1) out.message += QStringLiteral(" (with %1 runs spooled before)").arg(sync.sent - 1);
    } else {
        out.message = QStringLiteral("Results database: %1. The run is kept in %2 and is sent with the next run or "
                                     "by kestview-results sync.")
                          .arg(sync.kept.join(QStringLiteral("; ")), spoolFolder());
    }
    return out;
}

}  // namespace kestview::results
