#include "commandline.h"
#include "freedmemory.h"
#include "recordtime.h"
#include "viewer.h"

#include <QApplication>
#include <cstdio>

int main(int argc, char *argv[])
{
    // Help, version and wrong arguments need no display.
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = parseCommandLine(arguments);
    if (line.exitCode >= 0) {
        std::fprintf(line.exitCode == 0 ? stdout : stderr, "%s\n", qPrintable(line.output));
        return line.exitCode;
    }
    keepLocalZoneLoaded();
    setAllocatorLimits();
    QCoreApplication::setOrganizationName(QStringLiteral("Sundrevale"));
    QCoreApplication::setApplicationName(QStringLiteral("SundrevaleReader"));
    QApplication app(argc, argv);
    return runViewer(line);
}
