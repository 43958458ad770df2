#ifndef FORMCART1_H
#define FORMCART1_H

#include "chartpage.h"

namespace Ui {
class Formcart1;
}

class Formcart1 : public ChartPage
{
    Q_OBJECT
public:
    explicit Formcart1(QWidget *parent = nullptr);
    ~Formcart1() override;

signals:
    void SearchDb(bool qx, int pageid, int idx, QDateTime st, QDateTime en);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formcart1 *ui;
};

#endif
