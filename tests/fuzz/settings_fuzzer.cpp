// Fuzzes the settings file reader.
#include "settings.h"

#include <QDomDocument>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    QDomDocument doc;
    if (parseSettingsContent(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), doc)) {
        for (const char *key : {"Meter", "YStep", "Tickcount", "PageRcd", "PlotRcd", "LockY"})
            settingValue(doc, QString::fromLatin1(key)).toInt();
    }
    return 0;
}
