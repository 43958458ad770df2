#ifndef SETTINGS_H
#define SETTINGS_H

#include <QString>

// The six settings, held process-wide while the program runs.
extern int Meter;
extern double YStep;
extern int Tickcount;
extern int PageRcd;
extern int PlotRcd;
extern bool LockY;

QString settingsPath();

class QDomDocument;
// Parses a settings file's content; refuses what is not a settings file
// (over 1 MiB, a document type declaration, not XML).
bool parseSettingsContent(const QByteArray &content, QDomDocument &doc);
// The value of the first element carrying `key`, or an empty text.
QString settingValue(const QDomDocument &doc, const QString &key);
QString readSetting(QString key);
// A setting of another data folder's settings file, read only.
QString readSettingOf(const QString &folder, const QString &key);
void writeSetting(QString key, QString value);
void loadSettings();

// Records per page as the pages use them: a stored 0 or less would divide by
// zero, so the pages fall back to the default.
int effectiveRecordsPerPage(int stored, int fallback);
int safePageRcd();
int safePlotRcd();

#endif
