#ifndef FORMCART5_H
#define FORMCART5_H

#include "chartpage.h"

namespace Ui {
class Formcart5;
}

class Formcart5 : public ChartPage
{
    Q_OBJECT
public:
    explicit Formcart5(QWidget *parent = nullptr);
    ~Formcart5() override;

signals:
    void SearchDb(bool qx, int pageid, QDateTime st, QDateTime en);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formcart5 *ui;
};

#endif
