#ifndef EXCURSIONPANE_H
#define EXCURSIONPANE_H

#include "excursions.h"

#include <QWidget>

class QLabel;
class QTableWidget;

// The excursions of the window searched, one value column after another:
// their totals above, one row an excursion, an export as CSV.
class ExcursionPane : public QWidget
{
    Q_OBJECT
public:
    explicit ExcursionPane(QWidget *parent = nullptr);

    // Starts the list afresh; then one call per value column examined.
    void clear();
    void addColumn(const QString &label, const QString &unit, const WindowExcursions &found, qint64 windowSeconds);

signals:
    // The row of an excursion was clicked: its first record and its time.
    void excursionChosen(qint64 rowid, qint64 naiveStart);

private:
    QLabel *totalsLabel;
    QTableWidget *table;
    QStringList totalsLines;
    QList<QPair<qint64, qint64>> starts; // of each row: rowid, naive start
};

#endif
