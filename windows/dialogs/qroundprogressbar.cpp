#include "qroundprogressbar.h"

#include <QConicalGradient>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>

namespace {

// Sets a property's field; false when it held that value already.
template<class T> bool changeTo(T &field, const T &value)
{
    if (field == value)
        return false;
    field = value;
    return true;
}

} // namespace

QRoundProgressBar::QRoundProgressBar(QWidget *parent) : QWidget(parent) {}

void QRoundProgressBar::setRange(double min, double max)
{
    if (min > max)
        std::swap(min, max);
    minimum = min;
    maximum = max;
    value = std::clamp(value, minimum, maximum);
    if (!valueColors.isEmpty())
        brushDirty = true;
    update();
}

void QRoundProgressBar::setMinimum(double min)
{
    setRange(min, maximum);
}

void QRoundProgressBar::setMaximum(double max)
{
    setRange(minimum, max);
}

void QRoundProgressBar::setValue(double val)
{
    if (val == value)
        return;
    value = std::clamp(val, minimum, maximum);
    update();
}

void QRoundProgressBar::setValue(int val)
{
    setValue(double(val));
}

void QRoundProgressBar::setStartAngle(double angle)
{
    if (!changeTo(startAngle, angle))
        return;
    if (!valueColors.isEmpty())
        brushDirty = true;
    update();
}

void QRoundProgressBar::setRingStyle(int style)
{
    if (changeTo(ringStyle, style))
        update();
}

void QRoundProgressBar::setOutlineWidth(double width)
{
    if (changeTo(outlineWidth, width))
        update();
}

void QRoundProgressBar::setValuePenWidth(double width)
{
    if (changeTo(valuePenWidth, width))
        update();
}

void QRoundProgressBar::setTextFormat(QString format)
{
    if (changeTo(textFormat, format))
        update();
}

void QRoundProgressBar::clearTextFormat()
{
    textFormat.clear();
    update();
}

void QRoundProgressBar::setDecimals(int count)
{
    if (count < 0 || count == decimals)
        return;
    decimals = count;
    update();
}

float QRoundProgressBar::innerRatio() const
{
    return innerRatioValue;
}

void QRoundProgressBar::setInnerRatio(float ratio)
{
    innerRatioValue = ratio;
}

void QRoundProgressBar::setValueColors(const QGradientStops &stops)
{
    if (stops == valueColors)
        return;
    valueColors = stops;
    brushDirty = true;
    update();
}

QString QRoundProgressBar::formatValue(double v) const
{
    // "%p": the share of the range done, in percent.
    return QString(textFormat).replace(QStringLiteral("%p"),
                                       QString::number((v - minimum) / (maximum - minimum) * 100, 'f', decimals));
}

void QRoundProgressBar::innerGeometry(const QRectF &, double outerSize, QRectF &innerRect, double &innerSize)
{
    innerSize = ringStyle == Arc ? outerSize - outlineWidth : outerSize * innerRatioValue;
    const double d = (outerSize - innerSize) / 2;
    innerRect = QRectF(d, d, innerSize, innerSize);
}

void QRoundProgressBar::paintEvent(QPaintEvent *)
{
    const double outerSize = qMin(width(), height());
    const QRectF baseRect(1, 1, outerSize - 2, outerSize - 2);
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    if (brushDirty)
        rebuildBrush();
    paintBackground(p, rect());
    QRectF innerRect;
    double innerSize = 0;
    innerGeometry(baseRect, outerSize, innerRect, innerSize);
    const double arcLength = 360.0 / (maximum - minimum) * value;
    paintTrack(p, baseRect, innerRect);
    paintValue(p, baseRect, value, arcLength, innerRect, innerSize);
    paintCenter(p, innerRect);
    paintLabel(p, innerRect, innerSize, value);
}

void QRoundProgressBar::paintBackground(QPainter &p, const QRectF &baseRect)
{
    p.fillRect(baseRect, palette().window());
}

void QRoundProgressBar::paintTrack(QPainter &p, const QRectF &baseRect, const QRectF &innerRect)
{
    switch (ringStyle) {
    case Ring: {
        QPainterPath path;
        path.setFillRule(Qt::OddEvenFill);
        path.addEllipse(baseRect);
        path.addEllipse(innerRect);
        p.setPen(QPen(palette().shadow().color(), outlineWidth));
        p.setBrush(palette().base());
        p.drawPath(path);
        break;
    }
    case Pie:
        p.setPen(QPen(palette().base().color(), outlineWidth));
        p.setBrush(palette().base());
        p.drawEllipse(baseRect);
        break;
    case Arc:
        p.setPen(QPen(palette().base().color(), outlineWidth));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(baseRect.adjusted(outlineWidth / 2, outlineWidth / 2, -outlineWidth / 2, -outlineWidth / 2));
        break;
    default:
        break;
    }
}

void QRoundProgressBar::paintValue(QPainter &p, const QRectF &baseRect, double value, double arcLength,
                                   const QRectF &innerRect, double)
{
    if (value == minimum)
        return;
    if (ringStyle == Arc) {
        p.setPen(QPen(palette().highlight().color(), valuePenWidth));
        p.setBrush(Qt::NoBrush);
        p.drawArc(baseRect.adjusted(outlineWidth / 2, outlineWidth / 2, -outlineWidth / 2, -outlineWidth / 2),
                  int(startAngle * 16), int(-arcLength * 16));
        return;
    }
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const QPointF c = baseRect.center();
    path.moveTo(c);
    path.arcTo(baseRect, startAngle, -arcLength);
    if (ringStyle == Ring) {
        const QPointF p1 = path.currentPosition();
        path.lineTo(c + innerRatioValue * (p1 - c));
        path.moveTo(c);
        path.arcTo(innerRect, startAngle - arcLength, arcLength);
        const QPointF p2 = path.currentPosition();
        path.lineTo(c + (2 - innerRatioValue) * (p2 - c));
        p.setPen(Qt::NoPen);
    } else if (ringStyle == Pie) {
        path.lineTo(c);
        p.setPen(QPen(palette().shadow().color(), valuePenWidth));
    }
    p.setBrush(palette().highlight());
    p.drawPath(path);
}

void QRoundProgressBar::paintCenter(QPainter &p, const QRectF &innerRect)
{
    if (ringStyle != Ring)
        return;
    p.setBrush(palette().alternateBase());
    p.drawEllipse(innerRect);
}

void QRoundProgressBar::paintLabel(QPainter &p, const QRectF &innerRect, double innerSize, double value)
{
    if (textFormat.isEmpty())
        return;
    QFont f(font());
    f.setPixelSize(qMax(1, int(innerSize * qMax(0.05, 0.35 - 0.08 * decimals))));
    p.setFont(f);
    p.setPen(palette().text().color());
    p.drawText(innerRect, Qt::AlignCenter, formatValue(value));
}

void QRoundProgressBar::rebuildBrush()
{
    brushDirty = false;
    QConicalGradient gradient(0.5, 0.5, startAngle);
    gradient.setCoordinateMode(QGradient::StretchToDeviceMode);
    for (const QGradientStop &stop : valueColors)
        gradient.setColorAt(1.0 - stop.first, stop.second);
    QPalette pal = palette();
    pal.setBrush(QPalette::Highlight, QBrush(gradient));
    setPalette(pal);
}
