// Every message box, file dialog and input box of the console goes through one Dialogs object,
// which tests replace to read the messages and answer them.
#pragma once

#include <QString>
#include <optional>

class QWidget;

namespace kestview {

class Dialogs {
public:
    enum class Icon { None, Information, Exclamation, Critical, Question };
    enum class Buttons { Ok, OkCancel, RetryCancel, YesNo, YesNoCancel, AbortRetryIgnore };
    enum class Answer { Ok, Cancel, Retry, Yes, No, Abort, Ignore };

    struct Message {
        QString text;
        QString title;  // empty: the program's name
        Icon icon = Icon::None;
        Buttons buttons = Buttons::Ok;
    };

    virtual ~Dialogs() = default;
    virtual Answer messageBox(QWidget* parent, const Message& message) = 0;
    // A file to read / to write; an empty text when the operator cancelled.
    virtual QString openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& fileName, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                 const QString& fileName, const QString& filter) = 0;
    // A line of text; nullopt when the operator cancelled.
    virtual std::optional<QString> inputText(QWidget* parent, const QString& prompt, const QString& title,
                                             const QString& value) = 0;

    // Shorthand for a box with one button.
    void message(QWidget* parent, const QString& text, const QString& title = {}, Icon icon = Icon::None) {
        messageBox(parent, {text, title, icon, Buttons::Ok});
    }
};

// The real dialogs (QMessageBox, QFileDialog, QInputDialog).
class QtDialogs final : public Dialogs {
public:
    Answer messageBox(QWidget* parent, const Message& message) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& fileName,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& fileName,
                         const QString& filter) override;
    std::optional<QString> inputText(QWidget* parent, const QString& prompt, const QString& title,
                                     const QString& value) override;
};

}  // namespace kestview
