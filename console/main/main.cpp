// kestview: the bench test console for Vireo adapters.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>

#include "main_frm.h"
#include "oleaut/objbase.h"
#include "window_openers.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestview"));
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3")
                                            .arg(KESTVIEW_VERSION_MAJOR)
                                            .arg(KESTVIEW_VERSION_MINOR)
                                            .arg(KESTVIEW_VERSION_PATCH));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Test console for Vireo wireless-LAN adapters."));
    parser.addHelpOption();
    parser.addVersionOption();
    const QCommandLineOption timeScale(QStringLiteral("time-scale"),
                                       QStringLiteral("Run the console's clock N times faster (waits pass sooner)."),
                                       QStringLiteral("N"), QStringLiteral("1"));
    const QCommandLineOption trace(QStringLiteral("trace"),
                                   QStringLiteral("Write every trace line, with its level, to FILE."), QStringLiteral("FILE"));
    parser.addOption(timeScale);
    parser.addOption(trace);
    parser.process(app);

    bool ok = false;
    const double scale = parser.value(timeScale).toDouble(&ok);
    if (!ok || !(scale > 0)) {
        std::fprintf(stderr, "kestview: --time-scale needs a positive number, not \"%s\"\n",
                     qPrintable(parser.value(timeScale)));
        return 2;
    }
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {
        std::fprintf(stderr, "kestview: the object runtime could not be initialised\n");
        return 1;
    }
    int status = 0;
    {
        kestview::Console console;
        console.clock().setTimeScale(scale);
        if (parser.isSet(trace)) {
            QString error;
            if (!console.trace().openFile(parser.value(trace), &error)) {
                std::fprintf(stderr, "kestview: cannot write the trace to %s: %s\n", qPrintable(parser.value(trace)),
                             qPrintable(error));
                CoUninitialize();
                return 1;
            }
        }
        kestview::WindowOpeners openers = kestview::consoleWindowOpeners();
        kestview::MainFrm window(console, std::move(openers));
        window.show();
        status = QApplication::exec();
    }
    CoUninitialize();
    return status;
}
