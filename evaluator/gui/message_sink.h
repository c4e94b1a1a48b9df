// Every message box of the program goes through one sink, which tests replace to read and
// answer them.
#pragma once

#include <QString>

class QWidget;

class MessageSink {
public:
    virtual ~MessageSink() = default;
    virtual void showMessage(QWidget* parent, const QString& text) = 0;
};

// The current sink: message boxes titled with the application title unless a test set another.
MessageSink& messages();
// Replaces the sink; nullptr restores message boxes. The caller keeps ownership.
void setMessageSink(MessageSink* sink);
