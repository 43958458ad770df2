#ifndef RECORDPAGE_H
#define RECORDPAGE_H

#include "excursionlist.h"
#include "otheroverview.h"
#include "commandline.h"
#include "paging.h"
#include "statements.h"
#include "windowsummary.h"

#include <QWidget>
#include <functional>

struct MeterFamily;
class DialogMessage;
class DialogProgress;
class ExcursionPane;
class PeriodPane;
struct ReportContents;
class RecordReport;
class QDateTimeEdit;
class QLabel;
class QStackedWidget;
class QTableWidget;
class QThread;
class SQLThread;

// What the data-table and chart pages share: the worker on its own thread,
// the progress and message dialogs, the channel table and the paging.
// The widgets every record form has, bound by name.
struct PageWidgets {
    QDateTimeEdit *dateTimeEdit1 = nullptr;
    QDateTimeEdit *dateTimeEdit2 = nullptr;
    QTableWidget *tablechaddr = nullptr; // families with channels only
    QStackedWidget *stackedWidget = nullptr;
    QWidget *widget_page = nullptr;
    QLabel *page_label = nullptr;

    template<class Form> void bind(Form *ui)
    {
        dateTimeEdit1 = ui->dateTimeEdit1;
        dateTimeEdit2 = ui->dateTimeEdit2;
        stackedWidget = ui->stackedWidget;
        widget_page = ui->widget_page;
        page_label = ui->page_label;
    }
};

// What the user chose on a page, carried to the next page shown.
struct PageChoices {
    QDateTime from, to;
    QList<int> channels; // ticked, 0-based
    bool wholeWindow = false;
    QList<OtherColumn> otherColumns; // laid over the whole window
};

class RecordPage : public QWidget
{
    Q_OBJECT
public:
    ~RecordPage() override;

    int pageCount() const { return pages; }
    virtual PageChoices choices() const;
    virtual void applyChoices(const PageChoices &chosen);
    // After records were added: the search shown runs again, and a window
    // that reached the last record before (`lastBefore`) reaches the new one.
    void searchAgain(const QDateTime &lastBefore, const QDateTime &lastAfter);
    int currentPage() const { return curPage; }
    // The tags or limits of the value columns changed: the page shows them.
    virtual void showLimits();
    int recordCount() const { return records; }
    // Writes the report of the search shown to a PDF at `path`, asking
    // nothing; false with the reason when no search is shown or it failed.
    bool reportTo(const QString &path, PeriodLength length, QString *error);
    // Searches the window and channels asked for and writes their report,
    // with no dialog waiting for an answer; the reason when that failed.
    QString reportWindow(const ReportRequest &request);

signals:
    void pmessagebox(QString str);

private slots:
    void dn_Select(int row);
    void dn_cell(int row);
    void dn_ThreadFinsh();
    void dn_GetProgress(QString str, int value);
    void on_page_home_clicked();
    void on_page_up_clicked();
    void on_page_down_clicked();
    void on_page_end_clicked();
    // Shows the page of the record a summary link leads to ("min0", "max1").
    void jumpToExtreme(const QString &link);
    // Sets the time window to the minutes of the first and last record.
    void showAllRecords();
    // Lists the excursions of the window shown, for each value column summed up.
    void showExcursions();
    // Tabulates the window shown by the periods chosen, for each value column summed up.
    void showPeriods();
    // Asks for a file and writes the report of the search shown there.
    void writeReport();
    // Prints the report of the search shown through the system's print dialog.
    void printReport();
    // Asks for a time and shows it on the search shown.
    void goToTime();

protected:
    RecordPage(int familyNumber, QWidget *parent);
    // Channel table (families with channels), date edits, worker and dialogs.
    void setUpRecordPage(QTableWidget *channels, QDateTimeEdit *from, QDateTimeEdit *to);
    // Sends the family's request for page `pageid` (-1: a new search) of `asked`.
    virtual void sendRequest(int pageid) = 0;
    // Draws the rows of the page the last successful job fetched.
    virtual void showPage() = 0;
    // Runs a new search of `asked`: true when it found records, which are
    // then counted in pages of `perPage` and `asked` is the search shown.
    // A failure or an empty result has been told to the user.
    bool runNewSearch(int perPage);
    void showMessage(const QString &text, int kind);
    // The window of `asked` holds a whole minute and a channel is chosen
    // where the family has channels; otherwise the user is told.
    bool windowAndChannelChosen();
    // Puts the summary line of the searched window just above the paging bar.
    void addSummary(QWidget *pagingBar);
    // The paging bar's counter: the records, the page shown (from 1) and the pages.
    static QString counterText(qint64 records, qint64 page, qint64 pages);
    // Records per page of this kind of page.
    virtual int pageSize() const = 0;
    // The excursions listed, each value column's with its colour index
    // (channelColour's count); none: the window shown changed.
    virtual void shadeExcursions(const QList<QPair<int, ExcursionList>> &listed) { Q_UNUSED(listed) }
    // Shows the first record of an excursion clicked in the list: its page.
    virtual void showExcursionStart(qint64 rowid, qint64 naiveStart);
    // Points the user at record `row` of the page shown, stamped `time`.
    virtual void showRecord(int row, const QDateTime &time) = 0;
    // Runs a short job that calls the worker on its thread; a failure is told.
    bool runWorkerCall(const std::function<void(SQLThread *)> &call);
    // Shows the page of the search shown that holds record `rowid`, pointed at.
    void showPageOfRecord(qint64 rowid, const QDateTime &time);
    // Shows the first record of the search shown stamped at or after `at` (local time).
    virtual void showTime(const QDateTime &at);
    // The first record of the search shown at or after `at` (`backwards`: the
    // last at or before it); false when the job did not succeed (told).
    bool findRecordAt(const QDateTime &at, bool backwards, RecordAtTime *found);
    // The channels ticked: several may be, while `several` allows it.
    QList<int> tickedChannels() const;
    void allowSeveralChannels(bool several);
    // After a new search of several channels: a summary line for each.
    void summariseChannels(const QList<int> &channels);
    // The summary's lines as plain text.
    QString summaryPlainText() const;
    // The value columns' names in the summary of a channel (0-based, -1: none), and their units.
    QStringList summaryNames(int channel) const;
    QStringList summaryUnits(int channel) const;
    // Page Up, Page Down, Home and End on `target` turn the pages of the search shown.
    void turnPagesByKeys(QWidget *target);
    bool eventFilter(QObject *watched, QEvent *event) override;
    // Another window is shown: what was marked on the one before goes.
    virtual void newWindowShown() {}
    // Shows every record of the window, several channels at once, where the page can.
    virtual void showWholeWindow() {}

    const MeterFamily &family;
    int pages = 0;
    int curPage = 0;
    int records = 0;
    int chIndex = -1;
    bool traceProgress = false;
    bool chartPage = false; // a chart's window holds every record, whatever its values
    SQLThread *worker = nullptr;
    QThread *thread = nullptr;
    DialogProgress *progress = nullptr;
    DialogMessage *msgbox = nullptr;
    // A chart uses the channel (idx) and the window; pageid is not used here.
    TableSearch asked;  // what the next request sends
    TableSearch shown;  // the search whose pages are shown; paging and export use it

private:
    // The named windows and All records, under the To field.
    void addWindowControls();
    bool runRequest(int pageid);
    void turnPage(PageTurn turn);
    // Fetches and shows page `page` of the search shown; false when the job did not succeed.
    bool showShownPage(int page);

    QTableWidget *channelTable = nullptr;
    QDateTimeEdit *fromEdit = nullptr;
    QDateTimeEdit *toEdit = nullptr;
    void showSummary();
    // What a report of the search shown holds, read by the worker; false
    // with the reason when no search is shown or a job did not succeed (a
    // failed job has been told to the user).
    bool gatherReport(ReportContents *contents, PeriodLength length, QString *error);
    // A report of very many rows only if the user says so (painting it takes a while).
    bool longReportWanted(const RecordReport &report);
    // Gathers a report for the buttons: false when there is none, told to the user.
    bool gatherReportAsked(ReportContents *contents);
    // Calls `each` with every value column summed up (channel, value index,
    // column, limits) until one call fails; false then.
    bool forEachSummedColumn(const std::function<bool(int, int, const QString &, const ChannelLimits &)> &each);

    QLabel *summaryLabel = nullptr;
    QWidget *summaryRow = nullptr; // the summary, and the buttons that look into its window
    ExcursionPane *excursionPane = nullptr;
    PeriodPane *periodPane = nullptr;
    WindowSummary summary; // of the search shown
    QList<int> summaryChannels; // several channels summed up, one line each, in `summaries`
    QList<WindowSummary> summaries;
    bool severalChannels = false;
    PageChoices carried; // from the page before, for what this page cannot show
    QDateTime goneTo; // the last time gone to, offered again
    QWidget *pageKeysTarget = nullptr;
    bool quiet = false;  // messages are kept in `told`, not shown (a report from the command line)
    QString told;
};

#endif
