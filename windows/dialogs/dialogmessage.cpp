#include "dialogmessage.h"
#include "ui_dialogmessage.h"

#include <QDebug>
#include <QFontMetrics>

namespace {

// How wide a message grows before its lines wrap: a sentence with a path fits.
constexpr int MostTextWidth = 640;

} // namespace

DialogMessage::DialogMessage(QWidget *parent) : QDialog(parent), ui(new Ui::DialogMessage)
{
    ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
}

DialogMessage::~DialogMessage()
{
    delete ui;
    qDebug() << "自定义对话框关闭";
}

void DialogMessage::setMessage(const QString &text, const QString &okText, bool okOnly, int kind)
{
    ui->label->setText(text);
    // A line that fits stays whole: wrapped, a path would break after its first "/".
    ui->label->ensurePolished();
    int widest = 0;
    for (const QString &line : text.split(QLatin1Char('\n')))
        widest = qMax(widest, ui->label->fontMetrics().horizontalAdvance(line));
    const int around = ui->label->width() - ui->label->contentsRect().width() + 2 * ui->label->margin();
    ui->label->setMinimumWidth(qMin(widest + around + 24, MostTextWidth));
    ui->push_ok->setText(okText);
    ui->push_cancel->setVisible(!okOnly);
    ui->label_2->setPixmap(QPixmap(tr(":/images/dia_%1.png").arg(kind)));
}

bool DialogMessage::isOk() const
{
    return answer;
}

QString DialogMessage::text() const
{
    return ui->label->text();
}

void DialogMessage::reject()
{
    answer = false;
    QDialog::reject();
}

void DialogMessage::on_push_ok_clicked()
{
    answer = true;
    accept(); // closing would count as a rejection
}

void DialogMessage::on_push_cancel_clicked()
{
    reject();
}
