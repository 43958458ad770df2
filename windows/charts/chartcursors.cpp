#include "chartcursors.h"

#include "listtable.h"
#include "statements.h"
#include "wallclock.h"

#include <QLabel>
#include <QMouseEvent>
#include <qcustomplot.h>

#include <cmath>

ChartCursors::ChartCursors(QCustomPlot *plot, QLabel *figures) : QObject(plot), plot(plot), figuresLabel(figures)
{
    figuresLabel->setObjectName(QStringLiteral("cursorFigures"));
    // Short lines, unwrapped: a wrapping label would let the layout squeeze the plot.
    figuresLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    figuresLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    for (int i = 0; i < 2; ++i) {
        const QString name = i == 0 ? QStringLiteral("A") : QStringLiteral("B");
        lines[i] = new QCPItemStraightLine(plot);
        lines[i]->setObjectName(QStringLiteral("cursor") + name);
        lines[i]->setPen(QPen(i == 0 ? QColor(0xd0, 0x60, 0x20) : QColor(0xb0, 0x20, 0xb0), 1.5)); // apart from every channel colour
        names[i] = new QCPItemText(plot);
        names[i]->setObjectName(QStringLiteral("cursorName") + name);
        names[i]->setText(name);
        names[i]->setPositionAlignment(Qt::AlignHCenter | Qt::AlignTop);
        names[i]->position->setTypeY(QCPItemPosition::ptAxisRectRatio);
        names[i]->setColor(lines[i]->pen().color());
    }
    clear();
}

bool ChartCursors::place(QMouseEvent *event)
{
    const int i = event->modifiers() & Qt::ShiftModifier ? 0 : event->modifiers() & Qt::ControlModifier ? 1 : -1;
    if (i < 0 || event->button() != Qt::LeftButton)
        return false;
    const double key = std::round(plot->xAxis->pixelToCoord(event->position().x()));
    at[i] = naiveSecondsOfKey(qint64(key));
    placed[i] = true;
    lines[i]->point1->setCoords(key, 0);
    lines[i]->point2->setCoords(key, 1);
    names[i]->position->setCoords(key, 0);
    lines[i]->setVisible(true);
    names[i]->setVisible(true);
    plot->replot();
    if (!bothPlaced())
        showHint();
    return true;
}

void ChartCursors::clear()
{
    for (int i = 0; i < 2; ++i) {
        placed[i] = false;
        lines[i]->setVisible(false);
        names[i]->setVisible(false);
    }
    showHint();
}

void ChartCursors::showHint()
{
    figuresLabel->setText(tr("Shift+click: cursor A · Ctrl+click: cursor B · right-drag: zoom to a span · keys ←/→, +/−, Home/End"));
}

QString ChartCursors::columnText(const QString &label, const QString &unit, const PeriodFigures &f) const
{
    const QString unitText = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    const auto number = [&](double value) { return std::isnan(value) ? tr("none") : cellNumber(value) + unitText; };
    // The value at A: the number nearest A within the span.
    const bool aFirst = at[0] <= at[1];
    const double valueA = aFirst ? f.firstValue : f.lastValue, valueB = aFirst ? f.lastValue : f.firstValue;
    QString text = tr("%1: Δ %2 (%3 → %4) · records %5 · min %6 · max %7 · mean %8")
                       .arg(label, number(valueB - valueA), number(valueA), number(valueB))
                       .arg(f.records)
                       .arg(number(f.minimum), number(f.maximum), number(f.mean()));
    if (unit == QStringLiteral("°C") && f.numbers > 0 && !std::isnan(f.meanKinetic()))
        text += tr(" · MKT %1").arg(number(f.meanKinetic()));
    return text + tr("\n    HH %1 · LL %2 · above %3 · below %4 · excursions %5")
                      .arg(f.high).arg(f.low)
                      .arg(durationText(f.secondsAbove), durationText(f.secondsBelow))
                      .arg(f.excursions);
}

void ChartCursors::showFigures(const QStringList &labels, const QStringList &units, const QList<PeriodFigures> &figures)
{
    QStringList text{tr("A %1 · B %2 · Δt %3%4")
                         .arg(stampText(at[0]), stampText(at[1]), at[1] < at[0] ? QStringLiteral("-") : QString(),
                              durationText(spanEnd() - spanStart()))};
    for (int i = 0; i < figures.size(); ++i)
        text << columnText(labels.value(i), units.value(i), figures.at(i));
    figuresLabel->setText(text.join(QLatin1Char('\n')));
}
