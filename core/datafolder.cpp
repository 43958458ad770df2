#include "datafolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString g_dataFolder;

const QString SettingsName = QStringLiteral("Sundrevale.Config");
const QString DatabaseName = QStringLiteral("record.db");
const QString TemplateName = QStringLiteral("record0.db");

bool besideExecutable()
{
    const QString folder = QCoreApplication::applicationDirPath();
    return QFile::exists(folder + QLatin1Char('/') + TemplateName) && QFileInfo(folder).isWritable();
}

// A copy the user may change, whatever the permissions of its source.
bool copyWritable(const QString &from, const QString &to)
{
    if (!QFile::copy(from, to))
        return false;
    return QFile::setPermissions(to, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
}

} // namespace

QString dataFolder()
{
    return g_dataFolder.isEmpty() ? QCoreApplication::applicationDirPath() : g_dataFolder;
}

QString sharedFilesFolder()
{
    const QString beside = QCoreApplication::applicationDirPath();
    if (QFile::exists(beside + QLatin1Char('/') + TemplateName))
        return beside;
    return QDir::cleanPath(beside + QStringLiteral("/" SUNDREVALE_SHARE_FROM_BIN));
}

bool chooseDataFolder(const QString &requested, QString *error)
{
    QString folder = requested;
    if (folder.isEmpty())
        folder = besideExecutable() ? QCoreApplication::applicationDirPath()
                                    : QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    folder = QDir(folder).absolutePath();
    if (!QDir().mkpath(folder) || !QFileInfo(folder).isWritable()) {
        *error = QCoreApplication::translate("DataFolder", "The data folder %1 cannot be created or written.")
                     .arg(QDir::toNativeSeparators(folder));
        return false;
    }
    const QDir data(folder);
    if (data.exists(SettingsName) || data.exists(DatabaseName)) {
        g_dataFolder = folder;
        return true;
    }
    const QDir shared(sharedFilesFolder());
    // Beside a build or a portable copy the shared folder holds an
    // instrument's records too: its settings name that instrument's meter.
    const QString defaults = shared.exists(SettingsName) && !shared.exists(DatabaseName)
        ? shared.filePath(SettingsName)
        : QStringLiteral(":/defaults/Sundrevale.Config");
    if (!copyWritable(shared.filePath(TemplateName), data.filePath(DatabaseName))
        || !copyWritable(defaults, data.filePath(SettingsName))) {
        *error = QCoreApplication::translate("DataFolder", "The data folder %1 could not be filled: %2 is missing.")
                     .arg(QDir::toNativeSeparators(folder), QDir::toNativeSeparators(shared.filePath(TemplateName)));
        return false;
    }
    g_dataFolder = folder;
    return true;
}
