#include "formcart5.h"
#include "ui_formcart5.h"

#include "sqlthread.h"

Formcart5::Formcart5(QWidget *parent) : ChartPage(5, parent), ui(new Ui::Formcart5)
{
    ui->setupUi(this);
    ChartPageWidgets widgets(ui);
    setUpPage(widgets);
    connect(this, &Formcart5::SearchDb, worker, &SQLThread::dn_Record_Cart5);
}

Formcart5::~Formcart5()
{
    delete ui;
}

void Formcart5::sendRequest(int pageid)
{
    emit SearchDb(false, pageid, asked.st, asked.en);
}
