#ifndef LIMITSDIALOG_H
#define LIMITSDIALOG_H

#include "channellimits.h"

#include <QDialog>

class QTableWidget;

// The tag (name, unit) and the limits of each value column of the records
// imported: one row a column, kept per data folder when accepted.
class LimitsDialog : public QDialog
{
    Q_OBJECT
public:
    explicit LimitsDialog(const QList<LimitedColumn> &columns, QWidget *parent = nullptr);

    bool isChanged() const { return changed; }
    void accept() override;

    enum Column { Value, Name, Unit, Lower, Upper, DeadBand, Delay, AxisFrom, AxisTo };

private:
    // The limits a row says; an empty text on the reason means they are sound.
    ChannelLimits rowLimits(int row, QString *reason) const;

    QList<LimitedColumn> columns;
    QTableWidget *table;
    bool changed = false;
};

#endif
