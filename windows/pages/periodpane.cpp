#include "periodpane.h"

#include "listmodel.h"
#include "listtable.h"
#include "statements.h"
#include "wallclock.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

PeriodPane::PeriodPane(QWidget *parent)
    : QWidget(parent), lengthBox(new QComboBox(this)),
      table(makeListTable(QStringLiteral("periodTable"), headers(), this))
{
    setObjectName(QStringLiteral("periodPane"));
    // The curve or the records keep the room; the list takes what is left.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    lengthBox->setObjectName(QStringLiteral("periodLength"));
    lengthBox->addItems({tr("Hour"), tr("Day"), tr("Week"), tr("Month")});
    lengthBox->setCurrentIndex(int(PeriodLength::Day));
    connect(lengthBox, &QComboBox::activated, this, &PeriodPane::lengthChosen);
    auto *exportButton = new QPushButton(tr("Export periods..."), this);
    exportButton->setObjectName(QStringLiteral("periodExport"));
    connect(exportButton, &QPushButton::clicked, this, [this] { exportListTable(this, table, tr("periods"), exportName); });
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(tr("By"), this));
    top->addWidget(lengthBox);
    top->addStretch(1);
    top->addWidget(exportButton);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(table);
}

PeriodLength PeriodPane::length() const
{
    return PeriodLength(lengthBox->currentIndex());
}

void PeriodPane::clear()
{
    listModel(table)->clear();
}

QString PeriodPane::periodText(qint64 start, PeriodLength length)
{
    const QDateTime at = wallClockOf(start);
    switch (length) {
    case PeriodLength::Hour: return at.toString(QStringLiteral("yyyy-MM-dd hh:00"));
    case PeriodLength::Day: return at.toString(QStringLiteral("yyyy-MM-dd"));
    case PeriodLength::Week:
        return tr("%1 (week %2)").arg(at.toString(QStringLiteral("yyyy-MM-dd"))).arg(at.date().weekNumber());
    case PeriodLength::Month: return at.toString(QStringLiteral("yyyy-MM"));
    }
    return QString();
}

QStringList PeriodPane::headers()
{
    return {tr("Value"),  tr("Period"), tr("Records"),    tr("Min"),     tr("Max"),     tr("Mean"),
            tr("MKT"),    tr("HH"),     tr("LL"),         tr("Excursions"), tr("Outside"), tr("Without records")};
}

QStringList PeriodPane::rowText(const QString &label, const QString &unit, const PeriodFigures &p, PeriodLength length)
{
    const bool celsius = unit == QStringLiteral("°C");
    const auto number = [](double value) { return std::isnan(value) ? QString() : cellNumber(value); };
    return {label, periodText(p.start, length), QString::number(p.records), number(p.minimum),
            number(p.maximum), number(p.mean()), celsius ? number(p.meanKinetic()) : QString(),
            QString::number(p.high), QString::number(p.low), QString::number(p.excursions),
            durationText(p.secondsOutside), durationText(p.secondsWithoutRecords)};
}

void PeriodPane::addColumn(const QString &label, const QString &unit, const QList<PeriodFigures> &periods)
{
    const PeriodLength shownLength = length();
    listModel(table)->appendPart(periods.size(), [label, unit, periods, shownLength](qsizetype row) {
        return rowText(label, unit, periods.at(row), shownLength);
    });
    show();
}
