#include "dialogprogress.h"
#include "ui_dialogprogress.h"

#include <QTimerEvent>

DialogProgress::DialogProgress(QWidget *parent)
    : QDialog(parent), ui(new Ui::DialogProgress), maximum(100), minimum(0)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    ui->pogress1->setDecimals(0);
    ui->pogress1->setRange(0, 100);
    ui->pogress1->setValue(0);
    ui->pogress1->setBackgroundRole(QPalette::Window);
    ui->pogress2->setRingStyle(QRoundProgressBar::Pie);
    ui->pogress2->clearTextFormat();
    ui->pogress2->setValue(0);
    value = 0;
    timerId = -1;
    spinCount = 0;
}

DialogProgress::~DialogProgress()
{
    delete ui;
}

void DialogProgress::setValue(int v)
{
    v = v > maximum ? maximum : (v < minimum ? minimum : v);
    ui->pogress1->setValue(v);
    value = v;
    if (v == maximum) {
        if (timerId != -1)
            killTimer(timerId);
        timerId = -1;
        emit finished();
        close();
    } else if (timerId == -1) {
        timerId = startTimer(50);
        spinCount = 0;
    }
}

void DialogProgress::setText(QString text)
{
    ui->label->setText(text);
}

QString DialogProgress::text() const
{
    return ui->label->text();
}

void DialogProgress::setRange(int minimum, int maximum)
{
    this->minimum = minimum;
    this->maximum = maximum;
    ui->pogress1->setRange(minimum, maximum);
}

void DialogProgress::timerEvent(QTimerEvent *event)
{
    if (event->timerId() != timerId)
        return QDialog::timerEvent(event);
    spinCount = spinCount > 100 ? 0 : spinCount + 1;
    ui->pogress2->setValue(spinCount);
}
