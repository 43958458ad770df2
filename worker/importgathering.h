#ifndef IMPORTGATHERING_H
#define IMPORTGATHERING_H

#include "arrivingblocks.h"
#include "overviewwriter.h"

#include <QSqlDatabase>
#include <QString>
#include <memory>

struct MeterFamily;

// What an import keeps beside its records, made from the lines it parses
// rather than read back once they are stored: the sums and packed values of
// every block and the overview, written inside its transaction, so that its
// end is the moment everything is ready. Blocks SQLite may read otherwise
// than the lines tell are summed up from their rows; where the overview
// cannot be made from the packed blocks, it is built after the import.
class ImportGathering
{
public:
    // None where the fields are not bound as they are read (the Qt insert),
    // or the worker's own functions are missing.
    static std::unique_ptr<ImportGathering> start(QSqlDatabase &db, const MeterFamily &family, int tableCode,
                                                  QString *error);

    // Fed on the parsing core: parsed lines, in the order they are stored.
    ArrivingBlocks &arriving() { return blocks; }
    // Whether the next record is stored under the rowid the blocks expect:
    // a line the database refused took none, and the blocks no longer match the rows.
    void checkNextRowid(qint64 rowid);
    // The blocks and minutes the lines parsed so far completed, taken while
    // no lines are parsed, then saved on the connection's thread, which may
    // go on while the next lines are parsed.
    struct Ended {
        std::vector<ArrivingBlocks::Block> blocks;
        std::vector<OverviewSpans::Closed> minutes;
    };
    Ended takeEnded();
    QString save(const Ended &ended);
    // The last block, those summed up from their rows, the overview's hours
    // and the states that make them count; the notes of how they were made.
    QString finish(QStringList *notes);

private:
    ImportGathering(QSqlDatabase &db, const MeterFamily &family, int meter, const QList<int> &valueFields,
                    int stampField);

    QSqlDatabase db;
    const MeterFamily &family;
    const int meter;
    const QString table;
    ArrivingBlocks blocks;
    OverviewWriter minutes;
};

#endif
