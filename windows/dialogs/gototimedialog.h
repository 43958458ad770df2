#ifndef GOTOTIMEDIALOG_H
#define GOTOTIMEDIALOG_H

#include <QDialog>

class QDateTimeEdit;

// Asks for a date and time to show on a page, to the second.
class GoToTimeDialog : public QDialog
{
    Q_OBJECT
public:
    GoToTimeDialog(const QDateTime &initial, QWidget *parent);
    QDateTime chosen() const;

private:
    QDateTimeEdit *edit;
};

#endif
