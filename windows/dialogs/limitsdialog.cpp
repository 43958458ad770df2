#include "limitsdialog.h"

#include "dialogmessage.h"
#include "userstate.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString limitText(double value)
{
    return qIsNaN(value) ? QString() : QString::number(value, 'g', 15);
}

} // namespace

LimitsDialog::LimitsDialog(const QList<LimitedColumn> &columns, QWidget *parent)
    : QDialog(parent), columns(columns), table(new QTableWidget(int(columns.size()), 9, this))
{
    setObjectName(QStringLiteral("LimitsDialog"));
    setWindowTitle(tr("Limits and channels"));
    table->setObjectName(QStringLiteral("limitsTable"));
    table->setHorizontalHeaderLabels({tr("Value"), tr("Name"), tr("Unit"), tr("Lower limit"), tr("Upper limit"),
                                      tr("Dead-band"), tr("Delay (s)"), tr("Axis from"), tr("Axis to")});
    table->horizontalHeaderItem(AxisFrom)->setToolTip(tr("A fixed range of the value axis in the whole window; empty: fitted"));
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(Name, QHeaderView::Stretch);
    for (int row = 0; row < columns.size(); ++row) {
        const ChannelLimits limits = UserState::channelLimits(columns.at(row).key);
        const QString unit = limits.unit.isEmpty() ? columns.at(row).recordUnit : limits.unit;
        const QStringList texts{columns.at(row).label, limits.name, unit, limitText(limits.lower),
                                limitText(limits.upper), limitText(limits.deadBand),
                                QString::number(limits.delaySeconds), limitText(limits.axisFrom),
                                limitText(limits.axisTo)};
        for (int c = 0; c < texts.size(); ++c)
            table->setItem(row, c, new QTableWidgetItem(texts.at(c)));
        table->item(row, Value)->setFlags(Qt::ItemIsEnabled);
    }
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    buttons->setObjectName(QStringLiteral("limitsButtons"));
    connect(buttons, &QDialogButtonBox::accepted, this, &LimitsDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &LimitsDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(900, 120 + 30 * int(qMin<qsizetype>(columns.size(), 16)));
}

ChannelLimits LimitsDialog::rowLimits(int row, QString *reason) const
{
    const QString label = table->item(row, Value)->text();
    const auto number = [&](int column, double none) {
        const QString text = table->item(row, column)->text().trimmed();
        if (text.isEmpty())
            return none;
        bool ok = false;
        const double value = text.toDouble(&ok);
        if ((!ok || !std::isfinite(value)) && reason->isEmpty())
            *reason = tr("%1, %2: \"%3\" is not a number.").arg(label, table->horizontalHeaderItem(column)->text(), text);
        return value;
    };
    ChannelLimits limits;
    limits.name = table->item(row, Name)->text().trimmed();
    limits.unit = table->item(row, Unit)->text().trimmed();
    limits.lower = number(Lower, qQNaN());
    limits.upper = number(Upper, qQNaN());
    limits.deadBand = number(DeadBand, 0);
    const double delay = number(Delay, 0);
    limits.delaySeconds = qint64(delay);
    limits.axisFrom = number(AxisFrom, qQNaN());
    limits.axisTo = number(AxisTo, qQNaN());
    if (!reason->isEmpty())
        return limits;
    if (limits.hasLower() && limits.hasUpper() && limits.lower >= limits.upper)
        *reason = tr("%1: the lower limit must lie below the upper one.").arg(label);
    else if (qIsNaN(limits.axisFrom) != qIsNaN(limits.axisTo) || limits.axisFrom >= limits.axisTo)
        *reason = tr("%1: a fixed axis needs both ends, the first below the second.").arg(label);
    else if (limits.deadBand < 0 || delay < 0 || delay != double(limits.delaySeconds))
        *reason = tr("%1: the dead-band and the delay are not negative, the delay in whole seconds.").arg(label);
    return limits;
}

void LimitsDialog::accept()
{
    QList<ChannelLimits> chosen;
    for (int row = 0; row < columns.size(); ++row) {
        QString reason;
        chosen << rowLimits(row, &reason);
        if (!reason.isEmpty()) {
            DialogMessage message(this);
            message.setMessage(reason, tr("Close"), true, 3);
            message.exec();
            table->setCurrentCell(row, 0);
            return;
        }
    }
    for (int row = 0; row < columns.size(); ++row) {
        // A unit as the instrument records it is no tag of the user's.
        if (chosen.at(row).unit == columns.at(row).recordUnit)
            chosen[row].unit.clear();
        if (chosen.at(row) == UserState::channelLimits(columns.at(row).key))
            continue;
        UserState::setChannelLimits(columns.at(row).key, chosen.at(row));
        changed = true;
    }
    QDialog::accept();
}
