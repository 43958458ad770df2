#ifndef FORMCART2_H
#define FORMCART2_H

#include "chartpage.h"

namespace Ui {
class Formcart2;
}

class Formcart2 : public ChartPage
{
    Q_OBJECT
public:
    explicit Formcart2(QWidget *parent = nullptr);
    ~Formcart2() override;

signals:
    void SearchDb(bool qx, int pageid, int idx, QDateTime st, QDateTime en);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formcart2 *ui;
};

#endif
