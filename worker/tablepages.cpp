#include "tablepages.h"

#include <QCoreApplication>

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr int MaxDepth = 40;          // far deeper than a tree of 2^32 pages
constexpr qint64 RunBytes = 1 << 20; // read at once from the file

quint32 bigEndian16(const unsigned char *p)
{
    return quint32(p[0]) << 8 | p[1];
}

quint32 bigEndian32(const unsigned char *p)
{
    return quint32(p[0]) << 24 | quint32(p[1]) << 16 | quint32(p[2]) << 8 | p[3];
}

// SQLite's variable-length integer at p, of at most 9 bytes before `end`:
// its length, or 0 when it runs past `end`.
int varint(const unsigned char *p, const unsigned char *end, qint64 *value)
{
    quint64 v = 0;
    for (int i = 0; i < 9; ++i) {
        if (p + i >= end)
            return 0;
        if (i == 8) {
            *value = qint64(v << 8 | p[i]);
            return 9;
        }
        v = v << 7 | (p[i] & 0x7f);
        if (!(p[i] & 0x80)) {
            *value = qint64(v);
            return i + 1;
        }
    }
    return 0;
}

bool readFully(int file, unsigned char *into, qint64 size, qint64 offset)
{
    while (size > 0) {
        const ssize_t got = pread(file, into, size_t(size), offset);
        if (got <= 0)
            return false;
        into += got;
        size -= got;
        offset += got;
    }
    return true;
}

QString tr(const char *text)
{
    return QCoreApplication::translate("TablePages", text);
}

} // namespace

TablePages::TablePages(sqlite3 *handle, const QString &table)
{
    sqlite3_stmt *schema = nullptr;
    const QByteArray name = table.toUtf8();
    // The table's first page, and whether its rows are all the file holds
    // (no rowid: another tree; a default: rows stored before a column came
    // lack it; a key: kept as the rowid, not in the record).
    const char *ask = "select rootpage, sql like '%without rowid%', "
                      "(select count(*) from pragma_table_info(?1) where dflt_value is not null or pk > 0) "
                      "from main.sqlite_master where type = 'table' and name = ?1";
    if (sqlite3_prepare_v2(handle, ask, -1, &schema, nullptr) != SQLITE_OK) {
        refused = QString::fromUtf8(sqlite3_errmsg(handle));
        return;
    }
    sqlite3_bind_text(schema, 1, name.constData(), int(name.size()), SQLITE_TRANSIENT);
    if (sqlite3_step(schema) != SQLITE_ROW || sqlite3_column_int(schema, 1) != 0 || sqlite3_column_int(schema, 2) != 0)
        refused = tr("the table is not stored as plain rows");
    rootPage = quint32(sqlite3_column_int64(schema, 0));
    sqlite3_finalize(schema);
    if (!refused.isEmpty())
        return;
    readColumns(handle, name);
    const char *path = sqlite3_db_filename(handle, "main");
    file = path && *path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
    unsigned char header[100];
    struct stat status;
    if (file < 0 || fstat(file, &status) != 0 || !readFully(file, header, sizeof header, 0)) {
        refused = tr("the database file could not be read");
        return;
    }
    pageSize = bigEndian16(header + 16) == 1 ? 65536 : bigEndian16(header + 16);
    usableSize = pageSize - header[20];
    // A WAL holds pages the file does not; another encoding, other texts.
    if (header[18] != 1 || header[19] != 1 || bigEndian32(header + 56) != SQLITE_UTF8)
        refused = tr("the database is not in rollback mode or not in UTF-8");
    else if (pageSize < 512 || (pageSize & (pageSize - 1)) != 0 || usableSize < 480)
        refused = tr("the database's page size is not one SQLite writes");
    interior.resize(MaxDepth);
    interiorPages.assign(MaxDepth, 0);
}

// The columns and their affinities by SQLite's rules: a whole number in a
// column of REAL affinity is kept as an integer and read back as a real.
void TablePages::readColumns(sqlite3 *handle, const QByteArray &table)
{
    sqlite3_stmt *types = nullptr;
    sqlite3_prepare_v2(handle, "select name, upper(type) from pragma_table_info(?1) order by cid", -1, &types, nullptr);
    sqlite3_bind_text(types, 1, table.constData(), int(table.size()), SQLITE_TRANSIENT);
    while (sqlite3_step(types) == SQLITE_ROW) {
        names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(types, 0)));
        const QByteArray type(reinterpret_cast<const char *>(sqlite3_column_text(types, 1)));
        const bool integer = type.contains("INT");
        const bool text = !integer && (type.contains("CHAR") || type.contains("CLOB") || type.contains("TEXT"));
        textColumns.push_back(text);
        realColumns.push_back(!integer && !text && !type.contains("BLOB")
                              && (type.contains("REAL") || type.contains("FLOA") || type.contains("DOUB")));
    }
    sqlite3_finalize(types);
    columns = int(names.size());
}

bool TablePages::holdsText(int column) const
{
    return column >= 0 && column < columns && textColumns[size_t(column)];
}

TablePages::~TablePages()
{
    if (file >= 0)
        ::close(file);
}

bool TablePages::read(qint64 from, qint64 to, const Row &row)
{
    failure.clear();
    if (!refused.isEmpty())
        return false;
    // Pages kept from an earlier read stand while the file's change counter
    // (raised by every transaction that writes) and size do.
    struct stat status;
    unsigned char counter[4];
    if (fstat(file, &status) != 0 || !readFully(file, counter, sizeof counter, 24))
        return fail(tr("the database file could not be read"));
    const quint64 state = quint64(bigEndian32(counter)) << 32 ^ quint64(status.st_size);
    if (state != fileState || runPages == 0) {
        fileState = state;
        pageCount = quint32(qMin<qint64>(status.st_size / pageSize, 0xffffffffLL));
        runPages = 0;
        std::fill(interiorPages.begin(), interiorPages.end(), 0);
    }
    visited = 0;
    rowsRead = 0;
    return from >= to || walk(rootPage, from, to, 0, row);
}

bool TablePages::fail(const QString &why)
{
    failure = why;
    return false;
}

const unsigned char *TablePages::page(quint32 number)
{
    if (number == 0 || number > pageCount)
        return nullptr;
    if (number >= runFirst && number < runFirst + runPages)
        return run.data() + qint64(number - runFirst) * pageSize;
    const quint32 pages = quint32(qMin<qint64>(qMax<qint64>(RunBytes / pageSize, 1), qint64(pageCount) - number + 1));
    run.resize(size_t(pages) * pageSize);
    runPages = 0;
    if (!readFully(file, run.data(), qint64(pages) * pageSize, qint64(number - 1) * pageSize))
        return nullptr;
    runFirst = number;
    runPages = pages;
    return run.data();
}

bool TablePages::walk(quint32 number, qint64 from, qint64 to, int depth, const Row &row)
{
    if (depth >= MaxDepth)
        return fail(tr("the table's tree is deeper than any file holds"));
    // A tree visits each page once: a damaged one that leads back to a page would never end.
    if (++visited > pageCount)
        return fail(tr("the table's tree leads to page %1 more than once").arg(number));
    const bool cached = interiorPages[size_t(depth)] == number;
    const unsigned char *p = cached ? interior[size_t(depth)].data() : page(number);
    if (!p)
        return fail(tr("page %1 could not be read").arg(number));
    const int header = number == 1 ? 100 : 0;
    if (p[header] == 0x0d)
        return readLeaf(p, header, from, to, row);
    if (p[header] != 0x05)
        return fail(tr("page %1 is no page of the table").arg(number));
    // Reading the children reuses the run this page lies in.
    std::vector<unsigned char> &kept = interior[size_t(depth)];
    if (interiorPages[size_t(depth)] != number) {
        kept.assign(p, p + pageSize);
        interiorPages[size_t(depth)] = number;
    }
    p = kept.data();
    const quint32 cells = bigEndian16(p + header + 3);
    const unsigned char *pointers = p + header + 12, *end = p + usableSize;
    if (pointers + 2 * cells > end)
        return fail(tr("page %1 holds more cells than fit").arg(number));
    bool keyed = false;
    qint64 previous = 0;
    for (quint32 i = 0; i < cells; ++i) {
        // A child holds the rowids above the last key and up to its own.
        if (keyed && previous >= to - 1)
            return true;
        const quint32 at = bigEndian16(pointers + 2 * i);
        qint64 key;
        if (p + at + 4 > end || varint(p + at + 4, end, &key) == 0)
            return fail(tr("page %1 has a cell outside it").arg(number));
        if (key >= from && !walk(bigEndian32(p + at), from, to, depth + 1, row))
            return false;
        keyed = true;
        previous = key;
    }
    return (keyed && previous >= to - 1) || walk(bigEndian32(p + header + 8), from, to, depth + 1, row);
}

bool TablePages::readLeaf(const unsigned char *p, int header, qint64 from, qint64 to, const Row &row)
{
    const quint32 cells = bigEndian16(p + header + 3);
    const unsigned char *pointers = p + header + 8, *end = p + usableSize;
    if (pointers + 2 * cells > end)
        return fail(tr("a page holds more cells than fit"));
    for (quint32 i = 0; i < cells; ++i) {
        const quint32 at = bigEndian16(pointers + 2 * i);
        qint64 size, rowid;
        const int sizeLength = p + at < end ? varint(p + at, end, &size) : 0;
        const int rowidLength = sizeLength ? varint(p + at + sizeLength, end, &rowid) : 0;
        if (rowidLength == 0 || size < 0)
            return fail(tr("a page has a cell outside it"));
        if (rowid >= to)
            return true;
        // A tree holds each rowid once, in order: a damaged one could give rows twice.
        if (rowsRead > 0 && rowid <= lastRowid)
            return fail(tr("the table's rowids are out of order at %1").arg(rowid));
        const unsigned char *payload = nullptr;
        if (rowid < from)
            continue;
        if (!payloadOf(p, int(at) + sizeLength + rowidLength, size, &payload) || !decode(payload, size, rowid, row))
            return false;
        lastRowid = rowid;
        ++rowsRead;
    }
    return true;
}

// The record of a cell, whole: on its page, or put together from the pages it overflows to.
bool TablePages::payloadOf(const unsigned char *p, int at, qint64 size, const unsigned char **payload)
{
    const qint64 usable = usableSize, most = usable - 35;
    if (size <= most) {
        if (at + size > usable)
            return fail(tr("a record runs past its page"));
        *payload = p + at;
        return true;
    }
    const qint64 least = (usable - 12) * 32 / 255 - 23, share = least + (size - least) % (usable - 4);
    const qint64 local = share <= most ? share : least;
    if (at + local + 4 > usable || size > qint64(pageCount) * usable)
        return fail(tr("a record runs past its page"));
    assembled.resize(size_t(size));
    std::memcpy(assembled.data(), p + at, size_t(local));
    quint32 next = bigEndian32(p + at + local);
    std::vector<unsigned char> overflow(pageSize);
    for (qint64 done = local; done < size;) {
        // Read apart from the run, which holds the record's own page.
        if (next == 0 || next > pageCount
            || !readFully(file, overflow.data(), pageSize, qint64(next - 1) * pageSize))
            return fail(tr("a record's overflow page %1 could not be read").arg(next));
        const qint64 part = qMin(size - done, usable - 4);
        std::memcpy(assembled.data() + done, overflow.data() + 4, size_t(part));
        done += part;
        next = bigEndian32(overflow.data());
    }
    *payload = assembled.data();
    return true;
}

bool TablePages::decode(const unsigned char *record, qint64 size, qint64 rowid, const Row &row)
{
    const unsigned char *end = record + size;
    qint64 headerSize;
    int at = varint(record, end, &headerSize);
    if (at == 0 || headerSize < at || headerSize > size)
        return fail(tr("the record of rowid %1 has no header").arg(rowid));
    const unsigned char *types = record + at, *typesEnd = record + headerSize, *body = typesEnd;
    if (int(fields.size()) != columns) {
        fields.resize(size_t(columns));
    }
    int count = 0;
    while (types < typesEnd) {
        qint64 type = *types;
        const int length = type < 0x80 ? 1 : varint(types, typesEnd, &type);
        if (length == 0 || type == 10 || type == 11)
            return fail(tr("the record of rowid %1 has a field of no type").arg(rowid));
        if (count == columns)
            return fail(tr("the record of rowid %1 has more fields than the table").arg(rowid));
        types += length;
        static constexpr int IntegerBytes[] = {0, 1, 2, 3, 4, 6, 8};
        const qint64 bytes = type >= 12 ? (type - 12) / 2 : type == 7 ? 8 : type <= 6 ? IntegerBytes[type] : 0;
        if (bytes > end - body)
            return fail(tr("the record of rowid %1 runs past its end").arg(rowid));
        Field &field = fields[size_t(count++)];
        if (type >= 12) {
            field.type = type % 2 ? SQLITE_TEXT : SQLITE_BLOB;
            field.bytes = reinterpret_cast<const char *>(body);
            field.size = bytes;
        } else if (type == 0) {
            field.type = SQLITE_NULL;
        } else if (type == 8 || type == 9) {
            field.type = realColumns[size_t(count - 1)] ? SQLITE_FLOAT : SQLITE_INTEGER;
            field.integer = type - 8;
            field.real = double(type - 8);
        } else {
            quint64 value = body[0] & 0x80 && type != 7 ? ~quint64(0) : 0; // signed, big-endian
            for (qint64 b = 0; b < bytes; ++b)
                value = value << 8 | body[b];
            if (type == 7) {
                field.type = SQLITE_FLOAT;
                std::memcpy(&field.real, &value, sizeof value);
            } else if (realColumns[size_t(count - 1)]) {
                field.type = SQLITE_FLOAT;
                field.real = double(qint64(value));
            } else {
                field.type = SQLITE_INTEGER;
                field.integer = qint64(value);
            }
        }
        body += bytes;
    }
    // Rows stored before a column came: null there.
    for (int c = count; c < columns; ++c)
        fields[size_t(c)].type = SQLITE_NULL;
    row(rowid, fields.data(), columns);
    return true;
}
