#ifndef FORMDATA4_H
#define FORMDATA4_H

#include "datatablepage.h"

namespace Ui {
class Formdata4;
}

class Formdata4 : public DataTablePage
{
    Q_OBJECT
public:
    explicit Formdata4(QWidget *parent = nullptr);
    ~Formdata4() override;

signals:
    void SearchDb(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, double th1, double th2, bool ishl);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formdata4 *ui;
};

#endif
