#include "recordlinereader.h"

#include "contenthash.h"
#include "recordtime.h"
#include "sha256.h"

#include <QIODevice>
#include <QString>
#include <algorithm>
#include <cstring>

namespace {
constexpr qsizetype ChunkSize = 256 * 1024;
}

RecordLineReader::RecordLineReader(QIODevice &device, qsizetype maxLine)
    : device(device), maxLine(maxLine)
{
    buffer.resize(qMax(ChunkSize, maxLine + 1));
}

bool RecordLineReader::fill()
{
    if (atEnd)
        return false;
    if (start > 0) {
        std::memmove(buffer.data(), buffer.constData() + start, size_t(filled - start));
        filled -= start;
        start = 0;
    }
    const qint64 got = device.read(buffer.data() + filled, buffer.size() - filled);
    if (got <= 0) {
        // A card reader can fail part-way: the line cut there is no record.
        if (got < 0) {
            error = device.errorString();
            filled = start;
        }
        atEnd = true;
        return false;
    }
    if (contentHash)
        contentHash->addData(QByteArrayView(buffer.constData() + filled, got));
    if (contentDigest)
        contentDigest->addData(QByteArrayView(buffer.constData() + filled, got));
    filled += got;
    return true;
}

QByteArrayView RecordLineReader::finishLine(qsizetype begin, qsizetype end)
{
    char *data = buffer.data() + begin;
    qsizetype size = end - begin;
    if (size >= 2 && data[size - 1] == '\n' && data[size - 2] == '\r') {
        data[size - 2] = '\n';
        --size;
    }
    const void *nul = std::memchr(data, '\0', size_t(size));
    cut = nul != nullptr;
    if (nul)
        size = static_cast<const char *>(nul) - data;
    return QByteArrayView(data, size);
}

bool RecordLineReader::next(QByteArrayView &line, bool &overlong)
{
    overlong = false;
    cut = false;
    qsizetype searchFrom = start;
    for (;;) {
        const void *nl = std::memchr(buffer.constData() + searchFrom, '\n', size_t(filled - searchFrom));
        if (nl) {
            const qsizetype end = static_cast<const char *>(nl) - buffer.constData() + 1;
            const qsizetype begin = start;
            start = end;
            overlong = overlong || end - begin - 1 > maxLine;
            line = overlong ? QByteArrayView() : finishLine(begin, end);
            return true;
        }
        if (filled - start > maxLine) {
            // Too long for a record: drop what was read and look for its end.
            overlong = true;
            start = filled;
        }
        const qsizetype pending = filled - start;
        if (!fill()) {
            if (filled == start && !overlong)
                return false;
            const qsizetype begin = start;
            start = filled;
            line = overlong ? QByteArrayView() : finishLine(begin, filled);
            return true;
        }
        searchFrom = start + pending;
    }
}

int splitRecordFields(QByteArrayView line, FieldSpan *fields, int maxFields)
{
    const char *p = line.data();
    const char *end = p + line.size();
    int count = 0;
    for (;;) {
        const char *comma = static_cast<const char *>(std::memchr(p, ',', size_t(end - p)));
        const char *fieldEnd = comma ? comma : end;
        if (count < maxFields)
            fields[count] = {p, fieldEnd - p};
        ++count;
        if (!comma)
            return count;
        p = comma + 1;
    }
}

QByteArrayView sanitizedUtf8(QByteArrayView line, QByteArray &scratch)
{
    // Record lines are nearly always ASCII: test eight bytes at a time.
    const char *p = line.data();
    const qsizetype n = line.size();
    quint64 high = 0;
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        high |= word;
    }
    for (; i < n; ++i)
        high |= static_cast<unsigned char>(p[i]);
    if (!(high & 0x8080808080808080ULL))
        return line;
    scratch = QString::fromUtf8(line).toUtf8();
    return scratch;
}

RecordBatchReader::RecordBatchReader(QIODevice &device, int fieldCount)
    : lines(device), fieldCount(fieldCount)
{
}

void RecordBatchReader::skipLine()
{
    QByteArrayView line;
    bool overlong = false;
    if (lines.next(line, overlong))
        ++lineNumber;
}

void RecordBatchReader::fill(RecordBatch &batch)
{
    // Room for a full batch plus one longest line after repair (an invalid
    // byte grows to three), so the fields' pointers never move.
    const size_t room = size_t(BatchBytes + 4 * RecordLineReader::DefaultMaxLine);
    batch.text.clear();
    batch.text.reserve(room);
    batch.fieldStarts.clear();
    // The batches are about as long: room for the most fields yet and an
    // eighth more, where doubling left up to half of the fields' room unused.
    batch.fieldStarts.reserve(mostFields + mostFields / 8);
    batch.records = 0;
    batch.fieldCount = fieldCount;

    QByteArrayView line;
    bool overlong = false;
    FieldSpan split[MaxRecordFields];
    while (qsizetype(batch.text.size()) < BatchBytes && lines.next(line, overlong)) {
        ++lineNumber;
        ++lineTally.read;
        if (overlong) {
            lineTally.skip(LineFault::Overlong, lineNumber);
            continue;
        }
        const QByteArrayView text = sanitizedUtf8(line, scratch);
        if (splitRecordFields(text, split, MaxRecordFields) != fieldCount) {
            const bool repaired = text.data() != line.data() && text != line;
            lineTally.skip(lines.lastLineCut() || repaired ? LineFault::Damaged : LineFault::FieldCount, lineNumber);
            continue;
        }
        const size_t at = batch.text.size();
        Q_ASSERT(at + size_t(text.size()) <= batch.text.capacity());
        batch.text.insert(batch.text.end(), text.begin(), text.end());
        for (int i = 0; i < fieldCount; ++i)
            batch.fieldStarts.push_back(quint32(at + size_t(split[i].data - text.data())));
        ++batch.records;
        const FieldSpan &stamp = split[fieldCount - 1];
        if (!isReadableStamp(QByteArrayView(stamp.data, stamp.size)))
            lineTally.noteUnstamped(lineNumber);
    }
    mostFields = std::max(mostFields, batch.fieldStarts.size());
}

// A record's fields lie one after another with a comma between them, and
// the next record's text follows its last field.
void RecordBatch::fieldsOf(int r, FieldSpan *fields) const
{
    const quint32 *starts = fieldStarts.data() + size_t(r) * size_t(fieldCount);
    const size_t end = r + 1 < records ? starts[fieldCount] : text.size();
    for (int i = 0; i < fieldCount; ++i) {
        const size_t fieldEnd = i + 1 < fieldCount ? starts[i + 1] - 1 : end;
        fields[i] = {text.data() + starts[i], qsizetype(fieldEnd - starts[i])};
    }
}
