#ifndef IMPORTREPORTDIALOG_H
#define IMPORTREPORTDIALOG_H

#include "importreport.h"

#include <QDialog>

class QLabel;
class QTableWidget;

// Lists what an import or an addition did with each record file: added,
// replaced or skipped, the records stored and the lines skipped with their
// reason; the report can be saved as text. It does not block the window.
class ImportReportDialog : public QDialog
{
    Q_OBJECT
public:
    explicit ImportReportDialog(const ImportReport &report, QWidget *parent = nullptr);

    // Writes the report as text; false, with the reason shown, when it could not be written.
    bool saveTo(const QString &path);

private:
    void save();

    ImportReport report;
    QLabel *status;
};

#endif
