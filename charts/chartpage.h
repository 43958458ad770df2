#ifndef CHARTPAGE_H
#define CHARTPAGE_H

#include <QDateTime>
#include <QWidget>

struct MeterFamily;
class DialogMessage;
class DialogProgress;
class SQLThread;
class QCustomPlot;
class QDateTimeEdit;
class QLabel;
class QMouseEvent;
class QPushButton;
class QRadioButton;
class QStackedWidget;
class QTableWidget;
class QThread;

// The widgets of a chart form that the shared logic drives.
struct ChartPageWidgets {
    QDateTimeEdit *dateTimeEdit1 = nullptr;
    QDateTimeEdit *dateTimeEdit2 = nullptr;
    QTableWidget *tablechaddr = nullptr;  // families with channels only
    QRadioButton *radioButton = nullptr;  // "Temperature" of the humidity meter
    QCustomPlot *plot = nullptr;
    QStackedWidget *stackedWidget = nullptr;
    QWidget *widget_page = nullptr;
    QLabel *page_label = nullptr;
};

template <class Form>
ChartPageWidgets chartPageWidgets(Form *ui)
{
    ChartPageWidgets w;
    w.dateTimeEdit1 = ui->dateTimeEdit1;
    w.dateTimeEdit2 = ui->dateTimeEdit2;
    w.plot = ui->plot;
    w.stackedWidget = ui->stackedWidget;
    w.widget_page = ui->widget_page;
    w.page_label = ui->page_label;
    return w;
}

// A chart page: a time window (and a channel) on the left, one page of
// PlotRcd records drawn on the right. FormcartN builds its form and sends
// its family's request; everything else is shared here.
class ChartPage : public QWidget
{
    Q_OBJECT
public:
    ~ChartPage() override;

    int pageCount() const { return pages; }
    int currentPage() const { return curPage; }
    int recordCount() const { return records; }
    QCustomPlot *chart() const { return w.plot; }

signals:
    void pmessagebox(QString str);

private slots:
    void on_pushButton_clicked();
    void dn_ThreadFinsh();
    void dn_GetProgress(QString str, int value);
    void dn_Select(int row);
    void dn_cell(int row);
    void on_page_home_clicked();
    void on_page_up_clicked();
    void on_page_down_clicked();
    void on_page_end_clicked();
    void saveImage();
    void showReadout(QMouseEvent *event);

protected:
    ChartPage(int familyNumber, QWidget *parent);
    void setUpPage(const ChartPageWidgets &widgets);
    virtual void requestChart(int pageid, const QDateTime &st, const QDateTime &en) = 0;

    DialogProgress *progress;
    DialogMessage *msgbox;
    int chIndex = -1;
    int pages = 0;
    int curPage = 0;
    int records = 0;
    SQLThread *worker;
    QThread *thread;

private:
    void setUpChart();
    void showPage(int pageid);
    void showMessage(const QString &text, int kind);

    const MeterFamily &family;
    ChartPageWidgets w;
    QPushButton *imageButton = nullptr;
};

// The readout text of the drawn point nearest to `key` ("" when none is drawn).
QString chartReadout(QCustomPlot *plot, double key);

#endif
