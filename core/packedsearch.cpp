#include "packedsearch.h"

#include "codenumbers.h"

#include "meankinetic.h"

#include <cmath>
#include <cstring>
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

CodeRange codeRange(const PackedValues &values, double low, double high)
{
    CodeRange range;
    range.everyRecord = unbounded(low, high);
    range.low = low;
    range.high = high;
    if (range.everyRecord || values.valueWidth() == 8)
        return range;
    range.lowCode = values.firstCode(low, true);
    range.highCode = values.firstCode(high, false);
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

// Counts a value of its kind; `number`: a number's.
void addKind(SummaryTotals &totals, Kind kind, double number, qint64 rowid)
{
    switch (kind) {
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
        return addNumber(totals, number, kineticTerm(number), rowid);
    }
}

// Adds a record's code to the totals: a number's from the block's known numbers.
class CodeTotals
{
public:
    explicit CodeTotals(const PackedValues &values) : values(values), numbers(values) {}

    void add(SummaryTotals &totals, quint32 code, qint64 rowid)
    {
        if (code >= values.numberCodes())
            return addKind(totals, values.kindOfCode(code), -0.0, rowid);
        const CodeNumbers::Number number = numbers.of(code);
        addNumber(totals, number.value, number.kinetic, rowid);
    }

private:
    const PackedValues &values;
    CodeNumbers numbers;
};

// One column of codes of `Code`'s width: the common case, read without
// asking each value's width.
template<typename Code>
void searchCodes(const PackedValues &values, const SummaryCondition &condition, const CodeRange &range,
                 SearchedBlock &block)
{
    const PackedValues::Codes<Code> codeAt{values.storedValues()};
    const quint32 high = values.numberCodes() + 2, low = values.numberCodes() + 3;
    const bool markers = condition.kind == SummaryCondition::Markers;
    CodeTotals numbers(values);
    SummaryTotals &totals = block.totals[0];
    values.forEachRowid([&](qint64 i, qint64 rowid) {
        const quint32 code = codeAt[i];
        const bool matches = markers ? code == high || code == low
            : range.everyRecord      ? true
            : code < values.numberCodes() ? code >= range.lowCode && code < range.highCode
                                          : values.negativeZero(code) && range.negativeZero;
        if (!matches)
            return;
        ++block.matching;
        numbers.add(totals, code, rowid);
    });
}

// Adds a record's value of any width to the totals.
class TotalsAdder
{
public:
    explicit TotalsAdder(const PackedValues &values) : values(values), numbers(values) {}

    void add(SummaryTotals &totals, qint64 i, qint64 rowid)
    {
        if (values.valueWidth() <= 4)
            return numbers.add(totals, values.codeAt(i), rowid);
        double number = 0;
        const Kind kind = values.kindAt(i, &number);
        addKind(totals, kind, number, rowid);
    }

private:
    const PackedValues &values;
    CodeTotals numbers;
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
    block.matching = 0;
    block.totals = QVector<SummaryTotals>(count, SummaryTotals{});
    if (count == 1 && columns[0].valueWidth() == 1)
        return searchCodes<quint8>(columns[0], condition, ranges[0], block), true;
    if (count == 1 && columns[0].valueWidth() == 2)
        return searchCodes<quint16>(columns[0], condition, ranges[0], block), true;
    std::vector<TotalsAdder> adders;
    for (int c = 0; c < count; ++c)
        adders.emplace_back(columns[c]);
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
