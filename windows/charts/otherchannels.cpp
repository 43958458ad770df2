#include "otherchannels.h"

#include "overviewline.h"
#include "userstate.h"

#include <QCoreApplication>
#include <QDir>
#include <qcustomplot.h>

bool OtherChannels::add(const OtherColumn &column)
{
    for (const Channel &channel : std::as_const(channels)) {
        if (channel.column.folder == column.folder && channel.column.column == column.column)
            return false;
    }
    channels << Channel{column, nullptr, QString()};
    return true;
}

void OtherChannels::hide()
{
    for (Channel &channel : channels) {
        if (channel.graph)
            plot->removeGraph(channel.graph);
        channel.graph = nullptr;
    }
}

void OtherChannels::clear()
{
    hide();
    channels.clear();
}

QString OtherChannels::nameOf(const OtherColumn &column)
{
    const QString instrument = UserState::instrumentName(column.folder);
    return QStringLiteral("%1: %2").arg(instrument.isEmpty() ? QDir(column.folder).dirName() : instrument, column.label);
}

QColor OtherChannels::colour(int index)
{
    // Apart from the channels' own colours.
    static const QColor colours[] = {QColor(200, 0, 0), QColor(130, 0, 170), QColor(150, 150, 0), QColor(0, 90, 90)};
    return colours[index % int(std::size(colours))];
}

QList<OtherColumn> OtherChannels::columns() const
{
    QList<OtherColumn> columns;
    for (const Channel &channel : channels)
        columns << channel.column;
    return columns;
}

QStringList OtherChannels::draw(const OverviewPlan &plan, const QList<OtherOverview> &read, int gapIntervals)
{
    QStringList problems;
    for (int i = 0; i < channels.size(); ++i) {
        Channel &channel = channels[i];
        if (!channel.graph) {
            channel.graph = plot->addGraph();
            channel.graph->setPen(QPen(colour(i), 1.5));
            channel.graph->setName(nameOf(channel.column));
        }
        if (i >= read.size()) {
            channel.graph->data()->clear();
            continue;
        }
        channel.path = read.at(i).path;
        if (!read.at(i).error.isEmpty()) {
            channel.graph->data()->clear();
            if (!channel.failed)
                problems << QCoreApplication::translate("OtherChannels", "%1 could not be read: %2")
                                .arg(nameOf(channel.column), read.at(i).error);
            channel.failed = true;
            continue;
        }
        channel.failed = false;
        Overview own;
        own.plan = plan;
        own.cells = {read.at(i).cells};
        const OverviewLine line = overviewLine(own.cells.at(0), plan, overviewGap(own, gapIntervals));
        channel.graph->setData(line.keys, line.values, std::is_sorted(line.keys.cbegin(), line.keys.cend()));
    }
    return problems;
}

QList<ValueAxes::Line> OtherChannels::lines() const
{
    QList<ValueAxes::Line> lines;
    for (int i = 0; i < channels.size(); ++i) {
        const OtherColumn &column = channels.at(i).column;
        if (channels.at(i).graph)
            lines << ValueAxes::Line{column.folder + QLatin1Char('|') + column.column, channels.at(i).graph,
                                     column.unit.isEmpty() ? nameOf(column) : nameOf(column) + QStringLiteral(", ") + column.unit,
                                     colour(i), column.axisFrom, column.axisTo, true};
    }
    return lines;
}

QStringList OtherChannels::readPaths() const
{
    QStringList paths;
    for (const Channel &channel : channels)
        paths << channel.path;
    return paths;
}
