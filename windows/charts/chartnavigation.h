#ifndef CHARTNAVIGATION_H
#define CHARTNAVIGATION_H

#include <QObject>
#include <QPoint>
#include <qcustomplot.h>

#include <functional>
#include <optional>

class QRubberBand;

// The keys and the rubber band of a chart's time axis: ←/→ move the span
// shown by a tenth, +/− zoom around its middle, Home/End ask for the first
// and last record; a drag with the right button zooms to the span dragged.
// However it is zoomed or moved, the axis stays within the window searched
// and half of it again on either side.
class ChartNavigation : public QObject
{
    Q_OBJECT
public:
    explicit ChartNavigation(QCustomPlot *plot);

    // The share of the span one arrow key moves it, and the factor one zoom key takes.
    static constexpr double PanStep = 0.1;
    static constexpr double ZoomStep = 1.25;

    // The keys of the window searched, none while there is none.
    void setSearchedSpan(std::function<std::optional<QCPRange>()> span) { searchedSpan = std::move(span); }
    // The range shown of `range` once kept within `window` and half of it again on either side (a minute at least).
    static QCPRange bounded(const QCPRange &range, const QCPRange &window);

signals:
    void firstRecordAsked();
    void lastRecordAsked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(int key);
    void setSpan(double lower, double upper);
    void keepInBounds();

    QCustomPlot *plot;
    QRubberBand *band = nullptr;
    QPoint dragStart;
    bool dragging = false;
    std::function<std::optional<QCPRange>()> searchedSpan;
};

#endif
