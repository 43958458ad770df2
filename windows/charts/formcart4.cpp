#include "formcart4.h"
#include "ui_formcart4.h"

#include "sqlthread.h"

Formcart4::Formcart4(QWidget *parent) : ChartPage(4, parent), ui(new Ui::Formcart4)
{
    ui->setupUi(this);
    ChartPageWidgets widgets(ui);
    widgets.radioButton = ui->radioButton;
    setUpPage(widgets);
    connect(this, &Formcart4::SearchDb, worker, &SQLThread::dn_Record_Cart4);
}

Formcart4::~Formcart4()
{
    delete ui;
}

void Formcart4::sendRequest(int pageid)
{
    emit SearchDb(false, pageid, asked.st, asked.en);
}
