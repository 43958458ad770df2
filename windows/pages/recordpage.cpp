#include "recordpage.h"

#include "channeltable.h"
#include "dialogmessage.h"
#include "dialogprogress.h"
#include "excursionpane.h"
#include "periodpane.h"
#include "recordreport.h"
#include "listtable.h"
#include "filedialogs.h"
#include "families.h"
#include "recordtime.h"
#include "settings.h"
#include "sqlthread.h"
#include "userstate.h"
#include "wallclock.h"
#include "workerjob.h"

#include <QBoxLayout>
#include <QDir>
#include <QFileInfo>
#include <QPrintDialog>
#include <QPrinter>
#include <QDateTimeEdit>
#include <QDebug>
#include <QLabel>
#include <QSignalBlocker>
#include <QPushButton>
#include <QTableWidget>
#include <QTextDocument>

RecordPage::RecordPage(int familyNumber, QWidget *parent) : QWidget(parent), family(meterFamily(familyNumber)) {}

RecordPage::~RecordPage()
{
    if (thread)
        stopWorkerThread(thread, worker);
}

void RecordPage::setUpRecordPage(QTableWidget *channels, QDateTimeEdit *from, QDateTimeEdit *to)
{
    channelTable = channels;
    if (channelTable) {
        setUpChannelTable(channelTable, family.channelCount(Meter));
        connect(channelTable, &QTableWidget::cellPressed, this, &RecordPage::dn_Select);
        connect(channelTable, &QTableWidget::cellChanged, this, &RecordPage::dn_cell);
    }
    fromEdit = from;
    toEdit = to;
    chIndex = -1;
    addWindowControls();

    worker = new SQLThread;
    connect(worker, &SQLThread::PostProgress, this, &RecordPage::dn_GetProgress);
    thread = startWorkerThread(this, worker);
    progress = new DialogProgress(this);
    connect(progress, &DialogProgress::finished, this, &RecordPage::dn_ThreadFinsh);
    connectCancel(progress, worker);
    msgbox = new DialogMessage(this);

    // A new page starts with the window last set, else with all records.
    QDateTime first, last;
    if (UserState::timeWindow(&first, &last)) {
        from->setDateTime(first);
        to->setDateTime(last);
    } else {
        from->setDateTime(QDateTime::currentDateTime());
        to->setDateTime(QDateTime::currentDateTime());
        showAllRecords();
    }
}

void RecordPage::showMessage(const QString &text, int kind)
{
    if (quiet) {
        told = text;
        return;
    }
    msgbox->setMessage(text, tr("Close"), true, kind);
    msgbox->exec();
}

bool RecordPage::windowAndChannelChosen()
{
    if (!(asked.st < minuteStart(asked.en))) {
        showMessage(tr("Set the right times for starting and finishing."), 3);
        fromEdit->setFocus();
        return false;
    }
    if (family.hasChannels() && asked.idx == -1) {
        showMessage(tr("Choose one of the channel."), 3);
        return false;
    }
    return true;
}

bool RecordPage::runRequest(int pageid)
{
    const JobOutcome outcome = runJob(worker, progress, [this, pageid] { sendRequest(pageid); });
    if (outcome.status == JobOutcome::Failed)
        showMessage(tr("The search failed: %1").arg(outcome.reason), 3);
    return outcome.done();
}

bool RecordPage::runWorkerCall(const std::function<void(SQLThread *)> &call)
{
    const JobOutcome outcome = runJob(worker, progress, [this, call] {
        QMetaObject::invokeMethod(worker, [job = worker, call] { call(job); }, Qt::QueuedConnection);
    });
    if (outcome.status == JobOutcome::Failed)
        showMessage(tr("The search failed: %1").arg(outcome.reason), 3);
    return outcome.done();
}

bool RecordPage::runNewSearch(int perPage)
{
    UserState::setTimeWindow(fromEdit->dateTime(), toEdit->dateTime());
    if (!runRequest(-1))
        return false;
    if (g_recordCount == 0) {
        // Nothing matched: the search shown stays, with its pages, export
        // and summary, and so does its count for the pages still to come.
        g_recordCount = records;
        showMessage(tr("There are no result to display."), 4);
        return false;
    }
    shown = asked;
    records = g_recordCount;
    pages = pageCountFor(records, perPage);
    curPage = 0;
    summary = g_summary;
    summaryChannels.clear();
    summaries.clear();
    showSummary();
    excursionPane->hide(); // of another window
    periodPane->hide();
    newWindowShown();
    return true;
}

QStringList RecordPage::summaryNames(int channel) const
{
    QStringList names;
    for (int i = 0; i < family.valueNames.size(); ++i) {
        const QString name = tr(qPrintable(family.valueNames.at(i)));
        const QString tag = UserState::channelLimits(limitsKey(family, Meter, channel, i)).name;
        names << (channel >= 0 ? tr("CH%1 %2").arg(channel + 1).arg(name) : name)
                + (tag.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(tag));
    }
    return names;
}

QStringList RecordPage::summaryUnits(int channel) const
{
    QStringList units;
    for (int i = 0; i < family.valueNames.size(); ++i) {
        const QString tagged = UserState::channelLimits(limitsKey(family, Meter, channel, i)).unit;
        units << (tagged.isEmpty() ? family.valueUnits.value(i) : tagged);
    }
    return units;
}

void RecordPage::showLimits()
{
    if (summaryLabel && summaryLabel->isVisible())
        showSummary();
    // Found with the limits before: shown as they stand now, not left as they were.
    if (excursionPane->isVisible())
        showExcursions();
    if (periodPane->isVisible())
        showPeriods();
}

void RecordPage::showSummary()
{
    if (!summaryLabel)
        return;
    const int channel = family.hasChannels() ? shown.idx : -1;
    QStringList lines;
    if (summaryChannels.isEmpty())
        lines << summaryText(summary, summaryNames(channel), -1, summaryUnits(channel));
    for (int i = 0; i < summaryChannels.size(); ++i)
        lines << summaryText(summaries.at(i), summaryNames(summaryChannels.at(i)), summaryChannels.at(i),
                             summaryUnits(summaryChannels.at(i)));
    // The style sheets of the window replace the palette's link colour.
    summaryLabel->setText(lines.join(QStringLiteral("<br>")).replace(QStringLiteral("<a href"),
                                                                 QStringLiteral("<a style=\"color:#9fd3ff\" href")));
    summaryRow->show();
}

QString RecordPage::summaryPlainText() const
{
    QTextDocument text;
    text.setHtml(summaryLabel ? summaryLabel->text() : QString());
    return text.toPlainText();
}

void RecordPage::summariseChannels(const QList<int> &channels)
{
    if (channels.size() < 2)
        return;
    const TableSearch searched = shown;
    const qint32 count = g_recordCount;
    QList<WindowSummary> found;
    for (int channel : channels) {
        asked = searched;
        asked.idx = channel;
        if (channel != searched.idx && !runRequest(-1))
            break;
        found << (channel == searched.idx ? summary : g_summary);
    }
    asked = searched;
    g_recordCount = count;
    if (found.size() == channels.size()) {
        summaryChannels = channels;
        summaries = found;
        showSummary();
    }
}

void RecordPage::addSummary(QWidget *pagingBar)
{
    summaryLabel = new QLabel(this);
    summaryLabel->setObjectName(QStringLiteral("summary_label"));
    summaryLabel->setTextFormat(Qt::RichText);
    summaryLabel->setWordWrap(true);
    // A long summary wraps rather than widening the window.
    summaryLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    connect(summaryLabel, &QLabel::linkActivated, this, &RecordPage::jumpToExtreme);
    // The lists below never squeeze the paging bar's buttons.
    pagingBar->setSizePolicy(pagingBar->sizePolicy().horizontalPolicy(), QSizePolicy::Fixed);
    // The questions of the window summed up stand beside its summary.
    summaryRow = new QWidget(this);
    summaryRow->hide();
    auto *row = new QHBoxLayout(summaryRow);
    row->setContentsMargins(0, 0, 0, 0);
    row->addWidget(summaryLabel, 1);
    excursionPane = new ExcursionPane(this);
    excursionPane->hide();
    connect(excursionPane, &ExcursionPane::excursionChosen, this, &RecordPage::showExcursionStart);
    periodPane = new PeriodPane(this);
    periodPane->hide();
    connect(periodPane, &PeriodPane::lengthChosen, this, &RecordPage::showPeriods);
    if (auto *box = qobject_cast<QBoxLayout *>(pagingBar->parentWidget()->layout())) {
        box->insertWidget(box->indexOf(pagingBar), summaryRow);
        box->insertWidget(box->indexOf(pagingBar) + 1, excursionPane);
        box->insertWidget(box->indexOf(pagingBar) + 2, periodPane);
    }
    for (const auto &[name, text, shows] : {std::tuple{"excursionsButton", tr("Excursions..."), &RecordPage::showExcursions},
                                            std::tuple{"periodsButton", tr("Periods..."), &RecordPage::showPeriods},
                                            std::tuple{"reportButton", tr("Report..."), &RecordPage::writeReport},
                                            std::tuple{"printButton", tr("Print..."), &RecordPage::printReport}}) {
        auto *button = new QPushButton(text, summaryRow);
        button->setObjectName(QLatin1String(name));
        row->addWidget(button, 0, Qt::AlignTop);
        connect(button, &QPushButton::clicked, this, shows);
    }
    auto *goTo = new QPushButton(tr("Go to..."), pagingBar);
    goTo->setObjectName(QStringLiteral("goToButton"));
    goTo->setToolTip(tr("Shows the first record of the search at or after a time"));
    pagingBar->layout()->addWidget(goTo);
    connect(goTo, &QPushButton::clicked, this, &RecordPage::goToTime);
    // Nor does a growing counter widen it: it has room for a year of
    // one-second records at one record a page from the start.
    if (auto *counter = pagingBar->findChild<QLabel *>(QStringLiteral("page_label"))) {
        const QString widest = counterText(99999999, 99999999, 99999999);
        counter->setMinimumWidth(counter->fontMetrics().horizontalAdvance(widest) + 2 * counter->fontMetrics().averageCharWidth());
    }
}

QString RecordPage::counterText(qint64 records, qint64 page, qint64 pages)
{
    return tr("Record：%1 ,Pages：%2 of %3").arg(records).arg(page).arg(pages);
}

bool RecordPage::forEachSummedColumn(const std::function<bool(int, int, const QString &, const ChannelLimits &)> &each)
{
    const QList<int> channels = !summaryChannels.isEmpty() ? summaryChannels
                                                           : QList<int>{family.hasChannels() ? shown.idx : -1};
    for (int channel : channels) {
        const QStringList columns = valueColumnsOf(family, qMax(0, channel) + 1);
        for (int i = 0; i < columns.size(); ++i) {
            if (!each(channel, i, columns.at(i), UserState::channelLimits(limitsKey(family, Meter, channel, i))))
                return false;
        }
    }
    return true;
}

void RecordPage::showExcursions()
{
    const QDateTime st = shown.st, en = shown.en;
    const int number = family.number;
    excursionPane->clear();
    excursionPane->setExportName(windowFileName(tr("excursions"), naiveSeconds(st), naiveSeconds(en)));
    QList<QPair<int, ExcursionList>> listed; // by colour index
    const bool found = forEachSummedColumn([&](int channel, int i, const QString &column, const ChannelLimits &limits) {
        if (!runWorkerCall([=](SQLThread *job) { job->findWindowExcursions(number, column, st, en, limits); }))
            return false;
        excursionPane->addColumn(summaryNames(channel).value(i), summaryUnits(channel).value(i), g_excursions,
                                 naiveSeconds(en) - naiveSeconds(st) + 1);
        listed << qMakePair(channel >= 0 ? channel : i, g_excursions.excursions);
        return true;
    });
    if (!found)
        return excursionPane->hide();
    shadeExcursions(listed);
}

void RecordPage::showPeriods()
{
    const QDateTime st = shown.st, en = shown.en;
    const int number = family.number;
    const PeriodLength length = periodPane->length();
    periodPane->clear();
    periodPane->setExportName(windowFileName(tr("periods"), naiveSeconds(st), naiveSeconds(en)));
    const bool found = forEachSummedColumn([&](int channel, int i, const QString &column, const ChannelLimits &limits) {
        if (!runWorkerCall([=](SQLThread *job) { job->tabulateWindowPeriods(number, column, st, en, limits, length); }))
            return false;
        periodPane->addColumn(summaryNames(channel).value(i), summaryUnits(channel).value(i), g_periods);
        return true;
    });
    if (!found)
        periodPane->hide();
}

bool RecordPage::gatherReport(ReportContents *contents, PeriodLength length, QString *error)
{
    if (records == 0) {
        *error = tr("No search is shown: search the window to report first.");
        return false;
    }
    QList<ReportColumn> columns;
    forEachSummedColumn([&](int channel, int i, const QString &column, const ChannelLimits &limits) {
        ReportColumn reported;
        reported.column = column;
        reported.label = summaryNames(channel).value(i);
        reported.unit = summaryUnits(channel).value(i);
        reported.limits = limits;
        reported.colour = channel >= 0 ? channel : i;
        columns << reported;
        return true;
    });
    const auto run = [this](const std::function<void(SQLThread *)> &job) { return runWorkerCall(job); };
    if (readReport(family.number, shown.st, shown.en, length, columns, worker, run, contents))
        return true;
    *error = worker->outcome().status == JobOutcome::Cancelled ? tr("Cancelled.") : worker->outcome().reason;
    return false;
}

bool RecordPage::reportTo(const QString &path, PeriodLength length, QString *error)
{
    ReportContents contents;
    return gatherReport(&contents, length, error) && RecordReport(contents).write(path, error);
}

QString RecordPage::reportWindow(const ReportRequest &request)
{
    quiet = true;
    told.clear();
    showWholeWindow();
    if (!request.from.isValid() || !request.to.isValid())
        showAllRecords();
    if (request.from.isValid())
        fromEdit->setDateTime(request.from);
    if (request.to.isValid())
        toEdit->setDateTime(request.to);
    for (int row = 0; channelTable && row < channelTable->rowCount(); ++row)
        channelTable->item(row, 0)->setCheckState(request.channels.contains(row + 1) ? Qt::Checked : Qt::Unchecked);
    const QList<int> ticked = tickedChannels();
    QString error;
    if (channelTable && ticked.size() != request.channels.size())
        error = tr("The instrument has channels 1 to %1 only.").arg(channelTable->rowCount());
    else if (auto *search = findChild<QPushButton *>(QStringLiteral("pushButton")); search && told.isEmpty())
        search->click();
    if (error.isEmpty() && records == 0)
        error = told.isEmpty() ? tr("There are no result to display.") : told;
    if (error.isEmpty() && !reportTo(request.path, request.period, &error) && !told.isEmpty())
        error = told;
    quiet = false;
    return error;
}

bool RecordPage::gatherReportAsked(ReportContents *contents)
{
    QString error;
    if (gatherReport(contents, periodPane->length(), &error))
        return true;
    if (records == 0)
        showMessage(error, 3);
    return false;
}

void RecordPage::writeReport()
{
    ReportContents contents;
    QString error;
    if (!gatherReportAsked(&contents))
        return;
    const RecordReport report(contents);
    if (!longReportWanted(report))
        return;
    const QString path = chooseSaveFile(this, tr("Write the report"),
                                        QDir::home().filePath(report.suggestedName(tr("report")) + QStringLiteral(".pdf")),
                                        tr("PDF (*.pdf);;Its tables as CSV (*.csv)"));
    if (path.isEmpty())
        return;
    if (!report.write(path, &error))
        return showMessage(tr("The report could not be written to %1: %2").arg(QDir::toNativeSeparators(path), error), 3);
    emit pmessagebox(tr("Report written to %1").arg(QDir::toNativeSeparators(path)));
}

bool RecordPage::longReportWanted(const RecordReport &report)
{
    const qint64 rows = report.listedRows();
    if (rows <= RecordReport::LongReportRows)
        return true;
    msgbox->setMessage(tr("The report lists %1 excursions and periods, on about %2 pages: writing it takes a while, "
                          "and the window waits until it is done. Write it?")
                           .arg(rows).arg(rows / 45 + 1),
                       tr("Write"), false, 2);
    msgbox->exec();
    return msgbox->isOk();
}

void RecordPage::printReport()
{
    ReportContents contents;
    if (!gatherReportAsked(&contents))
        return;
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageSize(RecordReport::localPageSize()); // the dialog may choose another
    QPrintDialog dialog(&printer, this);
    dialog.setWindowTitle(tr("Print the report"));
    const RecordReport report(contents);
    if (!longReportWanted(report) || dialog.exec() != QDialog::Accepted)
        return;
    if (!report.paint(&printer))
        showMessage(tr("The report could not be printed."), 3);
}

void RecordPage::showExcursionStart(qint64 rowid, qint64 naiveStart)
{
    showPageOfRecord(rowid, wallClockOf(naiveStart));
}

void RecordPage::jumpToExtreme(const QString &link)
{
    // "min0", or "min0/2": value column 0 of channel 2's line.
    const int line = link.contains(QLatin1Char('/')) ? summaryChannels.indexOf(link.section(QLatin1Char('/'), 1).toInt()) : -1;
    const ValueSummary value = (line >= 0 ? summaries.at(line) : summary).values.value(link.mid(3).section(QLatin1Char('/'), 0, 0).toInt());
    if (value.numbers == 0)
        return;
    if (line >= 0) {
        chIndex = summaryChannels.at(line);
        shown.idx = chIndex;
    }
    const bool minimum = link.startsWith(QLatin1String("min"));
    showPageOfRecord(minimum ? value.minimumRow : value.maximumRow, minimum ? value.minimumTime : value.maximumTime);
}

void RecordPage::showPageOfRecord(qint64 rowid, const QDateTime &time)
{
    const int number = family.number;
    const TableSearch search = shown;
    const bool chart = chartPage;
    if (!runWorkerCall([=](SQLThread *job) { job->locateRecord(number, search, chart, rowid); }))
        return;
    const qint64 position = g_recordPosition;
    if (showShownPage(int(position / pageSize())))
        showRecord(int(position % pageSize()), time);
}

QList<int> RecordPage::tickedChannels() const
{
    QList<int> ticked;
    for (int row = 0; channelTable && row < channelTable->rowCount(); ++row) {
        if (channelTable->item(row, 0)->checkState() != Qt::Unchecked)
            ticked << row;
    }
    return ticked;
}

PageChoices RecordPage::choices() const
{
    // What a table does not show it passes on as it came.
    PageChoices chosen{fromEdit->dateTime(), toEdit->dateTime(), tickedChannels(), carried.wholeWindow, carried.otherColumns};
    // A page of one channel passes on the channels ticked before while the
    // one it took from them is still its choice.
    if (!severalChannels && !carried.channels.isEmpty() && chosen.channels == QList<int>{carried.channels.last()})
        chosen.channels = carried.channels;
    return chosen;
}

void RecordPage::applyChoices(const PageChoices &chosen)
{
    carried = chosen;
    if (chosen.from.isValid() && chosen.to.isValid()) {
        fromEdit->setDateTime(chosen.from);
        toEdit->setDateTime(chosen.to);
    }
    for (int row : chosen.channels) {
        // One channel unless several are allowed: the last ticked.
        if (channelTable && row >= 0 && row < channelTable->rowCount() && (severalChannels || row == chosen.channels.last()))
            channelTable->item(row, 0)->setCheckState(Qt::Checked);
    }
}

void RecordPage::searchAgain(const QDateTime &lastBefore, const QDateTime &lastAfter)
{
    if (records == 0)
        return; // no search shown
    if (lastBefore.isValid() && shown.en >= lastBefore && lastAfter > lastBefore)
        toEdit->setDateTime(minuteStart(lastAfter));
    if (auto *search = findChild<QPushButton *>(QStringLiteral("pushButton")))
        search->click();
}

void RecordPage::allowSeveralChannels(bool several)
{
    severalChannels = several;
    if (several || !channelTable)
        return;
    // Back to one channel: the one chosen last stays.
    const QSignalBlocker quiet(channelTable);
    for (int row : tickedChannels()) {
        if (row != chIndex)
            channelTable->item(row, 0)->setCheckState(Qt::Unchecked);
    }
}

void RecordPage::dn_Select(int row)
{
    toggleChannel(channelTable, row);
}

void RecordPage::dn_cell(int row)
{
    if (!severalChannels) {
        keepOneChannelChecked(channelTable, chIndex, row);
        return;
    }
    // Several may be ticked: the last ticked one is the channel of the summary.
    const QList<int> ticked = tickedChannels();
    if (ticked.contains(row))
        chIndex = row;
    else if (chIndex == row)
        chIndex = ticked.isEmpty() ? -1 : ticked.last();
}

void RecordPage::dn_ThreadFinsh() {}

void RecordPage::dn_GetProgress(QString str, int value)
{
    emit pmessagebox(str);
    progress->setText(str);
    progress->setValue(value);
    if (traceProgress)
        qDebug() << "进入" << str;
}

void RecordPage::turnPage(PageTurn turn)
{
    const int page = turnedPage(turn, curPage, pages);
    if (page != -1 && showShownPage(page) && turn == PageTurn::Last && curPage != pages - 1)
        showShownPage(pages - 1); // the records changed since, and with them the last page
}

bool RecordPage::showShownPage(int page)
{
    // Pages belong to the search shown, whatever the criteria fields say now;
    // so does the count, whatever another page searched meanwhile.
    asked = shown;
    g_recordCount = records;
    if (!runRequest(page))
        return false;
    // Records added or removed since the search: the worker counted them anew.
    if (g_recordCount != records) {
        records = g_recordCount;
        pages = pageCountFor(records, pageSize());
        summary = g_summary;
        summaryChannels.clear();
        summaries.clear();
        showSummary();
        if (page >= pages && pages > 0)
            return showShownPage(pages - 1);
    }
    curPage = page;
    showPage();
    return true;
}

void RecordPage::on_page_home_clicked()
{
    turnPage(PageTurn::First);
}

void RecordPage::on_page_up_clicked()
{
    turnPage(PageTurn::Previous);
}

void RecordPage::on_page_down_clicked()
{
    turnPage(PageTurn::Next);
}

void RecordPage::on_page_end_clicked()
{
    turnPage(PageTurn::Last);
}
