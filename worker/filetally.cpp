#include "filetally.h"

#include <algorithm>

FileTally::FileTally(const QList<ImportedFiles::Entry> &entries) : entries(entries), inWindow(entries.size()) {}

void FileTally::count(qint64 rowid)
{
    ++total;
    if (at < 0 || rowid < entries.at(at).firstRowid || rowid > entries.at(at).lastRowid) {
        // The file whose rowids hold this record: the last to start at or before it.
        const auto after = std::upper_bound(entries.cbegin(), entries.cend(), rowid,
                                            [](qint64 id, const ImportedFiles::Entry &e) { return id < e.firstRowid; });
        at = after - entries.cbegin() - 1;
        if (at < 0 || rowid > entries.at(at).lastRowid) {
            at = -1;
            return;
        }
    }
    ++inWindow[at];
}

void FileTally::add(const FileTally &other)
{
    for (qsizetype i = 0; i < inWindow.size(); ++i)
        inWindow[i] += other.inWindow.at(i);
    total += other.total;
}

QList<RecordSources::File> FileTally::files() const
{
    QList<RecordSources::File> files;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (inWindow.at(i) > 0)
            files << RecordSources::File{entries.at(i), inWindow.at(i)};
    }
    return files;
}
