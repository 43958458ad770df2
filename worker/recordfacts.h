#ifndef RECORDFACTS_H
#define RECORDFACTS_H

#include <QDateTime>
#include <QString>

// What the start page says of the records there.
struct RecordFacts {
    qint64 records = 0;
    QDateTime first, last; // local times of the first and last readable stamp; invalid: none
    qint64 files = 0;      // in the record of imported files
    QString lastFile;      // the file noted last, and when it came (empty: not kept)
    QString lastAdded;
    QString error;         // why they could not be read
};

// Reads them from record.db on a connection of its own, reading only: for
// any thread, beside any job of the workers.
RecordFacts readRecordFacts(const QString &databasePath, int familyNumber, int meter);

#endif
