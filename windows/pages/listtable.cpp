#include "listtable.h"

#include "listmodel.h"
#include "dialogmessage.h"
#include "filedialogs.h"

#include "userstate.h"
#include "wallclock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QFile>
#include <QHeaderView>
#include <QTableView>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ListTable", text);
}

} // namespace

QTableView *makeListTable(const QString &objectName, const QStringList &headers, QWidget *parent)
{
    auto *table = new QTableView(parent);
    table->setObjectName(objectName);
    table->setModel(new ListModel(headers, table));
    table->verticalHeader()->hide();
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

ListModel *listModel(const QTableView *table)
{
    return static_cast<ListModel *>(table->model());
}

QString csvLine(const QStringList &cells)
{
    QStringList quoted;
    for (QString text : cells)
        quoted << QLatin1Char('"') + text.replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return quoted.join(QLatin1Char(','));
}

QString listCsvText(const QTableView *table)
{
    const ListModel *model = listModel(table);
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c)
        header << model->headerData(c, Qt::Horizontal).toString();
    QString text = header.join(QLatin1Char(',')) + QStringLiteral("\r\n");
    for (int r = 0; r < model->rowCount(); ++r)
        text += csvLine(model->rowText(r)) + QStringLiteral("\r\n");
    return text;
}

void exportListTable(QWidget *parent, const QTableView *table, const QString &what, const QString &fileName)
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
    message.setMessage(written ? tr("%1 %2 exported to %3").arg(listModel(table)->rowCount()).arg(what, path)
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
