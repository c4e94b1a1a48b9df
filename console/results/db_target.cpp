#include "db_target.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace kestview::results {

QString DbTarget::display() const {
    if (engine == Engine::Sqlite) return QStringLiteral("sqlite:") + path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    if (!user.isEmpty()) url.setUserName(user);
    if (!host.startsWith('/')) url.setHost(host);
    if (port > 0) url.setPort(port);
    url.setPath('/' + database);
    QString text = url.toString();
    if (host.startsWith('/')) text += QStringLiteral("?host=") + host;
    return text;
}

QString resultsFolder() {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/oru/results";
    QDir().mkpath(path);
    return path;
}

QString defaultDatabasePath() { return resultsFolder() + "/results.db"; }

QString configuredDatabase() {
    const QString file = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/oru/kestview.conf";
    if (!QFileInfo::exists(file)) return {};
    QSettings settings(file, QSettings::IniFormat);
    return settings.value(QStringLiteral("results/database")).toString().trimmed();
}

std::optional<DbTarget> parseDbTarget(const QString& text, QString& error) {
    DbTarget t;
    const QString s = text.trimmed();
    if (s.isEmpty()) {
        t.path = defaultDatabasePath();
        return t;
    }
    if (s.startsWith(QStringLiteral("sqlite:"))) {
        QString path = s.mid(7);
        if (path.startsWith(QStringLiteral("//"))) path = path.mid(2);  // sqlite:///abs/path
        if (path.isEmpty()) {
            error = QStringLiteral("The results database \"%1\" names no file").arg(s);
            return std::nullopt;
        }
        t.path = QFileInfo(path).absoluteFilePath();
        return t;
    }
    if (!s.startsWith(QStringLiteral("postgresql://")) && !s.startsWith(QStringLiteral("postgres://"))) {
        error = QStringLiteral("The results database \"%1\" is neither postgresql://USER@HOST:PORT/DATABASE nor "
                               "sqlite:FILE")
                    .arg(s);
        return std::nullopt;
    }
    const QUrl url(s, QUrl::StrictMode);
    if (!url.isValid()) {
        error = QStringLiteral("The results database address is malformed: %1").arg(url.errorString());
        return std::nullopt;
    }
    t.engine = DbTarget::Engine::Postgres;
    t.host = url.host();
    t.port = url.port(-1);
    t.user = url.userName();
    t.password = url.password();
    t.database = url.path().mid(1);
    // Only plain keyword=value pairs reach the driver, so nothing in the address can add options
    // of its own by quoting.
    static const QRegularExpression keyword(QStringLiteral("^[a-z_]+$")), value(QStringLiteral("^[A-Za-z0-9_./:-]*$"));
    QStringList options;
    bool timeout = false;
    for (const auto& [k, v] : QUrlQuery(url).queryItems(QUrl::FullyDecoded)) {
        if (!keyword.match(k).hasMatch() || !value.match(v).hasMatch()) {
            error = QStringLiteral("The results database address has an option that cannot be used: %1").arg(k);
            return std::nullopt;
        }
        if (k == QStringLiteral("host")) t.host = v;
        else if (k == QStringLiteral("dbname")) t.database = v;
        else if (k == QStringLiteral("user")) t.user = v;
        else options << k + '=' + v;
        timeout = timeout || k == QStringLiteral("connect_timeout");
    }
    if (!timeout) options << QStringLiteral("connect_timeout=5");
    t.options = options.join(';');
    if (t.database.isEmpty()) {
        error = QStringLiteral("The results database address %1 names no database").arg(t.display());
        return std::nullopt;
    }
    return t;
}

std::optional<DbTarget> chooseDbTarget(const QString& commandLine, QString& error) {
    return parseDbTarget(commandLine.trimmed().isEmpty() ? configuredDatabase() : commandLine, error);
}

}  // namespace kestview::results
