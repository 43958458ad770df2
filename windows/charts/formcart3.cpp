#include "formcart3.h"
#include "ui_formcart3.h"

#include "sqlthread.h"

Formcart3::Formcart3(QWidget *parent) : ChartPage(3, parent), ui(new Ui::Formcart3)
{
    ui->setupUi(this);
    ChartPageWidgets widgets(ui);
    setUpPage(widgets);
    connect(this, &Formcart3::SearchDb, worker, &SQLThread::dn_Record_Cart3);
}

Formcart3::~Formcart3()
{
    delete ui;
}

void Formcart3::sendRequest(int pageid)
{
    emit SearchDb(false, pageid, asked.st, asked.en);
}
