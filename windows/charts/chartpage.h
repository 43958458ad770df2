#ifndef CHARTPAGE_H
#define CHARTPAGE_H

#include "otheroverview.h"
#include "overviewcells.h"
#include "recordpage.h"

#include <QDateTime>
#include <QTimer>

#include <array>
#include <memory>
#include <optional>

class QAction;
class QCheckBox;
class ChartCursors;
class OtherChannels;
class QComboBox;
class ValueAxes;
class QCPGraph;
class QCPRange;
class QCustomPlot;
class QDateTimeEdit;
class QLabel;
class QMouseEvent;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;

// The widgets of a chart form that the shared logic drives.
struct ChartPageWidgets : PageWidgets {
    QRadioButton *radioButton = nullptr; // "Temperature" of the humidity meter
    QCustomPlot *plot = nullptr;

    ChartPageWidgets() = default;
    template<class Form> explicit ChartPageWidgets(Form *ui) : plot(ui->plot) { bind(ui); }
};

// A chart page: a time window (and a channel) on the left, one page of
// PlotRcd records drawn on the right. FormcartN builds its form and sends
// its family's request; everything else is shared here.
class ChartPage : public RecordPage
{
    Q_OBJECT
public:
    ~ChartPage() override;
    QCustomPlot *chart() const { return w.plot; }
    PageChoices choices() const override;
    void applyChoices(const PageChoices &chosen) override;
    void showLimits() override;

    // The graphs of the HH and LL markers (0: the value, 1: the second value).
    static constexpr int HhGraph = 2;
    static constexpr int LlGraph = 3;
    // The most ticks the value axis draws at the configured step.
    static constexpr int MaxValueTicks = 50;
    // The plot keeps room for its curve, however small the window.
    static constexpr int MinimumPlotHeight = 300;
    // The height of a row of the alarm band, as a share of the plot's.
    static constexpr double AlarmRowHeight = 0.02;
    // A stretch without records longer than this many logging intervals is a gap in the line.
    static constexpr int GapIntervals = 3;

    // Whole window: every record of the window is drawn, channels laid over each other.
    bool overviewShown() const;
    // The title band of a saved image.
    QString imageTitle() const;
    // The rowid of the record drawn nearest to a point of the plot, in
    // pixels (-1: none), its key and the place of its channel among those drawn.
    qint64 recordNear(const QPointF &pixel, double *at, int *drawnChannel) const;
    // A channel's colour (0-based, or the value of a family without
    // channels), the same on the paged chart and in the whole window; its
    // markers take it too.
    static QColor channelColour(int channel);
    // What the other instruments' channels laid over the whole window read last.
    QStringList otherReadPaths() const;

private slots:
    void on_pushButton_clicked();
    void saveImage();
    void showReadout(QMouseEvent *event);
    void placeMarkers();
    void setOverview(bool on);
    void refineOverview();
    void overviewRefined(QString text, int value);
    void openRecordAt(QMouseEvent *event);
    void addOtherChannel();
    void removeOtherChannels();
    void chooseValueAxes(int perChannel);

protected:
    ChartPage(int familyNumber, QWidget *parent);
    void setUpPage(const ChartPageWidgets &widgets);

private:
    void setUpChart();
    void setUpOverview();
    // The value's graph in its channel's colour (filled where the family has
    // it), the second value's dashed, both named in the legend.
    void stylePagedGraphs();
    // The channel (or value) the paged chart draws, as channelColour() counts.
    int pagedChannel() const;
    // The HH (high) or LL graph of the channel drawn `drawn`-th in the whole window.
    QCPGraph *markerGraph(int drawn, bool high);
    void styleMarkers(int drawn, int channel);
    // A value column drawn: its channel (-1: none), its value and its colour.
    struct DrawnColumn { int channel, value, colour; };
    // The whole window's as drawn last, else as ticked; the paged chart's.
    QList<DrawnColumn> drawnColumns() const;
    // Dashed lines at the limits of the value columns drawn, in their
    // colours, and the shades of their excursions listed.
    void drawLimitLines();
    void shadeExcursions(const QList<QPair<int, ExcursionList>> &listed) override;
    void newWindowShown() override;
    void showWholeWindow() override;
    // The whole window stays: centred on the excursion's start, at the span shown.
    void showExcursionStart(qint64 rowid, qint64 naiveStart) override;
    // The figures of each value column drawn between the cursors.
    void measureCursors();
    // The shades of the excursions listed in the span shown, those less than a pixel apart drawn as one.
    void drawExcursionShades(const QList<DrawnColumn> &drawn);
    void addExcursionShade(const Excursion &excursion, double startKey, double endKey, int colourIndex);
    // Once the span shown or the plot's width changed: the shades drawn anew.
    void reshadeExcursions();
    void removeItems(const QString &name);
    // Hides the paging bar and empties the graphs and their limit lines, as before any search.
    void clearChart();
    void showPage() override;
    int pageSize() const override;
    void showRecord(int row, const QDateTime &time) override;
    // The whole window: centred on the time; the paged chart: the page that holds it.
    void showTime(const QDateTime &at) override;
    // The first (or last) record of the window at the chart's left (right) edge.
    void showEdgeRecord(bool last);
    std::optional<QCPRange> searchedSpan() const;
    void fitValueTicks();

    // The value columns of the overview and their names in the legend.
    QStringList overviewColumns() const;
    QStringList overviewNames() const;
    void drawOverview(const Overview &overview, const QList<OtherOverview> &otherOverviews, bool keepRange);
    // The channel (or value) whose cells are those of `column`.
    DrawnColumn drawnColumnOf(const QString &column) const;
    // The whole window's value axes: shared or one per line, fixed ranges kept.
    void arrangeValueAxes(bool fit);
    void showOverviewControls(bool on);
    QCPGraph *channelGraph(int index);
    void askRefinement();
    void setPagingEnabled(bool enabled);

    ChartPageWidgets w;
    QPushButton *imageButton = nullptr;
    QCheckBox *wholeWindow = nullptr;
    QLabel *channelHint = nullptr; // "Select one channel...", of the families with channels
    QString oneChannelHint;
    // Zoom and pan ask for the visible span again, on a worker of their own
    // without a dialog; a newer request waits for the one running, then replaces it.
    SQLThread *refiner = nullptr;
    QThread *refinerThread = nullptr;
    QTimer refineTimer;
    QTimer reshadeTimer;
    std::array<double, 3> shadedRange{}; // the keys and the width the shades were drawn for
    bool refining = false;
    bool refineAgain = false;
    bool drawingOverview = false; // the axis is set by the drawing, not by the user
    QList<QCPGraph *> extraGraphs;
    QList<QCPGraph *> extraMarkers; // HH, LL of the third channel drawn, then of the fourth...
    struct DrawnRecord {
        double key, value; // value NaN: no reading
        qint64 rowid;
    };
    QVector<QVector<DrawnRecord>> drawnRecords; // per channel drawn
    Overview shownOverview;
    QList<DrawnColumn> overviewDrawn; // what shownOverview's cells are of
    QList<QPair<int, ExcursionList>> listedExcursions; // of the window shown, by colour index
    ChartCursors *cursors = nullptr;
    QComboBox *axesChoice = nullptr;
    QPushButton *otherButton = nullptr;
    QAction *removeOthers = nullptr;
    std::unique_ptr<ValueAxes> valueAxes;
    std::unique_ptr<OtherChannels> others;
};

// The readout text of the drawn point nearest to `key` ("" when none is drawn).
QString chartReadout(QCustomPlot *plot, double key);

#endif
