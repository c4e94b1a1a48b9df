#include "output_files.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace kestview::mfgtest {

QString dataFolder(const QString& sub) {
    const QString path = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/oru/" + sub;
    QDir().mkpath(path);
    return path;
}

QString writableFolder(const QString& sub) {
    const QFileInfo here(QDir::currentPath());
    return here.isDir() && here.isWritable() ? QDir::currentPath() : dataFolder(sub);
}

bool writeWholeFile(const QString& path, const QByteArray& text, QString& error) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size() || !file.commit()) {
        error = QStringLiteral("Could not write %1: %2").arg(path, file.errorString());
        return false;
    }
    return true;
}

}  // namespace kestview::mfgtest
