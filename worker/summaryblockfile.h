#ifndef SUMMARYBLOCKFILE_H
#define SUMMARYBLOCKFILE_H

#include "summaryblocks.h"

#include <memory>

// The summary's blocks kept in a small SQLite file beside the record
// database ("record.db.sums"), so that a search after the next start needs
// no pass either. Each entry is found by its key, which names the state of
// the record database it sums up; saving drops the entries of other states.
// A file that cannot be read or written only costs the pass.
std::shared_ptr<const SummaryBlocks> loadSummaryBlocks(const QString &database, const QString &key);
void saveSummaryBlocks(const QString &database, const QString &key, const QString &state, const SummaryBlocks &blocks);

#endif
