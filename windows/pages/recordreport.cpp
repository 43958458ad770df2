#include "recordreport.h"

#include "commandline.h"
#include "datafolder.h"
#include "freedmemory.h"
#include "userstate.h"
#include "families.h"
#include "settings.h"
#include "sqlthread.h"
#include "excursionpane.h"
#include "listtable.h"
#include "overviewline.h"
#include "periodpane.h"
#include "statements.h"
#include "wallclock.h"

#include <QAbstractTextDocumentLayout>
#include <QFileInfo>
#include <QLocale>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QTextDocument>
#include <QTimeZone>
#include <qcustomplot.h>
#include <cmath>
#include <numeric>
#include <utility>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("RecordReport", text);
}

QString escaped(const QString &text)
{
    return text.toHtmlEscaped();
}

QString number(double value, const QString &unit = QString())
{
    if (std::isnan(value))
        return QString();
    return cellNumber(value) + (unit.isEmpty() ? QString() : QLatin1Char(' ') + unit);
}

// A table of whole cells (a line break in a cell is kept); a row of one
// cell spans the table: a heading, or a line too long for a cell.
QString tableHtml(const QStringList &headers, const QList<QStringList> &rows)
{
    const QString cell = QStringLiteral("<%1 align=\"left\" style=\"white-space:nowrap; font-size:7.5pt\"%2>%3</%1>");
    QString html = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"2\" width=\"100%\"><tr>");
    for (const QString &header : headers)
        html += cell.arg(QStringLiteral("th"), QString(), escaped(header));
    html += QStringLiteral("</tr>");
    for (const QStringList &row : rows) {
        html += QStringLiteral("<tr>");
        const QString span = row.size() == 1 ? QStringLiteral(" colspan=\"%1\"").arg(headers.size()) : QString();
        for (const QString &text : row)
            html += cell.arg(QStringLiteral("td"), span, escaped(text).replace(QLatin1Char('\n'), QStringLiteral("<br>")));
        html += QStringLiteral("</tr>");
    }
    return html + QStringLiteral("</table>");
}

QString limitsText(const ChannelLimits &limits, const QString &unit)
{
    const auto limit = [&](double at) { return std::isnan(at) ? tr("none") : number(at, unit); };
    return tr("lower %1, upper %2, dead-band %3, delay %4 s")
        .arg(limit(limits.lower), limit(limits.upper), number(limits.deadBand, unit))
        .arg(limits.delaySeconds);
}

QString zoneText(qint64 naive)
{
    const QDateTime written = wallClockOf(naive);
    const QDateTime local(written.date(), written.time(), Qt::LocalTime);
    return QStringLiteral("%1 (%2)").arg(QString::fromUtf8(QTimeZone::systemTimeZoneId()), local.timeZoneAbbreviation());
}

QString windowText(const ReportContents &c)
{
    return tr("%1 to %2, %3").arg(stampText(c.from), stampText(c.to), zoneText(c.from));
}

// Print-friendly line colours, by the chart pages' colour index.
QColor lineColour(int index)
{
    static const QColor colours[] = {QColor(0, 70, 200), QColor(0, 130, 0),   QColor(200, 110, 0), QColor(170, 0, 170),
                                     QColor(0, 140, 150), QColor(40, 40, 40), QColor(120, 80, 40), QColor(110, 110, 110)};
    return colours[qMax(0, index) % int(std::size(colours))];
}

// The chart is laid out this many pixels wide, then scaled onto the page.
constexpr int ReportPlotWidth = 1000;

// The whole window's chart: every column's line, its limits dashed and its
// excursions shaded, gaps in grey.
void drawChart(QCustomPlot &plot, const ReportContents &c)
{
    plot.setBackground(Qt::white);
    auto ticker = QSharedPointer<QCPAxisTickerDateTime>::create();
    ticker->setDateTimeFormat(QStringLiteral("yyyy-MM-dd\nhh:mm"));
    ticker->setTickCount(6);
    plot.xAxis->setTicker(ticker);
    plot.xAxis->setRange(double(localTimeKey(c.from)), double(localTimeKey(c.to)));
    QStringList units;
    const double gap = overviewGap(c.overview, int(GapIntervals));
    for (int i = 0; i < c.columns.size() && i < c.overview.cells.size(); ++i) {
        const ReportColumn &column = c.columns.at(i);
        const QColor colour = lineColour(column.colour);
        const OverviewLine line = overviewLine(c.overview.cells.at(i), c.overview.plan, gap);
        QCPGraph *graph = plot.addGraph();
        graph->setData(line.keys, line.values, std::is_sorted(line.keys.cbegin(), line.keys.cend()));
        graph->setPen(QPen(colour, 1.2));
        graph->setName(column.label + (column.unit.isEmpty() ? QString() : QStringLiteral(" [%1]").arg(column.unit)));
        if (!units.contains(column.unit) && !column.unit.isEmpty())
            units << column.unit;
        for (const double at : {column.limits.lower, column.limits.upper}) {
            if (std::isnan(at))
                continue;
            auto *limit = new QCPItemStraightLine(&plot);
            limit->point1->setCoords(0, at);
            limit->point2->setCoords(1, at);
            limit->setPen(QPen(colour, 1, Qt::DashLine));
        }
        const qint64 resolution = qMax<qint64>(1, (c.to - c.from) / ReportPlotWidth);
        for (const Excursion &e : excursionShades(column.excursions.excursions, c.from, c.to, resolution)) {
            auto *shade = new QCPItemRect(&plot);
            shade->setLayer(QStringLiteral("grid"));
            for (QCPItemPosition *corner : {shade->topLeft, shade->bottomRight}) {
                corner->setTypeX(QCPItemPosition::ptPlotCoords);
                corner->setTypeY(QCPItemPosition::ptAxisRectRatio);
            }
            shade->topLeft->setCoords(double(localTimeKey(e.start)), 0);
            shade->bottomRight->setCoords(double(localTimeKey(e.end)), 1);
            QColor fill = e.kind == Excursion::Gap ? QColor(Qt::gray) : colour;
            fill.setAlpha(45);
            shade->setBrush(fill);
            shade->setPen(QPen(fill, 0));
        }
    }
    plot.rescaleAxes(true);
    plot.xAxis->setRange(double(localTimeKey(c.from)), double(localTimeKey(c.to)));
    for (const ReportColumn &column : c.columns) {
        for (const double at : {column.limits.lower, column.limits.upper}) {
            if (!std::isnan(at))
                plot.yAxis->setRange(QCPRange(qMin(plot.yAxis->range().lower, at), qMax(plot.yAxis->range().upper, at)));
        }
    }
    plot.yAxis->scaleRange(1.1, plot.yAxis->range().center());
    plot.xAxis->setLabel(tr("Time, %1").arg(zoneText(c.from)));
    plot.yAxis->setLabel(units.join(QStringLiteral(", ")));
    plot.legend->setVisible(true);
    plot.legend->setBrush(QColor(255, 255, 255, 220));
    // Sizes in the plot's own pixels, whatever the resolution of the page it is scaled onto.
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(13);
    for (QCPAxis *axis : {plot.xAxis, plot.yAxis}) {
        axis->setTickLabelFont(font);
        axis->setLabelFont(font);
    }
    plot.legend->setFont(font);
}

// Lays a document out in pages of `page` on `device`'s resolution.
void layOut(QTextDocument &document, const QString &html, QPagedPaintDevice *device, const QSizeF &page)
{
    document.documentLayout()->setPaintDevice(device);
    QFont font = document.defaultFont();
    font.setPointSizeF(8.5);
    document.setDefaultFont(font);
    document.setDocumentMargin(0);
    document.setPageSize(page);
    document.setHtml(html);
}

void paintDocumentPage(QPainter &painter, QTextDocument &document, int page, double pageHeight)
{
    painter.save();
    painter.translate(0, -page * pageHeight);
    QAbstractTextDocumentLayout::PaintContext context;
    context.clip = QRectF(0, page * pageHeight, document.pageSize().width(), pageHeight);
    painter.setClipRect(context.clip);
    document.documentLayout()->draw(&painter, context);
    painter.restore();
}

} // namespace

// The pages after the chart: headings, wrapped lines and tables of one-line
// rows, top to bottom. Painted directly: a text document of a thousand rows
// took seconds to lay out. A first pass without painting counts the pages.
class PageFlow
{
public:
    PageFlow(QPainter *painter, QPaintDevice *device, const QSizeF &body, std::function<void()> newPage)
        : painter(painter), device(device), body(body), newPage(std::move(newPage)),
          mm(device->logicalDpiY() / 25.4), text(font(8)), small(font(7.5)), heading(font(10.5, true))
    {
    }

    void title(const QString &words)
    {
        space(3 * mm);
        paragraph(words, heading);
        space(1 * mm);
    }
    void paragraph(const QString &words, const QFont &with)
    {
        const QFontMetricsF metrics(with, device);
        const QRectF box = metrics.boundingRect(QRectF(0, 0, body.width(), 1e9), Qt::TextWordWrap, words);
        fit(box.height());
        if (painter) {
            painter->setFont(with);
            painter->setPen(Qt::black);
            painter->drawText(QRectF(0, y, body.width(), box.height()), Qt::TextWordWrap, words);
        }
        y += box.height();
    }
    void paragraph(const QString &words) { paragraph(words, text); }
    void space(double height) { y = qMin(y + height, body.height()); }
    // A row of one cell spans the table; the header comes again on each
    // page; each `together` rows from the first stay on one page.
    void table(const QStringList &headers, const QList<QStringList> &rows, int together = 1)
    {
        const QFontMetricsF metrics(small, device);
        const double pad = 0.8 * mm, rowHeight = metrics.height() + 2 * pad;
        QList<double> widths(headers.size());
        for (const QStringList &row : QList<QStringList>{headers} + rows) {
            for (qsizetype c = 0; row.size() == headers.size() && c < row.size(); ++c)
                widths[c] = qMax(widths.at(c), metrics.horizontalAdvance(row.at(c)) + 2 * pad);
        }
        // As wide as the page: the room left, or what is missing, shared out.
        const double scale = body.width() / qMax(1.0, std::accumulate(widths.cbegin(), widths.cend(), 0.0));
        for (double &width : widths)
            width *= scale;
        const auto drawRow = [&](const QStringList &row, bool header) {
            if (painter) {
                painter->setFont(small);
                painter->setPen(QPen(QColor(120, 120, 120), 0.15 * mm));
                if (header)
                    painter->fillRect(QRectF(0, y, body.width(), rowHeight), QColor(230, 230, 230));
                double x = 0;
                for (qsizetype c = 0; c < row.size(); ++c) {
                    const double width = row.size() == 1 ? body.width() : widths.at(c);
                    const QRectF cell(x, y, width, rowHeight);
                    painter->drawRect(cell);
                    painter->setPen(Qt::black);
                    painter->drawText(cell.adjusted(pad, 0, -pad, 0), Qt::AlignLeft | Qt::AlignVCenter,
                                      metrics.elidedText(row.at(c), Qt::ElideRight, width - 2 * pad));
                    painter->setPen(QPen(QColor(120, 120, 120), 0.15 * mm));
                    x += width;
                }
            }
            y += rowHeight;
        };
        fit(2 * rowHeight);
        drawRow(headers, true);
        for (qsizetype i = 0; i < rows.size(); ++i) {
            const QStringList &row = rows.at(i);
            if (y + (i % together == 0 ? together : 1) * rowHeight > body.height()) {
                breakPage();
                drawRow(headers, true);
            }
            drawRow(row, false);
        }
    }
    QFont monospace() const
    {
        QFont fixed(QStringLiteral("DejaVu Sans Mono"));
        fixed.setStyleHint(QFont::Monospace);
        fixed.setPointSizeF(7.5);
        return fixed;
    }

private:
    static QFont font(double points, bool bold = false)
    {
        QFont chosen(QStringLiteral("DejaVu Sans"));
        chosen.setPointSizeF(points);
        chosen.setBold(bold);
        return chosen;
    }
    void fit(double height)
    {
        if (y > 0 && y + height > body.height())
            breakPage();
    }
    void breakPage()
    {
        newPage();
        y = 0;
    }

    QPainter *painter; // none: the pages are only counted
    QPaintDevice *device;
    QSizeF body;
    std::function<void()> newPage;
    double mm;
    QFont text, small, heading;
    double y = 0;
};

bool readReport(int familyNumber, const QDateTime &st, const QDateTime &en, PeriodLength length,
                const QList<ReportColumn> &columns, SQLThread *worker, const ReportJobRunner &run,
                ReportContents *contents)
{
    const MeterFamily &family = meterFamily(familyNumber);
    const int model = modelCodeOf(Meter);
    contents->instrument = family.hasChannels()
        ? tr("model %1, %2, %3 channels").arg(model).arg(family.instrument).arg(family.channelCount(Meter))
        : tr("model %1, %2").arg(model).arg(family.instrument);
    contents->folder = QFileInfo(dataFolder()).fileName();
    contents->name = UserState::instrumentTitle();
    contents->from = naiveSeconds(st);
    contents->to = naiveSeconds(en);
    contents->written = QDateTime::currentDateTime();
    contents->periodLength = length;
    QStringList tableColumns;
    for (ReportColumn reported : columns) {
        const QString column = reported.column;
        const ChannelLimits limits = reported.limits;
        if (!run([=](SQLThread *job) { job->findWindowExcursions(familyNumber, column, st, en, limits); }))
            return false;
        reported.excursions = g_excursions;
        if (!run([=](SQLThread *job) { job->tabulateWindowPeriods(familyNumber, column, st, en, limits, length); }))
            return false;
        reported.periods = g_periods;
        reported.window = joinedFigures(g_periods);
        contents->columns << reported;
        tableColumns << column;
    }
    if (!run([=](SQLThread *job) { job->drawOverview(familyNumber, tableColumns, st, en, 1200); }))
        return false;
    contents->overview = worker->overview();
    if (!run([=](SQLThread *job) { job->readRecordSources(familyNumber, st, en); }))
        return false;
    contents->sources = g_recordSources;
    return true;
}

RecordReport::RecordReport(ReportContents contents) : contents(std::move(contents)) {}

QPageSize RecordReport::localPageSize()
{
    const QLocale::MeasurementSystem system = QLocale().measurementSystem();
    return QPageSize(system == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

qint64 RecordReport::listedRows() const
{
    qint64 rows = 0;
    for (const ReportColumn &column : contents.columns)
        rows += column.excursions.excursions.size() + column.periods.size();
    return rows;
}

QString RecordReport::suggestedName(const QString &what) const
{
    return windowFileName(what, contents.from, contents.to);
}

QString RecordReport::headHtml() const
{
    const ReportContents &c = contents;
    QString html = QStringLiteral("<h2>%1</h2>").arg(escaped(tr("Record report")));
    QList<QStringList> header{{tr("Instrument"), c.name == c.folder ? c.instrument : c.name + QStringLiteral(", ") + c.instrument},
                              {tr("Data folder"), c.folder},
                              {tr("Window"), windowText(c)}};
    for (const ReportColumn &column : c.columns)
        header << QStringList{column.label, limitsText(column.limits, column.unit)};
    header << QStringList{tr("Program"), versionText()}
           << QStringList{tr("Written"), QLocale::c().toString(c.written, QStringLiteral("yyyy-MM-dd hh:mm:ss t"))};
    html += QStringLiteral("<table cellspacing=\"0\" cellpadding=\"1\">");
    for (const QStringList &row : std::as_const(header))
        html += QStringLiteral("<tr><td><b>%1</b>&nbsp;&nbsp;</td><td>%2</td></tr>").arg(escaped(row.at(0)), escaped(row.at(1)));
    html += QStringLiteral("</table><h3>%1</h3>").arg(escaped(tr("Figures")));
    QList<QStringList> figures;
    for (const ReportColumn &column : c.columns)
        figures << figuresRow(column, QStringLiteral("\n"));
    html += tableHtml(figuresHeaders(), figures);
    return html;
}

QStringList RecordReport::figuresHeaders()
{
    return {tr("Value"), tr("Records"), tr("Min, at"), tr("Max, at"), tr("Mean"), tr("MKT"),
            tr("HH"),    tr("LL"),      tr("Unreadable"), tr("Within limits")};
}

QStringList RecordReport::figuresRow(const ReportColumn &column, const QString &apart)
{
    const PeriodFigures &s = column.window;
    const bool some = s.numbers > 0;
    const bool celsius = column.unit == QStringLiteral("°C");
    return {QString(column.label).replace(QStringLiteral(" ("), apart + QLatin1Char('(')),
            QString::number(s.records),
            some ? number(s.minimum, column.unit) + apart + stampText(s.minimumTime) : QString(),
            some ? number(s.maximum, column.unit) + apart + stampText(s.maximumTime) : QString(),
            some ? number(s.mean(), column.unit) : QString(),
            some && celsius ? number(s.meanKinetic(), column.unit) : QString(),
            QString::number(s.high), QString::number(s.low), QString::number(s.unreadable()),
            QStringLiteral("%1 %").arg(column.excursions.totals.withinShare * 100, 0, 'f', 2)};
}

QString RecordReport::csvText() const
{
    const ReportContents &c = contents;
    QStringList lines{csvLine({tr("Record report"), c.instrument, c.folder, windowText(c)})};
    const auto section = [&](const QString &title, const QStringList &headers, const QList<QStringList> &rows) {
        lines << QString() << csvLine({title}) << csvLine(headers);
        for (const QStringList &row : rows)
            lines << csvLine(row);
    };
    QList<QStringList> figures, excursions, periods, gaps, files;
    for (const ReportColumn &column : c.columns) {
        figures << figuresRow(column, QStringLiteral(" "));
        for (const Excursion &e : column.excursions.excursions) {
            if (e.kind != Excursion::Gap)
                excursions << ExcursionPane::rowText(column.label, column.unit, e);
            else if (&column == &c.columns.first())
                gaps << QStringList{stampText(e.start), stampText(e.end), durationText(e.duration())};
        }
        for (const PeriodFigures &p : column.periods)
            periods << PeriodPane::rowText(column.label, column.unit, p, c.periodLength);
    }
    for (const RecordSources::File &file : c.sources.files) {
        const ImportedFiles::Entry &e = file.entry;
        files << QStringList{e.name, QString::number(e.size), QString::number(e.records),
                             QString::number(file.recordsInWindow),
                             e.sha256.isEmpty() ? tr("not recorded") : QString::fromLatin1(e.sha256),
                             e.skipped.isEmpty() ? tr("%1 (reasons not recorded)").arg(e.linesSkipped) : e.skipped};
    }
    files << QStringList{tr("the records of the window as stored"), QString(), QString::number(c.sources.records),
                         QString::number(c.sources.records), QString::fromLatin1(c.sources.sha256), QString()};
    section(tr("Figures"), figuresHeaders(), figures);
    section(tr("Excursions and the instrument's alarms"), ExcursionPane::headers(), excursions);
    section(tr("Periods"), PeriodPane::headers(), periods);
    section(tr("Gaps (stretches without records)"), {tr("Last record before"), tr("First record after"), tr("Duration")}, gaps);
    section(tr("Source"), {tr("File"), tr("Bytes"), tr("Records"), tr("In the window"), tr("SHA-256"), tr("Lines skipped")},
            files);
    return lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n");
}

bool RecordReport::write(const QString &path, QString *error) const
{
    if (!path.endsWith(QStringLiteral(".csv"), Qt::CaseInsensitive))
        return writePdf(path, error);
    QFile file(path);
    const QByteArray text = csvText().toUtf8();
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(text) == text.size() && file.flush())
        return true;
    *error = file.errorString();
    return false;
}

void RecordReport::flowRest(PageFlow &flow) const
{
    const ReportContents &c = contents;
    const qint64 windowSeconds = c.to - c.from + 1;
    flow.title(tr("Excursions and the instrument's alarms"));
    QList<QStringList> excursions, periods, gaps;
    // The rows of each value column under its name.
    for (const ReportColumn &column : c.columns) {
        for (const QString &line : ExcursionPane::totalsText(column.label, column.excursions, windowSeconds))
            flow.paragraph(line.trimmed());
        excursions << QStringList{column.label};
        for (const Excursion &e : column.excursions.excursions) {
            if (e.kind != Excursion::Gap)
                excursions << ExcursionPane::rowText(column.label, column.unit, e).mid(1);
        }
        periods << QStringList{column.label};
        for (const PeriodFigures &p : column.periods)
            periods << PeriodPane::rowText(column.label, column.unit, p, c.periodLength).mid(1);
    }
    // Stretches without records are the same for every value of a record.
    for (const Excursion &e : c.columns.value(0).excursions.excursions) {
        if (e.kind == Excursion::Gap)
            gaps << QStringList{stampText(e.start), stampText(e.end), durationText(e.duration())};
    }
    flow.space(1.5 * flow.monospace().pointSizeF());
    flow.table(ExcursionPane::headers().mid(1), excursions);
    const QString byWhat[] = {tr("By hour"), tr("By day"), tr("By week"), tr("By month")};
    flow.title(byWhat[int(c.periodLength)]);
    flow.table(PeriodPane::headers().mid(1), periods);
    flow.title(tr("Gaps (stretches without records)"));
    if (gaps.isEmpty())
        flow.paragraph(tr("No gaps."));
    else
        flow.table({tr("Last record before"), tr("First record after"), tr("Duration")}, gaps);
    flow.title(tr("Source"));
    QList<QStringList> files;
    for (const RecordSources::File &file : c.sources.files) {
        const ImportedFiles::Entry &e = file.entry;
        files << QStringList{e.name, QString::number(e.size), QString::number(e.records),
                             QString::number(file.recordsInWindow)}
              << QStringList{tr("SHA-256 %1").arg(e.sha256.isEmpty() ? tr("not recorded") : QString::fromLatin1(e.sha256))}
              << QStringList{tr("Lines skipped: %1")
                                 .arg(e.skipped.isEmpty() ? tr("%1 (reasons not recorded)").arg(e.linesSkipped) : e.skipped)};
    }
    flow.table({tr("File"), tr("Bytes"), tr("Records"), tr("In the window")}, files, 3);
    flow.space(2 * flow.monospace().pointSizeF());
    flow.paragraph(tr("Records of the window: %1. SHA-256 of these records as stored:").arg(c.sources.records));
    flow.paragraph(QString::fromLatin1(c.sources.sha256), flow.monospace());
    flow.title(tr("Sign-off"));
    for (const QString &who : {tr("Reviewed by"), tr("Approved by")}) {
        flow.space(3 * flow.monospace().pointSizeF());
        flow.paragraph(tr("%1: ______________________________     %2: ______________").arg(who, tr("Date")));
    }
}

bool RecordReport::writePdf(const QString &path, QString *error) const
{
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = probe.errorString();
        return false;
    }
    probe.close();
    bool painted = false;
    {
        QPdfWriter writer(path);
        writer.setResolution(300);
        writer.setPageSize(localPageSize());
        writer.setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
        writer.setCreator(versionText());
        writer.setTitle(tr("Record report %1").arg(windowText(contents)));
        painted = paint(&writer);
    }
    returnFreedMemory();
    if (!painted) {
        *error = tr("the PDF could not be written");
        QFile::remove(path); // no half a report
        return false;
    }
    return true;
}

void RecordReport::paintFooter(QPainter &painter, const QRectF &line, int page, int pages) const
{
    painter.save();
    QFont font = painter.font();
    font.setPointSizeF(7.5);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                     QStringLiteral("%1 · %2").arg(contents.name, windowText(contents)));
    painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, tr("Page %1 of %2").arg(page).arg(pages));
    painter.restore();
}

void RecordReport::paintChart(QCPPainter &painter, const QRectF &area) const
{
    QCustomPlot plot;
    drawChart(plot, contents);
    // Laid out at a screen's size, then scaled onto the page as vectors.
    const int plotWidth = ReportPlotWidth, plotHeight = int(plotWidth * area.height() / area.width());
    painter.save();
    painter.translate(area.topLeft());
    painter.scale(area.width() / plotWidth, area.height() / plotHeight);
    plot.toPainter(&painter, plotWidth, plotHeight);
    painter.restore();
}

bool RecordReport::paint(QPagedPaintDevice *device) const
{
    QCPPainter painter;
    if (!painter.begin(device))
        return false;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const double mm = device->logicalDpiY() / 25.4;
    const QSizeF body(device->width(), device->height() - 8 * mm);
    QTextDocument head;
    layOut(head, headHtml(), device, body);
    int restPages = 1;
    PageFlow counting(nullptr, device, body, [&restPages] { ++restPages; });
    flowRest(counting);

    // The chart under the figures where it fits, else on a page of its own.
    const double chartHeight = qMin(110 * mm, body.height());
    const double headUsed = head.documentLayout()->documentSize().height() - (head.pageCount() - 1) * body.height();
    const bool chartApart = body.height() - headUsed - 4 * mm < chartHeight;
    const int pages = head.pageCount() + (chartApart ? 1 : 0) + restPages;
    int page = 0;
    const auto footer = [&] {
        paintFooter(painter, QRectF(0, body.height() + 2 * mm, body.width(), 6 * mm), ++page, pages);
    };
    const auto nextPage = [&] {
        footer();
        device->newPage();
        // Qt's PDF engine has written the page through buffers of 16 MB.
        returnFreedMemory();
    };
    for (int i = 0; i < head.pageCount(); ++i) {
        if (i > 0)
            nextPage();
        paintDocumentPage(painter, head, i, body.height());
    }
    if (chartApart)
        nextPage();
    paintChart(painter, QRectF(0, chartApart ? 0 : headUsed + 4 * mm, body.width(), chartHeight));
    nextPage();
    PageFlow flow(&painter, device, body, nextPage);
    flowRest(flow);
    footer();
    return painter.end();
}
