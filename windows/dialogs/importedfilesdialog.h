#ifndef IMPORTEDFILESDIALOG_H
#define IMPORTEDFILESDIALOG_H

#include "importedfiles.h"

#include <QDialog>

class QPushButton;
class QTableWidget;

// The record of imported files as a sortable table, with the days missing
// between them; Remove asks to take out the records of the file chosen.
class ImportedFilesDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ImportedFilesDialog(QWidget *parent);
    void setFiles(const QList<ImportedFiles::Listed> &files);

signals:
    void removeAsked(const QString &name, qint64 records);

private:
    void addRow(const QStringList &cells, const QList<qint64> &numbers, bool gap);
    // The row of the file chosen; -1 where none is (or a row of days without a file).
    int chosenFileRow() const;

    QTableWidget *table;
    QPushButton *removeButton;
};

#endif
