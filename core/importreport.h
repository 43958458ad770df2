#ifndef IMPORTREPORT_H
#define IMPORTREPORT_H

#include <QByteArray>
#include <QList>
#include <QString>

// Why a line of a record file was not stored.
enum class LineFault {
    FieldCount, // another number of fields than the table has
    Overlong,   // longer than any record line
    Damaged     // held bytes that are no text (a NUL, invalid UTF-8), and so lost fields
};
constexpr int LineFaultCount = 3;

// The lines of one record file after its header: how many were read, and
// which were skipped and why (the first few line numbers of each reason).
struct LineTally {
    static constexpr int KeptLineNumbers = 5;

    qint64 read = 0;
    qint64 skipped[LineFaultCount] = {};
    QList<qint64> firstLines[LineFaultCount]; // 1 is the header

    // Stored, but with a stamp no time window holds.
    qint64 unstamped = 0;
    QList<qint64> firstUnstamped;

    void skip(LineFault fault, qint64 lineNumber);
    void noteUnstamped(qint64 lineNumber);
    qint64 skippedLines() const;
};

// What an import or an addition did with one record file.
struct FileReport {
    enum Outcome {
        Added,
        Replaced,
        AlreadyThere,
        OlderCopy,   // its records are the beginning of those stored: kept as they are
        NoRecord,    // not one readable record: not entered
        Unconfirmed, // would replace the records stored by others: only with the user's yes
        NotRead,     // failed part-way, or refused (`reason`): nothing of it was stored or replaced
        OutcomeCount
    };
    // Skipped: nothing of the file was stored or replaced.
    bool skipped() const { return outcome != Added && outcome != Replaced; }

    QString path;
    Outcome outcome = Added;
    QString reason;
    qint64 size = 0;
    QByteArray hash; // hex digest of the whole file
    QByteArray sha256; // hex SHA-256 of the whole file
    qint64 records = 0; // stored
    qint64 previousRecords = 0; // of the file's name, before (Replaced, Unconfirmed)
    LineTally lines;

    QString name() const;
};

struct ImportReport {
    QList<FileReport> files;

    // One line, for the status bar: "3 files added, 1 replaced, 2 already there"
    // (", 1 not read" when a file failed).
    QString headline() const;
    // The whole report as plain text, one block per file, to be saved.
    QString text() const;
};

// "added", ..., "skipped (could not be read to its end: …)".
QString outcomeText(const FileReport &file);
// "wrong number of fields: 2 (lines 5, 9)"..., or "none".
QString skippedText(const LineTally &lines);
// "2 (lines 7, 9)": the records stored without a readable time.
QString unstampedText(const LineTally &lines);

#endif
