#ifndef CHARTPAGE_H
#define CHARTPAGE_H

#include "recordpage.h"

#include <QDateTime>

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
    QCustomPlot *chart() const { return w.plot; }

    // The graphs of the HH and LL markers (0: the value, 1: the second value).
    static constexpr int HhGraph = 2;
    static constexpr int LlGraph = 3;
    // The most ticks the value axis draws at the configured step.
    static constexpr int MaxValueTicks = 50;
    // The plot keeps room for its curve, however small the window.
    static constexpr int MinimumPlotHeight = 300;

private slots:
    void on_pushButton_clicked();
    void saveImage();
    void showReadout(QMouseEvent *event);
    void placeMarkers();

protected:
    ChartPage(int familyNumber, QWidget *parent);
    void setUpPage(const ChartPageWidgets &widgets);

private:
    void setUpChart();
    void showPage() override;
    int pageSize() const override;
    void showRecord(int row, const QDateTime &time) override;

    ChartPageWidgets w;
    QPushButton *imageButton = nullptr;
};

// The readout text of the drawn point nearest to `key` ("" when none is drawn).
QString chartReadout(QCustomPlot *plot, double key);

#endif
