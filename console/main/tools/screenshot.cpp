// kestview-screenshot [--adapter KEY] [--window NAME] [--after MS] FILE.png: the main window on the
// installed bench with an adapter open (default 0002, the Birch B), channel 6 chosen and
// continuous transmit on, saved for the documentation. With --window, the window that the main
// window opens with that control is shown too and saved instead: rid ("Exam RIDS"), cmds
// ("Issue Cmds"), tallies ("View Tallies"), sweep ("Sweep Results") or bbp ("Align BBP").
// The picture is taken --after milliseconds (default 2000) from the start.
#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCommandLineParser>
#include <QListWidget>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <map>

#include "main_frm.h"
#include "framed_picture.h"
#include "oleaut/objbase.h"
#include "window_openers.h"

namespace {

// The control that opens each window, and the window's object name ("" for the editor, whose
// name depends on the model).
const std::map<QString, std::pair<const char*, const char*>> kWindows = {
    {"rid", {"RIDBtn", "RidForm"}},           {"cmds", {"IssueCmdBtn", "cmdsFrm"}},
    {"tallies", {"ViewTalliesMnu", "TallyFrm"}}, {"sweep", {"SweepResultsMnu", "SweepFrm"}},
    {"bbp", {"BBPBtn", ""}},
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestview"));
    QCommandLineParser parser;
    const QCommandLineOption adapterOpt(QStringLiteral("adapter"), QStringLiteral("Open the adapter KEY."),
                                        QStringLiteral("KEY"), QStringLiteral("0002"));
    const QCommandLineOption windowOpt(QStringLiteral("window"),
                                       QStringLiteral("Also open NAME (rid, cmds, tallies, sweep, bbp) and save it."),
                                       QStringLiteral("NAME"));
    const QCommandLineOption afterOpt(QStringLiteral("after"), QStringLiteral("Take the picture after MS milliseconds."),
                                      QStringLiteral("MS"), QStringLiteral("2000"));
    parser.addOptions({adapterOpt, windowOpt, afterOpt});
    parser.addPositionalArgument(QStringLiteral("FILE.png"), QStringLiteral("Where the picture goes."));
    parser.process(app);
    const QString window = parser.value(windowOpt);
    bool afterOk = false;
    const int after = parser.value(afterOpt).toInt(&afterOk);
    if (parser.positionalArguments().size() != 1 || (!window.isEmpty() && !kWindows.contains(window)) ||
        !afterOk || after < 1000) {
        std::fprintf(stderr,
                     "usage: kestview-screenshot [--adapter KEY] [--window rid|cmds|tallies|sweep|bbp] "
                     "[--after MS (1000 or more)] FILE.png\n");
        return 2;
    }
    const QString file = parser.positionalArguments().front();

    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int status = 0;
    {
        kestview::Console console;
        kestview::MainFrm main(console, kestview::consoleWindowOpeners());
        main.show();
        auto* list = main.findChild<QListWidget*>(QStringLiteral("AdapterLst"));
        for (int i = 0; list && i < list->count(); ++i)
            if (list->item(i)->text().startsWith(parser.value(adapterOpt) + ' ')) {
                list->setCurrentRow(i);
                emit list->itemClicked(list->item(i));
            }
        auto click = [&](const char* name) {
            if (auto* action = main.findChild<QAction*>(QString::fromLatin1(name))) action->trigger();
            else if (auto* b = main.findChild<QAbstractButton*>(QString::fromLatin1(name))) b->click();
        };
        QTimer::singleShot(300, [&] { click("RadioOpt(6)"); });
        QTimer::singleShot(800, [&] { click("ContTxBtn"); });
        QPointer<QWidget> opened;
        if (!window.isEmpty()) {
            QTimer::singleShot(900, [&] {
                const auto& [control, name] = kWindows.at(window);
                const auto before = main.findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
                click(control);
                for (QWidget* w : main.findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                    if (w->isWindow() && !before.contains(w) && (!*name || w->objectName() == name)) opened = w;
            });
        }
        QTimer::singleShot(after, [&] {
            QWidget* target = window.isEmpty() ? &main : opened.data();
            if (!target) std::fprintf(stderr, "kestview-screenshot: the %s window did not open\n", qPrintable(window));
            if (!target || !kestview::saveFramedPicture(*target, file)) status = 1;
            if (opened) opened->close();
            main.close();
        });
        QApplication::exec();
    }
    CoUninitialize();
    return status;
}
