#include "viewer.h"

#include "commandline.h"
#include "datafolder.h"
#include "dialogmessage.h"
#include "mainwindow.h"
#include "settings.h"
#include "userstate.h"

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
    if (!line.dataFolder.isEmpty() || !UserState::instrumentName(dataFolder()).isEmpty())
        window.showInstrumentTitle();
    window.show();
    QTimer::singleShot(0, &window, [&window, &line] {
        const auto fail = [](const QString &told) {
            std::fprintf(stderr, "%s\n", qPrintable(told));
            QApplication::exit(1);
        };
        // The additions belong onto the records imported: after an import
        // that failed they would go onto the previous ones instead.
        const bool adding = !line.additions.isEmpty();
        const bool reporting = !line.report.path.isEmpty();
        const JobOutcome imported = line.imports.isEmpty() ? JobOutcome() : window.importPaths(line.imports, adding || reporting);
        if ((adding || reporting) && !line.imports.isEmpty() && !imported.done())
            return fail(QApplication::translate("Viewer", adding ? "The import failed, so nothing was added: %1"
                                                                 : "The import failed, so no report was written: %1")
                            .arg(imported.reason));
        const JobOutcome added = adding ? window.addPaths(line.additions, reporting) : JobOutcome();
        if (!reporting)
            return;
        if (adding && !added.done())
            return fail(QApplication::translate("Viewer", "The addition failed, so no report was written: %1").arg(added.reason));
        const QString failure = window.writeReport(line.report);
        if (!failure.isEmpty())
            return fail(QApplication::translate("Viewer", "The report could not be written: %1").arg(failure));
        std::printf("%s\n", qPrintable(QApplication::translate("Viewer", "Report written to %1").arg(line.report.path)));
        QApplication::exit(0);
    });
    return QApplication::exec();
}
