#ifndef VIEWER_H
#define VIEWER_H

struct CommandLine;

// Runs the viewer as the command line asks, in a QApplication that exists:
// the data folder, the settings, the main window and an import to start.
int runViewer(const CommandLine &line);

#endif
