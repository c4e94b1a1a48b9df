#include "scripted_dialogs.h"

namespace kestview::testing {

Dialogs::Answer ScriptedDialogs::messageBox(QWidget*, const Message& message) {
    messages_.push_back(message);
    if (!answers_.empty()) {
        const Answer a = answers_.front();
        answers_.pop_front();
        return a;
    }
    return message.buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
}

QString ScriptedDialogs::nextFile(const QString& caption) {
    fileCaptions_.push_back(caption);
    if (files_.empty()) return {};
    QString f = files_.front();
    files_.pop_front();
    return f;
}

QString ScriptedDialogs::openFileName(QWidget*, const QString& caption, const QString&, const QString&,
                                      const QString&) {
    return nextFile(caption);
}

QString ScriptedDialogs::saveFileName(QWidget*, const QString& caption, const QString&, const QString&,
                                      const QString&) {
    return nextFile(caption);
}

std::optional<QString> ScriptedDialogs::inputText(QWidget*, const QString&, const QString&, const QString&) {
    if (inputs_.empty()) return std::nullopt;
    // Copied out field by field: GCC 12 misreads a moved optional<QString> as uninitialised.
    const bool entered = inputs_.front().has_value();
    const QString text = entered ? *inputs_.front() : QString();
    inputs_.pop_front();
    if (!entered) return std::nullopt;
    return text;
}

}  // namespace kestview::testing
