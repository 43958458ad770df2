#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include "periods.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The version text of the status bar and of --version.
QString versionText();

// A report asked for on the command line: of the window from..to (each
// invalid: the first or last record) and the channels given (1-based).
struct ReportRequest {
    QString path; // empty: none asked for
    QDateTime from, to;
    QList<int> channels{1};
    PeriodLength period = PeriodLength::Day;
};

// What the viewer was asked to do on its command line.
struct CommandLine {
    QString dataFolder;  // --data DIR
    QStringList imports; // --import PATH...: record files or folders of them
    QStringList additions; // --add PATH...: added to the records there, after the imports
    ReportRequest report; // --report FILE.pdf, written after the imports and additions; then the viewer exits
    int exitCode = -1;   // 0 or more: print `output` and exit with this status at once
    QString output;      // help or version (status 0), or what was wrong (status 2)
};

// Reads the arguments (the program's name first):
//   --help, --version, --data DIR, --import PATH [PATH...], --add PATH,
//   --report FILE.pdf [--from TIME] [--to TIME] [--channel N[,N...]] [--period hour|day|week|month]
// Every path to import must exist; anything wrong gives status 2. Qt's own
// options (-platform NAME, -style NAME, -reverse...) are left to Qt.
CommandLine parseCommandLine(const QStringList &arguments);

#endif
