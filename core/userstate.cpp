#include "userstate.h"

#include "datafolder.h"

#include <QFileInfo>
#include <QSettings>

namespace {

QSettings store()
{
    return QSettings(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Sundrevale"),
                     QStringLiteral("SundrevaleReader"));
}

// Per data folder: each instrument keeps its own.
QString folderKey(const QString &group, const QString &end, const QString &folder = dataFolder())
{
    return QStringLiteral("%1/%2/%3").arg(group, QString(folder).replace(QLatin1Char('/'), QLatin1Char('|')), end);
}

QString windowKey(const char *end)
{
    return folderKey(QStringLiteral("timeWindow"), QLatin1String(end));
}

QString limitsField(const QString &key, const char *field, const QString &folder = dataFolder())
{
    return folderKey(QStringLiteral("limits"), QString(key).replace(QLatin1Char('/'), QLatin1Char('|')), folder)
        + QLatin1Char('/') + QLatin1String(field);
}

double limitValue(const QSettings &settings, const QString &key)
{
    bool ok = false;
    const double value = settings.value(key).toDouble(&ok);
    return ok ? value : qQNaN();
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

ChannelLimits channelLimits(const QString &key, const QString &folder)
{
    const QSettings settings = store();
    const QString of = folder.isEmpty() ? dataFolder() : folder;
    ChannelLimits limits;
    limits.name = settings.value(limitsField(key, "name", of)).toString();
    limits.unit = settings.value(limitsField(key, "unit", of)).toString();
    limits.lower = limitValue(settings, limitsField(key, "lower", of));
    limits.upper = limitValue(settings, limitsField(key, "upper", of));
    limits.deadBand = qMax(0.0, settings.value(limitsField(key, "deadBand", of)).toDouble());
    limits.delaySeconds = qMax<qint64>(0, settings.value(limitsField(key, "delay", of)).toLongLong());
    limits.axisFrom = limitValue(settings, limitsField(key, "axisFrom", of));
    limits.axisTo = limitValue(settings, limitsField(key, "axisTo", of));
    if (!(limits.axisFrom < limits.axisTo)) // both or none, in order
        limits.axisFrom = limits.axisTo = qQNaN();
    return limits;
}

void setChannelLimits(const QString &key, const ChannelLimits &limits)
{
    QSettings settings = store();
    settings.setValue(limitsField(key, "name"), limits.name);
    settings.setValue(limitsField(key, "unit"), limits.unit);
    const auto setLimit = [&](const char *field, double value) {
        if (qIsNaN(value))
            settings.remove(limitsField(key, field));
        else
            settings.setValue(limitsField(key, field), value);
    };
    setLimit("lower", limits.lower);
    setLimit("upper", limits.upper);
    settings.setValue(limitsField(key, "deadBand"), limits.deadBand);
    settings.setValue(limitsField(key, "delay"), limits.delaySeconds);
    setLimit("axisFrom", limits.axisFrom);
    setLimit("axisTo", limits.axisTo);
}

bool axisPerChannel()
{
    return store().value(folderKey(QStringLiteral("valueAxes"), QStringLiteral("perChannel"))).toBool();
}

void setAxisPerChannel(bool perChannel)
{
    store().setValue(folderKey(QStringLiteral("valueAxes"), QStringLiteral("perChannel")), perChannel);
}

QStringList recentInstruments()
{
    return store().value(QStringLiteral("recentInstruments")).toStringList();
}

void noteInstrumentOpened(const QString &folder)
{
    QStringList recent = recentInstruments();
    recent.removeAll(folder);
    recent.prepend(folder);
    store().setValue(QStringLiteral("recentInstruments"), recent.mid(0, RecentInstruments));
}

QString instrumentName(const QString &folder)
{
    return store().value(folderKey(QStringLiteral("instrument"), QStringLiteral("name"), folder)).toString();
}

void setInstrumentName(const QString &folder, const QString &name)
{
    store().setValue(folderKey(QStringLiteral("instrument"), QStringLiteral("name"), folder), name.trimmed());
}

QString instrumentTitle()
{
    const QString name = instrumentName(dataFolder());
    return name.isEmpty() ? QFileInfo(dataFolder()).fileName() : name;
}

} // namespace UserState
