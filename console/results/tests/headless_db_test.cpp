// Stations on one database: kestview processes running the headless test at once, on the default
// bench with the gateway in this process, each writing its run to the database after its record.
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSet>
#include <memory>
#include <vector>

#include <gtest/gtest.h>

#include "bench_fixture.h"
#include "instruments/gateway_config.h"
#include "registry/winreg.h"
#include "engine_fixture.h"
#include "results_store.h"
#include "spool.h"

namespace kestview::results {
namespace {

using testing::Engine;

class HeadlessDbTest : public mfgtest::testing::BenchTest, public ::testing::WithParamInterface<Engine> {
protected:
    // Station `i` beyond the first has its own gateway, as every station of a line has (a gateway
    // serves one controller at a time), named in its own copy of the registry.
    QString stationRegistry(int i) {
        const QByteArray shared = qgetenv("ORU_REGISTRY");
        if (i == 0) return QString::fromLocal8Bit(shared);
        const QString copy = workDir() + QStringLiteral("/registry-%1.reg").arg(i);
        QFile::remove(copy);
        EXPECT_TRUE(QFile::copy(QString::fromLocal8Bit(shared), copy));
        auto& gateway = gateways_.emplace_back(std::make_unique<vireo::sim::InstrumentGateway>(benchSpec()));
        const DWORD port = DWORD(gateway->listen(0));
        qputenv("ORU_REGISTRY", copy.toLocal8Bit());
        HKEY key = nullptr;
        RegCreateKeyExA(HKEY_LOCAL_MACHINE, oru::instruments::kGatewayKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr);
        RegSetValueExA(key, oru::instruments::kPortValue, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&port), sizeof port);
        RegCloseKey(key);
        qputenv("ORU_REGISTRY", shared);
        return copy;
    }
    std::unique_ptr<QProcess> startStation(const QString& url, int i = 0) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("ORU_REGISTRY", stationRegistry(i));
        p->setProcessEnvironment(env);
        p->setWorkingDirectory(workDir());
        p->start(qEnvironmentVariable("ORU_BINARY_DIR") + "/bin/kestview",
                 {"--mfgtest", "--adapter", "0003", "--time-scale", "1000", "--results-db", url});
        EXPECT_TRUE(p->waitForStarted(60000));
        return p;
    }
    // The run ids of the records in the results folder.
    QSet<QString> recordIds() {
        QSet<QString> ids;
        const QDir dir(dataHome() + "/oru/results");
        for (const QString& name : dir.entryList({"*.json"}, QDir::Files)) {
            QFile f(dir.filePath(name));
            EXPECT_TRUE(f.open(QIODevice::ReadOnly));
            ids << QJsonDocument::fromJson(f.readAll()).object().value("runId").toString();
        }
        return ids;
    }
    std::vector<std::unique_ptr<vireo::sim::InstrumentGateway>> gateways_;

    QSet<QString> storedIds(const QString& url) {
        QString error;
        const auto target = parseDbTarget(url, error);
        const auto store = target ? ResultsStore::open(*target, error) : nullptr;
        EXPECT_TRUE(store) << error.toStdString();
        QSet<QString> ids;
        if (!store) return ids;
        const auto runs = store->list({}, error);
        EXPECT_TRUE(runs) << error.toStdString();
        for (const auto& r : runs.value_or(std::vector<RunSummary>{})) {
            EXPECT_FALSE(ids.contains(r.runId)) << "run " << r.runId.toStdString() << " stored twice";
            ids << r.runId;
        }
        return ids;
    }
};

TEST_P(HeadlessDbTest, EightStationsAtOnceStoreEveryRunOnce) {
    QString error;
    const QString url = testing::freshDatabase(GetParam(), dataHome(), error);
    ASSERT_FALSE(url.isEmpty()) << error.toStdString();
    std::vector<std::unique_ptr<QProcess>> stations;
    for (int i = 0; i < 8; ++i) stations.push_back(startStation(url, i));
    for (auto& p : stations) {
        ASSERT_TRUE(p->waitForFinished(900000));
        const QString out = QString::fromLocal8Bit(p->readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(p->readAllStandardError());
        EXPECT_TRUE(p->exitCode() == 0 || p->exitCode() == 1) << err.toStdString();  // passed or failed: completed
        EXPECT_NE(out.indexOf("Results database: the run is stored in"), -1) << out.toStdString() << err.toStdString();
    }
    const QSet<QString> records = recordIds();
    EXPECT_EQ(records.size(), 8);
    EXPECT_EQ(storedIds(url), records);
    EXPECT_TRUE(QDir(dataHome() + "/oru/results/spool").entryList({"*.json"}).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(Engines, HeadlessDbTest, ::testing::Values(Engine::Sqlite, Engine::Postgres),
                         testing::engineName);

using HeadlessServerStopTest = HeadlessDbTest;

TEST_F(HeadlessServerStopTest, AServerStoppedDuringARunLeavesItSpooledAndSyncStoresIt) {
    QString error;
    auto& server = testing::sharedPgServer();
    const QString url = testing::freshDatabase(Engine::Postgres, dataHome(), error);
    ASSERT_FALSE(url.isEmpty()) << error.toStdString();
    const QString database = url.section('/', -1);
    const auto station = startStation(url);
    // Stop the server once the test is measuring.
    QString out;
    QElapsedTimer waited;
    waited.start();
    while (!out.contains("\n01 ") && waited.elapsed() < 600000 && station->state() == QProcess::Running)
        if (station->waitForReadyRead(1000)) out += QString::fromLocal8Bit(station->readAllStandardOutput());
    ASSERT_TRUE(out.contains("\n01 ")) << out.toStdString();
    ASSERT_TRUE(server.stop()) << server.error().toStdString();
    ASSERT_TRUE(station->waitForFinished(900000));
    const QString err = QString::fromLocal8Bit(station->readAllStandardError());
    EXPECT_TRUE(station->exitCode() == 0 || station->exitCode() == 1) << err.toStdString();
    EXPECT_NE(err.indexOf("The run is kept in"), -1) << err.toStdString();
    const QStringList spooled = QDir(dataHome() + "/oru/results/spool").entryList({"*.json"});
    EXPECT_EQ(spooled.size(), 1);

    ASSERT_TRUE(server.start()) << server.error().toStdString();
    const QString restarted = server.url(database);
    QProcess sync;
    sync.start(qEnvironmentVariable("ORU_BINARY_DIR") + "/bin/kestview-results", {"--results-db", restarted, "sync"});
    ASSERT_TRUE(sync.waitForFinished(120000));
    EXPECT_EQ(sync.exitCode(), 0) << sync.readAllStandardError().toStdString();
    EXPECT_TRUE(QString::fromLocal8Bit(sync.readAllStandardOutput()).startsWith("Sent 1 spooled run (0 already stored), 0 left"));
    EXPECT_EQ(storedIds(restarted), recordIds());
    EXPECT_EQ(recordIds().size(), 1);
    EXPECT_TRUE(QDir(dataHome() + "/oru/results/spool").entryList({"*.json"}).isEmpty());
}

}  // namespace
}  // namespace kestview::results
