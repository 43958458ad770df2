#include "settings.h"

#include "datafolder.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDomDocument>
#include <QFile>
#include <QSaveFile>
#include <QTextStream>

int Meter = -1;
double YStep = 0;
int Tickcount = 10;
int PageRcd = 100;
int PlotRcd = 500;
bool LockY = false;

namespace {

// Larger files and files with a document type declaration are not settings
// files: the XML parser can spend minutes or gigabytes on them.
constexpr qint64 MaxSettingsFileSize = 1024 * 1024;

bool parseSettingsFile(QDomDocument &doc, const QString &path = settingsPath())
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxSettingsFileSize)
        return false;
    return parseSettingsContent(file.read(MaxSettingsFileSize + 1), doc);
}

QDomElement firstElementWithKey(const QDomDocument &doc, const QString &key)
{
    for (QDomNode n = doc.documentElement().firstChild(); !n.isNull(); n = n.nextSibling()) {
        const QDomElement e = n.toElement();
        if (!e.isNull() && e.attribute(QStringLiteral("key")) == key)
            return e;
    }
    return QDomElement();
}

int toInt(const QString &text)
{
    return text.toInt(nullptr, 10);
}

} // namespace

bool parseSettingsContent(const QByteArray &content, QDomDocument &doc)
{
    if (content.size() > MaxSettingsFileSize || content.contains("<!DOCTYPE") || content.contains("<!doctype"))
        return false;
    return bool(doc.setContent(content));
}

QString settingValue(const QDomDocument &doc, const QString &key)
{
    return firstElementWithKey(doc, key).attribute(QStringLiteral("value"));
}

QString settingsPath()
{
    return dataFolder() + QStringLiteral("/Sundrevale.Config");
}

QString readSetting(QString key)
{
    QDomDocument doc;
    if (!parseSettingsFile(doc))
        return QString();
    return settingValue(doc, key);
}

QString readSettingOf(const QString &folder, const QString &key)
{
    QDomDocument doc;
    if (!parseSettingsFile(doc, folder + QStringLiteral("/Sundrevale.Config")))
        return QString();
    return settingValue(doc, key);
}

void writeSetting(QString key, QString value)
{
    QDomDocument doc;
    if (!parseSettingsFile(doc))
        return;
    QDomElement e = firstElementWithKey(doc, key);
    if (!e.isNull()) {
        e.setAttribute(QStringLiteral("value"), value);
        qDebug() << "值：" << e.attribute(QStringLiteral("value"));
    }
    // The old file stays in place until the new content is completely on disk.
    QSaveFile file(settingsPath());
    if (!file.open(QIODevice::WriteOnly))
        return;
    const QByteArray bytes = doc.toByteArray(4);
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        file.cancelWriting();
        return;
    }
    file.commit();
}

void loadSettings()
{
    Meter = toInt(readSetting(QStringLiteral("Meter")));
    YStep = readSetting(QStringLiteral("YStep")).toDouble();
    Tickcount = toInt(readSetting(QStringLiteral("Tickcount")));
    PageRcd = toInt(readSetting(QStringLiteral("PageRcd")));
    PlotRcd = toInt(readSetting(QStringLiteral("PlotRcd")));
    LockY = toInt(readSetting(QStringLiteral("LockY"))) != 0;
}

int effectiveRecordsPerPage(int stored, int fallback)
{
    return stored >= 1 ? stored : fallback;
}

int safePageRcd()
{
    return effectiveRecordsPerPage(PageRcd, 100);
}

int safePlotRcd()
{
    return effectiveRecordsPerPage(PlotRcd, 500);
}
