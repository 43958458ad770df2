#ifndef FORMDATA1_H
#define FORMDATA1_H

#include "datatablepage.h"

namespace Ui {
class Formdata1;
}

class Formdata1 : public DataTablePage
{
    Q_OBJECT
public:
    explicit Formdata1(QWidget *parent = nullptr);
    ~Formdata1() override;

signals:
    void SearchDb(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formdata1 *ui;
};

#endif
