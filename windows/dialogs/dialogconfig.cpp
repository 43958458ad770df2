#include "dialogconfig.h"
#include "ui_dialogconfig.h"

#include "dialogmessage.h"
#include "settings.h"

#include <QIntValidator>
#include <QRegularExpressionValidator>

namespace {

constexpr int MaxRecordsPerPage = 100000;

// QIntValidator lets a number above its top stand as "intermediate" while
// typing; here such a keystroke is refused, so 51 never reaches the tick field.
class CappedIntValidator : public QIntValidator
{
public:
    CappedIntValidator(int bottom, int top, QObject *parent) : QIntValidator(bottom, top, parent) {}

    State validate(QString &input, int &pos) const override
    {
        const State state = QIntValidator::validate(input, pos);
        bool ok = false;
        const qlonglong value = input.toLongLong(&ok);
        if (state == Intermediate && ok && value > top())
            return Invalid;
        return state;
    }
};

} // namespace

Dialogconfig::Dialogconfig(QWidget *parent) : QDialog(parent), ui(new Ui::Dialogconfig)
{
    ui->setupUi(this);
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);

    auto *records = new CappedIntValidator(0, MaxRecordsPerPage, this);
    ui->line_plotrcd->setValidator(records);
    ui->line_pagercd->setValidator(records);
    ui->line_Tickcount->setValidator(new CappedIntValidator(5, 50, this));
    ui->line_YStep->setValidator(new QRegularExpressionValidator(
        QRegularExpression(QStringLiteral("^([0]|[1-9][0-9]{0,2})(?:\\.\\d{1,3})?$|(^\\t?$)")), this));

    ui->line_pagercd->setText(QString::number(PageRcd));
    ui->line_plotrcd->setText(QString::number(PlotRcd));
    ui->line_YStep->setText(QString::number(YStep, 'g', 6));
    ui->line_Tickcount->setText(QString::number(Tickcount));
    ui->checkBox->setChecked(LockY);
    changed = false;
}

Dialogconfig::~Dialogconfig()
{
    delete ui;
}

bool Dialogconfig::isChanged() const
{
    return changed;
}

bool Dialogconfig::recordsPerPageUsable()
{
    struct Field {
        QLineEdit *edit;
        QLabel *label;
        int stored;
    };
    const Field fields[] = {{ui->line_pagercd, ui->label_2, PageRcd}, {ui->line_plotrcd, ui->label, PlotRcd}};
    for (const auto &[field, label, stored] : fields) {
        if (field->text().toInt(nullptr, 10) >= 1)
            continue;
        // Named as its label names it, so the user knows which of the two is meant.
        QString name = label->text().trimmed();
        name.chop(name.endsWith(QLatin1Char(':')) ? 1 : 0);
        DialogMessage message(this);
        message.setMessage(tr("%1 must be between 1 and %2.").arg(name).arg(MaxRecordsPerPage), tr("Close"), true, 3);
        message.exec();
        field->setText(QString::number(stored));
        field->setFocus();
        return false;
    }
    return true;
}

void Dialogconfig::on_pushButton_2_clicked()
{
    if (!recordsPerPageUsable())
        return;
    YStep = ui->line_YStep->text().toDouble();
    writeSetting(QStringLiteral("YStep"), ui->line_YStep->text());
    Tickcount = ui->line_Tickcount->text().toInt(nullptr, 10);
    PageRcd = ui->line_pagercd->text().toInt(nullptr, 10);
    PlotRcd = ui->line_plotrcd->text().toInt(nullptr, 10);
    LockY = ui->checkBox->isChecked();
    writeSetting(QStringLiteral("Tickcount"), ui->line_Tickcount->text());
    writeSetting(QStringLiteral("PageRcd"), ui->line_pagercd->text());
    writeSetting(QStringLiteral("PlotRcd"), ui->line_plotrcd->text());
    writeSetting(QStringLiteral("LockY"), LockY ? QStringLiteral("1") : QStringLiteral("0"));
    changed = true;
    close();
}

void Dialogconfig::on_pushButton_clicked()
{
    changed = false;
    close();
}
