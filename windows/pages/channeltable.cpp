#include "channeltable.h"

#include <QHeaderView>
#include <QObject>
#include <QTableWidget>

void setUpChannelTable(QTableWidget *table, int channels)
{
    table->setColumnCount(2);
    table->setHorizontalHeaderLabels({QObject::tr("Pick"), QObject::tr("Channels")});
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->horizontalHeader()->setHighlightSections(false);
    table->verticalHeader()->setVisible(false);
    table->setColumnWidth(0, 75);
    table->setColumnWidth(1, 75);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table->horizontalHeader()->setStretchLastSection(true);
    table->setRowCount(qMax(0, channels));
    for (int r = 0; r < table->rowCount(); ++r) {
        auto *pick = new QTableWidgetItem;
        pick->setCheckState(Qt::Unchecked);
        table->setItem(r, 0, pick);
        table->setItem(r, 1, new QTableWidgetItem(QObject::tr("CH:%1").arg(r + 1)));
    }
}

void toggleChannel(QTableWidget *table, int row)
{
    QTableWidgetItem *pick = table->item(row, 0);
    if (pick)
        pick->setCheckState(pick->checkState() != Qt::Unchecked ? Qt::Unchecked : Qt::Checked);
}

void keepOneChannelChecked(QTableWidget *table, int &chIndex, int row)
{
    if (chIndex == row) {
        chIndex = -1;
        return;
    }
    if (chIndex != -1)
        table->item(chIndex, 0)->setCheckState(Qt::Unchecked); // comes back here for the old row
    chIndex = row;
}
