#include "dialogprogress.h"
#include "ui_dialogprogress.h"

#include <QCloseEvent>
#include <QPointer>
#include <QTimerEvent>

namespace {
QPointer<DialogProgress> g_running;
}

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
    // One-pixel pens for the track and the value: the bars are only 90 px wide.
    for (QRoundProgressBar *bar : {ui->pogress1, ui->pogress2}) {
        bar->setOutlineWidth(1);
        bar->setValuePenWidth(1);
    }
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
        running = false;
        cancelling = false;
        if (g_running == this)
            g_running = nullptr;
        emit finished();
        close();
    } else if (timerId == -1) {
        timerId = startTimer(50);
        spinCount = 0;
    }
}

void DialogProgress::setText(QString text)
{
    // The job's own texts would hide that it has been asked to stop.
    if (!cancelling)
        ui->label->setText(text);
}

void DialogProgress::requestCancel()
{
    if (!running || cancelling)
        return;
    ui->label->setText(tr("Cancelling..."));
    cancelling = true;
    emit canceled();
}

DialogProgress *DialogProgress::runningDialog()
{
    return g_running;
}

void DialogProgress::reject()
{
    if (running)
        requestCancel();
    else
        QDialog::reject();
}

void DialogProgress::showEvent(QShowEvent *event)
{
    running = true;
    cancelling = false;
    g_running = this;
    QDialog::showEvent(event);
}

void DialogProgress::closeEvent(QCloseEvent *event)
{
    if (running) {
        event->ignore();
        requestCancel();
        return;
    }
    QDialog::closeEvent(event);
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
