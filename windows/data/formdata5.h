#ifndef FORMDATA5_H
#define FORMDATA5_H

#include "datatablepage.h"

namespace Ui {
class Formdata5;
}

class Formdata5 : public DataTablePage
{
    Q_OBJECT
public:
    explicit Formdata5(QWidget *parent = nullptr);
    ~Formdata5() override;

signals:
    void SearchDb(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formdata5 *ui;
};

#endif
