// Fuzzes the record-line reader, the UTF-8 check, the field splitter and
// the batches the import reads ahead.
#include "recordlinereader.h"

#include <QBuffer>
#include <cstdlib>

namespace {

void checkBatches(QByteArray bytes)
{
    const int fieldCount = bytes.isEmpty() ? 1 : 1 + static_cast<unsigned char>(bytes.at(0)) % 8;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly);
    RecordBatchReader reader(buffer, fieldCount);
    RecordBatch batch;
    qsizetype records = 0;
    for (reader.fill(batch); batch.records > 0; reader.fill(batch)) {
        if (batch.fields.size() != size_t(batch.records) * size_t(fieldCount))
            std::abort();
        const char *text = batch.text.data();
        const char *end = text + batch.text.size();
        for (const FieldSpan &field : batch.fields) {
            if (field.data < text || field.data + field.size > end)
                std::abort();
            text = field.data; // fields follow one another
        }
        records += batch.records;
    }
    if (records > bytes.count('\n') + 1)
        std::abort();
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
        if (line.size() > 201 || line.contains('\0'))
            std::abort();
        seen += line.size();
        const QByteArrayView text = sanitizedUtf8(line, scratch);
        const int count = splitRecordFields(text, fields, 20);
        if (count < 1 || count != text.count(',') + 1)
            std::abort();
        for (int i = 0; i < qMin(count, 20); ++i) {
            if (fields[i].data < text.data() || fields[i].data + fields[i].size > text.data() + text.size())
                std::abort();
        }
    }
    if (seen > qsizetype(size))
        std::abort();
    checkBatches(bytes);
    return 0;
}
