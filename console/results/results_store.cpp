#include "results_store.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QVariant>
#include <map>

#include "migrations.h"

namespace kestview::results {

namespace {

// Time-outs that bound how long a station waits on the database after a run.
constexpr int kSqliteBusyMs = 10000;
constexpr int kPostgresStatementMs = 15000;
// The advisory lock that lets one PostgreSQL client at a time bring the schema up to date.
constexpr int kMigrationLock = 272700;

template <class T>
QVariant orNull(const std::optional<T>& v) {
    if constexpr (std::is_same_v<T, bool>) return v ? QVariant(int(*v)) : QVariant(QMetaType::fromType<int>());
    else return v ? QVariant(*v) : QVariant(QMetaType::fromType<T>());
}
std::optional<double> optDouble(const QVariant& v) { return v.isNull() ? std::nullopt : std::optional(v.toDouble()); }
std::optional<bool> optBool(const QVariant& v) { return v.isNull() ? std::nullopt : std::optional(v.toInt() != 0); }

// Text binds as text even when empty (a null QString would bind as NULL).
QVariant text(const QString& s) { return QVariant(s.isNull() ? QStringLiteral("") : s); }

QString sqlError(const QSqlQuery& q) { return q.lastError().text().trimmed(); }

bool execute(QSqlQuery& q, const QString& sql, const QVariantList& binds, QString& error) {
    // PostgreSQL prepares only queries and data changes: the rest goes as it is.
    if (binds.isEmpty()) {
        if (q.exec(sql)) return true;
        error = sqlError(q);
        return false;
    }
    if (!q.prepare(sql)) {
        error = sqlError(q);
        return false;
    }
    for (const QVariant& b : binds) q.addBindValue(b);
    if (!q.exec()) {
        error = sqlError(q);
        return false;
    }
    return true;
}

// The filter as a WHERE clause over the runs table `r`.
QString whereClause(const RunFilter& f, QVariantList& binds) {
    QStringList terms;
    if (!f.mac.isEmpty()) {
        terms << QStringLiteral("r.mac_address = ?");
        const QString mac = normalMac(f.mac);
        binds << (mac.isEmpty() ? f.mac : mac);
    }
    if (!f.station.isEmpty()) terms << QStringLiteral("r.station = ?"), binds << f.station;
    if (!f.result.isEmpty()) terms << QStringLiteral("r.result = ?"), binds << f.result;
    if (!f.fromDay.isEmpty()) terms << QStringLiteral("r.run_day >= ?"), binds << f.fromDay;
    if (!f.toDay.isEmpty()) terms << QStringLiteral("r.run_day <= ?"), binds << f.toDay;
    return terms.isEmpty() ? QString() : QStringLiteral(" WHERE ") + terms.join(QStringLiteral(" AND "));
}

const QString kRunColumns = QStringLiteral(
    "r.run_id, r.station, r.operator, r.software_version, r.adapter_key, r.mac_address, r.serial_number, r.baseband,"
    " r.started, r.ended, r.started_utc, r.run_day, r.elapsed_seconds, r.test_seconds, r.time_scale,"
    " r.mask_offset_db, r.result, r.failure_reason, r.stored_in_adapter, r.store_outcome");

RunRecord runFrom(const QSqlQuery& q) {
    RunRecord r;
    r.runId = q.value(0).toString();
    r.station = q.value(1).toString();
    r.operatorName = q.value(2).toString();
    r.softwareVersion = q.value(3).toString();
    r.adapterKey = q.value(4).toString();
    r.macAddress = q.value(5).toString();
    r.serialNumber = q.value(6).toString();
    r.baseband = q.value(7).toString();
    r.started = q.value(8).toString();
    r.ended = q.value(9).toString();
    r.startedUtc = q.value(10).toString();
    r.runDay = q.value(11).toString();
    r.elapsedSeconds = optDouble(q.value(12));
    r.testSeconds = optDouble(q.value(13));
    r.timeScale = optDouble(q.value(14));
    r.maskOffsetDb = optDouble(q.value(15));
    r.result = q.value(16).toString();
    r.failureReason = q.value(17).toString();
    r.storedInAdapter = optBool(q.value(18));
    r.storeOutcome = q.value(19).toString();
    return r;
}

const QString kRowColumns = QStringLiteral(
    "w.run_id, w.row_no, w.tag, w.channel, w.passed, w.output_power_dbm, w.set_point, w.integrator,"
    " w.first_lobe_dbc, w.second_lobe_dbc, w.limit_dbc, w.within_mask");

RunRow rowFrom(const QSqlQuery& q) {
    RunRow x;
    x.row = q.value(1).toInt();
    x.tag = q.value(2).toString();
    x.channel = q.value(3).toInt();
    x.passed = optBool(q.value(4));
    x.outputPowerDbm = q.value(5).toDouble();
    x.setPoint = q.value(6).toInt();
    x.integrator = q.value(7).toInt();
    x.firstLobeDbc = q.value(8).toDouble();
    x.secondLobeDbc = q.value(9).toDouble();
    x.limitDbc = optDouble(q.value(10));
    x.withinMask = optBool(q.value(11));
    return x;
}

bool readVersion(QSqlDatabase& db, int& version, QString& error) {
    version = 0;
    if (!db.tables().contains(QStringLiteral("schema_migrations"))) return true;
    QSqlQuery q(db);
    if (!execute(q, QStringLiteral("SELECT MAX(version) FROM schema_migrations"), {}, error)) return false;
    if (q.next()) version = q.value(0).toInt();
    return true;
}

}  // namespace

ResultsStore::ResultsStore(DbTarget target, QString connection)
    : target_(std::move(target)), connection_(std::move(connection)) {}

ResultsStore::~ResultsStore() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

std::unique_ptr<ResultsStore> ResultsStore::open(const DbTarget& target, QString& error) {
    const bool sqlite = target.engine == DbTarget::Engine::Sqlite;
    const QString driver = sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    std::unique_ptr<ResultsStore> store(
        new ResultsStore(target, QStringLiteral("results-") + QUuid::createUuid().toString(QUuid::WithoutBraces)));
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, store->connection_);
    if (!db.isValid()) {
        error = QStringLiteral("The Qt SQL driver %1 is not installed (Debian package %2)")
                    .arg(driver, sqlite ? QStringLiteral("libqt6sql6-sqlite") : QStringLiteral("libqt6sql6-psql"));
        return nullptr;
    }
    if (sqlite) {
        if (!QDir().mkpath(QFileInfo(target.path).absolutePath())) {
            error = QStringLiteral("Cannot create the folder of the results database %1").arg(target.path);
            return nullptr;
        }
        db.setDatabaseName(target.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyMs));
    } else {
        db.setHostName(target.host);
        if (target.port > 0) db.setPort(target.port);
        db.setDatabaseName(target.database);
        db.setUserName(target.user);
        db.setPassword(target.password);
        QString options = target.options;
        options += QStringLiteral("%1options=-cstatement_timeout=%2")
                       .arg(options.isEmpty() ? QString() : QStringLiteral(";"))
                       .arg(kPostgresStatementMs);
        db.setConnectOptions(options);
    }
    if (!db.open()) {
        error = QStringLiteral("Cannot open the results database %1: %2")
                    .arg(target.display(), db.lastError().text().trimmed());
        return nullptr;
    }
    if (!store->migrate(error)) return nullptr;
    return store;
}

bool ResultsStore::begin(QString& error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    // SQLite takes the write lock at once, so two writers wait their turn instead of failing.
    return execute(q,
               target_.engine == DbTarget::Engine::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"),
               {}, error);
}

bool ResultsStore::finish(bool commit, QString& error) {
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    QString why;
    if (execute(q, commit ? QStringLiteral("COMMIT") : QStringLiteral("ROLLBACK"), {}, why)) return true;
    if (commit) {
        error = why;
        finish(false, why);
    }
    return false;
}

bool ResultsStore::migrate(QString& error) {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    const bool sqlite = target_.engine == DbTarget::Engine::Sqlite;
    const auto newer = [&](int version) {
        error = QStringLiteral("The results database %1 has schema version %2, newer than this program's %3: it is "
                               "left as it is. Use a newer kestview-results.")
                    .arg(target_.display())
                    .arg(version)
                    .arg(newestSchemaVersion());
    };
    QString why;
    // A database of a newer program is refused before anything is written to it.
    if (!readVersion(db, version_, why)) {
        error = QStringLiteral("Cannot read the results database %1: %2").arg(target_.display(), why);
        return false;
    }
    if (version_ > newestSchemaVersion()) return newer(version_), false;
    if (sqlite) {
        QSqlQuery q(db);
        if (!execute(q, QStringLiteral("PRAGMA journal_mode=WAL"), {}, why) || !q.next() ||
            q.value(0).toString().compare(QStringLiteral("wal"), Qt::CaseInsensitive) != 0) {
            error = QStringLiteral("Cannot put the results database %1 in WAL mode: %2").arg(target_.display(), why);
            return false;
        }
        execute(q, QStringLiteral("PRAGMA foreign_keys=ON"), {}, why);
        execute(q, QStringLiteral("PRAGMA synchronous=NORMAL"), {}, why);
        execute(q, QStringLiteral("PRAGMA temp_store=MEMORY"), {}, why);  // the yield's sorts
    }
    if (version_ == newestSchemaVersion()) return true;
    if (!begin(why)) {
        error = QStringLiteral("Cannot update the results database %1: %2").arg(target_.display(), why);
        return false;
    }
    bool ok = true;
    {
        QSqlQuery q(db);
        if (!sqlite) ok = execute(q, QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kMigrationLock), {}, why);
        // Another process may have got there first.
        ok = ok && readVersion(db, version_, why);
        if (ok && version_ > newestSchemaVersion()) {
            finish(false, why);
            return newer(version_), false;
        }
        if (ok && version_ == 0)
            ok = execute(q, QStringLiteral("CREATE TABLE schema_migrations (version INTEGER PRIMARY KEY, applied_utc TEXT NOT NULL)"),
                     {}, why);
        for (const Migration& m : migrations()) {
            if (!ok || m.version <= version_) continue;
            for (const QString& sql : m.statements) ok = ok && execute(q, sql, {}, why);
            ok = ok && execute(q, QStringLiteral("INSERT INTO schema_migrations (version, applied_utc) VALUES (?, ?)"),
                           {m.version, QDateTime::currentDateTimeUtc().toString(Qt::ISODate)}, why);
        }
    }
    if (!ok || !finish(true, why)) {
        if (ok == false) finish(false, error);
        error = QStringLiteral("Cannot update the schema of the results database %1: %2").arg(target_.display(), why);
        return false;
    }
    version_ = newestSchemaVersion();
    return true;
}

std::optional<StoreCounts> ResultsStore::store(std::span<const RunRecord> runs, QString& error) {
    if (!begin(error)) return std::nullopt;
    StoreCounts counts;
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        QSqlQuery insertRun(db), insertRow(db);
        ok = insertRun.prepare(QStringLiteral(
                 "INSERT INTO runs (run_id, station, operator, software_version, adapter_key, mac_address,"
                 " serial_number, baseband, started, ended, started_utc, run_day, elapsed_seconds, test_seconds,"
                 " time_scale, mask_offset_db, result, failure_reason, stored_in_adapter, store_outcome)"
                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) ON CONFLICT (run_id) DO NOTHING")) &&
             insertRow.prepare(QStringLiteral(
                 "INSERT INTO run_rows (run_id, row_no, tag, channel, passed, output_power_dbm, set_point, integrator,"
                 " first_lobe_dbc, second_lobe_dbc, limit_dbc, within_mask) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        if (!ok) error = sqlError(insertRun.lastError().isValid() ? insertRun : insertRow);
        for (std::size_t i = 0; ok && i < runs.size(); ++i) {
            const RunRecord& r = runs[i];
            for (const QVariant& v :
                 {text(r.runId), text(r.station), text(r.operatorName), text(r.softwareVersion),
                  text(r.adapterKey), text(r.macAddress), text(r.serialNumber), text(r.baseband),
                  text(r.started), text(r.ended), text(r.startedUtc), text(r.runDay),
                  orNull(r.elapsedSeconds), orNull(r.testSeconds), orNull(r.timeScale), orNull(r.maskOffsetDb),
                  text(r.result), text(r.failureReason), orNull(r.storedInAdapter), text(r.storeOutcome)})
                insertRun.addBindValue(v);
            if (!insertRun.exec()) {
                error = sqlError(insertRun);
                ok = false;
                break;
            }
            if (insertRun.numRowsAffected() == 0) {  // stored before: its rows are there too
                ++counts.alreadyStored;
                continue;
            }
            for (const RunRow& x : r.rows) {
                for (const QVariant& v :
                     {text(r.runId), QVariant(x.row), text(x.tag), QVariant(x.channel), orNull(x.passed),
                      QVariant(x.outputPowerDbm), QVariant(x.setPoint), QVariant(x.integrator), QVariant(x.firstLobeDbc),
                      QVariant(x.secondLobeDbc), orNull(x.limitDbc), orNull(x.withinMask)})
                    insertRow.addBindValue(v);
                if (!insertRow.exec()) {
                    error = QStringLiteral("run %1 row %2: %3").arg(r.runId).arg(x.row).arg(sqlError(insertRow));
                    ok = false;
                    break;
                }
            }
            ++counts.added;
        }
    }
    if (!ok) {
        QString ignored;
        finish(false, ignored);
        return std::nullopt;
    }
    if (!finish(true, error)) return std::nullopt;
    return counts;
}

std::optional<std::vector<RunSummary>> ResultsStore::list(const RunFilter& f, QString& error) {
    QVariantList binds;
    QString sql = QStringLiteral(
                      "SELECT r.run_id, r.started, r.station, r.mac_address, r.serial_number, r.result, r.failure_reason"
                      " FROM runs r") +
                  whereClause(f, binds) + QStringLiteral(" ORDER BY r.started_utc DESC, r.run_id");
    if (f.limit > 0) sql += QStringLiteral(" LIMIT %1").arg(f.limit);
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!execute(q, sql, binds, error)) return std::nullopt;
    std::vector<RunSummary> out;
    while (q.next())
        out.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toString(),
                       q.value(4).toString(), q.value(5).toString(), q.value(6).toString()});
    return out;
}

std::optional<std::vector<RunRecord>> ResultsStore::runs(const RunFilter& f, QString& error) {
    QVariantList binds;
    const QString where = whereClause(f, binds);
    QString sql = QStringLiteral("SELECT ") + kRunColumns + QStringLiteral(" FROM runs r") + where +
                  QStringLiteral(" ORDER BY r.started_utc, r.run_id");
    if (f.limit > 0) sql += QStringLiteral(" LIMIT %1").arg(f.limit);
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    std::vector<RunRecord> out;
    std::map<QString, std::size_t> index;
    {
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!execute(q, sql, binds, error)) return std::nullopt;
        while (q.next()) {
            out.push_back(runFrom(q));
            index[out.back().runId] = out.size() - 1;
        }
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!execute(q,
             QStringLiteral("SELECT ") + kRowColumns + QStringLiteral(" FROM run_rows w JOIN runs r ON r.run_id = w.run_id") +
                 where + QStringLiteral(" ORDER BY w.run_id, w.row_no"),
             binds, error))
        return std::nullopt;
    while (q.next())
        if (const auto it = index.find(q.value(0).toString()); it != index.end())
            out[it->second].rows.push_back(rowFrom(q));
    return out;
}

std::optional<RunRecord> ResultsStore::run(const QString& idOrPrefix, QString& error) {
    const QString id = idOrPrefix.trimmed().toLower();
    static const QRegularExpression idText(QStringLiteral("^[0-9a-f-]{4,36}$"));
    if (!idText.match(id).hasMatch()) {
        error = QStringLiteral("\"%1\" is not a run id (at least 4 of its hexadecimal digits)").arg(idOrPrefix);
        return std::nullopt;
    }
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QString runId;
    {
        QSqlQuery q(db);
        if (!execute(q, QStringLiteral("SELECT run_id FROM runs WHERE run_id LIKE ? ORDER BY run_id LIMIT 2"), {id + '%'},
                 error))
            return std::nullopt;
        if (!q.next()) {
            error = QStringLiteral("No run %1 in the results database").arg(idOrPrefix);
            return std::nullopt;
        }
        runId = q.value(0).toString();
        if (q.next()) {
            error = QStringLiteral("More than one run begins with %1: give more of its id").arg(idOrPrefix);
            return std::nullopt;
        }
    }
    RunRecord r;
    {
        QSqlQuery q(db);
        if (!execute(q, QStringLiteral("SELECT ") + kRunColumns + QStringLiteral(" FROM runs r WHERE r.run_id = ?"), {runId},
                 error) ||
            !q.next())
            return std::nullopt;
        r = runFrom(q);
    }
    QSqlQuery q(db);
    if (!execute(q, QStringLiteral("SELECT ") + kRowColumns + QStringLiteral(" FROM run_rows w WHERE w.run_id = ? ORDER BY w.row_no"),
             {runId}, error))
        return std::nullopt;
    while (q.next()) r.rows.push_back(rowFrom(q));
    return r;
}

std::optional<YieldReport> ResultsStore::yield(const RunFilter& range, QString& error) {
    RunFilter f = range;
    f.mac.clear();
    f.result.clear();
    YieldReport rep;
    rep.fromDay = f.fromDay;
    rep.toDay = f.toDay;
    rep.station = f.station;
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QVariantList binds;
    const QString where = whereClause(f, binds);
    {
        // Each adapter's first run in the range decides the first-pass yield.
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!execute(q,
                 QStringLiteral("SELECT run_day, station, COUNT(*),"
                                " SUM(CASE WHEN result = 'pass' THEN 1 ELSE 0 END),"
                                " SUM(CASE WHEN attempt = 1 THEN 1 ELSE 0 END),"
                                " SUM(CASE WHEN attempt = 1 AND result = 'pass' THEN 1 ELSE 0 END)"
                                " FROM (SELECT r.run_day, r.station, r.result, ROW_NUMBER() OVER"
                                " (PARTITION BY r.mac_address ORDER BY r.started_utc, r.run_id) AS attempt FROM runs r") +
                     where + QStringLiteral(") AS a GROUP BY run_day, station ORDER BY run_day, station"),
                 binds, error))
            return std::nullopt;
        std::map<QString, YieldLine> days, stations;
        while (q.next()) {
            const long n[4] = {q.value(2).toLongLong(), q.value(3).toLongLong(), q.value(4).toLongLong(),
                               q.value(5).toLongLong()};
            for (YieldLine* line : {&days[q.value(0).toString()], &stations[q.value(1).toString()], &rep.total}) {
                line->runs += n[0];
                line->passes += n[1];
                line->firstRuns += n[2];
                line->firstPasses += n[3];
            }
        }
        for (auto& [key, line] : days) line.key = key, rep.byDay.push_back(line);
        for (auto& [key, line] : stations) line.key = key, rep.byStation.push_back(line);
    }
    {
        // Every recorded run measured every channel (a stopped run leaves no record).
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!execute(q,
                 // From the few failed rows to their runs, not from every run to its rows (CROSS JOIN
                 // keeps SQLite's planner to that order; PostgreSQL plans it as any join).
                 QStringLiteral("SELECT w.channel, COUNT(DISTINCT w.run_id) FROM run_rows w CROSS JOIN runs r"
                                " WHERE w.passed = 0 AND r.run_id = w.run_id") +
                     QString(where).replace(QStringLiteral(" WHERE "), QStringLiteral(" AND ")) +
                     QStringLiteral(" GROUP BY w.channel"),
                 binds, error))
            return std::nullopt;
        std::map<int, long> failed;
        while (q.next()) failed[q.value(0).toInt()] = q.value(1).toLongLong();
        for (int ch = 1; ch <= 14; ++ch) rep.byChannel.push_back({ch, rep.total.runs, failed[ch]});
    }
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!execute(q,
             QStringLiteral("SELECT r.failure_reason, COUNT(*) FROM runs r") +
                 (where.isEmpty() ? QStringLiteral(" WHERE") : where + QStringLiteral(" AND")) +
                 QStringLiteral(" r.result = 'fail' GROUP BY r.failure_reason ORDER BY COUNT(*) DESC, r.failure_reason LIMIT 5"),
             binds, error))
        return std::nullopt;
    while (q.next()) rep.reasons.push_back({q.value(0).toString(), q.value(1).toLongLong()});
    return rep;
}

std::optional<std::vector<ChannelPoint>> ResultsStore::channelSeries(int channel, const RunFilter& f, QString& error) {
    QVariantList binds;
    const QString where = whereClause(f, binds);
    binds << channel;
    QSqlQuery q(QSqlDatabase::database(connection_, false));
    q.setForwardOnly(true);
    if (!execute(q,
             QStringLiteral("SELECT r.run_id, r.started_utc, w.tag, w.first_lobe_dbc, w.integrator, w.limit_dbc"
                            " FROM runs r JOIN run_rows w ON w.run_id = r.run_id") +
                 (where.isEmpty() ? QStringLiteral(" WHERE") : where + QStringLiteral(" AND")) +
                 QStringLiteral(" w.channel = ? AND w.limit_dbc IS NOT NULL ORDER BY r.started_utc, r.run_id, w.row_no"),
             binds, error))
        return std::nullopt;
    std::vector<ChannelPoint> out;
    while (q.next())
        out.push_back({q.value(0).toString(), q.value(1).toString(), q.value(2).toString(), q.value(3).toDouble(),
                       q.value(4).toInt(), optDouble(q.value(5))});
    return out;
}

}  // namespace kestview::results
