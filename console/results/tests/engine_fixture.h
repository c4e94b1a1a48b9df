// The same cases on both engines: each test gets a fresh SQLite file or a fresh database on the
// test's own PostgreSQL server (one server for the whole test program), a scratch data folder
// (the results folder and its spool) and a scratch configuration folder.
#pragma once

#include <QCoreApplication>
#include <QTemporaryDir>
#include <memory>

#include <gtest/gtest.h>

#include "db_target.h"
#include "pg_server.h"

namespace kestview::results::testing {

enum class Engine { Sqlite, Postgres };

inline std::string engineName(const ::testing::TestParamInfo<Engine>& info) {
    return info.param == Engine::Sqlite ? "SQLite" : "PostgreSQL";
}

// The test program's one PostgreSQL server, started when first asked for.
inline PgServer& sharedPgServer() {
    static PgServer s;
    return s;
}

// The address of a fresh database of the engine (a file in `folder` for SQLite); empty with the
// reason in `error` when there is none.
inline QString freshDatabase(Engine engine, const QString& folder, QString& error) {
    static int n = 0;
    ++n;
    if (engine == Engine::Sqlite) return QStringLiteral("sqlite:%1/line-%2.db").arg(folder).arg(n);
    if (!sharedPgServer().running()) {
        error = sharedPgServer().error();
        return {};
    }
    const QString url = sharedPgServer().createDatabase(QStringLiteral("results_%1").arg(n));
    if (url.isEmpty()) error = sharedPgServer().error();
    return url;
}

class EngineTest : public ::testing::TestWithParam<Engine> {
protected:
    static void SetUpTestSuite() {
        static int argc = 1;
        static char name[] = "results-test";
        static char* argv[] = {name, nullptr};
        if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
    }
    static PgServer& server() { return sharedPgServer(); }

    void SetUp() override {
        ASSERT_TRUE(home_.isValid());
        qputenv("XDG_DATA_HOME", (home_.path() + "/data").toUtf8());
        qputenv("XDG_CONFIG_HOME", (home_.path() + "/config").toUtf8());
        QString error;
        url_ = freshDatabase(GetParam(), home_.path(), error);
        ASSERT_FALSE(url_.isEmpty()) << error.toStdString();
    }

    QString url() const { return url_; }
    DbTarget target() const {
        QString error;
        auto t = parseDbTarget(url_, error);
        EXPECT_TRUE(t) << error.toStdString();
        return t.value_or(DbTarget{});
    }
    QString home() const { return home_.path(); }

private:
    QTemporaryDir home_;
    QString url_;
};

}  // namespace kestview::results::testing
