#include "timewindowcontrols.h"

#include "timepresets.h"

#include <QComboBox>
#include <QDateTimeEdit>
#include <QEvent>
#include <QLineEdit>
#include <QTimer>

TimeWindowControls::TimeWindowControls(QDateTimeEdit *from, QDateTimeEdit *to, QWidget *parent)
    : QObject(parent), fromEdit(from), toEdit(to), presetList(new QComboBox(parent))
{
    presetList->setObjectName(QStringLiteral("timePresets"));
    presetList->setToolTip(tr("Sets From and To to a window of the local calendar"));
    presetList->addItem(tr("Window..."));
    for (TimePreset preset : timePresets())
        presetList->addItem(presetName(preset), int(preset));
    connect(presetList, qOverload<int>(&QComboBox::activated), this, &TimeWindowControls::choosePreset);
    for (QDateTimeEdit *edit : {from, to}) {
        edit->setCalendarPopup(true);
        watchSections(edit);
    }
}

void TimeWindowControls::watchSections(QDateTimeEdit *edit)
{
    edit->installEventFilter(this);
    if (auto *line = edit->findChild<QLineEdit *>())
        line->installEventFilter(this);
}

void TimeWindowControls::choosePreset(int index)
{
    if (index <= 0)
        return;
    const MinuteWindow window = presetWindow(TimePreset(presetList->itemData(index).toInt()), QDateTime::currentDateTime());
    fromEdit->setDateTime(window.from);
    toEdit->setDateTime(window.to);
    presetList->setCurrentIndex(0); // the fields say which window it is now
}

bool TimeWindowControls::eventFilter(QObject *watched, QEvent *event)
{
    // The section clicked or entered is selected, so that typing replaces it
    // (a full section takes no more digits otherwise).
    if (event->type() == QEvent::MouseButtonRelease || event->type() == QEvent::FocusIn) {
        QDateTimeEdit *edit = watched == fromEdit || watched->parent() == fromEdit ? fromEdit : toEdit;
        QTimer::singleShot(0, edit, [edit] { edit->setSelectedSection(edit->currentSection()); });
    }
    return QObject::eventFilter(watched, event);
}
