#include "close_on_signal.h"

#include <QCoreApplication>
#include <QPointer>
#include <QSocketNotifier>
#include <QWidget>
#include <csignal>
#include <sys/eventfd.h>
#include <unistd.h>

namespace kestview {

namespace {

int signalFd = -1;  // written by the handler, read on the event loop

extern "C" void onTermination(int) {
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t n = ::write(signalFd, &one, sizeof one);  // async-signal-safe
}

}  // namespace

bool closeOnTermination(QWidget& window) {
    if (signalFd < 0) signalFd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (signalFd < 0) return false;
    auto* notifier = new QSocketNotifier(signalFd, QSocketNotifier::Read, &window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [w = QPointer<QWidget>(&window)] {
        uint64_t count = 0;
        [[maybe_unused]] const ssize_t n = ::read(signalFd, &count, sizeof count);
        if (w) w->close();  // also when hidden behind the manufacturing test
        QCoreApplication::quit();
    });
    struct sigaction action {};
    action.sa_handler = onTermination;
    sigemptyset(&action.sa_mask);
    for (int s : {SIGTERM, SIGINT, SIGHUP}) sigaction(s, &action, nullptr);
    return true;
}

}  // namespace kestview
