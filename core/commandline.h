#ifndef COMMANDLINE_H
#define COMMANDLINE_H

#include <QString>
#include <QStringList>

// The version text of the status bar and of --version.
QString versionText();

// What the viewer was asked to do on its command line.
struct CommandLine {
    QString dataFolder;  // --data DIR
    QStringList imports; // --import PATH...: record files or folders of them
    QStringList additions; // --add PATH...: added to the records there, after the imports
    int exitCode = -1;   // 0 or more: print `output` and exit with this status at once
    QString output;      // help or version (status 0), or what was wrong (status 2)
};

// Reads the arguments (the program's name first):
//   --help, --version, --data DIR, --import PATH [PATH...], --add PATH
// Every path to import must exist; anything wrong gives status 2. Qt's own
// options (-platform NAME, -style NAME, -reverse...) are left to Qt.
CommandLine parseCommandLine(const QStringList &arguments);

#endif
