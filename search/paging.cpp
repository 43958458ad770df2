#include "paging.h"

#include "sqlthread.h"

#include <QThread>

int pageCountFor(int records, int perPage)
{
    int pages = records / perPage;
    if (records > pages * perPage)
        ++pages;
    return pages;
}

int turnedPage(PageTurn turn, int curPage, int pages)
{
    switch (turn) {
    case PageTurn::First: return curPage != 0 ? 0 : -1;
    case PageTurn::Previous: return curPage > 0 ? curPage - 1 : -1;
    case PageTurn::Next: return curPage < pages - 1 ? curPage + 1 : -1;
    case PageTurn::Last: return curPage != pages - 1 ? pages - 1 : -1;
    }
    return -1;
}

QThread *startWorkerThread(QObject *owner, SQLThread *worker)
{
    auto *thread = new QThread(owner);
    worker->moveToThread(thread);
    thread->start(QThread::InheritPriority);
    return thread;
}

void stopWorkerThread(QThread *thread, SQLThread *worker)
{
    thread->quit();
    thread->wait();
    delete worker;
}
