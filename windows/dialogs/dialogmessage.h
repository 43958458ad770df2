#ifndef DIALOGMESSAGE_H
#define DIALOGMESSAGE_H

#include <QDialog>

namespace Ui {
class DialogMessage;
}

// The program's message box: icon, wrapped text, OK and optional Cancel.
class DialogMessage : public QDialog
{
    Q_OBJECT
public:
    explicit DialogMessage(QWidget *parent = nullptr);
    ~DialogMessage() override;

    void setMessage(const QString &text, const QString &okText, bool okOnly, int kind);
    bool isOk() const;
    QString text() const;

public slots:
    void reject() override;

private slots:
    void on_push_cancel_clicked();
    void on_push_ok_clicked();

private:
    Ui::DialogMessage *ui;
    bool answer = false; // Escape and closing the window count as Cancel
};

#endif
