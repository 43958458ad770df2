#include "formdata2.h"
#include "ui_formdata2.h"

#include "sqlthread.h"

Formdata2::Formdata2(QWidget *parent) : DataTablePage(2, parent), ui(new Ui::Formdata2)
{
    ui->setupUi(this);
    DataPageWidgets widgets(ui);
    widgets.tablechaddr = ui->tablechaddr;
    setUpPage(widgets);
    connect(this, &Formdata2::SearchDb, worker, &SQLThread::dn_Record_Search2);
}

Formdata2::~Formdata2()
{
    delete ui;
}

void Formdata2::sendRequest(int pageid)
{
    emit SearchDb(pageid, asked.idx, asked.st, asked.en, asked.pv1, asked.pv2, asked.ishl);
}
