#ifndef FILETALLY_H
#define FILETALLY_H

#include "importedfiles.h"
#include "recordsources.h"

#include <QList>

// Counts records per imported file by their rowids: quickest when they come
// in rowid order, as every reader of a window's records gives them.
class FileTally
{
public:
    explicit FileTally(const QList<ImportedFiles::Entry> &entries);

    void count(qint64 rowid);
    // Takes in the counts of another tally of the same files.
    void add(const FileTally &other);
    qint64 records() const { return total; }
    const QList<ImportedFiles::Entry> &entryList() const { return entries; }
    // The files with records counted, in the order of their records.
    QList<RecordSources::File> files() const;

private:
    const QList<ImportedFiles::Entry> &entries;
    QList<qint64> inWindow;
    qsizetype at = -1;
    qint64 total = 0;
};

#endif
