// The chart page's limit lines and excursion shades, on the paged chart and
// in the whole window.
#include "chartpage.h"

#include "channellimits.h"
#include "families.h"
#include "settings.h"
#include "userstate.h"

#include "wallclock.h"

#include <qcustomplot.h>
#include <algorithm>
#include <cmath>

void ChartPage::drawLimitLines()
{
    QCustomPlot *plot = w.plot;
    removeItems(QStringLiteral("limitLine"));
    const QList<DrawnColumn> drawn = drawnColumns();
    for (int i = 0; i < drawn.size(); ++i) {
        const DrawnColumn &column = drawn.at(i);
        const ChannelLimits limits = UserState::channelLimits(limitsKey(family, Meter, column.channel, column.value));
        if (overviewShown() && i >= shownOverview.cells.size())
            break; // not drawn (yet)
        // On the value axis of its line, which in the whole window may be its own.
        QCPAxis *valueAxis = overviewShown() ? channelGraph(i)->valueAxis() : plot->yAxis;
        for (const double at : {limits.lower, limits.upper}) {
            if (qIsNaN(at))
                continue;
            auto *line = new QCPItemStraightLine(plot);
            line->setObjectName(QStringLiteral("limitLine"));
            line->point1->setAxes(plot->xAxis, valueAxis);
            line->point2->setAxes(plot->xAxis, valueAxis);
            line->point1->setCoords(0, at);
            line->point2->setCoords(1, at);
            line->setPen(QPen(channelColour(column.colour), 1.5, Qt::DashLine));
        }
    }
    drawExcursionShades(drawn);
}

void ChartPage::removeItems(const QString &name)
{
    for (int i = w.plot->itemCount() - 1; i >= 0; --i) {
        if (w.plot->item(i)->objectName() == name)
            w.plot->removeItem(i);
    }
}

void ChartPage::shadeExcursions(const QList<QPair<int, ExcursionList>> &listed)
{
    listedExcursions = listed;
    drawExcursionShades(drawnColumns());
    w.plot->replot();
}

void ChartPage::drawExcursionShades(const QList<DrawnColumn> &drawn)
{
    removeItems(QStringLiteral("excursionShade"));
    const QCPRange range = w.plot->xAxis->range();
    shadedRange = {range.lower, range.upper, double(w.plot->axisRect()->width())};
    // Excursions are in naive seconds, the axis in keys: a day either side
    // covers any change of the clock, and the keys then cut the shades.
    const qint64 from = naiveSecondsOfKey(qint64(std::floor(range.lower))) - 86400;
    const qint64 to = naiveSecondsOfKey(qint64(std::ceil(range.upper))) + 86400;
    const qint64 resolution = qMax<qint64>(1, qint64(range.size() / qMax(1, w.plot->axisRect()->width())));
    for (const auto &[colourIndex, excursions] : std::as_const(listedExcursions)) {
        const int index = colourIndex;
        if (std::none_of(drawn.cbegin(), drawn.cend(), [index](const DrawnColumn &d) { return d.colour == index; }))
            continue; // of a value not drawn
        for (const Excursion &excursion : excursionShades(excursions, from, to, resolution)) {
            const double start = double(localTimeKey(excursion.start)), end = double(localTimeKey(excursion.end));
            if (end < range.lower || start > range.upper)
                continue;
            addExcursionShade(excursion, start, end, colourIndex);
        }
    }
}

void ChartPage::addExcursionShade(const Excursion &excursion, double startKey, double endKey, int colourIndex)
{
    auto *shade = new QCPItemRect(w.plot);
    shade->setObjectName(QStringLiteral("excursionShade"));
    shade->setLayer(QStringLiteral("grid")); // under the curves
    for (QCPItemPosition *corner : {shade->topLeft, shade->bottomRight}) {
        corner->setTypeX(QCPItemPosition::ptPlotCoords);
        corner->setTypeY(QCPItemPosition::ptAxisRectRatio); // the plot's whole height
    }
    // The instrument's alarms: a band along the bottom, a row per alarm number.
    const bool alarm = excursion.kind == Excursion::Alarm;
    const double top = alarm ? 1 - AlarmRowHeight * excursion.alarm : 0;
    shade->topLeft->setCoords(startKey, top);
    shade->bottomRight->setCoords(endKey, alarm ? top + AlarmRowHeight : 1);
    QColor colour = excursion.kind == Excursion::Gap ? QColor(Qt::gray) : channelColour(colourIndex);
    if (alarm)
        colour = QColor(0xe0, 0x30, 0x30);
    colour.setAlpha(alarm ? 160 : 50);
    shade->setBrush(colour);
    colour.setAlpha(110); // a spike of one record still shows, as a line
    shade->setPen(QPen(colour, 0));
}

void ChartPage::reshadeExcursions()
{
    const QCPRange range = w.plot->xAxis->range();
    const std::array<double, 3> now{range.lower, range.upper, double(w.plot->axisRect()->width())};
    if (listedExcursions.isEmpty() || now == shadedRange)
        return;
    drawExcursionShades(drawnColumns());
    w.plot->replot();
}

void ChartPage::showLimits()
{
    RecordPage::showLimits();
    if (!w.widget_page->isVisible())
        return;
    if (overviewShown() && !shownOverview.cells.isEmpty())
        arrangeValueAxes(true); // a fixed range may have come or gone
    drawLimitLines();
    w.plot->replot();
}
