// Airmeter: the wireless LAN evaluation program.
#include <QApplication>
#include <QDir>

#include "dmi_access.h"
#include "ini_file.h"
#include "local_identity.h"
#include "main_form.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName("Airmeter");
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
