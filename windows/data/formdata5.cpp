#include "formdata5.h"
#include "ui_formdata5.h"

#include "sqlthread.h"

Formdata5::Formdata5(QWidget *parent) : DataTablePage(5, parent), ui(new Ui::Formdata5)
{
    ui->setupUi(this);
    DataPageWidgets widgets(ui);
    setUpPage(widgets);
    connect(this, &Formdata5::SearchDb, worker, &SQLThread::dn_Record_Search5);
}

Formdata5::~Formdata5()
{
    delete ui;
}

void Formdata5::sendRequest(int pageid)
{
    emit SearchDb(pageid, asked.st, asked.en, asked.pv1, asked.pv2, asked.ishl);
}
