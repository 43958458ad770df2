#include "filedialogs.h"

#include <QFileDialog>

namespace {

QStringList runFileDialog(QWidget *over, QFileDialog &dialog)
{
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    if (over) {
        const QWidget *window = over->window();
        dialog.resize(dialog.sizeHint());
        dialog.move(window->geometry().center() - dialog.rect().center());
    }
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles() : QStringList();
}

} // namespace

QStringList chooseOpenFiles(QWidget *over, const QString &title, const QString &folder, const QString &filter)
{
    QFileDialog dialog(nullptr, title, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return runFileDialog(over, dialog);
}

QString chooseSaveFile(QWidget *over, const QString &title, const QString &file, const QString &filter)
{
    QFileDialog dialog(nullptr, title, file, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return runFileDialog(over, dialog).value(0);
}
