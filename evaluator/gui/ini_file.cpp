#include "ini_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

using namespace airmeter;

IniFile::IniFile(const QString& beside, const QString& fallback) : beside_(beside), fallback_(fallback) {}

IniFile IniFile::forProgram(const QString& programPath) {
    const QFileInfo program(programPath);
    const QString name = program.completeBaseName() + QStringLiteral(".INI");
    const QString config = QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation);
    return IniFile(QFileInfo(program.dir().filePath(name)).absoluteFilePath(), QDir(config).filePath(name));
}

IniFile IniFile::forRunningProgram() { return forProgram(QCoreApplication::applicationFilePath()); }

namespace {

// A file marked read-only is not written, even by a user the system would let write it.
bool writable(const QFileInfo& file) {
    return file.isWritable() && (file.permissions() & QFileDevice::WriteOwner);
}

}  // namespace

bool IniFile::besideUsable() const {
    const QFileInfo file(beside_);
    if (file.exists()) return file.isFile() && file.isReadable() && writable(file);
    const QFileInfo folder(file.absolutePath());
    return folder.isDir() && folder.isWritable();
}

QString IniFile::storePath() const { return fallback_.isEmpty() || besideUsable() ? beside_ : fallback_; }

void IniFile::note(const QString& text) { messages_ << text; }

std::optional<IniDocument> IniFile::load(const QString& path) {
    const QFileInfo info(path);
    if (!info.exists()) return IniDocument{};
    QFile file(path);
    QString why;
    if (info.isDir()) {
        why = QStringLiteral("it is a folder");
    } else if (!file.open(QIODevice::ReadOnly)) {
        why = file.errorString();
    } else {
        const QByteArray bytes = file.readAll();
        if (file.error() == QFileDevice::NoError) return IniDocument(bytes.toStdString());
        why = file.errorString();
    }
    if (!reported_.contains(path)) {
        reported_.insert(path);
        note(QStringLiteral("Cannot read the settings file \"%1\" (%2); it is left as it is and the defaults are used.")
                 .arg(path, why));
    }
    return std::nullopt;
}

IniDocument IniFile::read() {
    const QString store = storePath();
    if (store != beside_ && !QFileInfo::exists(store)) return load(beside_).value_or(IniDocument{});
    return load(store).value_or(IniDocument{});
}

int IniFile::integer(const IniDocument& document, const IntegerSetting& setting) {
    const auto text = document.value(setting.section, setting.key);
    if (!text) return setting.defaultValue;
    const CheckedInteger checked = checkInteger(setting, *text);
    if (checked.value) return *checked.value;
    note(QStringLiteral("Settings file: %1 in [%2]: %3; the default %4 is used.")
             .arg(setting.key, setting.section, QString::fromStdString(checked.problem))
             .arg(setting.defaultValue));
    return setting.defaultValue;
}

bool IniFile::store(IniDocument& document, const std::optional<std::string>& readValue, const char* section,
                    const char* key, const std::string& value) {
    if (document.contains(section, key) && (!readValue || *readValue == value)) return false;
    return document.set(section, key, value);
}

void IniFile::notSaved(const QString& store) {
    if (store == beside_) {
        note(QStringLiteral("Cannot write the settings file \"%1\"; the settings were not saved.").arg(store));
    } else {
        note(QStringLiteral("Cannot write the settings file \"%1\" nor \"%2\"; the settings were not saved.")
                 .arg(beside_, store));
    }
}

void IniFile::update(const std::function<bool(IniDocument&)>& change) {
    const QString store = storePath();
    const bool exists = QFileInfo::exists(store);
    // A new file in the configuration folder starts as a copy of the one beside the program.
    const std::optional<IniDocument> base =
        exists || store == beside_ ? load(store) : std::optional(load(beside_).value_or(IniDocument{}));
    if (!base || (exists && !writable(QFileInfo(store)))) {
        // A file that could not be read, or is not ours to write, is never replaced.
        notSaved(store);
        return;
    }
    IniDocument document = *base;
    if (!change(document) && exists) return;
    if (store != beside_) QDir().mkpath(QFileInfo(store).absolutePath());
    // Written beside the old file and put in its place only once complete.
    QSaveFile file(store);
    const std::string text = document.text();
    const bool written = file.open(QIODevice::WriteOnly) &&
                         file.write(text.data(), static_cast<qint64>(text.size())) == static_cast<qint64>(text.size()) &&
                         file.commit();
    if (!written) {
        notSaved(store);
    } else if (store != beside_ && !exists) {
        // Said when the settings first move there; from then on they are read from there too.
        note(QStringLiteral("The settings file \"%1\" cannot be written; the settings are saved in \"%2\".")
                 .arg(beside_, store));
    }
}

QString IniFile::takeMessages() {
    const QString text = messages_.join('\n');
    messages_.clear();
    return text;
}
