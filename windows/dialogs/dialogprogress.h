#ifndef DIALOGPROGRESS_H
#define DIALOGPROGRESS_H

#include <QDialog>

namespace Ui {
class DialogProgress;
}

// Shown modally while a worker job runs; only the job's final value closes
// it. Escape or a close request while the job runs asks the job to stop
// (canceled()) and shows "Cancelling..." until that final value comes.
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
    // Between being shown and the final value.
    bool isRunning() const { return running; }
    bool isCancelling() const { return cancelling; }
    // Asks the running job to stop.
    void requestCancel();
    // The dialog of the job that runs now, if any: one job runs at a time.
    static DialogProgress *runningDialog();

public slots:
    void reject() override;

signals:
    void canceled();
    void finished();

protected:
    void timerEvent(QTimerEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    Ui::DialogProgress *ui;
    int maximum;
    int minimum;
    int value;
    int timerId;
    int spinCount;
    bool running = false;
    bool cancelling = false;
};

#endif
