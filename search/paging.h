#ifndef PAGING_H
#define PAGING_H

class QObject;
class QThread;
class SQLThread;

// Paging shared by the data-table and chart pages.
enum class PageTurn { First, Previous, Next, Last };

int pageCountFor(int records, int perPage);
// The page a paging button turns to, or -1 when it has nothing to do there.
int turnedPage(PageTurn turn, int curPage, int pages);

// Moves `worker` onto a new thread owned by `owner` and starts it.
QThread *startWorkerThread(QObject *owner, SQLThread *worker);
// Stops the thread (waiting for a running job) and frees its worker.
void stopWorkerThread(QThread *thread, SQLThread *worker);

#endif
