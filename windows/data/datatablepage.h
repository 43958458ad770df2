#ifndef DATATABLEPAGE_H
#define DATATABLEPAGE_H

#include "recordpage.h"

#include <QDateTime>
#include <QList>


struct RecordRow;
class QCheckBox;
class QDateTimeEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QStackedWidget;
class QTableWidget;

// The widgets of a data-table form that the shared logic drives.
struct DataPageWidgets : PageWidgets {
    QCheckBox *checkBox = nullptr;
    QList<QLineEdit *> rangeEdits;  // lower, upper; then humidity lower, upper
    QList<QWidget *> rangeWidgets;  // hidden in HH/LL mode
    QTableWidget *tabled = nullptr;

    DataPageWidgets() = default;
    template<class Form>
    explicit DataPageWidgets(Form *ui)
        : checkBox(ui->checkBox), rangeEdits{ui->txtpv1, ui->txtpv2},
          rangeWidgets{ui->label_3, ui->txtpv1, ui->label_4, ui->txtpv2}, tabled(ui->tabled)
    {
        bind(ui);
    }
};

// A data-table page: criteria on the left, a paged result table on the
// right. The family's description decides columns, filters and checks;
// each FormdataN only builds its form and sends its family's request.
class DataTablePage : public RecordPage
{
    Q_OBJECT
public:
    ~DataTablePage() override;

signals:
    void ExportDb(int family, int idx, QDateTime st, QDateTime en, double pv1, double pv2, double th1, double th2,
                  bool ishl, int total, QString path);

private slots:
    void on_checkBox_stateChanged(int arg1);
    void on_pushButton_clicked();
    void exportRecords();

protected:
    DataTablePage(int familyNumber, QWidget *parent);
    void setUpPage(const DataPageWidgets &widgets);

private:
    void setUpResultTable();
    void showPage() override;
    int pageSize() const override;
    void showRecord(int row, const QDateTime &time) override;
    void fillRow(int row, const RecordRow &record);
    bool checkCriteria();

    DataPageWidgets w;
    QPushButton *exportButton = nullptr;
};

#endif
