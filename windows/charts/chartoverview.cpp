// The chart page's whole-window mode: every record of the window drawn from
// the overview kept with the records, several channels over each other.
#include "chartpage.h"

#include "channellimits.h"
#include "families.h"
#include "otherchanneldialog.h"
#include "otherchannels.h"
#include "overviewline.h"
#include "recordtime.h"
#include "wallclock.h"
#include "settings.h"
#include "sqlthread.h"
#include "summaryblocks.h"
#include "userstate.h"
#include "valueaxes.h"
#include "workerjob.h"

#include <QCheckBox>
#include <QComboBox>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QRadioButton>
#include <QLabel>
#include <qcustomplot.h>
#include <algorithm>
#include <cmath>

namespace {

double keyOf(qint64 naive)
{
    return double(localTimeKey(naive));
}

} // namespace

void ChartPage::setUpOverview()
{
    auto *generate = findChild<QPushButton *>(QStringLiteral("pushButton"));
    wholeWindow = new QCheckBox(tr("Whole window"), this);
    wholeWindow->setObjectName(QStringLiteral("wholeWindow"));
    wholeWindow->setToolTip(tr("Draws every record of the window; several channels may be ticked"));
    if (auto *box = generate ? qobject_cast<QBoxLayout *>(generate->parentWidget()->layout()) : nullptr)
        box->insertWidget(box->indexOf(generate), wholeWindow);
    connect(wholeWindow, &QCheckBox::toggled, this, &ChartPage::setOverview);
    valueAxes = std::make_unique<ValueAxes>(w.plot);
    others = std::make_unique<OtherChannels>(w.plot);
    axesChoice = new QComboBox(this);
    axesChoice->setObjectName(QStringLiteral("valueAxes"));
    axesChoice->addItems({tr("One value axis"), tr("An axis per channel")});
    axesChoice->setCurrentIndex(UserState::axisPerChannel() ? 1 : 0);
    axesChoice->setToolTip(tr("Channels laid over each other share one scale, or each has its own"));
    connect(axesChoice, qOverload<int>(&QComboBox::activated), this, &ChartPage::chooseValueAxes);
    // The panel is narrow: the other instruments' commands share one button.
    otherButton = new QPushButton(tr("Other instruments"), this);
    otherButton->setObjectName(QStringLiteral("otherInstrumentsButton"));
    auto *menu = new QMenu(otherButton);
    QAction *add = menu->addAction(tr("Add channel from another instrument..."), this, &ChartPage::addOtherChannel);
    add->setObjectName(QStringLiteral("actionaddotherchannel"));
    removeOthers = menu->addAction(tr("Remove the other instruments' channels"), this, &ChartPage::removeOtherChannels);
    removeOthers->setObjectName(QStringLiteral("actionremoveotherchannels"));
    otherButton->setMenu(menu);
    if (auto *box = generate ? qobject_cast<QBoxLayout *>(generate->parentWidget()->layout()) : nullptr) {
        box->insertWidget(box->indexOf(generate), axesChoice);
        box->insertWidget(box->indexOf(generate), otherButton);
    }
    showOverviewControls(false);
    if (family.hasChannels() && (channelHint = findChild<QLabel *>(QStringLiteral("label_3"))))
        oneChannelHint = channelHint->text();
    refiner = new SQLThread;
    refiner->useOwnConnection();
    refinerThread = startWorkerThread(this, refiner);
    connect(refiner, &SQLThread::PostProgress, this, &ChartPage::overviewRefined);
    refineTimer.setSingleShot(true);
    refineTimer.setInterval(80);
    connect(&refineTimer, &QTimer::timeout, this, &ChartPage::refineOverview);
    connect(w.plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, &ChartPage::askRefinement);
    // Dragged, zoomed or resized: the shades follow once the plot rests.
    reshadeTimer.setSingleShot(true);
    reshadeTimer.setInterval(80);
    connect(&reshadeTimer, &QTimer::timeout, this, &ChartPage::reshadeExcursions);
    connect(w.plot, &QCustomPlot::afterReplot, &reshadeTimer, qOverload<>(&QTimer::start));
    connect(w.plot, &QCustomPlot::mouseDoubleClick, this, &ChartPage::openRecordAt);
}

bool ChartPage::overviewShown() const
{
    return wholeWindow && wholeWindow->isChecked();
}

QStringList ChartPage::overviewColumns() const
{
    if (!family.hasChannels())
        return family.valueColumns;
    QStringList columns;
    for (int row : tickedChannels())
        columns << valueColumnsOf(family, row + 1);
    return columns;
}

QStringList ChartPage::overviewNames() const
{
    QStringList names;
    for (const DrawnColumn &drawn : drawnColumns())
        names << (family.hasChannels() ? tr("CH%1").arg(drawn.channel + 1) : family.valueNames.value(drawn.value));
    return names;
}

ChartPage::DrawnColumn ChartPage::drawnColumnOf(const QString &column) const
{
    if (!family.hasChannels()) {
        const int value = int(family.valueColumns.indexOf(column));
        return DrawnColumn{-1, value, value};
    }
    for (int channel = 0; channel < family.channelCount(Meter); ++channel) {
        const int value = int(valueColumnsOf(family, channel + 1).indexOf(column));
        if (value >= 0)
            return DrawnColumn{channel, value, channel};
    }
    return DrawnColumn{-1, 0, 0};
}

void ChartPage::setOverview(bool on)
{
    allowSeveralChannels(on);
    setPagingEnabled(!on);
    if (channelHint)
        channelHint->setText(on ? tr("Tick the channels to draw:") : oneChannelHint);
    showOverviewControls(on);
    // What is drawn was drawn the other way: Generate Graph draws it anew.
    clearChart();
    if (!on) {
        refineTimer.stop();
        others->hide();
        valueAxes->reset();
        shownOverview = Overview();
        overviewDrawn.clear();
        for (QCPGraph *graph : std::as_const(extraGraphs) + std::as_const(extraMarkers))
            w.plot->removeGraph(graph);
        extraGraphs.clear();
        extraMarkers.clear();
        drawnRecords.clear();
        stylePagedGraphs();
        w.plot->legend->setVisible(false);
    }
}

QCPGraph *ChartPage::channelGraph(int index)
{
    if (index < 2)
        return w.plot->graph(index);
    while (extraGraphs.size() < index - 1)
        extraGraphs << w.plot->addGraph();
    return extraGraphs.at(index - 2);
}

void ChartPage::setPagingEnabled(bool enabled)
{
    for (const char *name : {"page_home", "page_up", "page_down", "page_end"}) {
        if (auto *button = w.widget_page->findChild<QPushButton *>(QLatin1String(name)))
            button->setEnabled(enabled);
    }
}

void ChartPage::drawOverview(const Overview &overview, const QList<OtherOverview> &otherOverviews, bool keepRange)
{
    shownOverview = overview;
    // What the cells are of, whatever is ticked now.
    overviewDrawn.clear();
    for (const QString &column : overview.columns)
        overviewDrawn << drawnColumnOf(column);
    const OverviewPlan &plan = overview.plan;
    const QStringList names = overviewNames();
    QCustomPlot *plot = w.plot;
    qint64 records = 0;
    for (const OverviewCell &cell : overview.cells.value(0))
        records += cell.records;
    // Shorter stretches without records are no gap at this width.
    const double gap = overviewGap(overview, GapIntervals);
    drawnRecords.clear();
    for (int channel = 0; channel < overview.cells.size(); ++channel) {
        const OverviewLine line = overviewLine(overview.cells.at(channel), plan, gap);
        // Each channel in its own colour, its markers too.
        const int colour = overviewDrawn.value(channel, DrawnColumn{-1, channel, channel}).colour;
        styleMarkers(channel, colour);
        markerGraph(channel, true)->setData(line.hhKeys, QVector<double>(line.hhKeys.size()), true);
        markerGraph(channel, false)->setData(line.llKeys, QVector<double>(line.llKeys.size()), true);
        QVector<DrawnRecord> points;
        for (int i = 0; i < line.keys.size(); ++i) {
            if (line.rowids.at(i) >= 0)
                points << DrawnRecord{line.keys.at(i), line.values.at(i), line.rowids.at(i)};
        }
        drawnRecords << points;
        QCPGraph *graph = channelGraph(channel);
        // Keys go back where summer time ends; the graph then sorts them.
        graph->setData(line.keys, line.values, std::is_sorted(line.keys.cbegin(), line.keys.cend()));
        graph->setPen(QPen(channelColour(colour)));
        graph->setBrush(Qt::NoBrush); // a fill would hide the channels behind it
        graph->setName(names.value(channel));
        graph->addToLegend();
    }
    for (int channel = int(overview.cells.size()); channel < 2 + int(extraGraphs.size()); ++channel) {
        channelGraph(channel)->data()->clear();
        channelGraph(channel)->removeFromLegend();
        markerGraph(channel, true)->data()->clear();
        markerGraph(channel, false)->data()->clear();
    }
    const QStringList unread = others->draw(plan, otherOverviews, GapIntervals);
    plot->legend->setVisible(true);
    drawingOverview = true;
    if (!keepRange)
        plot->xAxis->setRange(keyOf(plan.from), keyOf(plan.to));
    arrangeValueAxes(!keepRange);
    drawLimitLines();
    if (!unread.isEmpty()) // once drawn, and not within the drawing
        QTimer::singleShot(0, this, [this, unread] { showMessage(unread.join(QLatin1Char('\n')), 3); });
    plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
    plot->axisRect()->setRangeZoom(Qt::Horizontal);
    plot->axisRect()->setRangeDrag(LockY ? Qt::Horizontal : Qt::Horizontal | Qt::Vertical);
    plot->replot();
    drawingOverview = false;
    imageButton->setEnabled(true);
    setPagingEnabled(false);
    w.page_label->setText(tr("Record：%1 drawn").arg(records));
}

void ChartPage::arrangeValueAxes(bool fit)
{
    QList<ValueAxes::Line> lines;
    const QList<DrawnColumn> drawn = drawnColumns();
    for (int i = 0; i < shownOverview.cells.size() && i < drawn.size(); ++i) {
        const DrawnColumn &column = drawn.at(i);
        const ChannelLimits limits = UserState::channelLimits(limitsKey(family, Meter, column.channel, column.value));
        const QString unit = summaryUnits(column.channel).value(column.value).trimmed();
        QString label = summaryNames(column.channel).value(column.value);
        if (!unit.isEmpty())
            label += QStringLiteral(", ") + unit;
        lines << ValueAxes::Line{limitsKey(family, Meter, column.channel, column.value), channelGraph(i), label,
                                 channelColour(column.colour), limits.axisFrom, limits.axisTo, false};
    }
    lines << others->lines();
    valueAxes->arrange(lines, axesChoice->currentIndex() == 1, fit);
}

void ChartPage::showOverviewControls(bool on)
{
    axesChoice->setVisible(on);
    otherButton->setVisible(on);
    removeOthers->setEnabled(!others->isEmpty());
}

void ChartPage::chooseValueAxes(int perChannel)
{
    UserState::setAxisPerChannel(perChannel == 1);
    if (shownOverview.cells.isEmpty())
        return;
    arrangeValueAxes(true);
    drawLimitLines();
    w.plot->replot();
}

void ChartPage::addOtherChannel()
{
    OtherChannelDialog dialog(this);
    if (dialog.exec() != QDialog::Accepted)
        return;
    if (!others->add(dialog.chosen()))
        return showMessage(tr("%1 is on the chart already.").arg(OtherChannels::nameOf(dialog.chosen())), 3);
    showOverviewControls(overviewShown());
    if (!shownOverview.cells.isEmpty())
        refineOverview(); // the span shown, read again with it
}

void ChartPage::removeOtherChannels()
{
    others->clear();
    showOverviewControls(overviewShown());
    if (!shownOverview.cells.isEmpty()) {
        arrangeValueAxes(true);
        drawLimitLines();
        w.plot->replot();
    }
}

QStringList ChartPage::otherReadPaths() const
{
    return others->readPaths();
}

void ChartPage::askRefinement()
{
    if (overviewShown() && !drawingOverview && !shownOverview.cells.isEmpty())
        refineTimer.start();
}

void ChartPage::refineOverview()
{
    if (refining) {
        refineAgain = true;
        return;
    }
    const QCPRange range = w.plot->xAxis->range();
    // The visible span, within the window searched.
    const qint64 from = qMax(naiveSeconds(shown.st), naiveSecondsOfKey(qint64(std::floor(range.lower))));
    const qint64 to = qMin(naiveSeconds(shown.en), naiveSecondsOfKey(qint64(std::ceil(range.upper))));
    if (to < from)
        return;
    refining = true;
    const int number = family.number;
    const QStringList columns = overviewColumns();
    const QList<OtherColumn> otherColumns = others->columns();
    const QDateTime st = wallClockOf(from), en = wallClockOf(to);
    const int width = qMax(1, w.plot->axisRect()->width());
    SQLThread *job = refiner;
    QMetaObject::invokeMethod(refiner, [=] { job->drawOverview(number, columns, st, en, width, otherColumns); },
                              Qt::QueuedConnection);
}

void ChartPage::overviewRefined(QString, int value)
{
    if (value != 100)
        return;
    refining = false;
    if (refiner->outcome().done() && overviewShown())
        drawOverview(refiner->overview(), refiner->otherOverviews(), true);
    if (refineAgain) {
        refineAgain = false;
        refineOverview();
    }
}

qint64 ChartPage::recordNear(const QPointF &pixel, double *at, int *drawnChannel) const
{
    qint64 best = -1;
    double distance = std::numeric_limits<double>::max();
    for (int channel = 0; channel < drawnRecords.size(); ++channel) {
        for (const DrawnRecord &record : drawnRecords.at(channel)) {
            // A record without a reading sits on no line: it counts by its time alone, behind those that do.
            const double dx = w.plot->xAxis->coordToPixel(record.key) - pixel.x();
            const QCPAxis *axis = (channel < 2 ? w.plot->graph(channel) : extraGraphs.at(channel - 2))->valueAxis();
            const double dy = std::isnan(record.value) ? w.plot->height() : axis->coordToPixel(record.value) - pixel.y();
            if (std::hypot(dx, dy) < distance) {
                distance = std::hypot(dx, dy);
                best = record.rowid;
                *at = record.key;
                *drawnChannel = channel;
            }
        }
    }
    return best;
}

void ChartPage::openRecordAt(QMouseEvent *event)
{
    if (!overviewShown())
        return;
    double key = 0;
    int drawn = 0;
    const qint64 rowid = recordNear(event->position(), &key, &drawn);
    if (rowid < 0)
        return;
    // The page of the channel clicked, whichever was ticked last.
    if (family.hasChannels()) {
        chIndex = tickedChannels().value(drawn, chIndex);
        shown.idx = chIndex;
    } else if (w.radioButton) {
        auto *humidity = findChild<QRadioButton *>(QStringLiteral("radioButton_2"));
        (drawn == 0 || !humidity ? w.radioButton : humidity)->setChecked(true);
    }
    // The paged chart of the same window, at the page that holds the record, centred on it.
    showPageOfRecord(rowid, QDateTime::fromSecsSinceEpoch(qint64(key)));
}
