#ifndef LISTTABLE_H
#define LISTTABLE_H

#include <QStringList>

#include <functional>

class QIODevice;
class ListModel;
class QTableView;
class QWidget;

// The read-only lists beside the summary (excursions, periods): built,
// filled and exported alike.

QTableView *makeListTable(const QString &objectName, const QStringList &headers, QWidget *parent);
ListModel *listModel(const QTableView *table);
// One line of CSV, every cell quoted.
QString csvLine(const QStringList &cells);
// Writes the list as CSV to `device`, its header line first, every cell
// quoted, while `going(row)` says so (asked every 1,024 rows); whether it
// was written whole.
bool writeListCsv(const QTableView *table, QIODevice *device, const std::function<bool(int)> &going);
// Asks for a file (offered as `fileName`, else as `what`), writes the list
// there and tells the user how that went; `what` names the rows ("excursions").
void exportListTable(QWidget *parent, const QTableView *table, const QString &what, const QString &fileName = {});
// The name a file of `what` over the window [from, to] (naive seconds) is
// offered under: the data folder's name, `what` and the window.
QString windowFileName(const QString &what, qint64 from, qint64 to);
// "01:02:03", or "2 d 01:02:03" from a day on.
QString durationText(qint64 seconds);

#endif
