#ifndef CHARTNAVIGATION_H
#define CHARTNAVIGATION_H

#include <QObject>
#include <QPoint>

class QCustomPlot;
class QRubberBand;

// The keys and the rubber band of a chart's time axis: ←/→ move the span
// shown by a tenth, +/− zoom around its middle, Home/End ask for the first
// and last record; a drag with the right button zooms to the span dragged.
class ChartNavigation : public QObject
{
    Q_OBJECT
public:
    explicit ChartNavigation(QCustomPlot *plot);

    // The share of the span one arrow key moves it, and the factor one zoom key takes.
    static constexpr double PanStep = 0.1;
    static constexpr double ZoomStep = 1.25;

signals:
    void firstRecordAsked();
    void lastRecordAsked();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    bool keyPressed(int key);
    void setSpan(double lower, double upper);

    QCustomPlot *plot;
    QRubberBand *band = nullptr;
    QPoint dragStart;
    bool dragging = false;
};

#endif
