#ifndef FILEDIALOGS_H
#define FILEDIALOGS_H

#include <QString>
#include <QStringList>

class QWidget;

// File dialogs in the desktop's own style: as children of the main window
// they would take on its dark style sheet, whose label and button rules make
// them unreadable. They stay modal and open centred over `over`.
QStringList chooseOpenFiles(QWidget *over, const QString &title, const QString &folder, const QString &filter);
// Files, or with "Whole folder" the folder shown (one path).
QStringList chooseFilesOrFolder(QWidget *over, const QString &title, const QString &folder, const QString &filter);
// A folder, as an absolute path; empty when none was chosen.
QString chooseFolder(QWidget *over, const QString &title, const QString &folder);
QString chooseSaveFile(QWidget *over, const QString &title, const QString &file, const QString &filter);

#endif
