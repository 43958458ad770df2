#include "formdata1.h"
#include "ui_formdata1.h"

#include "sqlthread.h"

Formdata1::Formdata1(QWidget *parent) : DataTablePage(1, parent), ui(new Ui::Formdata1)
{
    ui->setupUi(this);
    DataPageWidgets widgets(ui);
    widgets.tablechaddr = ui->tablechaddr;
    setUpPage(widgets);
    connect(this, &Formdata1::SearchDb, worker, &SQLThread::dn_Record_Search1);
}

Formdata1::~Formdata1()
{
    delete ui;
}

void Formdata1::sendRequest(int pageid)
{
    emit SearchDb(pageid, asked.idx, asked.st, asked.en, asked.pv1, asked.pv2, asked.ishl);
}
