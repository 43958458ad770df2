#ifndef CHARTCURSORS_H
#define CHARTCURSORS_H

#include "periods.h"

#include <QObject>

class QCPItemStraightLine;
class QCPItemText;
class QCustomPlot;
class QLabel;
class QMouseEvent;

// Cursors A and B on a chart, placed by Shift+click and Ctrl+click, and
// the line of figures between them under the plot.
class ChartCursors : public QObject
{
    Q_OBJECT
public:
    ChartCursors(QCustomPlot *plot, QLabel *figures);

    // A click with Shift places A, with Ctrl B; true when it placed one.
    bool place(QMouseEvent *event);
    void clear();
    bool bothPlaced() const { return placed[0] && placed[1]; }
    // In naive seconds: the earlier and the later cursor.
    qint64 spanStart() const { return qMin(at[0], at[1]); }
    qint64 spanEnd() const { return qMax(at[0], at[1]); }

    // Shows the figures of each value column drawn, in the order given.
    void showFigures(const QStringList &labels, const QStringList &units, const QList<PeriodFigures> &figures);
    // The figures of one value column between the cursors, as the line shows them.
    QString columnText(const QString &label, const QString &unit, const PeriodFigures &figures) const;

private:
    void showHint();

    QCustomPlot *plot;
    QLabel *figuresLabel;
    QCPItemStraightLine *lines[2] = {};
    QCPItemText *names[2] = {};
    bool placed[2] = {false, false};
    qint64 at[2] = {0, 0};
};

#endif
