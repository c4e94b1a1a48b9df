// Dialogs for tests: every message is kept, and each box, file dialog or input box takes the
// next queued answer (or a default: Ok for a box with one button, Cancel otherwise; no file; no
// input).
#pragma once

#include <deque>
#include <vector>

#include "dialogs.h"

namespace kestview::testing {

class ScriptedDialogs final : public Dialogs {
public:
    Answer messageBox(QWidget* parent, const Message& message) override;
    QString openFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& fileName,
                         const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& caption, const QString& folder, const QString& fileName,
                         const QString& filter) override;
    std::optional<QString> inputText(QWidget* parent, const QString& prompt, const QString& title,
                                     const QString& value) override;

    // Answers for the next boxes, file dialogs and input boxes, in order.
    void answer(Answer a) { answers_.push_back(a); }
    void chooseFile(const QString& path) { files_.push_back(path); }
    void enterText(std::optional<QString> text) { inputs_.push_back(std::move(text)); }

    // The boxes shown so far, oldest first.
    const std::vector<Message>& messages() const { return messages_; }
    // Captions of the file dialogs shown so far.
    const std::vector<QString>& fileCaptions() const { return fileCaptions_; }
    void clear() { messages_.clear(); fileCaptions_.clear(); }

private:
    QString nextFile(const QString& caption);

    std::deque<Answer> answers_;
    std::deque<QString> files_;
    std::deque<std::optional<QString>> inputs_;
    std::vector<Message> messages_;
    std::vector<QString> fileCaptions_;
};

}  // namespace kestview::testing
