#ifndef DIALOGPROGRESS_H
#define DIALOGPROGRESS_H

#include <QDialog>

namespace Ui {
class DialogProgress;
}

// Shown modally while a worker job runs; the job's final value closes it.
class DialogProgress : public QDialog
{
    Q_OBJECT
public:
    explicit DialogProgress(QWidget *parent = nullptr);
    ~DialogProgress() override;

    void setValue(int v);
    void setText(QString text);
    void setRange(int minimum, int maximum);
    QString text() const;
    int currentValue() const { return value; }
    int turningValue() const { return spinCount; }
    bool isTurning() const { return timerId != -1; }

signals:
    void canceled();
    void finished();

protected:
    void timerEvent(QTimerEvent *event) override;

private:
    Ui::DialogProgress *ui;
    int maximum;
    int minimum;
    int value;
    int timerId;
    int spinCount;
};

#endif
