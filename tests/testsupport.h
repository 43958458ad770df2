#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include "chartpage.h"
#include "datatablepage.h"
#include "mainwindow.h"
#include "settings.h"
#include "statements.h"

#include <QApplication>
#include <QDir>
#include <QMap>
#include <QtTest>
#include <functional>
#include <memory>

namespace TestSupport {

// Clears what an earlier run, killed or not, left beside the executable:
// default settings, an empty record.db, no remembered places.
void setUpFilesBeside();

// Answers the next visible modal dialog of the class, from a timer, so that
// the caller may block in exec().
void onNextModal(const char *className, std::function<void(QWidget *)> answer, int timeoutMs = 30000);
// The next DialogMessage: keeps its text, with " [Cancel]" where it offers
// a second button (a question), and presses the button.
void answerMessage(QString *text, const char *button = "push_ok");
// The next file dialog takes these files of the folder (none: Cancel); `then` runs right after.
void chooseFiles(const QString &folder, const QStringList &names, std::function<void()> then = {});
// Makes a file dialog take the folder's named files, or Cancel when none are named.
void chooseInDialog(QWidget *dialog, const QStringList &folderAndNames);
void saveAs(const QString &path);
void click(QWidget *parent, const char *objectName);
void closeModals();

void writeConfig(const QMap<QString, QString> &values = {});
void writeConfigFile(const QByteArray &content);
QString readTextFile(const QString &path = settingsPath());
void freshDatabase();
// A folder with VNMETER.INI and record files, each a header and the lines.
QString writeRecordFolder(const QDir &root, const QString &name, const QString &modelLine,
                          const QMap<QString, QStringList> &files);
// A folder with VNMETER.INI and a record file of these bytes; returns the file.
QString writeRawRecordFile(const QDir &root, const QString &name, const QByteArray &modelLine, const QByteArray &content,
                           const QString &fileName = "20240301.CSV");
// Runs statements on record.db behind the program's back.
void changeDatabase(const QString &statements);
// A statement's rows on record.db or another database, read-only, "|" between fields.
QStringList queryRows(const QString &statement, const QString &database = QString());
QStringList tableRows(const QString &table); // in rowid order
QString databaseValue(const QString &statement, const QString &database = QString());
// Imports on a worker thread; returns every report as "text|value", and
// what the user is told in `reason` (empty when the import is done).
QStringList runImport(const QStringList &files, QString *reason = nullptr);

// The records every test generates: record k of a model is stamped Start + k
// minutes; values cycle through numbers, quarters, negatives, "HH" and "LL".
extern const QDateTime Start;
int familyOfModel(int model);
int meterOfModel(int model);
int modelOfFamily(int family);
QStringList recordFields(int model, int k);
QString pvField(int model, int k, int channel);
QString humidityField(int k);
// The generated texts that hold no reading, whatever a cast makes of them.
extern const QStringList NoReading;
// A record file of records first .. first + count - 1; returns its path.
QString recordFile(const QDir &root, int model, int count, int first = 0);
void importModel(const QDir &root, int model, int count);
QString shownSummary(QWidget *page); // without its links

// Record files whose path ends with `name` fail to read after `bytes` bytes, as on a failing card reader.
void failRecordReads(const QString &name, qint64 bytes = 3000);

// Holds every worker job at its first SQLite steps until released.
// Returns once the builds that follow an import on its worker (sums, time
// index, overview) are done: a job waits for them, whether they have begun or not.
void waitForBuildsBehindImport();
void holdWorkerJobs();
void releaseWorkerJobs();

QAction *action(QWidget &window, const char *name);
// Pages of 100 records on tables and charts, an empty record.db.
void startWithSmallPages();
// The page of a view ("actionsearch", "actioncart") of the window, showing the
// first page of 400 minutes from Start, CH1, values above -10.
QWidget *searchedPage(MainWindow &window, const char *view);
void setWindow(QWidget *page, const QDateTime &st, const QDateTime &en);
void setRanges(QWidget *page, const QString &low, const QString &high);
void pressChannel(QWidget *page, int row);
void tickChannel(QWidget *page, int row); // pressed only where it is not ticked yet
QString counter(QWidget *page);
// The visible widgets under root that their parent's layout does not hold:
// each would float over the parent's top left corner.
QStringList unlaidWidgets(QWidget *root);
QStringList shownRows(QWidget *page); // cells joined by ","

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
