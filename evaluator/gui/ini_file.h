// The program's settings file: named after the program with the extension ".INI" and kept beside
// it. It is read afresh whenever the program reads its settings and changed in place when it
// stores them, so the user's own lines and any edit made while the program runs are kept. Where
// the file beside the program cannot be written, the settings go to the user's configuration
// folder instead.
#pragma once

#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <string>

#include "ini_document.h"
#include "setting_ranges.h"

class IniFile {
public:
    // beside: the file beside the program; fallback: where settings go when it cannot be written
    // (empty: nowhere else).
    IniFile(const QString& beside, const QString& fallback = {});  // NOLINT: a path converts
    static IniFile forProgram(const QString& programPath);
    static IniFile forRunningProgram();

    QString besidePath() const { return beside_; }
    // The file the settings are stored in now.
    QString storePath() const;

    // The file as it is now: the stored settings, else the file beside the program, else empty.
    airmeter::IniDocument read();
    // The setting's value in `document`; a value that is not an integer in the setting's range
    // is noted for messages() and the default is used.
    int integer(const airmeter::IniDocument& document, const airmeter::IntegerSetting& setting);
    // Applies `change` to the file as it is now and writes it back whole, only when `change` says
    // it changed something (or the file does not exist yet).
    void update(const std::function<bool(airmeter::IniDocument&)>& change);

    // Gives a key the program's value unless the file's value is the one the program read
    // (`readValue`) or the key was added to the file after reading: an edit made meanwhile wins.
    static bool store(airmeter::IniDocument& document, const std::optional<std::string>& readValue,
                      const char* section, const char* key, const std::string& value);

    // What the user should be told since the last call, one line each; empty when nothing.
    QString takeMessages();

private:
    bool besideUsable() const;
    std::optional<airmeter::IniDocument> load(const QString& path);
    void note(const QString& text);
    // Tells that the settings could not be written to `store` (nor, when it is the fallback, beside
    // the program).
    void notSaved(const QString& store);

    QString beside_;
    QString fallback_;
    QStringList messages_;
    QSet<QString> reported_;  // each unreadable file is said once
};
