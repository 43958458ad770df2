#include "formdata3.h"
#include "ui_formdata3.h"

#include "sqlthread.h"

Formdata3::Formdata3(QWidget *parent) : DataTablePage(3, parent), ui(new Ui::Formdata3)
{
    ui->setupUi(this);
    DataPageWidgets widgets(ui);
    setUpPage(widgets);
    connect(this, &Formdata3::SearchDb, worker, &SQLThread::dn_Record_Search3);
}

Formdata3::~Formdata3()
{
    delete ui;
}

void Formdata3::sendRequest(int pageid)
{
    emit SearchDb(pageid, asked.st, asked.en, asked.pv1, asked.pv2, asked.ishl);
}
