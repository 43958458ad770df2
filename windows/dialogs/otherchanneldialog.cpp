#include "otherchanneldialog.h"

#include "channellimits.h"
#include "datafolder.h"
#include "families.h"
#include "filedialogs.h"
#include "settings.h"
#include "userstate.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QLabel>
#include <QPushButton>

OtherChannelDialog::OtherChannelDialog(QWidget *parent)
    : QDialog(parent), instruments(new QComboBox(this)), columns(new QComboBox(this)), problem(new QLabel(this)),
      buttons(new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this))
{
    setObjectName(QStringLiteral("otherChannelDialog"));
    setWindowTitle(tr("Add channel from another instrument"));
    instruments->setObjectName(QStringLiteral("otherInstrument"));
    columns->setObjectName(QStringLiteral("otherColumn"));
    problem->setObjectName(QStringLiteral("otherProblem"));
    problem->setWordWrap(true);
    auto *browseButton = new QPushButton(tr("Other folder..."), this);
    browseButton->setObjectName(QStringLiteral("otherBrowse"));
    connect(browseButton, &QPushButton::clicked, this, &OtherChannelDialog::browse);
    for (const QString &folder : UserState::recentInstruments()) {
        if (folder != dataFolder() && QFileInfo(folder).isDir())
            addFolder(folder);
    }
    connect(instruments, qOverload<int>(&QComboBox::currentIndexChanged), this, &OtherChannelDialog::showColumns);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *form = new QFormLayout(this);
    auto *row = new QHBoxLayout;
    row->addWidget(instruments, 1);
    row->addWidget(browseButton);
    form->addRow(tr("Instrument:"), row);
    form->addRow(tr("Channel:"), columns);
    form->addRow(problem);
    form->addRow(new QLabel(tr("Its records are only read: nothing of that folder is written."), this));
    form->addRow(buttons);
    showColumns();
}

void OtherChannelDialog::addFolder(const QString &folder)
{
    const QString name = UserState::instrumentName(folder);
    const QString shown = QDir::toNativeSeparators(folder);
    instruments->addItem(name.isEmpty() ? shown : QStringLiteral("%1 (%2)").arg(name, shown), folder);
}

void OtherChannelDialog::browse()
{
    const QString folder = chooseFolder(this, tr("Another instrument's data folder"), QFileInfo(dataFolder()).path());
    if (folder.isEmpty())
        return;
    int at = instruments->findData(folder);
    if (at < 0) {
        addFolder(folder);
        at = instruments->count() - 1;
    }
    instruments->setCurrentIndex(at); // which shows its columns
}

void OtherChannelDialog::showColumns()
{
    columns->clear();
    const QString folder = instruments->currentData().toString();
    const int meter = folder.isEmpty() ? 0 : readSettingOf(folder, QStringLiteral("Meter")).toInt();
    const int family = familyOfTableCode(meter);
    QString reason;
    if (folder.isEmpty())
        reason = tr("Choose the data folder of another instrument.");
    else if (QDir(folder) == QDir(dataFolder()))
        reason = tr("That is the instrument open here.");
    else if (!QFileInfo::exists(folder + QStringLiteral("/record.db")))
        reason = tr("There are no records in %1.").arg(QDir::toNativeSeparators(folder));
    else if (family == 0)
        reason = tr("The settings of %1 name no meter model.").arg(QDir::toNativeSeparators(folder));
    if (reason.isEmpty()) {
        for (const LimitedColumn &column : limitedColumns(meterFamily(family), meter)) {
            const ChannelLimits limits = UserState::channelLimits(column.key, folder);
            const QString label = limits.name.isEmpty() ? column.label : QStringLiteral("%1 (%2)").arg(column.label, limits.name);
            const QString unit = limits.unit.isEmpty() ? column.recordUnit : limits.unit;
            columns->addItem(label, QVariantList{column.key.section(QLatin1Char('/'), 1), unit, limits.axisFrom, limits.axisTo});
        }
    }
    problem->setText(reason);
    problem->setVisible(!reason.isEmpty());
    buttons->button(QDialogButtonBox::Ok)->setEnabled(reason.isEmpty() && columns->count() > 0);
}

OtherColumn OtherChannelDialog::chosen() const
{
    const QString folder = instruments->currentData().toString();
    const QVariantList data = columns->currentData().toList();
    return OtherColumn{folder, readSettingOf(folder, QStringLiteral("Meter")).toInt(), data.value(0).toString(),
                       columns->currentText(), data.value(1).toString(), data.value(2, qQNaN()).toDouble(),
                       data.value(3, qQNaN()).toDouble()};
}
