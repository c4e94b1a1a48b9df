#include "message_sink.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace {

class MessageBoxSink : public MessageSink {
public:
    void showMessage(QWidget* parent, const QString& text) override {
        QMessageBox::information(parent, QCoreApplication::applicationName(), text);
    }
};

MessageBoxSink boxes;
MessageSink* current = &boxes;

}  // namespace

MessageSink& messages() { return *current; }

void setMessageSink(MessageSink* sink) { current = sink ? sink : &boxes; }
