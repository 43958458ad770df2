#include "importreport.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("ImportReport", text);
}

QString faultText(int fault)
{
    switch (LineFault(fault)) {
    case LineFault::FieldCount: return tr("wrong number of fields");
    case LineFault::Overlong: return tr("overlong");
    case LineFault::Damaged: return tr("damaged");
    }
    return QString();
}

} // namespace

void LineTally::skip(LineFault fault, qint64 lineNumber)
{
    const int i = int(fault);
    ++skipped[i];
    if (firstLines[i].size() < KeptLineNumbers)
        firstLines[i] << lineNumber;
}

qint64 LineTally::skippedLines() const
{
    qint64 total = 0;
    for (qint64 count : skipped)
        total += count;
    return total;
}

QString FileReport::name() const
{
    return QFileInfo(path).fileName();
}

QString outcomeText(const FileReport &file)
{
    switch (file.outcome) {
    case FileReport::Added: return tr("added");
    case FileReport::Replaced: return tr("replaced");
    case FileReport::AlreadyThere: return tr("skipped (already there)");
    case FileReport::NotRead: return tr("skipped (%1)").arg(file.reason);
    }
    return QString();
}

QString skippedText(const LineTally &lines)
{
    QStringList reasons;
    for (int i = 0; i < LineFaultCount; ++i) {
        if (lines.skipped[i] == 0)
            continue;
        QStringList numbers;
        for (qint64 line : lines.firstLines[i])
            numbers << QString::number(line);
        if (lines.skipped[i] > lines.firstLines[i].size())
            numbers << QStringLiteral("…");
        reasons << tr("%1: %2 (lines %3)").arg(faultText(i)).arg(lines.skipped[i]).arg(numbers.join(QStringLiteral(", ")));
    }
    return reasons.isEmpty() ? tr("none") : reasons.join(QStringLiteral("; "));
}

QString ImportReport::headline() const
{
    qint64 counts[4] = {};
    for (const FileReport &file : files)
        ++counts[file.outcome];
    const QString headline = tr("%1 files added, %2 replaced, %3 already there")
                                 .arg(counts[FileReport::Added])
                                 .arg(counts[FileReport::Replaced])
                                 .arg(counts[FileReport::AlreadyThere]);
    return counts[FileReport::NotRead] ? tr("%1, %2 not read").arg(headline).arg(counts[FileReport::NotRead]) : headline;
}

QString ImportReport::text() const
{
    QString text = headline() + QLatin1Char('\n');
    for (const FileReport &file : files) {
        text += QLatin1Char('\n') + file.path + QLatin1Char('\n');
        text += tr("  %1, %2 records stored, %3 lines read, %4 skipped\n")
                    .arg(outcomeText(file))
                    .arg(file.records)
                    .arg(file.lines.read)
                    .arg(file.lines.skippedLines());
        if (file.lines.skippedLines() > 0)
            text += tr("  skipped lines: %1\n").arg(skippedText(file.lines));
    }
    return text;
}
