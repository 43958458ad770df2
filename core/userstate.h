#ifndef USERSTATE_H
#define USERSTATE_H

#include "channellimits.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

// What the viewer remembers of its user between runs. It lives in the
// desktop's own settings store, not in Sundrevale.Config, whose keys are fixed.
namespace UserState {

QString importFolder(); // empty: none yet
void setImportFolder(const QString &folder);
QByteArray windowGeometry();
void setWindowGeometry(const QByteArray &geometry);
// The time window last set on a page, for the records of the data folder in use.
bool timeWindow(QDateTime *from, QDateTime *to);
void setTimeWindow(const QDateTime &from, const QDateTime &to);
// The tag and limits of a value column (limitsKey()) of the data folder in
// use, or of another one (read only).
ChannelLimits channelLimits(const QString &key, const QString &folder = QString());
void setChannelLimits(const QString &key, const ChannelLimits &limits);

// The whole window's value axes of the data folder in use: one per channel, else one shared.
bool axisPerChannel();
void setAxisPerChannel(bool perChannel);

// The data folders of the instruments opened, the last first, ten at most.
constexpr int RecentInstruments = 10;
QStringList recentInstruments();
void noteInstrumentOpened(const QString &folder);
// The name the user gave the instrument of a data folder ("Cold room 3"); empty: none.
QString instrumentName(const QString &folder);
void setInstrumentName(const QString &folder, const QString &name);
// The instrument in use as the user knows it: its name, else its folder's.
QString instrumentTitle();

} // namespace UserState

#endif
