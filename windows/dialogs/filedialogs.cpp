#include "filedialogs.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QPushButton>

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

constexpr int FolderChosen = 2;

} // namespace

QStringList chooseOpenFiles(QWidget *over, const QString &title, const QString &folder, const QString &filter)
{
    QFileDialog dialog(nullptr, title, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    return runFileDialog(over, dialog);
}

QString chooseFolder(QWidget *over, const QString &title, const QString &folder)
{
    QFileDialog dialog(nullptr, title, folder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly);
    const QString chosen = runFileDialog(over, dialog).value(0);
    return chosen.isEmpty() ? QString() : QDir(chosen).absolutePath();
}

QString chooseSaveFile(QWidget *over, const QString &title, const QString &file, const QString &filter)
{
    QFileDialog dialog(nullptr, title, file, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    return runFileDialog(over, dialog).value(0);
}

QStringList chooseFilesOrFolder(QWidget *over, const QString &title, const QString &folder, const QString &filter)
{
    QFileDialog dialog(nullptr, title, folder, filter);
    dialog.setFileMode(QFileDialog::ExistingFiles);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    auto *wholeFolder = new QPushButton(QCoreApplication::translate("FileDialogs", "Whole folder"), &dialog);
    wholeFolder->setObjectName(QStringLiteral("wholeFolderButton"));
    wholeFolder->setToolTip(QCoreApplication::translate("FileDialogs", "Takes every record file of the folder shown"));
    QObject::connect(wholeFolder, &QPushButton::clicked, &dialog, [&dialog] { static_cast<QDialog &>(dialog).done(FolderChosen); });
    if (auto *grid = qobject_cast<QGridLayout *>(dialog.layout()))
        grid->addWidget(wholeFolder, grid->rowCount(), 0, 1, grid->columnCount(), Qt::AlignLeft);
    const QStringList files = runFileDialog(over, dialog);
    return dialog.result() == FolderChosen ? QStringList{dialog.directory().absolutePath()} : files;
}
