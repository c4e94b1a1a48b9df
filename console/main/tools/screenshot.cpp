// kestview-screenshot FILE.png: the main window on the installed bench with the Birch B adapter
// open, channel 6 chosen and continuous transmit on, saved for the documentation.
#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QPainter>
#include <QPixmap>
#include <QTimer>
#include <cstdio>

#include "main_frm.h"
#include "oleaut/objbase.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestview"));
    if (argc != 2) {
        std::fprintf(stderr, "usage: kestview-screenshot FILE.png\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        kestview::Console console;
        kestview::MainFrm window(console);
        window.show();
        auto* list = window.findChild<QListWidget*>(QStringLiteral("AdapterLst"));
        for (int i = 0; list && i < list->count(); ++i)
            if (list->item(i)->text().startsWith(QStringLiteral("0002"))) {
                list->setCurrentRow(i);
                emit list->itemClicked(list->item(i));
            }
        auto click = [&](const char* name) {
            if (auto* b = window.findChild<QAbstractButton*>(QString::fromLatin1(name))) b->click();
        };
        QTimer::singleShot(300, [&] { click("RadioOpt(6)"); });
        QTimer::singleShot(800, [&] { click("ContTxBtn"); });
        QTimer::singleShot(2000, [&] {
            const QPixmap image = window.grab();
            const int bar = 26;
            QPixmap framed(image.width(), image.height() + bar);
            framed.fill(Qt::white);
            QPainter painter(&framed);
            painter.fillRect(0, 0, image.width(), bar, QColor(0x2b, 0x57, 0x9a));
            painter.setPen(Qt::white);
            painter.drawText(QRect(8, 0, image.width() - 16, bar), Qt::AlignVCenter, window.windowTitle());
            painter.drawPixmap(0, bar, image);
            painter.end();
            if (!framed.save(QString::fromLocal8Bit(argv[1]))) status = 1;
            window.close();
        });
        QApplication::exec();
    }
    CoUninitialize();
    return status;
}
