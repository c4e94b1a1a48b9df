// kestview-test-results-screenshot FILE.png [OFFSET]: runs the spectral mask test on the installed bench
// (its gateway running) with the Cedar adapter and the mask offset OFFSET (default 28; one the
// transmitter cannot reach gives a failed run), shows the results window as the operator sees it
// and saves the whole screen, for the documentation.
#include <QApplication>
#include <QEventLoop>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <cstdio>

#include "ResultFrm.h"
#include "console_ports.h"
#include "headless_run.h"
#include "instrument_port.h"
#include "oleaut/objbase.h"

namespace {

// Message boxes go to standard output: the picture is of the results window alone.
class PrintedDialogs final : public kestview::Dialogs {
public:
    Answer messageBox(QWidget*, const Message& m) override {
        std::printf("%s: %s\n", qPrintable(m.title), qPrintable(m.text));
        return Answer::No;
    }
    QString openFileName(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return {}; }
    QString saveFileName(QWidget*, const QString&, const QString&, const QString&, const QString&) override { return {}; }
    std::optional<QString> inputText(QWidget*, const QString&, const QString&, const QString&) override {
        return std::nullopt;
    }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestview"));
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: kestview-test-results-screenshot FILE.png [OFFSET]\n");
        return 2;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 1;
    {
        kestview::Console console;
        PrintedDialogs dialogs;
        console.setDialogs(&dialogs);
        console.clock().setTimeScale(1000);
        std::string why;
        kestview::instruments::TestEquipment equipment({});
        kestview::mfgtest::initTestEquipment(console, equipment);
        if (!console.PowerMeterOk || !console.AnalyzerOk) {
            std::fprintf(stderr, "kestview-test-results-screenshot: %s\n", qPrintable(console.InstrumentsNotReady));
        } else if (!kestview::mfgtest::openAdapterForTest(console, QStringLiteral("0003"), why)) {
            std::fprintf(stderr, "kestview-test-results-screenshot: %s\n", why.c_str());
        } else {
            kestview::mfgtest::ConsoleAdapterPort adapter(console);
            kestview::mfgtest::EquipmentInstruments instruments(equipment);
            kestview::mfgtest::ConsoleTestHost host(console);
            kestview::mfgtest::OperationalTest(
                adapter, instruments, host, true, true, {}, argc == 3 ? argv[2] : "28", console.MaskOffset,
                [&](const kestview::mfgtest::MaskTestRun& run) {
                    kestview::mfgtest::ResultFrm results(console, run);
                    results.show();
                    QEventLoop loop;
                    QTimer::singleShot(1500, &loop, [&] {
                        const QPixmap screen = QGuiApplication::primaryScreen()->grabWindow(0);
                        if (screen.save(QString::fromLocal8Bit(argv[1]))) status = 0;
                        loop.quit();
                    });
                    loop.exec();
                });
        }
        console.releaseAll();
    }
    CoUninitialize();
    return status;
}
