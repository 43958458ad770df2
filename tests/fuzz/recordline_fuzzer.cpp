// Fuzzes the record-line reader, the UTF-8 check, the field splitter and
// the batches the import reads ahead.
#include "recordlinereader.h"

#include <QBuffer>
#include <cstdlib>

namespace {

void require(bool holds)
{
    if (!holds)
        std::abort();
}

bool inside(const FieldSpan &field, const char *begin, const char *end)
{
    return field.data >= begin && field.data + field.size <= end;
}

void checkBatches(QByteArray bytes)
{
    const int fieldCount = bytes.isEmpty() ? 1 : 1 + static_cast<unsigned char>(bytes.at(0)) % 8;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    RecordBatchReader reader(buffer, fieldCount);
    RecordBatch batch;
    qsizetype records = 0;
    for (reader.fill(batch); batch.records > 0; reader.fill(batch)) {
        require(batch.fieldStarts.size() == size_t(batch.records) * size_t(fieldCount));
        const char *text = batch.text.data();
        FieldSpan fields[MaxRecordFields];
        for (int r = 0; r < batch.records; ++r) {
            batch.fieldsOf(r, fields);
            for (int i = 0; i < fieldCount; ++i) {
                require(inside(fields[i], text, batch.text.data() + batch.text.size()));
                require(!QByteArrayView(fields[i].data, fields[i].size).contains(','));
                text = fields[i].data; // fields follow one another
            }
        }
        records += batch.records;
    }
    require(records <= bytes.count('\n') + 1);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    RecordLineReader reader(buffer, 200);
    QByteArrayView line;
    bool overlong = false;
    QByteArray scratch;
    FieldSpan fields[20];
    qsizetype seen = 0;
    while (reader.next(line, overlong)) {
        if (overlong)
            continue;
        require(line.size() <= 201 && !line.contains('\0'));
        seen += line.size();
        const QByteArrayView text = sanitizedUtf8(line, scratch);
        const int count = splitRecordFields(text, fields, 20);
        require(count >= 1 && count == text.count(',') + 1);
        for (int i = 0; i < qMin(count, 20); ++i)
            require(inside(fields[i], text.data(), text.data() + text.size()));
    }
    require(seen <= qsizetype(size));
    checkBatches(bytes);
    return 0;
}
