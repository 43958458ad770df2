#include "valueaxes.h"

#include <qcustomplot.h>

void ValueAxes::reset()
{
    for (int i = 0; i < plot->graphCount(); ++i)
        plot->graph(i)->setValueAxis(plot->yAxis);
    for (QCPAxis *axis : std::as_const(made))
        plot->axisRect()->removeAxis(axis);
    made.clear();
    apart.clear();
    arranged.clear();
    styleAxis(plot->yAxis, QString(), Qt::black);
    plot->axisRect()->setRangeDragAxes(plot->xAxis, plot->yAxis);
}

void ValueAxes::styleAxis(QCPAxis *axis, const QString &label, const QColor &colour)
{
    axis->setLabel(label);
    axis->setLabelColor(colour);
    axis->setTickLabelColor(colour);
    axis->setBasePen(QPen(colour));
}

QCPAxis *ValueAxes::axisAt(int index, bool right)
{
    if (index < made.size())
        return made.at(index);
    QCPAxis *axis = plot->axisRect()->addAxis(right ? QCPAxis::atRight : QCPAxis::atLeft);
    axis->setTickLabels(true);
    made << axis;
    return axis;
}

bool ValueAxes::rangeOf(const QList<Line> &lines, QCPRange *range, bool valuesOnly)
{
    bool found = false;
    for (const Line &line : lines) {
        bool some = !valuesOnly && line.from < line.to;
        const QCPRange own = some ? QCPRange(line.from, line.to) : line.graph->getValueRange(some);
        if (some)
            *range = found ? QCPRange(qMin(range->lower, own.lower), qMax(range->upper, own.upper)) : own;
        found = found || some;
    }
    return found;
}

void ValueAxes::fitAxis(QCPAxis *axis, const QList<Line> &lines)
{
    QCPRange range;
    if (rangeOf(lines, &range))
        axis->setRange(range.lower == range.upper ? QCPRange(range.lower - 1, range.upper + 1) : range);
}

void ValueAxes::arrange(const QList<Line> &lines, bool perLine, bool fit)
{
    // No graph keeps an axis that may go (a channel no longer drawn).
    for (int i = 0; i < plot->graphCount(); ++i) {
        if (made.contains(plot->graph(i)->valueAxis()))
            plot->graph(i)->setValueAxis(plot->yAxis);
    }
    QStringList keys{perLine ? QStringLiteral("per line") : QStringLiteral("shared")};
    for (const Line &line : lines)
        keys << line.key;
    if (keys != arranged) {
        if (arranged.value(0) != keys.first()) { // the sides of the axes change
            for (QCPAxis *axis : std::as_const(made))
                plot->axisRect()->removeAxis(axis);
            made.clear();
        }
        arranged = keys;
        fit = true;
    }
    if (fit) {
        QList<Line> own;
        for (const Line &line : lines) {
            if (!line.foreign)
                own << line;
        }
        // By the values drawn: a fixed range set for the scale says nothing of theirs.
        QCPRange shared, range;
        const bool some = rangeOf(own, &shared, true);
        apart.clear();
        for (const Line &line : lines) {
            if (line.foreign && (!some || (rangeOf({line}, &range, true) && (range.lower < shared.lower || range.upper > shared.upper))))
                apart << line.graph;
        }
    }
    QList<Line> shared;
    QList<QPair<QCPAxis *, Line>> own;
    for (const Line &line : lines) {
        if (!perLine && !apart.contains(line.graph)) {
            shared << line;
            continue;
        }
        // Per line the first keeps the plot's own axis on the left; then right, left...
        QCPAxis *axis = perLine && own.isEmpty() ? plot->yAxis : nullptr;
        if (!axis) {
            const int index = int(own.size()) - (perLine ? 1 : 0);
            axis = axisAt(index, !perLine || index % 2 == 0);
        }
        own << qMakePair(axis, line);
    }
    const int kept = int(own.size()) - (perLine && !own.isEmpty() ? 1 : 0);
    while (made.size() > kept)
        plot->axisRect()->removeAxis(made.takeLast());
    for (const Line &line : std::as_const(shared))
        line.graph->setValueAxis(plot->yAxis);
    styleAxis(plot->yAxis, QString(), Qt::black);
    if (fit && !shared.isEmpty())
        fitAxis(plot->yAxis, shared);
    QList<QCPAxis *> dragged{plot->yAxis};
    for (const auto &[axis, line] : std::as_const(own)) {
        line.graph->setValueAxis(axis);
        styleAxis(axis, line.label, line.colour);
        if (fit)
            fitAxis(axis, {line});
        if (!dragged.contains(axis))
            dragged << axis;
    }
    // A vertical drag moves every scale, so that the lines keep their places.
    plot->axisRect()->setRangeDragAxes({plot->xAxis}, dragged);
}
