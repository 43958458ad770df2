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
#include <cstdio>

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
        // The additions belong onto the records imported: after an import
        // that failed they would go onto the previous ones instead.
        const bool adding = !line.additions.isEmpty();
        const JobOutcome imported = line.imports.isEmpty() ? JobOutcome() : window.importPaths(line.imports, adding);
        if (adding && !imported.done()) {
            const QString told = QApplication::translate("Viewer", "The import failed, so nothing was added: %1");
            std::fprintf(stderr, "%s\n", qPrintable(told.arg(imported.reason)));
            QApplication::exit(1);
        } else if (adding) {
            window.addPaths(line.additions);
        }
    });
    return QApplication::exec();
}
