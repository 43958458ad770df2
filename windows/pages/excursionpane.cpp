#include "excursionpane.h"

#include "dialogmessage.h"
#include "filedialogs.h"
#include "statements.h"
#include "wallclock.h"

#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString kindText(Excursion::Kind kind)
{
    switch (kind) {
    case Excursion::AboveUpper: return ExcursionPane::tr("above the upper limit");
    case Excursion::BelowLower: return ExcursionPane::tr("below the lower limit");
    case Excursion::High: return ExcursionPane::tr("HH");
    case Excursion::Low: return ExcursionPane::tr("LL");
    case Excursion::Gap: return ExcursionPane::tr("no records");
    }
    return QString();
}

} // namespace

ExcursionPane::ExcursionPane(QWidget *parent)
    : QWidget(parent), totalsLabel(new QLabel(this)), table(new QTableWidget(0, 8, this))
{
    setObjectName(QStringLiteral("excursionPane"));
    totalsLabel->setObjectName(QStringLiteral("excursionTotals"));
    totalsLabel->setWordWrap(true);
    totalsLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    table->setObjectName(QStringLiteral("excursionTable"));
    table->setHorizontalHeaderLabels({tr("Value"), tr("Kind"), tr("Start"), tr("End"), tr("Duration"), tr("Extreme"),
                                      tr("at"), tr("Records")});
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->setMinimumHeight(120);
    connect(table, &QTableWidget::cellClicked, this, [this](int row) {
        if (row >= 0 && row < starts.size())
            emit excursionChosen(starts.at(row).first, starts.at(row).second);
    });
    auto *exportButton = new QPushButton(tr("Export excursions..."), this);
    exportButton->setObjectName(QStringLiteral("excursionExport"));
    connect(exportButton, &QPushButton::clicked, this, &ExcursionPane::exportList);
    auto *top = new QHBoxLayout;
    top->addWidget(totalsLabel, 1);
    top->addWidget(exportButton, 0, Qt::AlignTop);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(top);
    layout->addWidget(table);
}

QString ExcursionPane::durationText(qint64 seconds)
{
    const qint64 days = seconds / 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(seconds % 86400 / 3600, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? tr("%1 d %2").arg(days).arg(clock) : clock;
}

void ExcursionPane::clear()
{
    table->setRowCount(0);
    starts.clear();
    totalsLines.clear();
    totalsLabel->clear();
}

void ExcursionPane::addColumn(const QString &label, const QString &unit, const WindowExcursions &found,
                              qint64 windowSeconds)
{
    const ExcursionTotals &t = found.totals;
    const QString unitText = unit.isEmpty() ? QString() : QLatin1Char(' ') + unit;
    totalsLines << tr("%1: above %2, below %3, HH %4, LL %5, gaps %6 · time above %7, below %8 · within limits "
                      "%9 % of %10 (a gap: over %11 without records)")
                       .arg(label)
                       .arg(t.counts[Excursion::AboveUpper]).arg(t.counts[Excursion::BelowLower])
                       .arg(t.counts[Excursion::High]).arg(t.counts[Excursion::Low]).arg(t.counts[Excursion::Gap])
                       .arg(durationText(t.seconds[Excursion::AboveUpper]), durationText(t.seconds[Excursion::BelowLower]))
                       .arg(t.withinShare * 100, 0, 'f', 2)
                       .arg(durationText(windowSeconds), durationText(found.gapSeconds));
    totalsLabel->setText(totalsLines.join(QLatin1Char('\n')));
    for (const Excursion &e : found.excursions) {
        const int row = table->rowCount();
        table->insertRow(row);
        const bool valued = e.kind == Excursion::AboveUpper || e.kind == Excursion::BelowLower;
        const QStringList cells{label, kindText(e.kind), stampText(e.start),
                                stampText(e.end) + (e.cut ? tr(" (cut)") : QString()), durationText(e.duration()),
                                valued ? cellNumber(e.extreme) + unitText : QString(),
                                valued ? stampText(e.extremeTime) : QString(),
                                e.kind == Excursion::Gap ? QString() : QString::number(e.records)};
        for (int c = 0; c < cells.size(); ++c)
            table->setItem(row, c, new QTableWidgetItem(cells.at(c)));
        starts << qMakePair(e.firstRowid, e.start);
    }
    show();
}

QString ExcursionPane::csvText() const
{
    QStringList lines;
    QStringList header;
    for (int c = 0; c < table->columnCount(); ++c)
        header << table->horizontalHeaderItem(c)->text();
    lines << header.join(QLatin1Char(','));
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << QLatin1Char('"') + table->item(r, c)->text().replace(QLatin1Char('"'), QStringLiteral("\"\""))
                    + QLatin1Char('"');
        lines << cells.join(QLatin1Char(','));
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void ExcursionPane::exportList()
{
    const QString path = chooseSaveFile(this, tr("Export the excursions"), QStringLiteral("excursions.csv"),
                                        tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    const QByteArray text = csvText().toUtf8();
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size()
        && file.flush();
    DialogMessage message(this);
    message.setMessage(written ? tr("%1 excursions exported to %2").arg(table->rowCount()).arg(path)
                               : tr("The excursions could not be written to %1: %2").arg(path, file.errorString()),
                       tr("Close"), true, written ? 1 : 3);
    message.exec();
}
