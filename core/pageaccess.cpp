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

namespace {

// A scan reads every record before the window, then the window up to the
// page. The index reads the whole window, fetching each record from the
// table, and sorts it up to the page. Measured on a million records, per
// record a scan would merely pass: reading through the index costs about
// one and a half times as much, sorting some eight times.
constexpr double IndexReadCost = 1.5;
constexpr double SortCost = 8;

} // namespace

bool scanReachesPageSooner(const WindowShare &window, double progress, bool pageFills)
{
    const double width = window.end - window.start;
    // A page the window cannot fill never satisfies the LIMIT: the scan goes on to the table's end.
    const double scan = pageFills ? window.start + progress * width : 1.0;
    const double index = width * (IndexReadCost + SortCost * progress);
    return scan < index;
}

bool scanReadsWindowSooner(const WindowShare &window)
{
    return 1.0 < (window.end - window.start) * IndexReadCost;
}
