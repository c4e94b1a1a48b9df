#include "trace.h"

#include <QDateTime>

namespace kestview {

bool Trace::openFile(const QString& path, QString* error) {
    file_.close();
    file_.setFileName(path);
    if (!file_.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
        if (error) *error = file_.errorString();
        return false;
    }
    return true;
}

void Trace::write(int level, const QString& text) {
    if (listener_) listener_(level, text);
    if (!file_.isOpen()) return;
    const QString line = QDateTime::currentDateTime().toString(QStringLiteral("hh:mm:ss.zzz")) +
                         QStringLiteral(" %1 ").arg(level) + text + '\n';
    file_.write(line.toUtf8());
    file_.flush();  // so that a developer can follow the file while the console runs
}

}  // namespace kestview
