#include "gototimedialog.h"

#include <QDateTimeEdit>
#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

GoToTimeDialog::GoToTimeDialog(const QDateTime &initial, QWidget *parent) : QDialog(parent), edit(new QDateTimeEdit(initial, this))
{
    setObjectName(QStringLiteral("goToTimeDialog"));
    setWindowTitle(tr("Go to"));
    edit->setObjectName(QStringLiteral("goToTime"));
    edit->setDisplayFormat(QStringLiteral("yyyy-MM-dd hh:mm:ss"));
    edit->setCalendarPopup(true);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Show the first record at or after:"), this));
    layout->addWidget(edit);
    layout->addWidget(buttons);
}

QDateTime GoToTimeDialog::chosen() const
{
    return edit->dateTime();
}
