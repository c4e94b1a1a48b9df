// Where the manufacturing test's files go, and writing them whole.
#pragma once

#include <QString>

namespace kestview::mfgtest {

// $XDG_DATA_HOME/oru/<sub> (created).
QString dataFolder(const QString& sub);
// The current directory when it is writable, else dataFolder(sub).
QString writableFolder(const QString& sub);
// Writes the whole text or nothing (a temporary file renamed over the target).
bool writeWholeFile(const QString& path, const QByteArray& text, QString& error);

}  // namespace kestview::mfgtest
