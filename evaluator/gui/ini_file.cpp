#include "ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString settingsFilePathFor(const QString& programPath) {
    const QFileInfo program(programPath);
    const QString name = program.completeBaseName() + QStringLiteral(".INI");
    const QFileInfo beside(program.dir().filePath(name));
    const QFileInfo folder(program.absolutePath());
    if (beside.exists() ? beside.isWritable() : (folder.isDir() && folder.isWritable())) {
        return beside.absoluteFilePath();
    }
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    QDir().mkpath(config);
    return QDir(config).filePath(name);
}

QString settingsFilePath() { return settingsFilePathFor(QCoreApplication::applicationFilePath()); }

IniFile::IniFile(const QString& path) : settings_(path, QSettings::IniFormat) {}

int IniFile::readInteger(const QString& section, const QString& key, int defaultValue) const {
    bool ok = false;
    const int value = settings_.value(section + '/' + key).toString().trimmed().toInt(&ok);
    return ok ? value : defaultValue;
}

QString IniFile::readString(const QString& section, const QString& key, const QString& defaultValue) const {
    const QVariant value = settings_.value(section + '/' + key, defaultValue);
    // An unquoted value with commas, as a hand-edited file has it, reads as a list: keep it whole.
    if (value.typeId() == QMetaType::QStringList) return value.toStringList().join(", ");
    return value.toString();
}

void IniFile::writeInteger(const QString& section, const QString& key, int value) {
    settings_.setValue(section + '/' + key, value);
    settings_.sync();
}

void IniFile::writeString(const QString& section, const QString& key, const QString& value) {
    settings_.setValue(section + '/' + key, value);
    settings_.sync();
}

QString IniFile::writeError() const {
    if (settings_.status() != QSettings::AccessError) return {};
    return QStringLiteral("Cannot write the settings file \"%1\".").arg(settings_.fileName());
}
