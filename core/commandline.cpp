#include "commandline.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QFileInfo>

QString versionText()
{
    return QCoreApplication::translate("MainWindow", "Sundrevale Instruments Co.,Ltd.Ver %1")
        .arg(QStringLiteral(SUNDREVALE_VERSION));
}

namespace {

// Qt's own options (with one dash or two), which the application object
// takes for itself: launchers and test harnesses pass them to any Qt program.
QStringList withoutQtOptions(const QStringList &arguments)
{
    static const QStringList withValue{
        QStringLiteral("platform"),  QStringLiteral("platformpluginpath"), QStringLiteral("platformtheme"),
        QStringLiteral("plugin"),    QStringLiteral("qwindowgeometry"),    QStringLiteral("qwindowicon"),
        QStringLiteral("qwindowtitle"), QStringLiteral("session"),         QStringLiteral("style"),
        QStringLiteral("stylesheet"), QStringLiteral("display"),           QStringLiteral("geometry"),
        QStringLiteral("title"),     QStringLiteral("icon"),               QStringLiteral("name"),
        QStringLiteral("visual")};
    static const QStringList flags{QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                   QStringLiteral("nograb"),  QStringLiteral("dograb"),
                                   QStringLiteral("sync"),    QStringLiteral("testability")};
    QStringList kept;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (i == 0 || !argument.startsWith(QLatin1Char('-'))) {
            kept << argument;
            continue;
        }
        const QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
        if (flags.contains(name) || name == QLatin1String("qmljsdebugger")
            || (withValue.contains(name) && argument.contains(QLatin1Char('='))))
            continue;
        if (withValue.contains(name) && i + 1 < arguments.size()) {
            ++i; // its value
            continue;
        }
        kept << argument;
    }
    return kept;
}

const QStringList ValueOptions{QStringLiteral("--add"),  QStringLiteral("--import"),  QStringLiteral("--data"),
                               QStringLiteral("--report"), QStringLiteral("--from"), QStringLiteral("--to"),
                               QStringLiteral("--channel"), QStringLiteral("--period")};

// "2024-03-01 06:00" or with seconds, as the record files write times.
QDateTime timeOption(const QString &text)
{
    for (const char *format : {"yyyy-MM-dd hh:mm:ss", "yyyy-MM-dd hh:mm", "yyyy-MM-dd"}) {
        const QDateTime at = QDateTime::fromString(text.trimmed(), QLatin1String(format));
        if (at.isValid())
            return at;
    }
    return QDateTime();
}

// For each path without an option of its own, in order: whether it follows
// an --add (and is added) rather than an --import or no option (imported).
QList<bool> positionalsToAdd(const QStringList &arguments)
{
    QList<bool> added;
    bool adding = false;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QLatin1String("--")) {
            for (++i; i < arguments.size(); ++i)
                added << adding;
            break;
        }
        const QString name = argument.section(QLatin1Char('='), 0, 0);
        if (name == QLatin1String("--add") || name == QLatin1String("--import"))
            adding = name == QLatin1String("--add");
        if (!argument.startsWith(QLatin1Char('-')))
            added << adding;
        else if (!argument.contains(QLatin1Char('='))
                 && ValueOptions.contains(name))
            ++i; // its value
    }
    return added;
}

} // namespace

CommandLine parseCommandLine(const QStringList &qtArguments)
{
    const QStringList arguments = withoutQtOptions(qtArguments);
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
    const QCommandLineOption add(QStringLiteral("add"),
                                 QCoreApplication::translate("CommandLine", "Adds record files, or the record files "
                                                                            "of a folder, to the records there: files "
                                                                            "already imported are skipped, changed "
                                                                            "ones replaced."),
                                 QStringLiteral("PATH"));
    const auto option = [](const char *name, const char *text, const char *value) {
        return QCommandLineOption(QLatin1String(name), QCoreApplication::translate("CommandLine", text), QLatin1String(value));
    };
    const QCommandLineOption report = option("report", "Writes the report of the window to FILE.pdf after the imports "
                                                       "and additions, then exits (status 0, or 1 with the reason).",
                                             "FILE.pdf");
    const QCommandLineOption from = option("from", "The report's window starts at TIME (\"2024-03-01 06:00\"); "
                                                   "default: the first record.", "TIME");
    const QCommandLineOption to = option("to", "The report's window ends at TIME; default: the last record.", "TIME");
    const QCommandLineOption channel = option("channel", "The channels the report shows (\"1,3\"); default: 1.", "N");
    const QCommandLineOption period = option("period", "The report's table by hour, day (default), week or month.",
                                             "LENGTH");
    parser.addOptions({help, version, data, import, add, report, from, to, channel, period});
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
    // Paths without an option are imported too (the desktop opens files so),
    // or added when they follow an --add.
    line.imports = parser.values(import);
    line.additions = parser.values(add);
    const QStringList paths = parser.positionalArguments();
    const QList<bool> added = positionalsToAdd(arguments);
    for (int i = 0; i < paths.size(); ++i)
        (added.value(i) ? line.additions : line.imports) << paths.at(i);
    for (const QString &path : line.imports + line.additions) {
        if (path.isEmpty() || !QFileInfo::exists(path))
            return wrong(QCoreApplication::translate("CommandLine", "No record file or folder at \"%1\".").arg(path));
    }
    line.report.path = parser.value(report);
    if (parser.isSet(report) && line.report.path.isEmpty())
        return wrong(QCoreApplication::translate("CommandLine", "--report needs a file."));
    for (const auto &[given, at] : {std::pair{&from, &line.report.from}, std::pair{&to, &line.report.to}}) {
        if (!parser.isSet(*given))
            continue;
        *at = timeOption(parser.value(*given));
        if (!at->isValid())
            return wrong(QCoreApplication::translate("CommandLine", "\"%1\" is no time: write it as 2024-03-01 06:00.")
                             .arg(parser.value(*given)));
    }
    if (parser.isSet(channel)) {
        line.report.channels.clear();
        for (const QString &number : parser.value(channel).split(QLatin1Char(','))) {
            bool ok = false;
            const int n = number.trimmed().toInt(&ok);
            if (!ok || n < 1)
                return wrong(QCoreApplication::translate("CommandLine", "\"%1\" names no channel: give numbers from 1, "
                                                                        "as 1,3.").arg(parser.value(channel)));
            line.report.channels << n;
        }
    }
    static const QStringList lengths{QStringLiteral("hour"), QStringLiteral("day"), QStringLiteral("week"),
                                     QStringLiteral("month")};
    if (parser.isSet(period)) {
        const int length = int(lengths.indexOf(parser.value(period).toLower()));
        if (length < 0)
            return wrong(QCoreApplication::translate("CommandLine", "--period is hour, day, week or month."));
        line.report.period = PeriodLength(length);
    }
    if (!parser.isSet(report) && (parser.isSet(from) || parser.isSet(to) || parser.isSet(channel) || parser.isSet(period)))
        return wrong(QCoreApplication::translate("CommandLine", "--from, --to, --channel and --period belong to --report."));
    return line;
}
