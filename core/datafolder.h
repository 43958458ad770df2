#ifndef DATAFOLDER_H
#define DATAFOLDER_H

#include <QString>

// Where record.db and Sundrevale.Config live:
//  - in the folder given with --data;
//  - else beside the executable when it is a build or a portable copy (the
//    template record0.db lies beside it) and its folder is writable;
//  - else (an installed copy) in the user's data folder.
// Until chooseDataFolder() the executable's folder counts.
QString dataFolder();
// The folder that holds record0.db and the default Sundrevale.Config: beside
// the executable, or the installed share folder.
QString sharedFilesFolder();

// Chooses and creates the data folder. On its first use (neither record.db
// nor Sundrevale.Config there) it gets the default settings file and an empty
// record.db; a settings file the user deleted later is not made again.
// False, with the reason, when the folder cannot be made or filled.
bool chooseDataFolder(const QString &requested, QString *error);

#endif
