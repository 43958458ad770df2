#ifndef OTHERCHANNELS_H
#define OTHERCHANNELS_H

#include "otheroverview.h"
#include "valueaxes.h"

#include <QList>
#include <QStringList>

class QCPGraph;
class QCustomPlot;

// Channels of other instruments laid over the whole window, read by the
// worker from their own data folders (never written) for the same plan of
// columns, in colours of their own and named in the legend after their instrument.
class OtherChannels
{
public:
    explicit OtherChannels(QCustomPlot *plot) : plot(plot) {}

    // False, and nothing added, for a column laid over already.
    bool add(const OtherColumn &column);
    // Every one gone, their graphs too.
    void clear();
    // Their graphs gone, the channels kept for the next whole window.
    void hide();
    bool isEmpty() const { return channels.isEmpty(); }
    // What the worker is to read with the window's own columns.
    QList<OtherColumn> columns() const;

    // Draws each as it was read for the plan (one that came after the reading
    // stays empty until the next), broken where its own records have gaps.
    // The reasons of those that could not be read, each once until it is read again.
    QStringList draw(const OverviewPlan &plan, const QList<OtherOverview> &read, int gapIntervals);
    // The lines drawn, for the value axes.
    QList<ValueAxes::Line> lines() const;
    // What each read last ("spans of 60 s", "the records").
    QStringList readPaths() const;

    // "Cold room 3: CH1 PV": the instrument as the user named it, else its folder.
    static QString nameOf(const OtherColumn &column);
    static QColor colour(int index);

private:
    struct Channel {
        OtherColumn column;
        QCPGraph *graph = nullptr;
        QString path;
        bool failed = false; // told already
    };
    QCustomPlot *plot;
    QList<Channel> channels;
};

#endif
