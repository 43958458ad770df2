#ifndef QROUNDPROGRESSBAR_H
#define QROUNDPROGRESSBAR_H

#include <QGradientStops>
#include <QWidget>

// A circular progress bar: a ring, a pie or an arc from a start angle,
// with a centre text made from a format in which %p stands for the percent done.
class QRoundProgressBar : public QWidget
{
    Q_OBJECT
public:
    enum BarStyle { Ring = 0, Pie = 1, Arc = 2 };

    explicit QRoundProgressBar(QWidget *parent = nullptr);

    double getMinimum() const { return minimum; }
    double getMaximum() const { return maximum; }
    double getValue() const { return value; }
    int getRingStyle() const { return ringStyle; }
    QString getTextFormat() const { return textFormat; }
    int getDecimals() const { return decimals; }

    void setStartAngle(double angle);
    void setRingStyle(int style);
    void setOutlineWidth(double width);
    void setValuePenWidth(double width);
    void setTextFormat(QString format);
    void clearTextFormat();
    void setDecimals(int count);
    float innerRatio() const;
    void setInnerRatio(float ratio);
    void setValueColors(const QGradientStops &stops);

public slots:
    void setRange(double min, double max);
    void setMinimum(double min);
    void setMaximum(double max);
    void setValue(double val);
    void setValue(int val);

protected:
    void paintEvent(QPaintEvent *event) override;
    virtual void paintBackground(QPainter &p, const QRectF &baseRect);
    virtual void paintTrack(QPainter &p, const QRectF &baseRect, const QRectF &innerRect);
    virtual void paintValue(QPainter &p, const QRectF &baseRect, double value, double arcLength,
                            const QRectF &innerRect, double innerSize);
    virtual void innerGeometry(const QRectF &baseRect, double outerSize, QRectF &innerRect, double &innerSize);
    virtual void paintCenter(QPainter &p, const QRectF &innerRect);
    virtual void paintLabel(QPainter &p, const QRectF &innerRect, double innerSize, double value);

public:
    virtual QString formatValue(double v) const;

private:
    void rebuildBrush();

    double minimum = 0;
    double maximum = 100;
    double value = 25;
    float innerRatioValue = 0.75f;
    double startAngle = 90;
    int ringStyle = Ring;
    double outlineWidth = 1;
    double valuePenWidth = 1;
    QGradientStops valueColors;
    bool brushDirty = false;
    QString textFormat = QStringLiteral("%p%");
    int decimals = 1;
};

#endif
