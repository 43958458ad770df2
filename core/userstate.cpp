#include "userstate.h"

#include "datafolder.h"

#include <QSettings>

namespace {

QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Sundrevale"),
                     QStringLiteral("SundrevaleReader"));
}

// One time window per data folder: each instrument keeps its own.
QString windowKey(const char *end)
{
    return QStringLiteral("timeWindow/%1/%2").arg(QString(dataFolder()).replace(QLatin1Char('/'), QLatin1Char('|')),
                                                   QLatin1String(end));
}

} // namespace

namespace UserState {

QString importFolder()
{
    return store().value(QStringLiteral("importFolder")).toString();
}

void setImportFolder(const QString &folder)
{
    store().setValue(QStringLiteral("importFolder"), folder);
}

QByteArray windowGeometry()
{
    return store().value(QStringLiteral("windowGeometry")).toByteArray();
}

void setWindowGeometry(const QByteArray &geometry)
{
    store().setValue(QStringLiteral("windowGeometry"), geometry);
}

bool timeWindow(QDateTime *from, QDateTime *to)
{
    const QSettings settings = store();
    *from = settings.value(windowKey("from")).toDateTime();
    *to = settings.value(windowKey("to")).toDateTime();
    return from->isValid() && to->isValid();
}

void setTimeWindow(const QDateTime &from, const QDateTime &to)
{
    QSettings settings = store();
    settings.setValue(windowKey("from"), from);
    settings.setValue(windowKey("to"), to);
}

} // namespace UserState
