#ifndef PAGING_H
#define PAGING_H

// Paging shared by the data-table and chart pages.
enum class PageTurn { First, Previous, Next, Last };

int pageCountFor(int records, int perPage);
// The page a paging button turns to, or -1 when it has nothing to do there.
int turnedPage(PageTurn turn, int curPage, int pages);

#endif
