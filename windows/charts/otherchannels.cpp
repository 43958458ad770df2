#include "otherchannels.h"

#include "overviewline.h"
#include "userstate.h"

#include <QCoreApplication>
#include <QDir>
#include <qcustomplot.h>

void OtherChannels::add(const OtherColumn &column)
{
    channels << Channel{column, nullptr, QString()};
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

QStringList OtherChannels::draw(const OverviewPlan &plan, int gapIntervals)
{
    QStringList problems;
    for (int i = 0; i < channels.size(); ++i) {
        Channel &channel = channels[i];
        if (!channel.graph) {
            channel.graph = plot->addGraph();
            QPen pen(colour(i), 1.5);
            channel.graph->setPen(pen);
            channel.graph->setName(nameOf(channel.column));
        }
        Overview own;
        own.plan = plan;
        own.cells.resize(1);
        const QString error = readOtherOverview(channel.column, plan, &own.cells[0], &channel.path);
        if (!error.isEmpty()) {
            channel.graph->data()->clear();
            problems << QCoreApplication::translate("OtherChannels", "%1 could not be read: %2").arg(nameOf(channel.column), error);
            continue;
        }
        const OverviewLine line = overviewLine(own.cells.at(0), plan, overviewGap(own, gapIntervals));
        channel.graph->setData(line.keys, line.values, std::is_sorted(line.keys.cbegin(), line.keys.cend()));
    }
    return problems;
}

QList<ValueAxes::Line> OtherChannels::lines() const
{
    QList<ValueAxes::Line> lines;
    for (int i = 0; i < channels.size(); ++i) {
        if (channels.at(i).graph)
            lines << ValueAxes::Line{channels.at(i).graph, nameOf(channels.at(i).column), colour(i), qQNaN(), qQNaN(), true};
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
