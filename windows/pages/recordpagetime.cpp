// How a record page finds its way in time: the window's named spans and
// All records under From and To, Go to... a time, and the keys that turn pages.
#include "recordpage.h"

#include "families.h"
#include "gototimedialog.h"
#include "recordstore.h"
#include "recordtime.h"
#include "sqlthread.h"
#include "timewindowcontrols.h"

#include <QBoxLayout>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QHash>
#include <QKeyEvent>
#include <QPushButton>

void RecordPage::addWindowControls()
{
    auto *button = new QPushButton(tr("All records"), this);
    button->setObjectName(QStringLiteral("allRecords"));
    button->setToolTip(tr("Sets From and To to the first and last record"));
    connect(button, &QPushButton::clicked, this, &RecordPage::showAllRecords);
    auto *controls = new TimeWindowControls(fromEdit, toEdit, this);
    auto *row = new QHBoxLayout;
    row->addWidget(controls->presets(), 1);
    row->addWidget(button, 1);
    // Right under the To row of the time window.
    QLayout *toRow = nullptr;
    for (QLayout *layout : fromEdit->parentWidget()->findChildren<QLayout *>()) {
        if (layout->indexOf(toEdit) >= 0)
            toRow = layout;
    }
    auto *panel = toRow ? qobject_cast<QBoxLayout *>(toRow->parent()) : nullptr;
    if (panel)
        panel->insertLayout(panel->indexOf(toRow) + 1, row);
}

void RecordPage::showAllRecords()
{
    const int number = family.number;
    if (!runWorkerCall([number](SQLThread *job) { job->readRecordSpan(number); }) || !g_recordSpan.first.isValid())
        return;
    fromEdit->setDateTime(minuteStart(g_recordSpan.first));
    toEdit->setDateTime(minuteStart(g_recordSpan.last));
}

void RecordPage::goToTime()
{
    GoToTimeDialog dialog(goneTo.isValid() ? goneTo : shown.st, this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    goneTo = dialog.chosen();
    showTime(goneTo);
}

bool RecordPage::findRecordAt(const QDateTime &at, bool backwards, RecordAtTime *found)
{
    const int number = family.number;
    const TableSearch search = shown;
    const bool chart = chartPage;
    if (!runWorkerCall([=](SQLThread *job) { job->findRecordAt(number, search, chart, at, backwards); }))
        return false;
    *found = g_recordAtTime;
    return true;
}

void RecordPage::showTime(const QDateTime &at)
{
    RecordAtTime found;
    if (!findRecordAt(at, false, &found))
        return;
    if (found.rowid < 0)
        return showMessage(tr("No record of the search shown is stamped at or after %1.")
                               .arg(at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))), 3);
    showPageOfRecord(found.rowid, found.time);
}

void RecordPage::turnPagesByKeys(QWidget *target)
{
    pageKeysTarget = target;
    target->installEventFilter(this);
}

bool RecordPage::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == pageKeysTarget && event->type() == QEvent::KeyPress && pages > 0) {
        static const QHash<int, PageTurn> turns{{Qt::Key_PageUp, PageTurn::Previous}, {Qt::Key_PageDown, PageTurn::Next},
                                                {Qt::Key_Home, PageTurn::First}, {Qt::Key_End, PageTurn::Last}};
        const auto turn = turns.constFind(static_cast<QKeyEvent *>(event)->key());
        if (turn != turns.cend()) {
            turnPage(*turn);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}
