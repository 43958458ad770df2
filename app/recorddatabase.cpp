#include "recorddatabase.h"

#include <QCoreApplication>
#include <QFile>
#include <cstdio>

QString recordDatabasePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/record.db");
}

QString recordTemplatePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/record0.db");
}

bool replaceRecordDatabase()
{
    const QString target = recordDatabasePath();
    const QString temporary = target + QStringLiteral(".new");
    QFile::remove(temporary);
    if (!QFile::copy(recordTemplatePath(), temporary)) {
        QFile::remove(temporary);
        return false;
    }
    QFile::setPermissions(temporary, QFile::permissions(temporary) | QFile::WriteOwner);
    for (const char *suffix : {"-journal", "-wal", "-shm"})
        QFile::remove(target + QLatin1String(suffix));
    // rename(2) replaces the old file in one step.
    if (std::rename(QFile::encodeName(temporary).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(temporary);
        return false;
    }
    return true;
}
