#ifndef WORKERJOB_H
#define WORKERJOB_H

#include "joboutcome.h"

#include <functional>

class DialogProgress;
class QObject;
class QThread;
class SQLThread;

// Moves `worker` onto a new thread owned by `owner` and starts it.
QThread *startWorkerThread(QObject *owner, SQLThread *worker);
// Cancels a running job, stops the thread (waiting for the job to end) and
// frees its worker.
void stopWorkerThread(QThread *thread, SQLThread *worker);

// Lets the progress dialog's cancel request reach the worker at once, from
// the GUI thread (the worker's own thread is busy with the job).
void connectCancel(DialogProgress *progress, SQLThread *worker);

// Runs one job: `request` emits it, the progress dialog stays up until the
// job's final report, and the job's outcome comes back. Should the dialog's
// loop end early (the application quits), the job is cancelled and counts
// as such; its results are not to be read.
JobOutcome runJob(SQLThread *worker, DialogProgress *progress, const std::function<void()> &request);

#endif
