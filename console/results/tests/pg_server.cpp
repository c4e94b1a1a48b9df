#include "pg_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <arpa/inet.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace kestview::results::testing {

namespace {

const QString kUser = QStringLiteral("bench");
const QString kPassword = QStringLiteral("bench-secret");

QString postgresBin() {
    const QDir root(QStringLiteral("/usr/lib/postgresql"));
    QStringList versions = root.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    std::sort(versions.begin(), versions.end(), [](const QString& a, const QString& b) { return a.toInt() < b.toInt(); });
    for (auto it = versions.rbegin(); it != versions.rend(); ++it) {
        const QString bin = root.filePath(*it + "/bin");
        if (QFile::exists(bin + "/initdb") && QFile::exists(bin + "/pg_ctl")) return bin;
    }
    return {};
}

int freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    ::close(fd);
    return port;
}

}  // namespace

bool PgServer::installed() { return !postgresBin().isEmpty(); }

PgServer::PgServer() : scratch_(QDir::tempPath() + "/oru-pg-XXXXXX") {
    bin_ = postgresBin();
    if (bin_.isEmpty()) {
        error_ = "no PostgreSQL server under /usr/lib/postgresql (Debian package postgresql)";
        return;
    }
    data_ = scratch_.path() + "/data";
    const QString pwfile = scratch_.path() + "/pw";
    QFile pw(pwfile);
    pw.open(QIODevice::WriteOnly);
    pw.write(kPassword.toUtf8() + "\n");
    pw.close();
    if (::geteuid() == 0) {
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody || ::chown(QFile::encodeName(scratch_.path()).constData(), nobody->pw_uid, nobody->pw_gid) != 0 ||
            ::chown(QFile::encodeName(pwfile).constData(), nobody->pw_uid, nobody->pw_gid) != 0) {
            error_ = "cannot hand the scratch folder to the user nobody";
            return;
        }
    }
    // Local (socket) connections are trusted; over TCP the password counts.
    if (!runTool("initdb", {"-D", data_, "-U", kUser, "--pwfile", pwfile, "-E", "UTF8", "--auth-local=trust",
                            "--auth-host=scram-sha-256", "--no-sync"}))
        return;
    start();
}

PgServer::~PgServer() {
    if (running_) stop();
}

bool PgServer::runTool(const QString& tool, const QStringList& args, QString* output) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.setWorkingDirectory(scratch_.path());
    const QString program = bin_ + "/" + tool;
    if (::geteuid() == 0) p.start("runuser", QStringList{"-u", "nobody", "--", program} + args);
    else p.start(program, args);
    if (!p.waitForFinished(180000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        error_ = tool + " failed: " + QString::fromLocal8Bit(p.readAll());
        return false;
    }
    if (output) *output = QString::fromLocal8Bit(p.readAll());
    return true;
}

bool PgServer::start() {
    for (int attempt = 0; attempt < 3 && !running_; ++attempt) {
        if (port_ == 0 || attempt > 0) port_ = freePort();
        running_ = runTool("pg_ctl", {"-D", data_, "-l", scratch_.path() + "/server.log", "-w", "-t", "120", "-o",
                                      QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 -c fsync=off "
                                                     "-c max_connections=40")
                                          .arg(port_)
                                          .arg(scratch_.path()),
                                      "start"});
    }
    return running_;
}

bool PgServer::stop() {
    if (!runTool("pg_ctl", {"-D", data_, "-m", "fast", "-w", "-t", "120", "stop"})) return false;
    running_ = false;
    return true;
}

QString PgServer::createDatabase(const QString& name) {
    const QString connection = "pg-admin-" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QPSQL", connection);
        db.setHostName(scratch_.path());
        db.setPort(port_);
        db.setUserName(kUser);
        db.setDatabaseName("postgres");
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec("CREATE DATABASE " + name);
            if (!ok) error_ = q.lastError().text();
        } else {
            error_ = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok ? url(name) : QString();
}

QString PgServer::url(const QString& database, const QString& password) const {
    return QStringLiteral("postgresql://%1:%2@127.0.0.1:%3/%4").arg(kUser, password).arg(port_).arg(database);
}

}  // namespace kestview::results::testing
