// Fuzzes the record-line reader, the UTF-8 check and the field splitter.
#include "recordlinereader.h"

#include <QBuffer>
#include <cstdlib>

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
    return 0;
}
