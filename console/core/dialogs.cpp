#include "dialogs.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>

namespace kestview {

namespace {

QString titleOr(const QString& title) { return title.isEmpty() ? QApplication::applicationName() : title; }

QMessageBox::Icon boxIcon(Dialogs::Icon icon) {
    switch (icon) {
    case Dialogs::Icon::Information: return QMessageBox::Information;
    case Dialogs::Icon::Exclamation: return QMessageBox::Warning;
    case Dialogs::Icon::Critical: return QMessageBox::Critical;
    case Dialogs::Icon::Question: return QMessageBox::Question;
    case Dialogs::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons boxButtons(Dialogs::Buttons buttons) {
    switch (buttons) {
    case Dialogs::Buttons::OkCancel: return QMessageBox::Ok | QMessageBox::Cancel;
    case Dialogs::Buttons::RetryCancel: return QMessageBox::Retry | QMessageBox::Cancel;
    case Dialogs::Buttons::YesNo: return QMessageBox::Yes | QMessageBox::No;
    case Dialogs::Buttons::YesNoCancel: return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Dialogs::Buttons::AbortRetryIgnore: return QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
    case Dialogs::Buttons::Ok: break;
    }
    return QMessageBox::Ok;
}

Dialogs::Answer answerOf(int button) {
    switch (button) {
    case QMessageBox::Cancel: return Dialogs::Answer::Cancel;
    case QMessageBox::Retry: return Dialogs::Answer::Retry;
    case QMessageBox::Yes: return Dialogs::Answer::Yes;
    case QMessageBox::No: return Dialogs::Answer::No;
    case QMessageBox::Abort: return Dialogs::Answer::Abort;
    case QMessageBox::Ignore: return Dialogs::Answer::Ignore;
    default: return Dialogs::Answer::Ok;
    }
}

QString startPath(const QString& folder, const QString& fileName) {
    if (folder.isEmpty()) return fileName;
    return fileName.isEmpty() ? folder : QDir(folder).filePath(fileName);
}

}  // namespace

Dialogs::Answer QtDialogs::messageBox(QWidget* parent, const Message& message) {
    QMessageBox box(boxIcon(message.icon), titleOr(message.title), message.text, boxButtons(message.buttons), parent);
    return answerOf(box.exec());
}

QString QtDialogs::openFileName(QWidget* parent, const QString& caption, const QString& folder,
                                const QString& fileName, const QString& filter) {
    return QFileDialog::getOpenFileName(parent, caption, startPath(folder, fileName), filter);
}

QString QtDialogs::saveFileName(QWidget* parent, const QString& caption, const QString& folder,
                                const QString& fileName, const QString& filter) {
    return QFileDialog::getSaveFileName(parent, caption, startPath(folder, fileName), filter);
}

std::optional<QString> QtDialogs::inputText(QWidget* parent, const QString& prompt, const QString& title,
                                            const QString& value) {
    bool ok = false;
    const QString text = QInputDialog::getText(parent, titleOr(title), prompt, QLineEdit::Normal, value, &ok);
    if (!ok) return std::nullopt;
    return text;
}

}  // namespace kestview
