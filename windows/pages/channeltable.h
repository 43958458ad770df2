#ifndef CHANNELTABLE_H
#define CHANNELTABLE_H

class QTableWidget;

// The channel table of the multi-channel pages: one row per channel, a check
// box in column 0, and at most one row checked, like radio buttons.
void setUpChannelTable(QTableWidget *table, int channels);
void toggleChannel(QTableWidget *table, int row);
// Called after every cell change; keeps `chIndex` on the one checked row.
void keepOneChannelChecked(QTableWidget *table, int &chIndex, int row);

#endif
