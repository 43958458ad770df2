#include "listtable.h"

#include "dialogmessage.h"
#include "filedialogs.h"

#include "userstate.h"
#include "wallclock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QFile>
#include <QHeaderView>
#include <QTableWidget>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ListTable", text);
}

} // namespace

QTableWidget *makeListTable(const QString &objectName, const QStringList &headers, QWidget *parent)
{
    auto *table = new QTableWidget(0, int(headers.size()), parent);
    table->setObjectName(objectName);
    table->setHorizontalHeaderLabels(headers);
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

void appendListRow(QTableWidget *table, const QStringList &cells)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int c = 0; c < cells.size(); ++c)
        table->setItem(row, c, new QTableWidgetItem(cells.at(c)));
}

QString csvLine(const QStringList &cells)
{
    QStringList quoted;
    for (QString text : cells)
        quoted << QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return quoted.join(QLatin1Char(','));
}

QString listCsvText(const QTableWidget *table)
{
    QStringList lines;
    QStringList header;
    for (int c = 0; c < table->columnCount(); ++c)
        header << table->horizontalHeaderItem(c)->text();
    lines << header.join(QLatin1Char(','));
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
        lines << csvLine(cells);
    }
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

void exportListTable(QWidget *parent, const QTableWidget *table, const QString &what, const QString &fileName)
{
    const QString path = chooseSaveFile(parent, tr("Export the %1").arg(what),
                                        (fileName.isEmpty() ? what : fileName) + QStringLiteral(".csv"),
                                        tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    QFile file(path);
    const QByteArray text = listCsvText(table).toUtf8();
    const bool written = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size()
        && file.flush();
    DialogMessage message(parent);
    message.setMessage(written ? tr("%1 %2 exported to %3").arg(table->rowCount()).arg(what, path)
                               : tr("The %1 could not be written to %2: %3").arg(what, path, file.errorString()),
                       tr("Close"), true, written ? 1 : 3);
    message.exec();
}

QString windowFileName(const QString &what, qint64 from, qint64 to)
{
    const auto minute = [](qint64 naive) { return wallClockOf(naive).toString(QStringLiteral("yyyyMMdd-hhmm")); };
    QString name = QStringLiteral("%1 %2 %3 to %4").arg(UserState::instrumentTitle(), what, minute(from), minute(to));
    return name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
}

QString durationText(qint64 seconds)
{
    const qint64 days = seconds / 86400;
    const QString clock = QStringLiteral("%1:%2:%3")
                              .arg(seconds % 86400 / 3600, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 3600 / 60, 2, 10, QLatin1Char('0'))
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
    return days > 0 ? tr("%1 d %2").arg(days).arg(clock) : clock;
}
