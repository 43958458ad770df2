#include "chartnavigation.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QRubberBand>

ChartNavigation::ChartNavigation(QCustomPlot *plot) : QObject(plot), plot(plot)
{
    plot->setFocusPolicy(Qt::StrongFocus);
    plot->installEventFilter(this);
    connect(plot->xAxis, qOverload<const QCPRange &>(&QCPAxis::rangeChanged), this, &ChartNavigation::keepInBounds);
}

QCPRange ChartNavigation::bounded(const QCPRange &range, const QCPRange &window)
{
    const double margin = qMax(window.size() / 2, 60.0);
    const QCPRange outermost(window.lower - margin, window.upper + margin);
    if (range.size() >= outermost.size())
        return outermost;
    if (range.lower < outermost.lower)
        return QCPRange(outermost.lower, outermost.lower + range.size());
    if (range.upper > outermost.upper)
        return QCPRange(outermost.upper - range.size(), outermost.upper);
    return range;
}

void ChartNavigation::keepInBounds()
{
    const std::optional<QCPRange> window = searchedSpan ? searchedSpan() : std::nullopt;
    if (!window)
        return;
    const QCPRange range = plot->xAxis->range(), kept = bounded(range, *window);
    if (kept != range)
        plot->xAxis->setRange(kept); // within the bounds: no further change
}

void ChartNavigation::setSpan(double lower, double upper)
{
    plot->xAxis->setRange(lower, upper);
    plot->replot();
}

bool ChartNavigation::keyPressed(int key)
{
    const QCPRange range = plot->xAxis->range();
    switch (key) {
    case Qt::Key_Left:
    case Qt::Key_Right: {
        const double step = (key == Qt::Key_Left ? -PanStep : PanStep) * range.size();
        setSpan(range.lower + step, range.upper + step);
        return true;
    }
    case Qt::Key_Plus:
    case Qt::Key_Equal: // + without Shift on many layouts
    case Qt::Key_Minus: {
        const double half = range.size() / 2 * (key == Qt::Key_Minus ? ZoomStep : 1 / ZoomStep);
        setSpan(range.center() - half, range.center() + half);
        return true;
    }
    case Qt::Key_Home:
        emit firstRecordAsked();
        return true;
    case Qt::Key_End:
        emit lastRecordAsked();
        return true;
    default:
        return false;
    }
}

bool ChartNavigation::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::KeyPress:
        return keyPressed(static_cast<QKeyEvent *>(event)->key());
    case QEvent::MouseButtonPress: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (mouse->button() != Qt::RightButton)
            break;
        dragging = true;
        dragStart = mouse->position().toPoint();
        if (!band)
            band = new QRubberBand(QRubberBand::Rectangle, plot);
        band->setGeometry(QRect(dragStart, QSize()));
        band->show();
        return true;
    }
    case QEvent::MouseMove:
        if (dragging) {
            const QRect rect = plot->axisRect()->rect();
            const int x = static_cast<QMouseEvent *>(event)->position().toPoint().x();
            // The time axis only: the band spans the plot's height.
            band->setGeometry(QRect(QPoint(qMin(x, dragStart.x()), rect.top()), QPoint(qMax(x, dragStart.x()), rect.bottom())));
            return true;
        }
        break;
    case QEvent::MouseButtonRelease: {
        auto *mouse = static_cast<QMouseEvent *>(event);
        if (!dragging || mouse->button() != Qt::RightButton)
            break;
        dragging = false;
        band->hide();
        const int x = mouse->position().toPoint().x();
        if (qAbs(x - dragStart.x()) >= 3) // a click is no span
            setSpan(plot->xAxis->pixelToCoord(qMin(x, dragStart.x())), plot->xAxis->pixelToCoord(qMax(x, dragStart.x())));
        return true;
    }
    default:
        break;
    }
    return QObject::eventFilter(watched, event);
}
