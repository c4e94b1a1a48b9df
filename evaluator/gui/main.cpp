// Airmeter: the wireless LAN evaluation program.
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>

#include "dmi_access.h"
#include "ini_file.h"
#include "local_identity.h"
#include "main_form.h"

int main(int argc, char** argv) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "Wireless LAN evaluation: sends and receives test traffic between two hosts and shows\n"
        "throughput and loss. Settings are kept in Airmeter.INI beside the program, or in\n"
        "~/.config/Airmeter where that folder is read-only.");
    parser.addHelpOption();
    {
        // The help needs no display: it is answered before the GUI starts.
        QStringList arguments;
        for (int i = 0; i < argc; ++i) arguments << QString::fromLocal8Bit(argv[i]);
        if (parser.parse(arguments) && (parser.isSet("help") || parser.isSet("help-all"))) {
            QCoreApplication core(argc, argv);
            QCoreApplication::setApplicationName("Airmeter");
            parser.process(core);  // prints and exits
        }
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName("Airmeter");
    parser.process(app);
    const QString here = QApplication::applicationDirPath();
    airmeter::DmiLibrary::load({here.toStdString(), QDir(here + "/../lib").absolutePath().toStdString()});
    int result = 0;
    {
        TMainForm window(IniFile::forRunningProgram(), airmeter::localIdentity());
        window.show();
        result = QApplication::exec();
    }
    airmeter::DmiLibrary::unload();
    return result;
}
