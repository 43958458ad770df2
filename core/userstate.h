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
// The tag and limits of a value column (limitsKey()) of the data folder in use.
ChannelLimits channelLimits(const QString &key);
void setChannelLimits(const QString &key, const ChannelLimits &limits);

} // namespace UserState

#endif
