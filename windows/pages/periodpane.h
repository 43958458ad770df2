#ifndef PERIODPANE_H
#define PERIODPANE_H

#include "periods.h"

#include <QWidget>

class QComboBox;
class QTableView;

// The window searched by hour, day, week or month, one value column after
// another: one row a period, an export as CSV.
class PeriodPane : public QWidget
{
    Q_OBJECT
public:
    explicit PeriodPane(QWidget *parent = nullptr);

    PeriodLength length() const;
    // Starts the table afresh; then one call per value column tabulated.
    void clear();
    // `unit` "°C": the mean kinetic temperature of each period is shown too.
    void addColumn(const QString &label, const QString &unit, const QList<PeriodFigures> &periods);

    // The period that starts at naive second `start`, as its row names it.
    static QString periodText(qint64 start, PeriodLength length);
    static QStringList headers();
    // A row of the table: value, period, records, min, max, mean, MKT (°C), HH, LL, excursions, outside, without records.
    static QStringList rowText(const QString &label, const QString &unit, const PeriodFigures &period,
                               PeriodLength length);

    // The name the export offers its file under (the window's).
    void setExportName(const QString &name) { exportName = name; }

signals:
    // Another length was chosen: the window is to be tabulated again.
    void lengthChosen();

private:
    QString exportName;
    QComboBox *lengthBox;
    QTableView *table;
};

#endif
