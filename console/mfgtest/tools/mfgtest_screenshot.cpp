// kestview-mfgtest-screenshot FILE.png [KEY]: the manufacturing test window on the installed bench
// with the adapter KEY (default 0003) open and a few channels ticked, saved for the documentation.
#include <QApplication>
#include <QCheckBox>
#include <QTimer>
#include <cstdio>

#include "MFGTestFrm.h"
#include "framed_picture.h"
#include "headless_run.h"
#include "oleaut/objbase.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestview"));
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: kestview-mfgtest-screenshot FILE.png [KEY]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        kestview::Console console;
        std::string why;
        if (!kestview::mfgtest::openAdapterForTest(console, QString::fromLocal8Bit(argc == 3 ? argv[2] : "0003"), why))
            std::fprintf(stderr, "kestview-mfgtest-screenshot: %s\n", why.c_str());
        kestview::instruments::TestEquipment equipment({});
        kestview::mfgtest::MFGTestFrm window(console, equipment);
        window.setAttribute(Qt::WA_DeleteOnClose, false);
        for (int ch : {1, 2, 3})
            if (auto* b = window.findChild<QCheckBox*>(QStringLiteral("AllowedChnChk(%1)").arg(ch))) b->setChecked(true);
        window.show();
        QTimer::singleShot(1500, [&] {
            if (!kestview::saveFramedPicture(window, QString::fromLocal8Bit(argv[1]))) status = 1;
            QApplication::quit();
        });
        QApplication::exec();
        console.releaseAll();
    }
    CoUninitialize();
    return status;
}
