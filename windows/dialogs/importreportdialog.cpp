#include "importreportdialog.h"

#include "filedialogs.h"
#include "userstate.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QTableWidgetItem *cell(const QString &text, bool number = false)
{
    auto *item = new QTableWidgetItem(text);
    item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
    if (number)
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return item;
}

} // namespace

ImportReportDialog::ImportReportDialog(const ImportReport &report, QWidget *parent)
    : QDialog(parent), report(report)
{
    setObjectName(QStringLiteral("importReport"));
    setWindowTitle(tr("Import report"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto *layout = new QVBoxLayout(this);
    auto *headline = new QLabel(report.headline(), this);
    headline->setObjectName(QStringLiteral("reportHeadline"));
    layout->addWidget(headline);

    auto *table = new QTableWidget(int(report.files.size()), 6, this);
    table->setObjectName(QStringLiteral("reportTable"));
    table->setHorizontalHeaderLabels({tr("File"), tr("Outcome"), tr("Records stored"), tr("Lines read"),
                                      tr("Lines skipped"), tr("Why skipped (first lines)")});
    for (int row = 0; row < report.files.size(); ++row) {
        const FileReport &file = report.files.at(row);
        table->setItem(row, 0, cell(file.name()));
        table->item(row, 0)->setToolTip(QDir::toNativeSeparators(file.path));
        table->setItem(row, 1, cell(outcomeText(file)));
        table->setItem(row, 2, cell(QString::number(file.records), true));
        table->setItem(row, 3, cell(QString::number(file.lines.read), true));
        table->setItem(row, 4, cell(QString::number(file.lines.skippedLines()), true));
        table->setItem(row, 5, cell(file.lines.skippedLines() ? skippedText(file.lines) : QString()));
    }
    table->verticalHeader()->hide();
    table->horizontalHeader()->setStretchLastSection(true);
    table->resizeColumnsToContents();
    layout->addWidget(table);

    status = new QLabel(this);
    status->setObjectName(QStringLiteral("reportStatus"));
    status->setWordWrap(true);
    status->hide(); // until the report is saved
    layout->addWidget(status);
    auto *buttons = new QDialogButtonBox(this);
    QPushButton *saveButton = buttons->addButton(tr("Save as text..."), QDialogButtonBox::ActionRole);
    saveButton->setObjectName(QStringLiteral("saveReportButton"));
    QPushButton *close = buttons->addButton(QDialogButtonBox::Close);
    close->setObjectName(QStringLiteral("closeReportButton"));
    connect(saveButton, &QPushButton::clicked, this, &ImportReportDialog::save);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(860, 360);
}

void ImportReportDialog::save()
{
    const QString folder = UserState::importFolder();
    const QString path = chooseSaveFile(this, tr("Save the import report"),
                                        QDir(folder.isEmpty() ? QDir::homePath() : folder).filePath(
                                            QStringLiteral("import-report.txt")),
                                        tr("Text (*.txt)"));
    if (!path.isEmpty())
        saveTo(path);
}

bool ImportReportDialog::saveTo(const QString &path)
{
    QSaveFile file(path);
    const bool saved = file.open(QIODevice::WriteOnly | QIODevice::Text) && file.write(report.text().toUtf8()) >= 0
        && file.commit();
    status->show();
    status->setText(saved ? tr("Saved as %1.").arg(QDir::toNativeSeparators(path))
                          : tr("The report could not be saved as %1: %2")
                                .arg(QDir::toNativeSeparators(path), file.errorString()));
    return saved;
}
