#ifndef RECORDSOURCES_H
#define RECORDSOURCES_H

#include "importedfiles.h"

#include <QByteArray>
#include <QList>

// Where the records of a window came from, and a digest of them as stored:
// two reports of the same window compare by that one line.
struct RecordSources {
    struct File {
        ImportedFiles::Entry entry;
        qint64 recordsInWindow = 0;
    };
    QList<File> files; // those with records in the window, in the order of their records
    qint64 records = 0; // of the window
    QByteArray sha256;  // hex, over the window's records in table order
};

// Written by the sources job before its final report, read by its page after it.
extern RecordSources g_recordSources;

#endif
