// kestview: the bench test console for Vireo adapters.
#include <QApplication>
#include <QCommandLineParser>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>

#include "MFGTestFrm.h"
#include "close_on_signal.h"
#include "headless_run.h"
#include "main_frm.h"
#include "oleaut/objbase.h"
#include "window_openers.h"

namespace {

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("kestview"));
    QCoreApplication::setApplicationVersion(
        QStringLiteral("%1.%2.%3").arg(KESTVIEW_VERSION_MAJOR).arg(KESTVIEW_VERSION_MINOR).arg(KESTVIEW_VERSION_PATCH));
}

}  // namespace

int main(int argc, char** argv) {
    // The headless manufacturing test needs no display (its report still renders).
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--mfgtest") == 0 && !std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
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
    kestview::mfgtest::addHeadlessOptions(parser);
    {
        // Help and version need no display: they are answered before the GUI starts.
        QStringList arguments;
        for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        if (parser.parse(arguments) &&
            (parser.isSet(QStringLiteral("help")) || parser.isSet(QStringLiteral("help-all")) ||
             parser.isSet(QStringLiteral("version")))) {
            QCoreApplication core(argc, argv);
            nameApplication();
            parser.process(core);  // prints and exits
        }
    }
    QApplication app(argc, argv);
    nameApplication();
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
        kestview::instruments::TestEquipment equipment([&console](const std::string& text) {
            console.setError(QString::fromStdString(text));
        });
        if (kestview::mfgtest::headlessRequested(parser)) {
            QString error;
            const auto options = kestview::mfgtest::headlessOptions(parser, error);
            if (!options) std::fprintf(stderr, "kestview: %s\n", qPrintable(error));
            status = options ? kestview::mfgtest::runHeadless(console, equipment, *options, std::cout, std::cerr)
                             : kestview::mfgtest::kExitSetUp;
            console.releaseAll();
            CoUninitialize();  // the collection and every object were released above
            return status;
        }
        kestview::WindowOpeners openers = kestview::consoleWindowOpeners();
        openers.initTestEquip = [&equipment](kestview::Console& c) {
            equipment.initTestEquip();
            c.PowerMeterOk = equipment.PowerMeterOk;
            c.AnalyzerOk = equipment.AnalyzerOk;
        };
        // The test window shows the main window again when it closes.
        openers.mfgTest = [&equipment](kestview::Console& c) {
            auto* main = qobject_cast<kestview::MainFrm*>(c.mainWindow());
            (new kestview::mfgtest::MFGTestFrm(c, equipment, [main] { if (main) main->parseMacAddr(); }, c.mainWindow()))
                ->show();
        };
        kestview::MainFrm window(console, std::move(openers));
        kestview::closeOnTermination(window);
        window.show();
        status = QApplication::exec();
    }
    CoUninitialize();
    return status;
}
