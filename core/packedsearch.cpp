#include "packedsearch.h"

#include "meankinetic.h"

#include <cmath>
#include <vector>

namespace {

using Kind = PackedValues::Kind;

// A range of a column as codes: the numbers of codes from `low` up to (not
// with) `high` lie inside it, as each code's number compares with its bounds.
struct CodeRange {
    bool everyRecord = false; // an unbounded range leaves the column out of the condition
    double low = 0, high = 0;
    quint32 lowCode = 0, highCode = 0;
    bool negativeZero = false;
};

// The first code whose number is not below `bound` (`strictly`: above it); the numbers ascend with their codes.
quint32 firstCode(const PackedValues &values, double bound, bool strictly)
{
    quint32 from = 0, to = values.numberCodes();
    while (from < to) {
        const quint32 middle = from + (to - from) / 2;
        const double number = values.numberOf(middle);
        if (strictly ? number > bound : number >= bound)
            to = middle;
        else
            from = middle + 1;
    }
    return from;
}

CodeRange codeRange(const PackedValues &values, double low, double high)
{
    CodeRange range;
    range.everyRecord = unbounded(low, high);
    range.low = low;
    range.high = high;
    if (range.everyRecord || values.valueWidth() == 8)
        return range;
    range.lowCode = firstCode(values, low, true);
    range.highCode = firstCode(values, high, false);
    range.negativeZero = -0.0 > low && -0.0 < high;
    return range;
}

bool inRange(const PackedValues &values, const CodeRange &range, qint64 i)
{
    if (range.everyRecord)
        return true;
    if (values.valueWidth() == 8) {
        double number = 0;
        return values.kindAt(i, &number) == Kind::Number && number > range.low && number < range.high;
    }
    const quint32 code = values.codeAt(i);
    if (code < values.numberCodes())
        return code >= range.lowCode && code < range.highCode;
    return values.negativeZero(code) && range.negativeZero;
}

bool isMarker(const PackedValues &values, qint64 i)
{
    double number = 0;
    const Kind kind = values.kindAt(i, &number);
    return kind == Kind::High || kind == Kind::Low;
}

// Adds a record's value to the totals; each code's kinetic term is worked out once a block.
class TotalsAdder
{
public:
    explicit TotalsAdder(const PackedValues &values) : values(values) {}

    void add(SummaryTotals &totals, qint64 i, qint64 rowid)
    {
        double number = 0;
        switch (values.kindAt(i, &number)) {
        case Kind::High:
            ++totals.hh;
            return;
        case Kind::Low:
            ++totals.ll;
            return;
        case Kind::Unreadable:
            ++totals.unreadable;
            return;
        case Kind::Number:
            break;
        }
        addNumber(totals, number, kinetic(i, number), rowid);
    }

private:
    double kinetic(qint64 i, double number)
    {
        const quint32 code = values.valueWidth() > 2 ? 0 : values.codeAt(i);
        if (values.valueWidth() > 2 || code >= values.numberCodes())
            return kineticTerm(number);
        if (code >= terms.size())
            terms.resize(code + 1, std::nan(""));
        if (std::isnan(terms[code]))
            terms[code] = kineticTerm(number);
        return terms[code];
    }

    const PackedValues &values;
    std::vector<double> terms; // NaN: not yet worked out (a term itself is never NaN above absolute zero)
};

} // namespace

PackedSearch::PackedSearch(const SummaryCondition &condition) : condition(condition) {}

bool PackedSearch::answers(const SummaryCondition &condition)
{
    return matchedInDoubles(condition);
}

bool PackedSearch::search(const PackedValues *columns, int count, SearchedBlock &block) const
{
    if (count <= 0 || !answers(condition))
        return false;
    for (int c = 1; c < count; ++c) {
        if (!columns[c].sameRecords(columns[0]))
            return false;
    }
    std::vector<CodeRange> ranges;
    for (int c = 0; c < count; ++c) {
        const bool ranged = condition.kind == SummaryCondition::Range && c < condition.open.size();
        ranges.push_back(ranged ? codeRange(columns[c], condition.open.at(c).first, condition.open.at(c).second)
                                : CodeRange{true});
    }
    const auto matches = [&](qint64 i) {
        if (condition.kind == SummaryCondition::Markers) {
            for (int c = 0; c < count; ++c) {
                if (isMarker(columns[c], i))
                    return true;
            }
            return false;
        }
        for (int c = 0; c < count; ++c) {
            if (!inRange(columns[c], ranges[size_t(c)], i))
                return false;
        }
        return true;
    };
    std::vector<TotalsAdder> adders;
    for (int c = 0; c < count; ++c)
        adders.emplace_back(columns[c]);
    block.matching = 0;
    block.totals = QVector<SummaryTotals>(count, SummaryTotals{});
    SummaryTotals *totals = block.totals.data();
    columns[0].forEachRowid([&](qint64 i, qint64 rowid) {
        if (!matches(i))
            return;
        ++block.matching;
        for (int c = 0; c < count; ++c)
            adders[size_t(c)].add(totals[c], i, rowid);
    });
    return true;
}
