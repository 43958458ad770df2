#include "viewer.h"

#include "commandline.h"
#include "datafolder.h"
#include "dialogmessage.h"
#include "mainwindow.h"
#include "settings.h"

#include <QApplication>
#include <QFileInfo>
#include <QIcon>
#include <QTimer>

int runViewer(const CommandLine &line)
{
    QString error;
    if (!chooseDataFolder(line.dataFolder, &error)) {
        DialogMessage message;
        message.setMessage(error, QApplication::translate("Viewer", "Close"), true, 3);
        message.exec();
        return 1;
    }
    loadSettings();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vn.ico")));
    MainWindow window;
    if (!line.dataFolder.isEmpty())
        window.setWindowTitle(QStringLiteral("%1 - %2").arg(QFileInfo(dataFolder()).fileName(), window.windowTitle()));
    window.show();
    QTimer::singleShot(0, &window, [&window, &line] {
        if (!line.imports.isEmpty())
            window.importPaths(line.imports);
        if (!line.additions.isEmpty())
            window.addPaths(line.additions);
    });
    return QApplication::exec();
}
