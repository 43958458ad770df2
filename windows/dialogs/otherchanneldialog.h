#ifndef OTHERCHANNELDIALOG_H
#define OTHERCHANNELDIALOG_H

#include "otheroverview.h"

#include <QDialog>

class QComboBox;
class QDialogButtonBox;
class QLabel;

// Asks which value column of which other instrument to lay over the whole
// window: one of the recent instruments or any data folder, and one of the
// value columns its settings' model records.
class OtherChannelDialog : public QDialog
{
    Q_OBJECT
public:
    explicit OtherChannelDialog(QWidget *parent);
    OtherColumn chosen() const;

private:
    void addFolder(const QString &folder);
    void browse();
    void showColumns();

    QComboBox *instruments;
    QComboBox *columns;
    QLabel *problem;
    QDialogButtonBox *buttons;
};

#endif
