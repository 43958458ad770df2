#ifndef DIALOGCONFIG_H
#define DIALOGCONFIG_H

#include <QDialog>

namespace Ui {
class Dialogconfig;
}

// Edits the five display settings and stores them on OK.
class Dialogconfig : public QDialog
{
    Q_OBJECT
public:
    explicit Dialogconfig(QWidget *parent = nullptr);
    ~Dialogconfig() override;

    bool isChanged() const;

private slots:
    void on_pushButton_clicked();
    void on_pushButton_2_clicked();

private:
    // False, after telling the user, when a records-per-page field holds
    // nothing the pages can use; the field gets its stored value back.
    bool recordsPerPageUsable();

    Ui::Dialogconfig *ui;
    bool changed;
};

#endif
