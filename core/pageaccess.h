#ifndef PAGEACCESS_H
#define PAGEACCESS_H

#include <QDateTime>

// Where a time window lies within the records' time span, as shares of that
// span from 0 to 1.
struct WindowShare {
    double start = 0;
    double end = 0;
};

WindowShare windowShare(const QDateTime &first, const QDateTime &last, const QDateTime &st, const QDateTime &en);

// Whether reading the table in rowid order reaches a page of the window
// sooner than the time index does. `progress` is the page's offset as a share
// of the window's matching records (0 for a first page); `pageFills` whether
// the window holds a whole page from there, so that a scan may stop at it.
bool scanReachesPageSooner(const WindowShare &window, double progress, bool pageFills);
// Whether reading the whole table beats the time index for one pass over the
// whole window in any order (an aggregate).
bool scanReadsWindowSooner(const WindowShare &window);

#endif
