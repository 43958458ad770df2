#include "formcart1.h"
#include "ui_formcart1.h"

#include "sqlthread.h"

Formcart1::Formcart1(QWidget *parent) : ChartPage(1, parent), ui(new Ui::Formcart1)
{
    ui->setupUi(this);
    ChartPageWidgets widgets(ui);
    widgets.tablechaddr = ui->tablechaddr;
    setUpPage(widgets);
    connect(this, &Formcart1::SearchDb, worker, &SQLThread::dn_Record_Cart1);
}

Formcart1::~Formcart1()
{
    delete ui;
}

void Formcart1::sendRequest(int pageid)
{
    emit SearchDb(false, pageid, asked.idx, asked.st, asked.en);
}
