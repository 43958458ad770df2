#include "formcart2.h"
#include "ui_formcart2.h"

#include "sqlthread.h"

Formcart2::Formcart2(QWidget *parent) : ChartPage(2, parent), ui(new Ui::Formcart2)
{
    ui->setupUi(this);
    ChartPageWidgets widgets(ui);
    widgets.tablechaddr = ui->tablechaddr;
    setUpPage(widgets);
    connect(this, &Formcart2::SearchDb, worker, &SQLThread::dn_Record_Cart2);
}

Formcart2::~Formcart2()
{
    delete ui;
}

void Formcart2::sendRequest(int pageid)
{
    emit SearchDb(false, pageid, asked.idx, asked.st, asked.en);
}
