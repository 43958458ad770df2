#ifndef FORMDATA2_H
#define FORMDATA2_H

#include "datatablepage.h"

namespace Ui {
class Formdata2;
}

class Formdata2 : public DataTablePage
{
    Q_OBJECT
public:
    explicit Formdata2(QWidget *parent = nullptr);
    ~Formdata2() override;

signals:
    void SearchDb(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formdata2 *ui;
};

#endif
