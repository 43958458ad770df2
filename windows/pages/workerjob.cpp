#include "workerjob.h"

#include "dialogprogress.h"
#include "sqlthread.h"

#include <QThread>

QThread *startWorkerThread(QObject *owner, SQLThread *worker)
{
    auto *thread = new QThread(owner);
    worker->moveToThread(thread);
    thread->start(QThread::InheritPriority);
    return thread;
}

void stopWorkerThread(QThread *thread, SQLThread *worker)
{
    worker->cancel();
    thread->quit();
    thread->wait();
    delete worker;
}

void connectCancel(DialogProgress *progress, SQLThread *worker)
{
    QObject::connect(progress, &DialogProgress::canceled, progress, [worker] { worker->cancel(); });
}

JobOutcome runJob(SQLThread *worker, DialogProgress *progress, const std::function<void()> &request)
{
    worker->clearCancel();
    request();
    progress->exec();
    if (progress->isRunning()) {
        worker->cancel();
        return {JobOutcome::Cancelled, QString()};
    }
    return worker->outcome();
}
