#ifndef PACKEDSEARCH_H
#define PACKEDSEARCH_H

#include "packedvalues.h"
#include "summaryblocks.h"

// Whether each record of a block meets a search's condition, and the totals
// of the matching records per searched column, from the block's packed
// values: what recordMatches() and addStoredValue() give over the same
// records in rowid order, without reading them.
class PackedSearch
{
public:
    explicit PackedSearch(const SummaryCondition &condition);
    // Whether the condition is one the packed values answer exactly.
    static bool answers(const SummaryCondition &condition);
    // `columns`: the searched columns' values of one block, in the order of
    // the condition's ranges; false when they do not list the same records.
    bool search(const PackedValues *columns, int count, SearchedBlock &block) const;

private:
    const SummaryCondition condition;
};

#endif
