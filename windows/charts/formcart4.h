#ifndef FORMCART4_H
#define FORMCART4_H

#include "chartpage.h"

namespace Ui {
class Formcart4;
}

class Formcart4 : public ChartPage
{
    Q_OBJECT
public:
    explicit Formcart4(QWidget *parent = nullptr);
    ~Formcart4() override;

signals:
    void SearchDb(bool qx, int pageid, QDateTime st, QDateTime en);

protected:
    void sendRequest(int pageid) override;

private:
    Ui::Formcart4 *ui;
};

#endif
