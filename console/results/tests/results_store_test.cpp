// The results store on both engines: each run stored once, in one transaction, nothing stored
// changed by a station's clock going back, a newer schema refused and left alone, and a run the
// database cannot take kept in the spool until the next run sends it.
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#include "engine_fixture.h"
#include "report_text.h"
#include "results_store.h"
#include "spool.h"

namespace kestview::results {
namespace {

using testing::Engine;
using testing::EngineTest;

QByteArray fixtureRecord(const QString& name) {
    QFile f(qEnvironmentVariable("ORU_SOURCE_DIR") + "/console/results/tests/records/" + name);
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name.toStdString();
    return f.readAll();
}

RunRecord fixtureRun(const QString& name) {
    QString why;
    auto run = parseRunRecord(fixtureRecord(name), why);
    EXPECT_TRUE(run) << why.toStdString();
    return run.value_or(RunRecord{});
}

// Runs SQL on the database behind the store's back; the first column of the last row.
QString rawSql(const DbTarget& t, const QStringList& statements) {
    const QString name = "raw-" + QUuid::createUuid().toString();
    QString last;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(t.engine == DbTarget::Engine::Sqlite ? "QSQLITE" : "QPSQL", name);
        db.setDatabaseName(t.engine == DbTarget::Engine::Sqlite ? t.path : t.database);
        db.setHostName(t.host);
        db.setPort(t.port);
        db.setUserName(t.user);
        db.setPassword(t.password);
        EXPECT_TRUE(db.open());
        for (const QString& sql : statements) {
            QSqlQuery q(db);
            EXPECT_TRUE(q.exec(sql)) << sql.toStdString();
            while (q.next()) last = q.value(0).toString();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return last;
}

class StoreTest : public EngineTest {
protected:
    std::unique_ptr<ResultsStore> open() {
        QString error;
        auto store = ResultsStore::open(target(), error);
        EXPECT_TRUE(store) << error.toStdString();
        return store;
    }
};

TEST_P(StoreTest, SameRunStoredOnceAndAClockGoingBackChangesNothingStored) {
    auto store = open();
    ASSERT_TRUE(store);
    const RunRecord run = fixtureRun("02-a-pass.json");
    QString error;
    const RunRecord twice[] = {run, run};
    auto counts = store->store(twice, error);
    ASSERT_TRUE(counts) << error.toStdString();
    EXPECT_EQ(counts->added, 1);
    EXPECT_EQ(counts->alreadyStored, 1);
    counts = store->store({&run, 1}, error);
    ASSERT_TRUE(counts);
    EXPECT_EQ(counts->added, 0);
    const auto before = store->run(run.runId, error);
    ASSERT_TRUE(before) << error.toStdString();
    EXPECT_EQ(before->rows.size(), 33u);

    // The station's clock went back an hour and a half: the next run of the same adapter starts
    // before the last one and ends before it started.
    RunRecord back = run;
    back.runId = QUuid::createUuid().toString(QUuid::WithoutBraces);
    back.started = "2026-11-02T08:30:00";
    back.startedUtc = "2026-11-02T08:30:00";
    back.ended = "2026-11-02T08:20:00";
    ASSERT_TRUE(store->store({&back, 1}, error));
    const auto after = store->run(run.runId, error);
    ASSERT_TRUE(after);
    EXPECT_EQ(showText(*after), showText(*before));
    const auto all = store->list({}, error);
    ASSERT_TRUE(all);
    ASSERT_EQ(all->size(), 2u);
    EXPECT_EQ((*all)[1].runId, back.runId);  // newest first by the start the station wrote
    EXPECT_EQ(store->run(back.runId, error)->ended, "2026-11-02T08:20:00");
}

TEST_P(StoreTest, RunsGoInOneTransaction) {
    auto store = open();
    ASSERT_TRUE(store);
    RunRecord good = fixtureRun("03-b-pass.json"), broken = fixtureRun("04-c-fail.json");
    broken.rows[5].row = broken.rows[4].row;  // two rows 5: the second insert of the run fails
    QString error;
    const RunRecord both[] = {good, broken};
    EXPECT_FALSE(store->store(both, error));
    EXPECT_FALSE(error.isEmpty());
    const auto runs = store->list({}, error);
    ASSERT_TRUE(runs);
    EXPECT_TRUE(runs->empty()) << "a failed batch left " << runs->size() << " runs";
    EXPECT_EQ(rawSql(target(), {"SELECT COUNT(*) FROM run_rows"}), "0");
}

TEST_P(StoreTest, ANewerSchemaIsRefusedAndLeftAsItIs) {
    {
        auto store = open();
        ASSERT_TRUE(store);
        EXPECT_EQ(store->schemaVersion(), 1);
    }
    rawSql(target(), {"INSERT INTO schema_migrations (version, applied_utc) VALUES (7, 'later')"});
    const auto fingerprint = [&] {
        if (GetParam() == Engine::Sqlite) {
            QFile f(target().path);
            EXPECT_TRUE(f.open(QIODevice::ReadOnly));
            return QString(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256).toHex());
        }
        return rawSql(target(), {"SELECT string_agg(table_name, ',' ORDER BY table_name) FROM information_schema.tables"
                                 " WHERE table_schema = 'public'"}) +
               rawSql(target(), {"SELECT string_agg(CAST(version AS TEXT), ',' ORDER BY version) FROM schema_migrations"});
    };
    const QString before = fingerprint();
    QString error;
    EXPECT_FALSE(ResultsStore::open(target(), error));
    EXPECT_NE(error.indexOf("has schema version 7, newer than this program's 1: it is left as it is"), -1)
        << error.toStdString();
    EXPECT_EQ(fingerprint(), before);
}

TEST_P(StoreTest, ARunTheDatabaseCannotTakeIsSpooledAndGoesWithTheNextRun) {
    const QString folder = resultsFolder();
    const auto writeRecord = [&](const QString& name) {
        QFile f(folder + "/" + name);
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(fixtureRecord(name));
        return f.fileName();
    };
    const QString first = writeRecord("01-a-fail.json"), second = writeRecord("02-a-pass.json");
    const QString unreachable = GetParam() == Engine::Sqlite ? QStringLiteral("sqlite:/proc/no-such-folder/results.db")
                                                             : testing::sharedPgServer().url("results_1", "wrong-password");
    const AfterRun refused = storeAfterRun(first, unreachable);
    EXPECT_FALSE(refused.stored);
    EXPECT_NE(refused.message.indexOf(GetParam() == Engine::Sqlite ? "Cannot create the folder"
                                                                   : "password authentication failed"),
              -1)
        << refused.message.toStdString();
    EXPECT_EQ(refused.message.indexOf("wrong-password"), -1) << "the message shows the password";
    EXPECT_NE(refused.message.indexOf("kestview-results sync"), -1);
    EXPECT_EQ(QDir(spoolFolder()).entryList({"*.json"}), QStringList{"01-a-fail.json"});

    const AfterRun badAddress = storeAfterRun(first, "mysql://line/results");
    EXPECT_FALSE(badAddress.stored);
    EXPECT_NE(badAddress.message.indexOf("is neither postgresql://"), -1) << badAddress.message.toStdString();

    const AfterRun next = storeAfterRun(second, url());
    EXPECT_TRUE(next.stored) << next.message.toStdString();
    EXPECT_NE(next.message.indexOf("with 1 runs spooled before"), -1) << next.message.toStdString();
    EXPECT_TRUE(QDir(spoolFolder()).entryList({"*.json"}).isEmpty());
    EXPECT_TRUE(QFile::exists(first));  // the record itself stays
    auto store = open();
    QString error;
    EXPECT_EQ(store->list({}, error)->size(), 2u);
}

INSTANTIATE_TEST_SUITE_P(Engines, StoreTest, ::testing::Values(Engine::Sqlite, Engine::Postgres), testing::engineName);

TEST(RunRecordTest, ReadsOlderRecordsAndRefusesWhatIsNotOne) {
    QString why;
    const auto older = parseRunRecord(fixtureRecord("06-e-older.json"), why);
    ASSERT_TRUE(older) << why.toStdString();
    EXPECT_FALSE(QUuid::fromString(older->runId).isNull());
    EXPECT_EQ(parseRunRecord(fixtureRecord("06-e-older.json"), why)->runId, older->runId);  // the same each time
    EXPECT_TRUE(older->operatorName.isEmpty());
    EXPECT_FALSE(older->elapsedSeconds);
    EXPECT_EQ(older->rows.size(), 33u);
    EXPECT_EQ(older->rows[0].passed, true);   // from withinMask
    EXPECT_FALSE(older->rows[32].passed);     // a back-off row has none

    const auto offset = parseRunRecord(fixtureRecord("05-d-fail.json"), why);
    ASSERT_TRUE(offset);
    EXPECT_EQ(offset->runDay, "2026-11-03");
    EXPECT_EQ(offset->startedUtc, "2026-11-03T08:15:00");

    const struct {
        const char* json;
        const char* why;
    } bad[] = {
        {"{\"result\": \"pass\"", "not JSON"},
        {"[1, 2]", "no JSON object"},
        {"{\"adapters\": []}", "no \"rows\" or \"result\""},
        {"{\"result\": \"maybe\", \"rows\": []}", "no \"rows\" or \"result\""},
        {"{\"result\": \"pass\", \"rows\": [], \"macAddress\": \"00-11\", \"started\": \"2026-11-02T10:00:00\"}",
         "no MAC address"},
        {"{\"result\": \"pass\", \"rows\": [], \"macAddress\": \"00-60-1D-C3-00-03\", \"started\": \"yesterday\"}",
         "is not a date and time"},
        {"{\"result\": \"pass\", \"rows\": [{\"tag\": \"x\"}], \"macAddress\": \"00601DC30003\", \"started\": "
         "\"2026-11-02T10:00:00\"}",
         "no row number or channel"},
        {"{\"result\": \"pass\", \"rows\": [], \"macAddress\": \"00601DC30003\", \"started\": \"2026-11-02T10:00:00\", "
         "\"runId\": \"12; DROP TABLE runs\"}",
         "is not a UUID"},
    };
    for (const auto& c : bad) {
        why.clear();
        EXPECT_FALSE(parseRunRecord(c.json, why)) << c.json;
        EXPECT_NE(why.indexOf(QLatin1String(c.why)), -1) << c.json << ": " << why.toStdString();
    }
}

TEST(DbTargetTest, AddressesAndTheirFaults) {
    QString error;
    auto t = parseDbTarget("postgresql://line:pw@127.0.0.1:5433/results?sslmode=disable", error);
    ASSERT_TRUE(t) << error.toStdString();
    EXPECT_EQ(t->engine, DbTarget::Engine::Postgres);
    EXPECT_EQ(t->port, 5433);
    EXPECT_EQ(t->options, "sslmode=disable;connect_timeout=5");
    EXPECT_EQ(t->display().indexOf("pw"), -1);
    for (const char* wrong : {"postgresql://line@127.0.0.1/results?options=-cfsync%3Doff%20-x'", "postgresql://host/",
                              "ftp://x/y", "sqlite:"}) {
        error.clear();
        EXPECT_FALSE(parseDbTarget(wrong, error)) << wrong;
        EXPECT_FALSE(error.isEmpty()) << wrong;
    }
}

TEST(DbTargetTest, TheCommandLineBeforeTheConfigurationBeforeTheDefault) {
    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QString error;
    EXPECT_EQ(chooseDbTarget({}, error)->path, home.path() + "/data/oru/results/results.db");
    QDir().mkpath(home.path() + "/config/oru");
    QFile conf(home.path() + "/config/oru/kestview.conf");
    ASSERT_TRUE(conf.open(QIODevice::WriteOnly));
    conf.write("[results]\ndatabase=postgresql://line@127.0.0.1:5432/results\n");
    conf.close();
    const auto configured = chooseDbTarget({}, error);
    ASSERT_TRUE(configured) << error.toStdString();
    EXPECT_EQ(configured->engine, DbTarget::Engine::Postgres);
    EXPECT_EQ(configured->database, "results");
    EXPECT_EQ(chooseDbTarget("sqlite:" + home.path() + "/other.db", error)->path, home.path() + "/other.db");
}

}  // namespace
}  // namespace kestview::results
