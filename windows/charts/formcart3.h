#ifndef FORMCART3_H
#define FORMCART3_H

#include "chartpage.h"

namespace Ui {
class Formcart3;
}

class Formcart3 : public ChartPage
{
    Q_OBJECT
public:
    explicit Formcart3(QWidget *parent = nullptr);
    ~Formcart3() override;

signals:
    void SearchDb(bool qx, int pageid, QDateTime st, QDateTime en);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formcart3 *ui;
};

#endif
