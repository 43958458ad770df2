#ifndef EXCURSIONPANE_H
#define EXCURSIONPANE_H

#include "excursionlist.h"

#include <QWidget>

class QLabel;
class QTableView;

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

    static QStringList headers();
    // "above the upper limit", "HH", "ALM2"...
    static QString kindText(const Excursion &excursion);
    // An alarm's set value with its unit ("set 325 mm"); empty for other kinds.
    static QString setText(const Excursion &excursion, const QString &unitText);
    // The totals of a value column's excursions in two lines.
    static QStringList totalsText(const QString &label, const WindowExcursions &found, qint64 windowSeconds);
    // A row of the list: value, kind, start, end, duration, extreme, at, records.
    static QStringList rowText(const QString &label, const QString &unit, const Excursion &excursion);

    // The name the export offers its file under (the window's).
    void setExportName(const QString &name) { exportName = name; }

signals:
    // The row of an excursion was clicked: its first record and its time.
    void excursionChosen(qint64 rowid, qint64 naiveStart);

private:
    QString exportName;
    QLabel *totalsLabel;
    QTableView *table;
    QStringList totalsLines;
    QList<ExcursionList> listed; // of each value column, shared with the finder's result
};

#endif
