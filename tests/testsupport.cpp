#include "testsupport.h"

#include "recorddatabase.h"
#include "rowinserter.h"
#include "settings.h"
#include "sqlthread.h"

#include <QDateTimeEdit>
#include <QFileDialog>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableWidget>
#include <atomic>
#include <sqlite3.h>

namespace TestSupport {

namespace {

std::atomic_bool g_holding{false};

int waitWhileHeld(void *)
{
    QElapsedTimer clock;
    clock.start();
    while (g_holding && clock.elapsed() < 30000)
        QThread::usleep(200);
    return 0;
}

QString pvText(int k, int channel)
{
    if (k % 17 == 5 || k % 23 == 7)
        return k % 17 == 5 ? "HH" : "LL";
    if (k % 31 == 13)
        return "n/a";
    if (k % 37 == 11)
        return "HL"; // neither marker: unreadable
    if (k % 41 == 17 || k % 43 == 19)
        return k % 41 == 17 ? "+-3" : "12abc"; // SQLite's cast reads 0 and 12: no reading all the same
    return QString::number((k * 7 + channel * 3) % 40 - 5 + (k % 4) * 0.25);
}

// A file that fails to read after `bytes` bytes.
struct FailingFile : QFile {
    FailingFile(const QString &path, qint64 bytes) : QFile(path), bytes(bytes) {}
    qint64 readData(char *data, qint64 size) override
    {
        return pos() < bytes ? QFile::readData(data, qMin(size, bytes - pos())) : (setErrorString("Input/output error"), -1);
    }
    qint64 bytes;
};

} // namespace

void failRecordReads(const QString &name, qint64 bytes)
{
    SQLThread::setRecordFileHook([=](const QString &path) -> std::unique_ptr<QIODevice> {
        return path.endsWith(name) ? std::make_unique<FailingFile>(path, bytes) : std::make_unique<QFile>(path);
    });
}

void changeDatabase(const QString &statements)
{
    sqlite3 *db = nullptr;
    sqlite3_open(QFile::encodeName(recordDatabasePath()).constData(), &db);
    QCOMPARE(sqlite3_exec(db, statements.toUtf8().constData(), nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

void setUpFilesBeside()
{
    const QDir beside(QCoreApplication::applicationDirPath());
    for (const QString &name : beside.entryList({"record.db*", "Sundrevale.Config*", "*.csv"}, QDir::AllEntries | QDir::NoDotAndDotDot))
        QFileInfo(beside.filePath(name)).isDir() ? QDir(beside.filePath(name)).removeRecursively()
                                                 : QFile::remove(beside.filePath(name));
    // The remembered places go to a store of the test's own, empty at first.
    QDir(beside.filePath("user-state")).removeRecursively();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, beside.filePath("user-state"));
    writeConfig();
    freshDatabase();
}

void onNextModal(const char *className, std::function<void(QWidget *)> answer, int timeoutMs)
{
    auto *timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    const QByteArray wanted(className);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && modal->inherits(wanted.constData());
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->deleteLater();
        timer->stop();
        if (found)
            answer(modal);
        else
            qWarning("no modal %s appeared", wanted.constData());
    });
    timer->start();
}

void answerMessage(QString *text, const char *button)
{
    onNextModal("DialogMessage", [text, button](QWidget *dialog) {
        auto *cancel = dialog->findChild<QPushButton *>("push_cancel");
        // Each line that fits the widest message is shown unwrapped.
        const auto *label = dialog->findChild<QLabel *>("label");
        QStringList wrapped;
        for (const QString &line : label->text().split('\n')) {
            const int advance = label->fontMetrics().horizontalAdvance(line);
            if (advance <= 600 && label->contentsRect().width() - 2 * label->margin() < advance)
                wrapped << line;
        }
        if (text)
            *text = dialog->findChild<QWidget *>("label")->property("text").toString()
                + (cancel->isVisible() ? " [" + cancel->text() + "]" : QString());
        click(dialog, button);
        QVERIFY2(wrapped.isEmpty(), qPrintable(wrapped.join('\n')));
    });
}

void chooseFiles(const QString &folder, const QStringList &names, std::function<void()> then)
{
    onNextModal("QFileDialog", [=](QWidget *dialog) {
        chooseInDialog(dialog, QStringList{folder} + names);
        if (then)
            then();
    });
}

void chooseInDialog(QWidget *dialog, const QStringList &folderAndNames)
{
    QStringList quoted;
    for (const QString &n : folderAndNames.mid(1))
        quoted << '"' + n + '"';
    static_cast<QFileDialog *>(dialog)->setDirectory(folderAndNames.first());
    dialog->findChild<QLineEdit *>("fileNameEdit")->setText(quoted.join(' '));
    QMetaObject::invokeMethod(dialog, quoted.isEmpty() ? "reject" : "accept");
}

void saveAs(const QString &path)
{
    onNextModal("QFileDialog", [path](QWidget *d) { chooseInDialog(d, {QFileInfo(path).path(), QFileInfo(path).fileName()}); });
}

void click(QWidget *parent, const char *objectName)
{
    if (auto *button = parent->findChild<QPushButton *>(objectName))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        qWarning("no button %s", objectName);
}

void closeModals()
{
    for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i) {
        QApplication::activeModalWidget()->close();
        QCoreApplication::processEvents();
    }
}

void writeConfig(const QMap<QString, QString> &values)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<config>\n";
    const QMap<QString, QString> defaults{{"Meter", "-1"}, {"YStep", "0"}, {"Tickcount", "10"},
                                          {"PageRcd", "100"}, {"PlotRcd", "500"}, {"LockY", "0"}};
    for (const char *key : {"Meter", "YStep", "Tickcount", "PageRcd", "PlotRcd", "LockY"})
        xml += QString("  <item key=\"%1\" value=\"%2\"/>\n").arg(key, values.value(key, defaults.value(key))).toUtf8();
    writeConfigFile(xml + "</config>\n");
}

void writeConfigFile(const QByteArray &content)
{
    QFile file(settingsPath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(content);
}

QString readTextFile(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

void freshDatabase()
{
    QDir(recordDatabasePath()).removeRecursively();
    discardNewRecordDatabase();
    QFile::remove(recordDatabasePath() + "-journal");
    QFile::remove(recordDatabasePath());
    QFile::copy(recordTemplatePath(), recordDatabasePath());
    QFile::setPermissions(recordDatabasePath(), QFile::ReadOwner | QFile::WriteOwner);
}

QString writeRecordFolder(const QDir &root, const QString &name, const QString &modelLine,
                          const QMap<QString, QStringList> &files)
{
    for (auto it = files.begin(); it != files.end(); ++it)
        writeRawRecordFile(root, name, modelLine.toUtf8() + "\r\n",
                           "HEADER,LINE\r\n" + it.value().join("\r\n").toUtf8() + (it.value().isEmpty() ? "" : "\r\n"), it.key());
    return root.filePath(name);
}

QString writeRawRecordFile(const QDir &root, const QString &name, const QByteArray &modelLine, const QByteArray &content,
                           const QString &fileName)
{
    root.mkpath(name);
    for (const auto &[file, bytes] : {std::pair(QString("VNMETER.INI"), modelLine), std::pair(fileName, content)}) {
        QFile out(root.filePath(name + "/" + file));
        out.open(QIODevice::WriteOnly);
        out.write(bytes);
    }
    return root.filePath(name + "/" + fileName);
}

QStringList queryRows(const QString &statement, const QString &database)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "testrows");
        db.setDatabaseName(database.isEmpty() ? recordDatabasePath() : database);
        db.setConnectOptions("QSQLITE_OPEN_READONLY");
        QSqlQuery q(db.open() ? db : QSqlDatabase());
        q.exec(statement);
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i)
                cells << q.value(i).toString();
            rows << cells.join('|');
        }
    }
    QSqlDatabase::removeDatabase("testrows");
    return rows;
}

QStringList tableRows(const QString &table)
{
    return queryRows(QString("select * from %1 order by rowid").arg(table));
}

QString databaseValue(const QString &statement, const QString &database)
{
    return queryRows(statement, database).value(0);
}

QStringList runImport(const QStringList &files, QString *reason)
{
    QThread thread;
    auto *worker = new SQLThread;
    worker->moveToThread(&thread);
    thread.start();
    QStringList reports;
    QEventLoop loop;
    QObject::connect(worker, &SQLThread::PostProgress, &loop, [&](QString text, int value) {
        reports << QString("%1|%2").arg(text).arg(value);
        if (value == 100)
            loop.quit();
    });
    QMetaObject::invokeMethod(worker, "dn_importCSV", Qt::QueuedConnection, Q_ARG(QStringList, files));
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    thread.quit();
    thread.wait();
    if (reason)
        *reason = worker->outcome().done() ? QString() : worker->outcome().reason;
    delete worker;
    return reports;
}

const QDateTime Start(QDate(2024, 3, 1), QTime(0, 0));

int familyOfModel(int model)
{
    return model >= 200 ? 2 : (model >= 11 ? 1 : model + 1);
}

int meterOfModel(int model)
{
    return familyOfModel(model) <= 2 ? model : familyOfModel(model);
}

int modelOfFamily(int family)
{
    return QList<int>{0, 12, 208, 2, 3, 4}.at(family);
}

QStringList recordFields(int model, int k)
{
    static const QStringList outs{"45", "45.6", "abc", "12.4", "0"};
    QStringList f;
    if (familyOfModel(model) == 1) {
        for (int c = 0; c < model - 10; ++c)
            f << pvText(k, c) << QString::number(50 + c) << outs.at(k % outs.size());
    } else if (model >= 200) {
        for (int c = 0; c < model - 200; ++c)
            f << pvText(k, c);
    } else if (model == 2 || model == 4) {
        f << pvText(k, 0);
        for (int a = 1; a <= (model == 2 ? 4 : 8); ++a)
            f << QString::number(a * 10) << (k % (a + 1) == 0 ? "01" : "00");
    } else {
        f << pvText(k, 0) << "30" << (k % 2 ? "01" : "00") << humidityField(k) << "80" << (k % 3 ? "00" : "01");
    }
    return f << Start.addSecs(60 * k).toString("yyyy-MM-dd hh:mm:ss");
}

QString pvField(int model, int k, int channel)
{
    const int family = familyOfModel(model);
    return recordFields(model, k).at(family == 1 ? 3 * channel : (family == 2 ? channel : 0));
}

const QStringList NoReading{"HH", "LL", "n/a", "HL", "+-3", "12abc"};

QString humidityField(int k)
{
    return k % 19 == 3 ? "HH" : QString::number((k * 11) % 90 + 0.5);
}

QString recordFile(const QDir &root, int model, int count, int first)
{
    QStringList lines;
    for (int k = first; k < first + count; ++k)
        lines << recordFields(model, k).join(',');
    static int serial = 0;
    return writeRecordFolder(root, QString("m%1_%2").arg(model).arg(++serial), QString::number(model),
                             {{"20240301.CSV", lines}}) + "/20240301.CSV";
}

void importModel(const QDir &root, int model, int count)
{
    freshDatabase();
    runImport({recordFile(root, model, count)});
}

QString shownSummary(QWidget *page)
{
    return page->findChild<QLabel *>("summary_label")->text().remove(QRegularExpression("<[^>]*>"));
}

void waitForBuildsBehindImport()
{
    SQLThread job;
    job.drawOverview(1, {"pv1"}, Start, Start, 1);
}

void holdWorkerJobs()
{
    g_holding = true;
    SQLThread::setConnectionHook([](QSqlDatabase &db) {
        if (sqlite3 *handle = sqliteHandle(db))
            sqlite3_progress_handler(handle, 20, waitWhileHeld, nullptr);
    });
}

void releaseWorkerJobs()
{
    g_holding = false;
}

QAction *action(QWidget &window, const char *name)
{
    return window.findChild<QAction *>(name);
}

void startWithSmallPages()
{
    writeConfig({{"PageRcd", "100"}, {"PlotRcd", "100"}});
    loadSettings();
    freshDatabase();
}

QWidget *searchedPage(MainWindow &window, const char *view)
{
    action(window, view)->trigger();
    QWidget *page = window.currentPage();
    setWindow(page, Start, Start.addSecs(60 * 400));
    setRanges(page, "-10", "99999");
    tickChannel(page, 0); // ticked on the page before, it stays so
    click(page, "pushButton");
    return page;
}

void setWindow(QWidget *page, const QDateTime &st, const QDateTime &en)
{
    page->findChild<QDateTimeEdit *>("dateTimeEdit1")->setDateTime(st);
    page->findChild<QDateTimeEdit *>("dateTimeEdit2")->setDateTime(en);
}

void setRanges(QWidget *page, const QString &low, const QString &high)
{
    for (QLineEdit *edit : page->findChildren<QLineEdit *>(QRegularExpression("^txt(pv|hh)[12]$")))
        edit->setText(edit->objectName().endsWith('1') ? low : high);
}

void pressChannel(QWidget *page, int row)
{
    auto *table = page->findChild<QTableWidget *>("tablechaddr");
    if (!table)
        return; // a family without channels
    QCOMPARE(table->item(row, 1)->text(), QString("CH:%1").arg(row + 1)); // the row names the channel it picks
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 1)).center());
}

void tickChannel(QWidget *page, int row)
{
    auto *table = page->findChild<QTableWidget *>("tablechaddr");
    if (table && table->item(row, 0)->checkState() == Qt::Unchecked)
        pressChannel(page, row);
}

QString counter(QWidget *page)
{
    return page->findChild<QLabel *>("page_label")->text();
}

QStringList shownRows(QWidget *page)
{
    auto *table = page->findChild<QTableWidget *>("tabled");
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
        rows << cells.join(',');
    }
    return rows;
}

namespace {
bool holds(QLayout *layout, QWidget *widget)
{
    for (int i = 0; i < layout->count(); ++i) {
        QLayoutItem *item = layout->itemAt(i);
        if (item->widget() == widget || (item->layout() && holds(item->layout(), widget)))
            return true;
    }
    return false;
}
} // namespace

QStringList unlaidWidgets(QWidget *root)
{
    QStringList floating;
    for (QWidget *widget : root->findChildren<QWidget *>()) {
        QWidget *parent = widget->parentWidget();
        if (widget->isVisible() && !widget->isWindow() && parent && parent->layout() && !holds(parent->layout(), widget))
            floating << widget->metaObject()->className() + QStringLiteral(" ") + widget->objectName();
    }
    return floating;
}

} // namespace TestSupport
