#include "chartpage.h"

#include "chartcursors.h"
#include "chartnavigation.h"
#include "dialogmessage.h"
#include "dialogprogress.h"
#include "families.h"
#include "filedialogs.h"
#include "otherchannels.h"
#include "paging.h"
#include "recordtime.h"
#include "wallclock.h"
#include "recordstore.h"
#include "settings.h"
#include "sqlthread.h"
#include "userstate.h"
#include "valueaxes.h"
#include "workerjob.h"

#include <QCheckBox>
#include <QDateTimeEdit>
#include <QDebug>
#include <QDir>
#include <QLayout>
#include <QMouseEvent>
#include <QPushButton>
#include <QToolTip>
#include <QLabel>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTableWidget>
#include <QThread>
#include <qcustomplot.h>
#include <algorithm>
#include <cmath>

ChartPage::ChartPage(int familyNumber, QWidget *parent) : RecordPage(familyNumber, parent)
{
    traceProgress = true;
    chartPage = true;
}

void ChartPage::setUpPage(const ChartPageWidgets &widgets)
{
    w = widgets;
    setUpRecordPage(w.tablechaddr, w.dateTimeEdit1, w.dateTimeEdit2);
    setUpChart();
    imageButton = new QPushButton(tr("Save image..."), w.widget_page);
    imageButton->setObjectName(QStringLiteral("page_image"));
    imageButton->setEnabled(false);
    w.widget_page->layout()->addWidget(imageButton);
    connect(imageButton, &QPushButton::clicked, this, &ChartPage::saveImage);
    connect(w.plot, &QCustomPlot::mouseMove, this, &ChartPage::showReadout);
    auto *cursorFigures = new QLabel(this);
    cursors = new ChartCursors(w.plot, cursorFigures);
    if (auto *box = qobject_cast<QBoxLayout *>(w.plot->parentWidget()->layout()))
        box->insertWidget(box->indexOf(w.plot) + 1, cursorFigures);
    auto *navigation = new ChartNavigation(w.plot);
    navigation->setSearchedSpan([this] { return searchedSpan(); });
    connect(navigation, &ChartNavigation::firstRecordAsked, this, [this] { showEdgeRecord(false); });
    connect(navigation, &ChartNavigation::lastRecordAsked, this, [this] { showEdgeRecord(true); });
    connect(w.plot, &QCustomPlot::mousePress, this, [this](QMouseEvent *event) {
        if (cursors->place(event) && cursors->bothPlaced())
            measureCursors();
    });
    w.widget_page->hide();
    addSummary(w.widget_page);
    setUpOverview();
}

PageChoices ChartPage::choices() const
{
    PageChoices chosen = RecordPage::choices();
    chosen.wholeWindow = overviewShown();
    chosen.otherColumns = others->columns();
    return chosen;
}

void ChartPage::applyChoices(const PageChoices &chosen)
{
    wholeWindow->setChecked(chosen.wholeWindow); // first: it allows several channels
    for (const OtherColumn &column : chosen.otherColumns)
        others->add(column);
    showOverviewControls(overviewShown());
    RecordPage::applyChoices(chosen);
}

ChartPage::~ChartPage()
{
    stopWorkerThread(refinerThread, refiner);
}

void ChartPage::setUpChart()
{
    QCustomPlot *plot = w.plot;
    plot->setMinimumHeight(MinimumPlotHeight);
    plot->addGraph();
    plot->addGraph();
    // Overrange markers: triangles on the top (HH) and bottom (LL) edge of
    // the value axis, wherever the axis is dragged or zoomed.
    plot->addGraph();
    plot->addGraph();
    stylePagedGraphs();
    connect(plot, &QCustomPlot::beforeReplot, this, &ChartPage::placeMarkers);

    QSharedPointer<QCPAxisTickerDateTime> timeTicker(new QCPAxisTickerDateTime);
    if (Tickcount > 0)
        timeTicker->setTickCount(Tickcount);
    timeTicker->setTickStepStrategy(QCPAxisTicker::tssMeetTickCount);
    timeTicker->setDateTimeFormat(QStringLiteral("M-d hh:mm:ss"));
    plot->xAxis->setTicker(timeTicker);
    plot->xAxis->setTickLabelRotation(30);
    if (YStep > 0) {
        QSharedPointer<QCPAxisTickerFixed> fixedTicker(new QCPAxisTickerFixed);
        fixedTicker->setTickStep(5 * YStep);
        // The step as configured while it gives at most about 50 ticks, a
        // multiple of it beyond: a tiny step would build thousands of ticks
        // on every replot.
        fixedTicker->setScaleStrategy(QCPAxisTickerFixed::ssMultiples);
        fixedTicker->setTickCount(MaxValueTicks);
        plot->yAxis->setTicker(fixedTicker);
        connect(plot, &QCustomPlot::beforeReplot, this, &ChartPage::fitValueTicks);
    }
    plot->xAxis2->setVisible(true);
    plot->xAxis2->setTickLabels(false);
    plot->yAxis2->setVisible(true);
    plot->yAxis2->setTickLabels(false);
    plot->xAxis->setTickLabels(false);
    plot->yAxis->setTickLabels(false);
    connect(plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), plot->xAxis2,
            qOverload<const QCPRange &>(&QCPAxis::setRange));
    connect(plot->yAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), plot->yAxis2,
            qOverload<const QCPRange &>(&QCPAxis::setRange));
}

// A label every two label heights of the axis at most, so that a small step never crowds them.
void ChartPage::fitValueTicks()
{
    auto fixed = w.plot->yAxis->ticker().dynamicCast<QCPAxisTickerFixed>();
    if (!fixed)
        return;
    const int labelHeight = QFontMetrics(w.plot->yAxis->tickLabelFont()).height();
    fixed->setTickCount(qBound(2, w.plot->axisRect()->height() / qMax(1, 2 * labelHeight), int(MaxValueTicks)));
}

QColor ChartPage::channelColour(int channel)
{
    static const QColor colours[] = {Qt::blue,  QColor(0, 140, 0), QColor(200, 120, 0), Qt::magenta,
                                     QColor(0, 150, 160), Qt::black, QColor(120, 80, 40), Qt::gray};
    return colours[qMax(0, channel) % int(std::size(colours))];
}

int ChartPage::pagedChannel() const
{
    if (family.hasChannels())
        return qMax(0, shown.idx);
    return w.radioButton && !w.radioButton->isChecked() ? 1 : 0;
}

QCPGraph *ChartPage::markerGraph(int drawn, bool high)
{
    if (drawn == 0)
        return w.plot->graph(high ? HhGraph : LlGraph);
    const int at = 2 * (drawn - 1) + (high ? 0 : 1);
    while (extraMarkers.size() <= at) {
        extraMarkers << w.plot->addGraph();
        extraMarkers.last()->removeFromLegend(); // markers have no name of their own
    }
    return extraMarkers.at(at);
}

void ChartPage::styleMarkers(int drawn, int channel)
{
    const QColor colour = channelColour(channel);
    for (const bool high : {true, false}) {
        QCPGraph *markers = markerGraph(drawn, high);
        markers->setLineStyle(QCPGraph::lsNone);
        markers->setScatterStyle(QCPScatterStyle(high ? QCPScatterStyle::ssTriangle : QCPScatterStyle::ssTriangleInverted,
                                                 colour, colour, 9));
        markers->removeFromLegend();
    }
}

QList<ChartPage::DrawnColumn> ChartPage::drawnColumns() const
{
    if (overviewShown() && !overviewDrawn.isEmpty())
        return overviewDrawn;
    QList<DrawnColumn> drawn;
    if (!overviewShown())
        drawn << (family.hasChannels() ? DrawnColumn{pagedChannel(), 0, pagedChannel()}
                                       : DrawnColumn{-1, pagedChannel(), pagedChannel()});
    else if (family.hasChannels())
        for (int channel : tickedChannels())
            drawn << DrawnColumn{channel, 0, channel};
    else
        for (int value = 0; value < family.valueColumns.size(); ++value)
            drawn << DrawnColumn{-1, value, value};
    return drawn;
}

void ChartPage::newWindowShown()
{
    shadeExcursions({});
    cursors->clear();
}

void ChartPage::showWholeWindow()
{
    wholeWindow->setChecked(true);
}

void ChartPage::showExcursionStart(qint64 rowid, qint64 naiveStart)
{
    if (!overviewShown())
        return RecordPage::showExcursionStart(rowid, naiveStart);
    const double key = double(localTimeKey(naiveStart)), half = w.plot->xAxis->range().size() / 2;
    w.plot->xAxis->setRange(key - half, key + half);
    w.plot->replot();
}

void ChartPage::measureCursors()
{
    const QDateTime st = wallClockOf(cursors->spanStart()), en = wallClockOf(cursors->spanEnd());
    const int number = family.number;
    QStringList labels, units;
    QList<PeriodFigures> figures;
    for (const DrawnColumn &drawn : drawnColumns()) {
        const QString column = valueColumnsOf(family, qMax(0, drawn.channel) + 1).value(drawn.value);
        const ChannelLimits limits = UserState::channelLimits(limitsKey(family, Meter, drawn.channel, drawn.value));
        if (!runWorkerCall([=](SQLThread *job) { job->measureSpan(number, column, st, en, limits); }))
            return;
        labels << summaryNames(drawn.channel).value(drawn.value);
        units << summaryUnits(drawn.channel).value(drawn.value);
        figures << g_spanFigures;
    }
    cursors->showFigures(labels, units, figures);
}

void ChartPage::stylePagedGraphs()
{
    const int channel = pagedChannel();
    const QColor colour = channelColour(channel);
    QCPGraph *value = w.plot->graph(0), *second = w.plot->graph(1);
    value->setPen(QPen(colour));
    QColor fill = colour;
    fill.setAlpha(20);
    value->setBrush(family.chartFill ? QBrush(fill) : QBrush());
    second->setPen(QPen(colour, 1, Qt::DashLine));
    second->setBrush(Qt::NoBrush);
    const QString of = family.hasChannels() ? tr(" of CH%1").arg(channel + 1) : QString();
    value->setName(family.hasChannels() ? tr("PV") + of : tr(qPrintable(family.valueNames.value(channel))));
    second->setName(tr("SV") + of);
    w.plot->legend->clearItems();
    value->addToLegend();
    if (family.chartSecondGraph)
        second->addToLegend();
    styleMarkers(0, channel);
    drawLimitLines();
}

void ChartPage::on_pushButton_clicked()
{
    // The edits show minutes: the window means whole minutes, whatever
    // seconds the edits hold.
    asked.st = minuteStart(w.dateTimeEdit1->dateTime());
    asked.en = minuteEnd(w.dateTimeEdit2->dateTime());
    asked.idx = chIndex;
    if (!windowAndChannelChosen())
        return;
    w.stackedWidget->setCurrentIndex(0);
    if (!runNewSearch(pageSize()))
        return;
    w.widget_page->show();
    w.plot->yAxis->setTickLabels(true);
    w.plot->xAxis->setTickLabels(true);
    if (!overviewShown())
        return showPage();
    if (family.hasChannels())
        summariseChannels(tickedChannels());
    // Every record of the window, at the plot's width.
    const int number = family.number;
    const QStringList columns = overviewColumns();
    const QDateTime st = shown.st, en = shown.en;
    const int width = qMax(1, w.plot->axisRect()->width());
    const QList<OtherColumn> otherColumns = others->columns();
    if (runWorkerCall([=](SQLThread *job) { job->drawOverview(number, columns, st, en, width, otherColumns); })) {
        drawOverview(worker->overview(), worker->otherOverviews(), false);
        return;
    }
    clearChart(); // nothing drawn: the chart stays empty, as before a search
}

void ChartPage::clearChart()
{
    w.widget_page->hide();
    for (int graph = 0; graph < w.plot->graphCount(); ++graph)
        w.plot->graph(graph)->data()->clear();
    removeItems(QStringLiteral("limitLine")); // of the lines no longer drawn
    w.plot->replot();
}

void ChartPage::showPage()
{
    // A page of the whole window's search (a double-click, a summary link) leaves the whole window.
    if (overviewShown()) {
        wholeWindow->setChecked(false); // which turns paging on again
        w.widget_page->show();
    }
    const bool secondValue = w.radioButton && !w.radioButton->isChecked();
    const QVector<RecordRow> rows = takeRecords();
    QVector<double> keys, values, secondValues, hhKeys, llKeys;
    keys.reserve(rows.size());
    values.reserve(rows.size());
    for (const RecordRow &row : rows) {
        // A record without a readable time has no place on the time axis.
        if (!row.time.isValid())
            continue;
        const double key = double(localTimeKey(row.time));
        const double value = secondValue ? row.value2 : row.value1;
        keys.append(key);
        values.append(value); // NaN, where no number is, breaks the line
        if (std::isnan(value)) {
            const QString &text = secondValue ? row.text2 : row.text1;
            if (text == QLatin1String("HH"))
                hhKeys.append(key);
            else if (text == QLatin1String("LL"))
                llKeys.append(key);
        }
        if (family.chartSecondGraph)
            secondValues.append(row.value2);
    }
    // Keys go back where the instrument's clock was set back or at the end of
    // summer time; the graphs then sort them, or the readout finds wrong points.
    const bool sorted = std::is_sorted(keys.cbegin(), keys.cend());
    QCustomPlot *plot = w.plot;
    plot->graph(0)->setData(keys, values, sorted);
    if (family.chartSecondGraph)
        plot->graph(1)->setData(keys, secondValues, sorted);
    else
        plot->graph(1)->data()->clear();
    plot->graph(HhGraph)->setData(hhKeys, QVector<double>(hhKeys.size()), sorted);
    plot->graph(LlGraph)->setData(llKeys, QVector<double>(llKeys.size()), sorted);
    stylePagedGraphs();
    plot->legend->setVisible(true);
    plot->graph(0)->rescaleAxes(false);
    plot->graph(1)->rescaleAxes(true);
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot->axisRect()->setRangeZoom(Qt::Horizontal);
    plot->axisRect()->setRangeDrag(LockY ? Qt::Horizontal : Qt::Horizontal | Qt::Vertical);
    plot->replot();
    imageButton->setEnabled(true);
    w.page_label->setText(counterText(records, curPage + 1, pages));
}

int ChartPage::pageSize() const
{
    return safePlotRcd();
}

void ChartPage::showRecord(int, const QDateTime &time)
{
    // Centred on the record, at the span the page was drawn with.
    const double key = double(localTimeKey(time));
    const double half = w.plot->xAxis->range().size() / 2;
    w.plot->xAxis->setRange(key - half, key + half);
    w.plot->replot();
}

void ChartPage::showTime(const QDateTime &at)
{
    if (!overviewShown())
        return RecordPage::showTime(at);
    if (at < shown.st || at > shown.en)
        return showMessage(tr("%1 lies outside the window shown, %2 to %3.")
                               .arg(at.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                    shown.st.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss")),
                                    shown.en.toString(QStringLiteral("yyyy-MM-dd hh:mm:ss"))), 3);
    // The whole window stays, centred on the time, at the span shown.
    const double key = double(localTimeKey(naiveSeconds(at)));
    const double half = w.plot->xAxis->range().size() / 2;
    w.plot->xAxis->setRange(key - half, key + half);
    w.plot->replot();
}

void ChartPage::showEdgeRecord(bool last)
{
    if (pages == 0 && !overviewShown())
        return;
    RecordAtTime found;
    if (!findRecordAt(last ? shown.en : shown.st, last, &found) || found.rowid < 0)
        return;
    // At the chart's edge, the span kept.
    const double key = double(localTimeKey(found.time)), size = w.plot->xAxis->range().size();
    if (!overviewShown())
        showPageOfRecord(found.rowid, found.time);
    w.plot->xAxis->setRange(last ? key - size : key, last ? key : key + size);
    w.plot->replot();
}

// Of the window searched: a page of it is drawn, or the whole.
std::optional<QCPRange> ChartPage::searchedSpan() const
{
    if (!shown.st.isValid() || !shown.en.isValid())
        return std::nullopt;
    return QCPRange(double(localTimeKey(naiveSeconds(shown.st))), double(localTimeKey(naiveSeconds(shown.en))));
}

void ChartPage::placeMarkers()
{
    const QCPRange range = w.plot->yAxis->range();
    const int height = w.plot->axisRect()->height();
    const double inset = range.size() * (height > 0 ? 6.0 / height : 0.03);
    for (int drawn = 0; drawn == 0 || 2 * (drawn - 1) < extraMarkers.size(); ++drawn) {
        for (const auto &[high, value] : {std::pair{true, range.upper - inset}, std::pair{false, range.lower + inset}}) {
            QCPGraphDataContainer &data = *markerGraph(drawn, high)->data();
            for (auto it = data.begin(); it != data.end(); ++it)
                it->value = value;
        }
    }
}

namespace {

// Each line of `text` broken at its " · " separators into lines that fit `width`.
QString wrappedAtSeparators(const QString &text, const QFontMetrics &metrics, int width)
{
    const QString separator = QStringLiteral(" · ");
    QStringList lines;
    for (const QString &line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        QString current;
        for (const QString &part : line.split(separator)) {
            const QString longer = current.isEmpty() ? part : current + separator + part;
            if (!current.isEmpty() && metrics.horizontalAdvance(longer) > width) {
                lines << current + QStringLiteral(" ·");
                current = part;
            } else {
                current = longer;
            }
        }
        lines << current;
    }
    return lines.join(QLatin1Char('\n'));
}

} // namespace

void ChartPage::saveImage()
{
    QString path = chooseSaveFile(this, tr("Save image"), QDir::home().filePath(QStringLiteral("chart.png")),
                                  tr("PNG image (*.png);;PDF document (*.pdf)"));
    if (path.isEmpty())
        return;
    const bool pdf = path.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive);
    if (!pdf && !path.endsWith(QLatin1String(".png"), Qt::CaseInsensitive))
        path += QLatin1String(".png");
    // A title band over the chart says what it shows, for a report: the
    // title, then the summary, each wrapped at its " · " to the image's width.
    const int width = w.plot->width();
    const QString band = imageTitle();
    const QFont titleFont(font().family(), 10, QFont::Bold), summaryFont(font().family(), 9);
    QList<QCPTextElement *> rows;
    int height = w.plot->height();
    for (const auto &[text, rowFont] : {std::pair{band.section(QLatin1Char('\n'), 0, 0), titleFont},
                                        std::pair{band.section(QLatin1Char('\n'), 1), summaryFont}}) {
        const QString wrapped = wrappedAtSeparators(text, QFontMetrics(rowFont), width - 16);
        if (wrapped.isEmpty())
            continue;
        auto *row = new QCPTextElement(w.plot, wrapped, rowFont);
        w.plot->plotLayout()->insertRow(int(rows.size()));
        w.plot->plotLayout()->addElement(int(rows.size()), 0, row);
        rows << row;
        height += (int(wrapped.count(QLatin1Char('\n'))) + 1) * QFontMetrics(rowFont).height() + 4;
    }
    const bool saved = pdf ? w.plot->savePdf(path, width, height) : w.plot->savePng(path, width, height);
    for (QCPTextElement *row : std::as_const(rows))
        w.plot->plotLayout()->remove(row);
    w.plot->plotLayout()->simplify();
    w.plot->replot();
    if (!saved)
        showMessage(tr("The image could not be saved to %1.").arg(QDir::toNativeSeparators(path)), 3);
}

QString ChartPage::imageTitle() const
{
    QStringList channels;
    qint64 drawn = 0, from = 0, to = 0;
    if (overviewShown()) {
        // The span drawn: after a zoom or a pan, the visible one.
        channels = overviewNames();
        for (const OverviewCell &cell : shownOverview.cells.value(0))
            drawn += cell.records;
        from = shownOverview.plan.from;
        to = shownOverview.plan.to;
    } else {
        channels << (family.hasChannels() ? tr("CH%1").arg(shown.idx + 1) : family.valueNames.value(pagedChannel()));
        const QCPRange range = w.plot->xAxis->range();
        from = qMax(naiveSeconds(shown.st), naiveSecondsOfKey(qint64(std::ceil(range.lower))));
        to = qMin(naiveSeconds(shown.en), naiveSecondsOfKey(qint64(std::floor(range.upper))));
        // Every record with a time has its point in the first graph.
        for (const QCPGraphData &point : *w.plot->graph(0)->data())
            drawn += point.key >= range.lower && point.key <= range.upper;
    }
    return tr("Model %1 · %2 · %3 – %4 · %5 records drawn")
               .arg(modelCodeOf(Meter))
               .arg(channels.join(QStringLiteral(", ")), stampText(from), stampText(qMax(from, to)))
               .arg(drawn)
        + QLatin1Char('\n') + summaryPlainText();
}

void ChartPage::showReadout(QMouseEvent *event)
{
    const QString text = chartReadout(w.plot, w.plot->xAxis->pixelToCoord(event->position().x()));
    if (text.isEmpty())
        QToolTip::hideText();
    else
        QToolTip::showText(event->globalPosition().toPoint(), text, w.plot);
}

namespace {

const QCPGraphData *nearestPoint(QCPGraph *graph, double key)
{
    const auto data = graph->data();
    if (data->isEmpty())
        return nullptr;
    auto it = data->findBegin(key, false);
    if (it == data->constEnd())
        --it; // beyond the last point: the last point is nearest
    const QCPGraphData *best = &*it;
    if (it != data->constBegin()) {
        const QCPGraphData *before = &*(it - 1);
        if (qAbs(before->key - key) < qAbs(best->key - key))
            best = before;
    }
    return best;
}

// A value as the readout gives it; where the line has a gap, the marker
// drawn there, if any.
QString valueText(QCustomPlot *plot, const QCPGraphData &point)
{
    if (!std::isnan(point.value))
        return QString::number(point.value, 'g', 6);
    for (const auto &[graph, marker] : {std::pair{ChartPage::HhGraph, "HH"}, std::pair{ChartPage::LlGraph, "LL"}}) {
        const QCPGraphData *at = plot->graphCount() > graph ? nearestPoint(plot->graph(graph), point.key) : nullptr;
        if (at && at->key == point.key)
            return QLatin1String(marker);
    }
    return QString();
}

} // namespace

QString chartReadout(QCustomPlot *plot, double key)
{
    const QCPGraphData *point = nearestPoint(plot->graph(0), key);
    if (!point)
        return QString();
    // Each value after the name of its line, as the legend gives it.
    const auto named = [plot](QCPGraph *graph, const QCPGraphData &at) {
        return QLatin1Char('\n') + (graph->name().isEmpty() ? QString() : graph->name() + QStringLiteral(": "))
            + valueText(plot, at);
    };
    const QDateTime time = QDateTime::fromSecsSinceEpoch(qint64(point->key));
    QString text = time.toString(QStringLiteral("yyyy/MM/dd hh:mm:ss")) + named(plot->graph(0), *point);
    if (const QCPGraphData *second = nearestPoint(plot->graph(1), point->key))
        text += named(plot->graph(1), *second);
    return text;
}
