#include "importreport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>

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

void LineTally::noteUnstamped(qint64 lineNumber)
{
    ++unstamped;
    if (firstUnstamped.size() < KeptLineNumbers)
        firstUnstamped << lineNumber;
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
    case FileReport::Replaced:
        return tr("replaced: %1 → %2 records").arg(QLocale::c().toString(file.previousRecords),
                                                   QLocale::c().toString(file.records));
    case FileReport::AlreadyThere:
        return file.reason.isEmpty() ? tr("skipped (already there)") : tr("skipped (already there as %1)").arg(file.reason);
    case FileReport::OlderCopy: return tr("skipped: older copy, already there");
    case FileReport::NoRecord: return tr("skipped: no readable record");
    case FileReport::Unconfirmed:
        return tr("skipped: would replace %1 records by %2").arg(QLocale::c().toString(file.previousRecords),
                                                                  QLocale::c().toString(file.records));
    case FileReport::OutcomeCount: break;
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

QString unstampedText(const LineTally &lines)
{
    QStringList numbers;
    for (qint64 line : lines.firstUnstamped)
        numbers << QString::number(line);
    if (lines.unstamped > lines.firstUnstamped.size())
        numbers << QStringLiteral("…");
    return tr("%1 (lines %2)").arg(lines.unstamped).arg(numbers.join(QStringLiteral(", ")));
}

QString ImportReport::headline() const
{
    qint64 counts[FileReport::OutcomeCount] = {};
    for (const FileReport &file : files)
        ++counts[file.outcome];
    const qint64 added = counts[FileReport::Added];
    QString text = (added == 1 ? tr("1 file added") : tr("%1 files added").arg(added))
        + tr(", %1 replaced, %2 already there")
              .arg(counts[FileReport::Replaced])
              .arg(counts[FileReport::AlreadyThere] + counts[FileReport::OlderCopy]);
    const qint64 skipped = counts[FileReport::NoRecord] + counts[FileReport::Unconfirmed] + counts[FileReport::NotRead];
    if (skipped > 0)
        text += tr(", %1 skipped").arg(skipped);
    return text;
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
        if (file.lines.unstamped > 0)
            text += tr("  records without a readable time: %1\n").arg(unstampedText(file.lines));
    }
    return text;
}
