#include "recordreport.h"

#include "commandline.h"
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
        for (const Excursion &e : column.excursions.excursions) {
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

RecordReport::RecordReport(ReportContents contents) : contents(std::move(contents)) {}

QPageSize RecordReport::localPageSize()
{
    const QLocale::MeasurementSystem system = QLocale().measurementSystem();
    return QPageSize(system == QLocale::ImperialUSSystem ? QPageSize::Letter : QPageSize::A4);
}

QString RecordReport::suggestedName(const QString &what) const
{
    const auto day = [](qint64 naive) { return wallClockOf(naive).toString(QStringLiteral("yyyyMMdd-hhmm")); };
    QString name = QStringLiteral("%1 %2 %3-%4").arg(contents.folder, what, day(contents.from), day(contents.to));
    return name.replace(QRegularExpression(QStringLiteral("[/\\\\:*?\"<>|]")), QStringLiteral("_"));
}

QString RecordReport::headHtml() const
{
    const ReportContents &c = contents;
    QString html = QStringLiteral("<h2>%1</h2>").arg(escaped(tr("Record report")));
    QList<QStringList> header{{tr("Instrument"), c.instrument},
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
    for (const ReportColumn &column : c.columns) {
        const PeriodFigures &s = column.window;
        const bool some = s.numbers > 0;
        const bool celsius = column.unit == QStringLiteral("°C");
        figures << QStringList{QString(column.label).replace(QStringLiteral(" ("), QStringLiteral("\n(")),
                               QString::number(s.records),
                               some ? number(s.minimum, column.unit) + QLatin1Char('\n') + stampText(s.minimumTime) : QString(),
                               some ? number(s.maximum, column.unit) + QLatin1Char('\n') + stampText(s.maximumTime) : QString(),
                               some ? number(s.mean(), column.unit) : QString(),
                               some && celsius ? number(s.meanKinetic(), column.unit) : QString(),
                               QString::number(s.high), QString::number(s.low), QString::number(s.unreadable()),
                               QStringLiteral("%1 %").arg(column.excursions.totals.withinShare * 100, 0, 'f', 2)};
    }
    html += tableHtml({tr("Value"), tr("Records"), tr("Min, at"), tr("Max, at"), tr("Mean"), tr("MKT"),
                       tr("HH"), tr("LL"), tr("Unreadable"), tr("Within limits")},
                      figures);
    return html;
}

QString RecordReport::restHtml() const
{
    const ReportContents &c = contents;
    const qint64 windowSeconds = c.to - c.from + 1;
    QString html = QStringLiteral("<h3>%1</h3>").arg(escaped(tr("Excursions and the instrument's alarms")));
    QList<QStringList> excursions, periods, gaps;
    // The rows of each value column under its name.
    for (const ReportColumn &column : c.columns) {
        for (const QString &line : ExcursionPane::totalsText(column.label, column.excursions, windowSeconds))
            html += QStringLiteral("<p style=\"margin:0\">%1</p>").arg(escaped(line.trimmed()));
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
    html += tableHtml(ExcursionPane::headers().mid(1), excursions);
    const QString byWhat[] = {tr("By hour"), tr("By day"), tr("By week"), tr("By month")};
    html += QStringLiteral("<h3>%1</h3>").arg(escaped(byWhat[int(c.periodLength)]));
    html += tableHtml(PeriodPane::headers().mid(1), periods);
    html += QStringLiteral("<h3>%1</h3>").arg(escaped(tr("Gaps (stretches without records)")));
    html += gaps.isEmpty() ? QStringLiteral("<p>%1</p>").arg(escaped(tr("No gaps.")))
                           : tableHtml({tr("Last record before"), tr("First record after"), tr("Duration")}, gaps);
    html += QStringLiteral("<h3>%1</h3>").arg(escaped(tr("Source")));
    QList<QStringList> files;
    for (const RecordSources::File &file : c.sources.files) {
        const ImportedFiles::Entry &e = file.entry;
        files << QStringList{e.name, QString::number(e.size), QString::number(e.records),
                             QString::number(file.recordsInWindow)}
              << QStringList{tr("SHA-256 %1").arg(e.sha256.isEmpty() ? tr("not recorded") : QString::fromLatin1(e.sha256))}
              << QStringList{tr("Lines skipped: %1")
                                 .arg(e.skipped.isEmpty() ? tr("%1 (reasons not recorded)").arg(e.linesSkipped) : e.skipped)};
    }
    html += tableHtml({tr("File"), tr("Bytes"), tr("Records"), tr("In the window")}, files);
    html += QStringLiteral("<p>%1<br><tt>%2</tt></p>")
                .arg(escaped(tr("Records of the window: %1. SHA-256 of these records as stored:").arg(c.sources.records)),
                     QString::fromLatin1(c.sources.sha256));
    html += QStringLiteral("<h3>%1</h3><table cellpadding=\"6\">").arg(escaped(tr("Sign-off")));
    for (const QString &who : {tr("Reviewed by"), tr("Approved by")})
        html += QStringLiteral("<tr><td>%1: ______________________________</td><td>%2: ______________</td></tr>")
                    .arg(escaped(who), escaped(tr("Date")));
    return html + QStringLiteral("</table>");
}

bool RecordReport::writePdf(const QString &path, QString *error) const
{
    QFile probe(path);
    if (!probe.open(QIODevice::WriteOnly)) {
        *error = probe.errorString();
        return false;
    }
    probe.close();
    QPdfWriter writer(path);
    writer.setResolution(300);
    writer.setCreator(versionText());
    writer.setTitle(tr("Record report %1").arg(windowText(contents)));
    if (!paint(&writer)) {
        *error = tr("the PDF could not be written");
        return false;
    }
    return true;
}

bool RecordReport::paint(QPagedPaintDevice *device) const
{
    device->setPageSize(localPageSize());
    device->setPageMargins(QMarginsF(15, 12, 15, 12), QPageLayout::Millimeter);
    QCPPainter painter;
    if (!painter.begin(device))
        return false;
    painter.setMode(QCPPainter::pmVectorized);
    painter.setMode(QCPPainter::pmNoCaching);
    const double mm = device->logicalDpiY() / 25.4;
    const QSizeF body(device->width(), device->height() - 8 * mm);
    QTextDocument head, rest;
    layOut(head, headHtml(), device, body);
    layOut(rest, restHtml(), device, body);

    // The chart under the figures where it fits, else on a page of its own.
    const double chartHeight = qMin(110 * mm, body.height());
    const double headUsed = head.documentLayout()->documentSize().height() - (head.pageCount() - 1) * body.height();
    const bool chartApart = body.height() - headUsed - 4 * mm < chartHeight;
    const int pages = head.pageCount() + (chartApart ? 1 : 0) + rest.pageCount();
    int page = 0;
    const auto footer = [&] {
        ++page;
        painter.save();
        QFont font = painter.font();
        font.setPointSizeF(7.5);
        painter.setFont(font);
        const QRectF line(0, body.height() + 2 * mm, body.width(), 6 * mm);
        painter.drawText(line, Qt::AlignLeft | Qt::AlignVCenter,
                         QStringLiteral("%1 · %2").arg(contents.folder, windowText(contents)));
        painter.drawText(line, Qt::AlignRight | Qt::AlignVCenter, tr("Page %1 of %2").arg(page).arg(pages));
        painter.restore();
    };
    const auto nextPage = [&] {
        footer();
        device->newPage();
    };
    for (int i = 0; i < head.pageCount(); ++i) {
        if (i > 0)
            nextPage();
        paintDocumentPage(painter, head, i, body.height());
    }
    if (chartApart)
        nextPage();
    const double chartTop = chartApart ? 0 : headUsed + 4 * mm;
    QCustomPlot plot;
    drawChart(plot, contents);
    // Laid out at a screen's size, then scaled onto the page as vectors.
    const int plotWidth = 1000, plotHeight = int(plotWidth * chartHeight / body.width());
    painter.save();
    painter.translate(0, chartTop);
    painter.scale(body.width() / plotWidth, chartHeight / plotHeight);
    plot.toPainter(&painter, plotWidth, plotHeight);
    painter.restore();
    for (int i = 0; i < rest.pageCount(); ++i) {
        nextPage();
        paintDocumentPage(painter, rest, i, body.height());
    }
    footer();
    return painter.end();
}
