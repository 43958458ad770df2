#ifndef RECORDPAGE_H
#define RECORDPAGE_H

#include "paging.h"

#include <QWidget>

struct MeterFamily;
class DialogMessage;
class DialogProgress;
class QDateTimeEdit;
class QTableWidget;
class QThread;
class SQLThread;

// What the data-table and chart pages share: the worker on its own thread,
// the progress and message dialogs, the channel table and the paging.
class RecordPage : public QWidget
{
    Q_OBJECT
public:
    ~RecordPage() override;

    int pageCount() const { return pages; }
    int currentPage() const { return curPage; }
    int recordCount() const { return records; }

signals:
    void pmessagebox(QString str);

private slots:
    void dn_Select(int row);
    void dn_cell(int row);
    void dn_ThreadFinsh();
    void dn_GetProgress(QString str, int value);
    void on_page_home_clicked();
    void on_page_up_clicked();
    void on_page_down_clicked();
    void on_page_end_clicked();

protected:
    RecordPage(int familyNumber, QWidget *parent);
    // Channel table (families with channels), date edits, worker and dialogs.
    void setUpRecordPage(QTableWidget *channels, QDateTimeEdit *from, QDateTimeEdit *to);
    virtual void showPage(int pageid) = 0;
    void showMessage(const QString &text, int kind);

    const MeterFamily &family;
    int pages = 0;
    int curPage = 0;
    int records = 0;
    int chIndex = -1;
    bool traceProgress = false;
    SQLThread *worker = nullptr;
    QThread *thread = nullptr;
    DialogProgress *progress = nullptr;
    DialogMessage *msgbox = nullptr;

private:
    void turnPage(PageTurn turn);

    QTableWidget *channelTable = nullptr;
};

#endif
