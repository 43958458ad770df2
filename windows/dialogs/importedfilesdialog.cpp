#include "importedfilesdialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

enum Column { Name, Size, Records, LinesRead, LinesSkipped, Added, First, Last, Columns };

const QString StampFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss");

// Sorts by the number it holds, not by its text.
class NumberItem : public QTableWidgetItem
{
public:
    NumberItem(const QString &text, qint64 number) : QTableWidgetItem(text), number(number) {}
    bool operator<(const QTableWidgetItem &other) const override
    {
        const auto *item = dynamic_cast<const NumberItem *>(&other);
        return item ? number < item->number : QTableWidgetItem::operator<(other);
    }

private:
    qint64 number;
};

} // namespace

ImportedFilesDialog::ImportedFilesDialog(QWidget *parent)
    : QDialog(parent), table(new QTableWidget(0, Columns, this)), removeButton(new QPushButton(tr("Remove..."), this))
{
    setObjectName(QStringLiteral("importedFilesDialog"));
    setWindowTitle(tr("Imported files"));
    table->setObjectName(QStringLiteral("importedFilesTable"));
    table->setHorizontalHeaderLabels({tr("File"), tr("Size"), tr("Records"), tr("Lines read"), tr("Lines skipped"),
                                      tr("Added"), tr("First record"), tr("Last record")});
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    table->horizontalHeader()->setSortIndicator(First, Qt::AscendingOrder); // in time, the days missing in their place
    removeButton->setObjectName(QStringLiteral("removeFileButton"));
    removeButton->setToolTip(tr("Takes the records of the file chosen out of the records"));
    removeButton->setEnabled(false);
    connect(table, &QTableWidget::itemSelectionChanged, this, [this] { removeButton->setEnabled(chosenFileRow() >= 0); });
    connect(removeButton, &QPushButton::clicked, this, [this] {
        const int row = chosenFileRow();
        if (row >= 0)
            emit removeAsked(table->item(row, Name)->text(), table->item(row, Name)->data(Qt::UserRole).toLongLong());
    });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
    buttons->addButton(removeButton, QDialogButtonBox::ActionRole);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(table);
    layout->addWidget(buttons);
    resize(900, 480);
}

int ImportedFilesDialog::chosenFileRow() const
{
    const int row = table->currentRow();
    return row >= 0 && table->item(row, Name)->data(Qt::UserRole).isValid() ? row : -1;
}

void ImportedFilesDialog::addRow(const QStringList &cells, const QList<qint64> &numbers, bool gap)
{
    const int row = table->rowCount();
    table->insertRow(row);
    for (int column = 0; column < Columns; ++column) {
        const bool numeric = column >= Size && column <= LinesSkipped;
        auto *item = numeric ? new NumberItem(cells.value(column), numbers.value(column - Size)) : new QTableWidgetItem(cells.value(column));
        if (numeric)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        if (gap)
            item->setForeground(Qt::gray);
        table->setItem(row, column, item);
    }
}

void ImportedFilesDialog::setFiles(const QList<ImportedFiles::Listed> &files)
{
    table->setSortingEnabled(false);
    table->setRowCount(0);
    const QLocale c = QLocale::c();
    QList<ImportedFiles::Listed> byTime = files;
    std::stable_sort(byTime.begin(), byTime.end(), [](const auto &a, const auto &b) { return a.first < b.first; });
    QDate covered; // the last day a file reached so far
    for (const ImportedFiles::Listed &file : std::as_const(byTime)) {
        const ImportedFiles::Entry &e = file.entry;
        // Whole days between the files, with no file: the stretch is named.
        if (covered.isValid() && file.first.isValid() && file.first.date() > covered.addDays(1))
            addRow({tr("(no file on these days)"), {}, {}, {}, {}, {}, covered.addDays(1).toString(QStringLiteral("yyyy-MM-dd")),
                    file.first.date().addDays(-1).toString(QStringLiteral("yyyy-MM-dd"))}, {}, true);
        if (file.last.isValid() && (!covered.isValid() || file.last.date() > covered))
            covered = file.last.date();
        addRow({e.name, c.toString(e.size), c.toString(e.records), c.toString(e.linesRead), c.toString(e.linesSkipped),
                e.added.isEmpty() ? tr("not recorded") : e.added, file.first.toString(StampFormat), file.last.toString(StampFormat)},
               {e.size, e.records, e.linesRead, e.linesSkipped}, false);
        table->item(table->rowCount() - 1, Name)->setData(Qt::UserRole, e.records);
    }
    table->setSortingEnabled(true);
    removeButton->setEnabled(false);
}
