#ifndef RECORDREPORT_H
#define RECORDREPORT_H

#include "channellimits.h"
#include "excursionlist.h"
#include "overviewcells.h"
#include "periods.h"
#include "recordsources.h"
#include "windowsummary.h"

#include <QDateTime>
#include <QString>
#include <functional>

class PageFlow;
class QCPPainter;
class QPainter;
class QRectF;
class QPagedPaintDevice;
class QPageSize;
class SQLThread;

// One value column of a report: what the window holds of it.
struct ReportColumn {
    QString column; // of the meter's table: "pv1"
    QString label;  // "CH1 PV (Boiler 2)"
    QString unit;
    ChannelLimits limits;
    PeriodFigures window; // every record of the window, whatever a search's range
    WindowExcursions excursions;
    QList<PeriodFigures> periods;
    int colour = 0; // the chart pages' colour index
};

// Everything a report of a searched window shows, gathered before it is written.
struct ReportContents {
    QString instrument; // "Model 12, multi-channel controller, 2 channels"
    QString folder;     // the data folder's name
    QString name;       // the instrument's, as the user named it (else the folder's)
    qint64 from = 0, to = 0; // naive seconds of the window
    QDateTime written;
    PeriodLength periodLength = PeriodLength::Day;
    QList<ReportColumn> columns;
    Overview overview; // of the columns, in their order, for the chart
    RecordSources sources;
};

// Runs one job on the worker given and says whether it was done.
using ReportJobRunner = std::function<bool(const std::function<void(SQLThread *)> &job)>;

// Reads through `run` on `worker` what the report of [st, en] shows of
// each of `columns` (its table column, label, unit, limits and colour
// given), with its header; false when a job was not done.
bool readReport(int familyNumber, const QDateTime &st, const QDateTime &en, PeriodLength length,
                const QList<ReportColumn> &columns, SQLThread *worker, const ReportJobRunner &run,
                ReportContents *contents);

// The report as a document of pages: header, figures, chart, excursions,
// periods, gaps, sources and the lines to sign, "Page n of m" on each.
class RecordReport
{
public:
    explicit RecordReport(ReportContents contents);

    // A PDF at `path`, or its tables as CSV where `path` ends in ".csv";
    // false with the reason when it could not be written.
    bool write(const QString &path, QString *error) const;
    bool writePdf(const QString &path, QString *error) const;
    // Its tables, one after another, each under its title, as CSV.
    QString csvText() const;
    // Onto any paged device (a printer) in the page size and margins it has;
    // false when it could not be painted on.
    bool paint(QPagedPaintDevice *device) const;
    // Rows of its lists (excursions and periods) beyond which painting it
    // takes seconds: the user is asked first.
    static constexpr qint64 LongReportRows = 20000;
    qint64 listedRows() const;
    // The page size of the user's locale: Letter where inches are, else A4.
    static QPageSize localPageSize();
    // The file name a report or its tables are offered under: the folder and the window.
    QString suggestedName(const QString &what) const;

private:
    static QStringList figuresHeaders();
    // `apart` between a value and its tag, and between an extreme and its time.
    static QStringList figuresRow(const ReportColumn &column, const QString &apart);
    QString headHtml() const;
    void paintFooter(QPainter &painter, const QRectF &line, int page, int pages) const;
    // The whole window's chart in `area` of the page.
    void paintChart(QCPPainter &painter, const QRectF &area) const;
    // The pages after the chart.
    void flowRest(PageFlow &flow) const;

    ReportContents contents;
};

#endif
