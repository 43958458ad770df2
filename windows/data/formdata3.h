#ifndef FORMDATA3_H
#define FORMDATA3_H

#include "datatablepage.h"

namespace Ui {
class Formdata3;
}

class Formdata3 : public DataTablePage
{
    Q_OBJECT
public:
    explicit Formdata3(QWidget *parent = nullptr);
    ~Formdata3() override;

signals:
    void SearchDb(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formdata3 *ui;
};

#endif
