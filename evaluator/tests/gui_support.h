// What the window tests share: scratch files, a message sink that records, and waits that keep
// the event loop running.
#pragma once

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

#include "message_sink.h"

using namespace std::chrono_literals;

inline QString scratch(const QString& name) {
    const QString folder = QString(AIRMETER_BINARY_DIR) + "/test-scratch/airmeter_gui_tests";
    QDir().mkpath(folder);
    return folder + "/" + name;
}

class RecordingSink : public MessageSink {
public:
    void showMessage(QWidget*, const QString& text) override { texts.push_back(text); }
    std::vector<QString> texts;
};

// Processes events until the condition holds; generous, for a loaded machine.
inline bool waitUntil(const std::function<bool()>& condition) {
    const auto deadline = std::chrono::steady_clock::now() + 30s;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        QApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(2ms);
    }
    return true;
}

// Answers the next modal dialog of type T with `answer` once it is up.
template <typename T>
void whenModal(const std::function<void(T*)>& answer) {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        if (auto* dialog = qobject_cast<T*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            answer(dialog);
        }
    });
    timer->start(10);
}
