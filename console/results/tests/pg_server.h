// A PostgreSQL server of the test's own: a cluster in a scratch folder made with Debian's initdb,
// started with pg_ctl on a free port of 127.0.0.1 (and a socket in the folder), stopped and
// removed at the end. When the tests run as root the server runs as the unprivileged "nobody".
#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>

namespace kestview::results::testing {

class PgServer {
public:
    // Starts the server; `error` says why when it could not (then running() is false).
    PgServer();
    ~PgServer();
    PgServer(const PgServer&) = delete;
    PgServer& operator=(const PgServer&) = delete;

    bool running() const { return running_; }
    const QString& error() const { return error_; }
    static bool installed();

    // A fresh database on the server, and its address with the test user's password.
    QString createDatabase(const QString& name);
    QString url(const QString& database, const QString& password = QStringLiteral("bench-secret")) const;
    bool stop();
    bool start();

private:
    bool runTool(const QString& tool, const QStringList& args, QString* output = nullptr);

    QTemporaryDir scratch_;
    QString bin_, data_;
    int port_ = 0;
    bool running_ = false;
    QString error_;
};

}  // namespace kestview::results::testing
