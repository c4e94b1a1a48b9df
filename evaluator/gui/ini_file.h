// The program's settings file: named after the program with the extension ".INI", beside it, or
// in the user's configuration folder where the program's folder is not writable.
#pragma once

#include <QSettings>
#include <QString>

QString settingsFilePathFor(const QString& programPath);
QString settingsFilePath();  // for the running program

class IniFile {
public:
    explicit IniFile(const QString& path);
    QString path() const { return settings_.fileName(); }

    // A missing key or a value that is not an integer reads as the default; a text with commas
    // reads whole.
    int readInteger(const QString& section, const QString& key, int defaultValue) const;
    QString readString(const QString& section, const QString& key, const QString& defaultValue = {}) const;
    void writeInteger(const QString& section, const QString& key, int value);
    void writeString(const QString& section, const QString& key, const QString& value);
    // Why the settings could not be stored, or empty when every write reached the file.
    QString writeError() const;

private:
    mutable QSettings settings_;
};
