#include "excursionpane.h"

#include "listmodel.h"
#include "listtable.h"
#include "statements.h"
#include "wallclock.h"

#include <QHBoxLayout>
#include <cmath>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

ExcursionPane::ExcursionPane(QWidget *parent)
    : QWidget(parent), totalsLabel(new QLabel(this)),
      table(makeListTable(QStringLiteral("excursionTable"), headers(), this))
{
    setObjectName(QStringLiteral("excursionPane"));
    // The curve or the records keep the room; the list takes what is left.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Ignored);
    totalsLabel->setObjectName(QStringLiteral("excursionTotals"));
    totalsLabel->setWordWrap(false);
    totalsLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(table, &QTableView::clicked, this, [this](const QModelIndex &index) {
        const auto [column, row] = listModel(table)->partOf(index.row());
        if (column < 0)
            return;
        const Excursion e = listed.at(column).at(row);
        emit excursionChosen(e.firstRowid, e.start);
    });
    auto *exportButton = new QPushButton(tr("Export excursions..."), this);
    exportButton->setObjectName(QStringLiteral("excursionExport"));
    connect(exportButton, &QPushButton::clicked, this, [this] { exportListTable(this, table, tr("excursions"), exportName); });
    auto *top = new QHBoxLayout;
    top->addWidget(totalsLabel, 1);
    top->addWidget(exportButton, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(table);
}

QStringList ExcursionPane::headers()
{
    return {tr("Value"), tr("Kind"), tr("Start"), tr("End"), tr("Duration"), tr("Extreme"), tr("at"), tr("Records")};
}

QString ExcursionPane::kindText(const Excursion &e)
{
    switch (e.kind) {
    case Excursion::AboveUpper: return tr("above the upper limit");
    case Excursion::BelowLower: return tr("below the lower limit");
    case Excursion::High: return tr("HH");
    case Excursion::Low: return tr("LL");
    case Excursion::Gap: return tr("no records");
    case Excursion::Alarm: return tr("ALM%1").arg(e.alarm);
    }
    return QString();
}

QString ExcursionPane::setText(const Excursion &e, const QString &unitText)
{
    if (e.kind != Excursion::Alarm || std::isnan(e.setValue))
        return QString();
    return tr("set %1").arg(cellNumber(e.setValue) + unitText);
}

QStringList ExcursionPane::totalsText(const QString &label, const WindowExcursions &found, qint64 windowSeconds)
{
    const ExcursionTotals &t = found.totals;
    QString counts = tr("%1: above %2, below %3, HH %4, LL %5, gaps %6")
                         .arg(label)
                         .arg(t.counts[Excursion::AboveUpper]).arg(t.counts[Excursion::BelowLower])
                         .arg(t.counts[Excursion::High]).arg(t.counts[Excursion::Low]).arg(t.counts[Excursion::Gap]);
    if (t.counts[Excursion::Alarm] > 0)
        counts += tr(" · the instrument's alarms %1, on for %2")
                      .arg(t.counts[Excursion::Alarm])
                      .arg(durationText(t.seconds[Excursion::Alarm]));
    // Short lines: none is cut at the width of a window on a small screen.
    return {counts,
            tr("    time above %1, below %2 · within limits %3 % of %4")
                .arg(durationText(t.seconds[Excursion::AboveUpper]), durationText(t.seconds[Excursion::BelowLower]))
                .arg(t.withinShare * 100, 0, 'f', 2)
                .arg(durationText(windowSeconds)),
            tr("    a gap: over %1 without records").arg(durationText(found.gapSeconds))};
}

QStringList ExcursionPane::rowText(const QString &label, const QString &unit, const Excursion &e)
{
    const QString unitText = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    const bool valued = e.kind == Excursion::AboveUpper || e.kind == Excursion::BelowLower;
    return {label, kindText(e), stampText(e.start), stampText(e.end) + (e.cut ? tr(" (cut)") : QString()),
            durationText(e.duration()), valued ? cellNumber(e.extreme) + unitText : setText(e, unitText),
            valued ? stampText(e.extremeTime) : QString(),
            e.kind == Excursion::Gap ? QString() : QString::number(e.records)};
}

void ExcursionPane::clear()
{
    listModel(table)->clear();
    listed.clear();
    totalsLines.clear();
    totalsLabel->clear();
}

void ExcursionPane::addColumn(const QString &label, const QString &unit, const WindowExcursions &found,
                              qint64 windowSeconds)
{
    // Short lines rather than a wrapped one: a wrapping label would let
    // the page's layout squeeze the curve above it.
    totalsLines << totalsText(label, found, windowSeconds);
    totalsLabel->setText(totalsLines.join(QLatin1Char('\n')));
    const ExcursionList excursions = found.excursions;
    listed << excursions;
    listModel(table)->appendPart(excursions.size(), [label, unit, excursions](qsizetype row) {
        return rowText(label, unit, excursions.at(row));
    });
    show();
}
