#include "paging.h"

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
