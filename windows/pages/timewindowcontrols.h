#ifndef TIMEWINDOWCONTROLS_H
#define TIMEWINDOWCONTROLS_H

#include <QObject>

class QComboBox;
class QDateTimeEdit;
class QWidget;

// What helps the user set a page's From and To: a calendar on each field,
// typing over the section clicked, and the windows named by the local
// calendar (today, last month...) in a list.
class TimeWindowControls : public QObject
{
    Q_OBJECT
public:
    TimeWindowControls(QDateTimeEdit *from, QDateTimeEdit *to, QWidget *parent);
    // The list of named windows, to be placed beside the fields.
    QComboBox *presets() const { return presetList; }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void choosePreset(int index);
    void watchSections(QDateTimeEdit *edit);

    QDateTimeEdit *fromEdit;
    QDateTimeEdit *toEdit;
    QComboBox *presetList;
};

#endif
