#include "formdata4.h"
#include "ui_formdata4.h"

#include "sqlthread.h"

Formdata4::Formdata4(QWidget *parent) : DataTablePage(4, parent), ui(new Ui::Formdata4)
{
    ui->setupUi(this);
    DataPageWidgets widgets(ui);
    widgets.rangeEdits << ui->txthh1 << ui->txthh2;
    widgets.rangeWidgets << ui->label_5 << ui->label_6 << ui->label_8 << ui->txthh1 << ui->label_7
                         << ui->txthh2;
    setUpPage(widgets);
    connect(this, &Formdata4::SearchDb, worker, &SQLThread::dn_Record_Search4);
}

Formdata4::~Formdata4()
{
    delete ui;
}

void Formdata4::sendRequest(int pageid)
{
    emit SearchDb(pageid, asked.st, asked.en, asked.pv1, asked.pv2, asked.th1, asked.th2, asked.ishl);
}
