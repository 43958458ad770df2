#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

QString versionText()
{
    return QStringLiteral("Sundrevale Instruments Co.,Ltd.Ver " SUNDREVALE_VERSION);
}

CommandLine parseCommandLine(const QStringList &arguments)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QCoreApplication::translate("CommandLine", "Imports the CSV record files of process instruments and shows "
                                                   "them as paged tables and charts."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("CommandLine", "Shows this help."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QCoreApplication::translate("CommandLine", "Shows the version."));
    const QCommandLineOption data(QStringLiteral("data"),
                                  QCoreApplication::translate("CommandLine", "Keeps record.db and Sundrevale.Config in "
                                                                             "DIR (one folder per instrument)."),
                                  QStringLiteral("DIR"));
    const QCommandLineOption import(QStringLiteral("import"),
                                    QCoreApplication::translate("CommandLine", "Imports record files, or the record "
                                                                               "files of a folder, once the window is "
                                                                               "shown; the records before are replaced."),
                                    QStringLiteral("PATH"));
    parser.addOptions({help, version, data, import});
    parser.addPositionalArgument(QStringLiteral("PATH"),
                                 QCoreApplication::translate("CommandLine", "More record files or folders to import."),
                                 QStringLiteral("[PATH...]"));

    CommandLine line;
    const auto wrong = [&](const QString &what) {
        line.exitCode = 2;
        line.output = what + QLatin1Char('\n')
            + QCoreApplication::translate("CommandLine", "Try --help for the arguments.");
        return line;
    };
    if (!parser.parse(arguments))
        return wrong(parser.errorText());
    if (parser.isSet(help) || parser.isSet(version)) {
        line.exitCode = 0;
        // No application object exists yet to name the program.
        line.output = parser.isSet(help) ? parser.helpText().replace(QStringLiteral("<executable_name>"),
                                                                     QFileInfo(arguments.value(0)).fileName())
                                         : versionText();
        return line;
    }
    line.dataFolder = parser.value(data);
    if (parser.isSet(data) && line.dataFolder.isEmpty())
        return wrong(QCoreApplication::translate("CommandLine", "--data needs a folder."));
    // Paths without --import are imported too: the desktop opens files so.
    line.imports = parser.values(import) + parser.positionalArguments();
    for (const QString &path : std::as_const(line.imports)) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            return wrong(QCoreApplication::translate("CommandLine", "No record file or folder at \"%1\".").arg(path));
    }
    return line;
}
