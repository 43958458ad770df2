#include "listtable.h"

#include "listmodel.h"
#include "dialogmessage.h"
#include "filedialogs.h"

#include "userstate.h"
#include "wallclock.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QRegularExpression>
#include <QProgressDialog>
#include <QSaveFile>
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

bool writeListCsv(const QTableView *table, QIODevice *device, const std::function<bool(int)> &going)
{
    const ListModel *model = listModel(table);
    QStringList header;
    for (int c = 0; c < model->columnCount(); ++c)
        header << model->headerData(c, Qt::Horizontal).toString();
    QByteArray chunk = header.join(QLatin1Char(',')).toUtf8() + "\r\n";
    const int rows = model->rowCount();
    for (int r = 0; r < rows; ++r) {
        if (r % 1024 == 0 && !going(r))
            return false;
        chunk += csvLine(model->rowText(r)).toUtf8() + "\r\n";
        // A million rows are some hundred MB of text: a MB at a time.
        if (chunk.size() >= (1 << 20)) {
            if (device->write(chunk) != chunk.size())
                return false;
            chunk.clear();
        }
    }
    return device->write(chunk) == chunk.size();
}

void exportListTable(QWidget *parent, const QTableView *table, const QString &what, const QString &fileName)
{
    const QString path = chooseSaveFile(parent, tr("Export the %1").arg(what),
                                        (fileName.isEmpty() ? what : fileName) + QStringLiteral(".csv"),
                                        tr("CSV files (*.csv)"));
    if (path.isEmpty())
        return;
    const int rows = listModel(table)->rowCount();
    // A file already there stays as it was unless every row is written.
    QSaveFile file(path);
    QProgressDialog progress(tr("Exporting the %1...").arg(what), tr("Cancel"), 0, rows, parent);
    progress.setObjectName(QStringLiteral("exportProgress"));
    progress.setWindowModality(Qt::WindowModal);
    progress.setMinimumDuration(500);
    const bool written = file.open(QIODevice::WriteOnly) && writeListCsv(table, &file, [&progress](int row) {
        progress.setValue(row);
        return !progress.wasCanceled();
    }) && file.commit();
    const bool cancelled = progress.wasCanceled();
    progress.reset();
    DialogMessage message(parent);
    if (written)
        message.setMessage(tr("%1 %2 exported to %3").arg(rows).arg(what, path), tr("Close"), true, 1);
    else if (cancelled)
        message.setMessage(tr("The export was cancelled: nothing was written to %1.").arg(path), tr("Close"), true, 1);
    else
        message.setMessage(tr("The %1 could not be written to %2: %3").arg(what, path, file.errorString()), tr("Close"),
                           true, 3);
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
