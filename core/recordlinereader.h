#ifndef RECORDLINEREADER_H
#define RECORDLINEREADER_H

#include "importreport.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <vector>

class QIODevice;
class ContentHash;
class Sha256;

// Reads record lines from a device in fixed chunks, so memory stays flat
// whatever the file's size. A line keeps its "\n" ("\r\n" becomes "\n", as a
// text-mode read gives it) and ends at its first NUL. A line longer than the
// bound is reported as overlong and never held in memory.
class RecordLineReader
{
public:
    static constexpr qsizetype DefaultMaxLine = 64 * 1024;

    explicit RecordLineReader(QIODevice &device, qsizetype maxLine = DefaultMaxLine);

    // False at the end of the data, or where the device failed (readError()).
    // `line` stays valid until the next call.
    bool next(QByteArrayView &line, bool &overlong);
    // The device's reason when a read failed: what came before is no whole file.
    const QString &readError() const { return error; }
    // Whether the last line was cut at a NUL.
    bool lastLineCut() const { return cut; }
    // Every byte read from the device from now on goes into `hash` too.
    void setHash(ContentHash *hash) { contentHash = hash; }
    // Likewise into `digest` (the SHA-256 a report shows of each file).
    void setDigest(Sha256 *digest) { contentDigest = digest; }

private:
    bool fill();
    QByteArrayView finishLine(qsizetype begin, qsizetype end);

    QIODevice &device;
    const qsizetype maxLine;
    QByteArray buffer;
    qsizetype start = 0;
    qsizetype filled = 0;
    bool atEnd = false;
    bool cut = false;
    QString error;
    ContentHash *contentHash = nullptr;
    Sha256 *contentDigest = nullptr;
};

struct FieldSpan {
    const char *data;
    qsizetype size;
};

constexpr int MaxRecordFields = 32;

// Records parsed ahead of their insert: the accepted lines' text, one after
// another, and where each record's fields begin in it. Four bytes a field,
// where a pointer and a size took sixteen: a batch's fields took more room
// than its text, and the import holds nine batches.
struct RecordBatch {
    std::vector<char> text;
    std::vector<quint32> fieldStarts; // `fieldCount` a record
    int records = 0;
    int fieldCount = 0;

    // Record `r`'s fields, `fieldCount` of them, into `fields`.
    void fieldsOf(int r, FieldSpan *fields) const;
};

// Turns a record file into batches of the lines that have exactly
// `fieldCount` fields; overlong lines and lines of another count are skipped,
// and counted with their reason.
class RecordBatchReader
{
public:
    static constexpr qsizetype BatchBytes = 256 * 1024;

    RecordBatchReader(QIODevice &device, int fieldCount);

    void skipLine();
    // Refills `batch`; it holds no records once the data is used up.
    void fill(RecordBatch &batch);
    void setHash(ContentHash *hash) { lines.setHash(hash); }
    void setDigest(Sha256 *digest) { lines.setDigest(digest); }
    // The lines after the first, read so far.
    const LineTally &tally() const { return lineTally; }
    const QString &readError() const { return lines.readError(); }

private:
    RecordLineReader lines;
    const int fieldCount;
    QByteArray scratch;
    size_t mostFields = 0; // of a batch so far
    qint64 lineNumber = 0;
    LineTally lineTally;
};

// Splits a line at every "," in place; returns the number of fields, which
// may exceed maxFields (only the first maxFields are stored).
int splitRecordFields(QByteArrayView line, FieldSpan *fields, int maxFields);

// Valid UTF-8 comes back unchanged; invalid sequences become U+FFFD, as a
// decode to QString and back would make them.
QByteArrayView sanitizedUtf8(QByteArrayView line, QByteArray &scratch);

#endif
