#include "pageaccess.h"

#include <QtGlobal>

WindowShare windowShare(const QDateTime &first, const QDateTime &last, const QDateTime &st, const QDateTime &en)
{
    if (!first.isValid() || !last.isValid() || st > en || en < first || st > last)
        return {};
    const double span = double(first.secsTo(last));
    if (span <= 0)
        return {0, 1};
    const auto share = [&](const QDateTime &t) { return qBound(0.0, first.secsTo(t) / span, 1.0); };
    return {share(st), share(en)};
}

bool scanReachesPageSooner(const WindowShare &window, double progress)
{
    // A scan reads every record before the window, then the window up to the
    // page. The index reads the whole window and sorts it up to the page;
    // sorting cost some eight times as much per record as reading (measured
    // on a million records), so any later page favours the scan.
    constexpr double SortCost = 8;
    const double width = window.end - window.start;
    const double scan = window.start + progress * width;
    const double index = width * (1 + SortCost * progress);
    return scan < index;
}
