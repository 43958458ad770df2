#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include "statements.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QMap>
#include <QStringList>
#include <QWidget>
#include <QtTest>
#include <functional>
#include <memory>

class ChartPage;
class DataTablePage;

namespace TestSupport {

// Removes whatever an earlier run, killed or not, left beside the executable,
// and writes the default settings file and an empty record.db.
void setUpFilesBeside();

// --- Dialogs ---
// Waits (from a timer, so the caller may block in exec()) for the next
// visible modal dialog of the class and hands it to `answer`.
void onNextModal(const char *className, std::function<void(QWidget *)> answer, int timeoutMs = 30000);
// The next DialogMessage: records its text and presses the named button.
void answerMessage(QString *text, const char *button = "push_ok");
// Answers the next file dialog with these files of one folder (none: Cancel);
// `then` runs right after the answer (to queue the next one).
void chooseFiles(const QString &folder, const QStringList &names, std::function<void()> then = {});
void saveAs(const QString &path);
void click(QWidget *parent, const char *objectName);
void closeModals();

// Holds every worker job at its first SQLite steps until released, so that a
// test can act while a job runs. The hook stays until the next setConnectionHook().
void holdWorkerJobs();
void releaseWorkerJobs();

// --- Files ---
void writeConfig(const QMap<QString, QString> &values = {});
QString readConfigFile();
// Replaces record.db with the empty template.
void freshDatabase();
// A folder with VNMETER.INI and record files, each a header and the lines.
QString writeRecordFolder(const QDir &root, const QString &name, const QString &modelLine,
                          const QMap<QString, QStringList> &files);
// A folder with VNMETER.INI and one record file of exactly these bytes; returns the file's path.
QString writeRawRecordFile(const QDir &root, const QString &name, const QByteArray &modelLine,
                           const QByteArray &content);
// Rows of a table as text, "|"-joined per row, in rowid order.
QStringList tableRows(const QString &table);
// The first value a statement reads from record.db.
QString databaseValue(const QString &statement);
// Imports through a worker on its own thread; returns every report as "text|value".
QStringList runImport(const QStringList &files);
QString samplesDir();

// --- The records every test generates ---
// Record k of a model is stamped Start + k minutes. Process values cycle
// through numbers with quarters and negatives, with "HH" and "LL" among them.
extern const QDateTime Start;
int familyOfModel(int model);
int meterOfModel(int model);
int modelOfFamily(int family); // the model each family is tested with
QStringList recordFields(int model, int k);
// The fields of record k that hold the channel's process value (and humidity).
QString pvField(int model, int k, int channel);
QString humidityField(int k);
// The records a table search selects, worked out from the generated fields.
QList<int> matchingRecords(int model, int count, const TableSearch &search);
// A folder with a record file of records first .. first + count - 1; returns the file's path.
QString recordFile(const QDir &root, int model, int count, int first = 0);
// A fresh record.db holding `count` records of the model; Meter is set by the import.
void importModel(const QDir &root, int model, int count);
// A value as the table shows it: the number, or the marker text.
QString shownValue(const QString &field);
// Record k as a data page's row `id` (and the export's line) shows it.
QString expectedRow(int model, int k, int id, int channel);

// --- Pages ---
QAction *action(QWidget &window, const char *name);
std::unique_ptr<DataTablePage> makeDataPage(int family);
std::unique_ptr<ChartPage> makeChartPage(int family);
void setWindow(QWidget *page, const QDateTime &st, const QDateTime &en);
// Fills the lower and upper fields of every range a data page has.
void setRanges(QWidget *page, const QString &low, const QString &high);
void pressChannel(QWidget *page, int row);
QString counter(QWidget *page);
// The rows of a data page's table, cells joined by ",".
QStringList shownRows(QWidget *page);

} // namespace TestSupport

// A test program's main: a fresh set of files beside it, then the tests.
#define SUNDREVALE_TEST_MAIN(TestObject)                                                                         \
    int main(int argc, char *argv[])                                                                             \
    {                                                                                                            \
        QApplication app(argc, argv);                                                                            \
        TestSupport::setUpFilesBeside();                                                                         \
        TestObject test;                                                                                         \
        return QTest::qExec(&test, argc, argv);                                                                  \
    }

#endif
