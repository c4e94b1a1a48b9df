// airmeter-screenshot FILE.png: runs a transmit and a receive window against each other over
// 127.0.0.1 for a few seconds and saves both windows side by side, for the documentation.
#include <QApplication>
#include <QDir>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "ini_file.h"
#include "recv_form.h"
#include "start_tx_form.h"
#include "xmit_form.h"

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QApplication::setApplicationName("Airmeter");
    if (argc != 2) {
        std::fprintf(stderr, "usage: airmeter-screenshot FILE.png\n");
        return 2;
    }
    QTemporaryDir folder;
    IniFile ini(folder.filePath("Airmeter.INI"));
    airmeter::TestSettings settings;
    settings.localAddress = "127.0.0.1";
    settings.localHostName = "localhost";
    settings.mode = airmeter::TestMode::Directed;
    settings.socketPort = 41500;
    settings.packetSize = 1024;
    TRecvForm rx(settings, ini);
    TXmitForm tx(settings, ini);
    rx.show();
    tx.show();
    rx.findChild<QPushButton*>("StartButton")->click();
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        if (auto* dialog = qobject_cast<TStartTxForm*>(QApplication::activeModalWidget())) {
            dialog->findChild<QLineEdit*>("TargetEdit")->setText("127.0.0.1");
            dialog->accept();
        }
    });
    answer.start(20);
    QTimer::singleShot(100, [&] { tx.findChild<QPushButton*>("StartButton")->click(); });
    QTimer::singleShot(4500, [&] {
        // Each window under a caption bar with its title, as a desktop would frame it.
        const QPixmap left = tx.grab();
        const QPixmap right = rx.grab();
        const int bar = 26, gap = 12;
        QPixmap both(left.width() + right.width() + gap, std::max(left.height(), right.height()) + bar);
        both.fill(Qt::white);
        QPainter painter(&both);
        int x = 0;
        for (const auto& [window, image] : {std::pair<QWidget*, QPixmap>{&tx, left}, {&rx, right}}) {
            painter.fillRect(x, 0, image.width(), bar, QColor(0x2b, 0x57, 0x9a));
            painter.setPen(Qt::white);
            painter.drawText(QRect(x + 8, 0, image.width() - 16, bar), Qt::AlignVCenter, window->windowTitle());
            painter.drawPixmap(x, bar, image);
            x += image.width() + gap;
        }
        painter.end();
        tx.findChild<QPushButton*>("StopButton")->click();
        rx.findChild<QPushButton*>("StopButton")->click();
        QApplication::exit(both.save(QString::fromLocal8Bit(argv[1])) ? 0 : 1);
    });
    return QApplication::exec();
}
