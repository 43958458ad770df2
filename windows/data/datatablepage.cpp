#include "datatablepage.h"

#include "dialogmessage.h"
#include "dialogprogress.h"
#include "families.h"
#include "filedialogs.h"
#include "paging.h"
#include "recordstore.h"
#include "recordtime.h"
#include "settings.h"
#include "sqlthread.h"
#include "statements.h"
#include "workerjob.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDebug>
#include <QDir>
#include <QLayout>
#include <QPushButton>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpressionValidator>
#include <QStackedWidget>
#include <QTableWidget>
#include <QThread>

namespace {


QTableWidgetItem *readOnlyItem(const QString &text)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(item->flags() & ~Qt::ItemIsEditable);
    return item;
}

void setUpResultHeaders(QTableWidget *table, const QStringList &headers)
{
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setAlternatingRowColors(true);
    table->horizontalHeader()->setHighlightSections(false);
    table->verticalHeader()->setVisible(false);
    table->setColumnCount(int(headers.size()));
    table->setHorizontalHeaderLabels(headers);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setWordWrap(false); // rows stay one line high
}

} // namespace

DataTablePage::DataTablePage(int familyNumber, QWidget *parent) : RecordPage(familyNumber, parent) {}

DataTablePage::~DataTablePage()
{
    qDebug() << "数据查询页析构";
}

void DataTablePage::setUpPage(const DataPageWidgets &widgets)
{
    w = widgets;
    setUpResultTable();
    w.widget_page->hide();
    setUpRecordPage(w.tablechaddr, w.dateTimeEdit1, w.dateTimeEdit2);
    addSummary(w.widget_page);
    turnPagesByKeys(w.tabled);
    connect(this, &DataTablePage::ExportDb, worker, &SQLThread::dn_exportTable);

    exportButton = new QPushButton(tr("Export..."), w.widget_page);
    exportButton->setObjectName(QStringLiteral("page_export"));
    exportButton->setEnabled(false);
    w.widget_page->layout()->addWidget(exportButton);
    connect(exportButton, &QPushButton::clicked, this, &DataTablePage::exportRecords);

    const QRegularExpression bound(QStringLiteral("^(-?[0]|-?[1-9][0-9]{0,4})(?:\\.\\d{1,3})?$|(^\\t?$)"));
    for (QLineEdit *edit : std::as_const(w.rangeEdits))
        edit->setValidator(new QRegularExpressionValidator(bound, edit));
}

void DataTablePage::setUpResultTable()
{
    QStringList headers;
    for (const FamilyCell &cell : family.cells)
        headers << tr(qPrintable(cell.header));
    setUpResultHeaders(w.tabled, headers);
    for (int c = 0; c < family.cells.size(); ++c) {
        if (family.cells.at(c).width > 0)
            w.tabled->setColumnWidth(c, family.cells.at(c).width);
    }
    w.tabled->setHorizontalScrollBarPolicy(family.tableScrollBarAlwaysOff ? Qt::ScrollBarAlwaysOff
                                                                          : Qt::ScrollBarAsNeeded);
}

void DataTablePage::on_checkBox_stateChanged(int arg1)
{
    for (QWidget *widget : std::as_const(w.rangeWidgets))
        widget->setVisible(arg1 != Qt::Checked);
}

bool DataTablePage::checkCriteria()
{
    if (!windowAndChannelChosen())
        return false;
    if (asked.ishl)
        return true;
    const double bounds[][2] = {{asked.pv1, asked.pv2}, {asked.th1, asked.th2}};
    for (int i = 0; i < family.rangeMessages.size(); ++i) {
        if (bounds[i][0] >= bounds[i][1]) {
            showMessage(tr(qPrintable(family.rangeMessages.at(i))), 3);
            return false;
        }
    }
    return true;
}

void DataTablePage::on_pushButton_clicked()
{
    double *bounds[] = {&asked.pv1, &asked.pv2, &asked.th1, &asked.th2};
    for (int i = 0; i < w.rangeEdits.size(); ++i)
        *bounds[i] = rangeBound(w.rangeEdits.at(i)->text(), i % 2 == 0);
    asked.st = minuteStart(w.dateTimeEdit1->dateTime());
    asked.en = minuteEnd(w.dateTimeEdit2->dateTime());
    asked.ishl = w.checkBox->isChecked();
    asked.idx = chIndex;
    if (!checkCriteria())
        return;

    w.stackedWidget->setCurrentIndex(0);
    const bool found = runNewSearch(pageSize());
    exportButton->setEnabled(records != 0);
    if (found) {
        w.widget_page->show();
        showPage();
    }
}

void DataTablePage::showPage()
{
    const QVector<RecordRow> rows = takeRecords();
    if (family.traceSecondRowId && rows.size() >= 2)
        qDebug() << "输出值:" << rows.at(1).id;
    w.tabled->setRowCount(int(rows.size()));
    for (int i = 0; i < rows.size(); ++i)
        fillRow(i, rows.at(i));
    w.tabled->selectRow(0);
    w.page_label->setText(counterText(records, curPage + 1, pages));
}

int DataTablePage::pageSize() const
{
    return safePageRcd();
}

void DataTablePage::showRecord(int row, const QDateTime &)
{
    w.tabled->selectRow(row);
    if (QTableWidgetItem *item = w.tabled->item(row, 0))
        w.tabled->scrollToItem(item);
}

void DataTablePage::fillRow(int row, const RecordRow &record)
{
    for (int c = 0; c < family.cells.size(); ++c)
        w.tabled->setItem(row, c, readOnlyItem(recordCellText(family.cells.at(c), record, shown.ishl)));
}

void DataTablePage::exportRecords()
{
    if (records == 0) {
        showMessage(tr("There are no records to export: search first."), 3);
        return;
    }
    const QString path = chooseSaveFile(this, tr("Export records"), QDir::home().filePath(QStringLiteral("records.csv")),
                                        tr("CSV file (*.csv)"));
    if (path.isEmpty())
        return;
    // The search shown is exported, whatever the criteria fields say now.
    const TableSearch &c = shown;
    const JobOutcome outcome = runJob(worker, progress, [&] {
        emit ExportDb(family.number, c.idx, c.st, c.en, c.pv1, c.pv2, c.th1, c.th2, c.ishl, records, path);
    });
    if (outcome.status != JobOutcome::Cancelled)
        showMessage(outcome.reason, outcome.done() ? 1 : 3);
}
