#ifndef VALUEAXES_H
#define VALUEAXES_H

#include <QColor>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtNumeric>

class QCPRange;

class QCPAxis;
class QCPGraph;
class QCustomPlot;

// The value axes of the whole window: one shared by the lines, or one per
// line (left, right, left...), each fitted to its line or held to a fixed range.
class ValueAxes
{
public:
    explicit ValueAxes(QCustomPlot *plot) : plot(plot) {}

    struct Line {
        QString key;              // what it draws: another set of lines is fitted anew
        QCPGraph *graph = nullptr;
        QString label;            // "CH1 PV (°C)": its axis's label, when it has one of its own
        QColor colour;
        double from = qQNaN();    // a fixed range; NaN: fitted to the line
        double to = qQNaN();
        // Of another instrument: it shares the axis only while its range lies
        // within the others' when fitted, else it has one of its own on the right.
        bool foreign = false;
    };

    // Puts each line on its axis. `fit`, or other lines than last time, or
    // the other choice: every range anew; else each keeps what the user dragged it to.
    void arrange(const QList<Line> &lines, bool perLine, bool fit);
    // Every line back on the plot's own axis, the axes made here gone.
    void reset();

private:
    QCPAxis *axisAt(int index, bool right);
    static void styleAxis(QCPAxis *axis, const QString &label, const QColor &colour);
    // The lines' fixed ranges, or the values drawn where none is set (or `valuesOnly`).
    static bool rangeOf(const QList<Line> &lines, QCPRange *range, bool valuesOnly = false);
    void fitAxis(QCPAxis *axis, const QList<Line> &lines);

    QCustomPlot *plot;
    QList<QCPAxis *> made;
    QList<QCPGraph *> apart; // foreign lines found outside the shared range when last fitted
    QStringList arranged;    // the keys of the lines last arranged, and the choice
};

#endif
