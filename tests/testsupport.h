#ifndef TESTSUPPORT_H
#define TESTSUPPORT_H

#include <QDir>
#include <QMap>
#include <QStringList>
#include <QWidget>
#include <functional>

class DialogMessage;

namespace TestSupport {

// Waits (from a timer, so the caller may block in exec()) for the next
// visible modal dialog of type T and hands it to `answer`.
void onNextModal(const char *className, std::function<void(QWidget *)> answer, int timeoutMs = 30000);

// The next DialogMessage: records its text and presses the named button.
void answerMessage(QString *text, const char *button = "push_ok");

// Answers the next file dialog with these files of one folder (none: Cancel),
// listing what the dialog shows there into `listed` when asked; `then` runs
// right after the answer (to queue the next one).
void chooseFiles(const QString &folder, const QStringList &names, QStringList *listed = nullptr,
                 std::function<void()> then = {});
// Answers the next save dialog with this path.
void saveAs(const QString &path);

// Holds every worker job at its first SQLite steps until released, so that a
// test can act while a job runs; then lets it go on. The hook stays until
// the next SQLThread::setConnectionHook().
void holdWorkerJobs();
void releaseWorkerJobs();

// Clicks a button found by object name inside `parent`.
void click(QWidget *parent, const char *objectName);

// Writes Sundrevale.Config beside the executable with these values (the
// defaults for every key not given).
void writeConfig(const QMap<QString, QString> &values = {});
QString readConfigFile();

// Replaces record.db with the empty template.
void freshDatabase();

// A folder with VNMETER.INI and record files, each a header and the lines.
QString writeRecordFolder(const QDir &root, const QString &name, const QString &modelLine,
                          const QMap<QString, QStringList> &files, const QByteArray &lineEnd = "\r\n");

// A folder with VNMETER.INI and one record file of exactly these bytes;
// returns the record file's path.
QString writeRawRecordFile(const QDir &root, const QString &name, const QByteArray &modelLine,
                           const QByteArray &content);

// Rows of a table as text, "|"-joined per row, in rowid order.
QStringList tableRows(const QString &table);

// Imports files through a worker on its own thread, waiting for its final
// report. Returns every report as "text|value".
QStringList runImport(const QStringList &files);

// Closes what a test left open.
void closeModals();

QString samplesDir();

} // namespace TestSupport

#endif
