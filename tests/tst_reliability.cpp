#include "formcart1.h"
#include "formdata1.h"
#include "mainwindow.h"
#include "pagetesting.h"
#include "recorddatabase.h"
#include "settings.h"
#include "sqlthread.h"
#include "testsupport.h"

#include <QAction>
#include <QBuffer>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QStatusBar>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <qcustomplot.h>
#include <unistd.h>

using namespace TestSupport;
using namespace PageTesting;

namespace {

QString recordLines(const QDir &root, const QString &name, int lines, int first = 0)
{
    QStringList records;
    for (int k = first; k < first + lines; ++k)
        records << QString("%1.5,50,12,2024-03-01 %2:%3:%4").arg(k % 90).arg(k / 3600 % 24, 2, 10, QChar('0'))
                       .arg(k / 60 % 60, 2, 10, QChar('0')).arg(k % 60, 2, 10, QChar('0'));
    return writeRecordFolder(root, name, "11", {{"20240301.CSV", records}}) + "/20240301.CSV";
}

QString quickCheck()
{
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
        db.setDatabaseName(recordDatabasePath());
        db.open();
        QSqlQuery q(db);
        q.exec("PRAGMA quick_check");
        q.next();
        result = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("check");
    return result;
}

int storedRecords()
{
    int count = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "count");
        db.setDatabaseName(recordDatabasePath());
        db.open();
        QSqlQuery q(db);
        if (q.exec("select count(*) from meter11") && q.next())
            count = q.value(0).toInt();
    }
    QSqlDatabase::removeDatabase("count");
    return count;
}

QAction *action(QWidget &window, const char *name)
{
    return window.findChild<QAction *>(QString::fromLatin1(name));
}

QStringList shownRows(QWidget *page)
{
    auto *table = page->findChild<QTableWidget *>("tabled");
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r)
        rows << table->item(r, 0)->text() + ',' + table->item(r, 1)->text();
    return rows;
}

// What a page shows: its counter and its rows or chart points.
QString pageState(QWidget *page)
{
    QString state = page->findChild<QLabel *>("page_label")->text();
    if (auto *plot = page->findChild<QCustomPlot *>())
        return state + QString(" points %1 from %2").arg(plot->graph(0)->dataCount())
                           .arg(qint64(plot->graph(0)->dataCount() ? plot->graph(0)->data()->at(0)->key : 0));
    return state + ' ' + shownRows(page).join(';');
}

sqlite3 *g_lockHolder = nullptr;

// A reader that holds its lock on the database the job writes, so that the
// job's commit cannot write.
void holdReadLock(QSqlDatabase &db)
{
    QSqlQuery(db).exec("PRAGMA busy_timeout = 0");
    sqlite3_open(QFile::encodeName(db.databaseName()).constData(), &g_lockHolder);
    sqlite3_exec(g_lockHolder, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
}

void releaseReadLock()
{
    sqlite3_close_v2(g_lockHolder);
    g_lockHolder = nullptr;
}

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // 300 records of a one-channel controller on record, as a successful import leaves them.
    void importOldRecords()
    {
        QCOMPARE(runImport({recordLines(QDir(dir.path()), "old", 300)}).last(), QString("1 files to be imported|100"));
        QCOMPARE(Meter, 11);
    }

    // A page of the window's view, showing the first page of all old records.
    QWidget *searchedPage(MainWindow &window, const char *view)
    {
        action(window, view)->trigger();
        QWidget *page = window.currentPage();
        setWindow(page, QDateTime(QDate(2024, 3, 1), QTime(0, 0)), QDateTime(QDate(2024, 3, 1), QTime(1, 0)));
        setRanges(page, "-1", "99999");
        pressChannel(page, 0);
        click(page, "pushButton");
        return page;
    }

private slots:
    void init()
    {
        writeConfig({{"Meter", "4"}, {"PageRcd", "100"}, {"PlotRcd", "100"}});
        loadSettings();
        freshDatabase();
        SQLThread::setConnectionHook({});
    }

    void cleanup()
    {
        SQLThread::setConnectionHook({});
        closeModals();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!QSqlDatabase::contains("dbnamelog"));
    }

    void failedImportKeepsTheRecords_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::newRow("no model file") << "no model file" << "VNMETER.INI was not found beside the record files.";
        QTest::newRow("unknown model") << "unknown model" << "The model code 999 in VNMETER.INI names no known meter.";
        QTest::newRow("picture named .CSV") << "picture" << "No records could be read from the chosen files.";
        QTest::newRow("no template") << "no template" << "Write to the data fails";
        QTest::newRow("full disk") << "full disk" << "Import failed: database or disk is full";
        QTest::newRow("failed commit") << "failed commit" << "database is locked Unable to commit transaction";
    }

    void failedImportKeepsTheRecords()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        importOldRecords();
        const QString settingsBefore = readConfigFile();
        QString file = recordLines(QDir(dir.path()), fault, 20000, 5000);
        const QString folder = QFileInfo(file).path();
        if (fault == "no model file")
            QFile::remove(folder + "/VNMETER.INI");
        if (fault == "unknown model")
            writeRawRecordFile(QDir(dir.path()), fault, "999\r\n", "h\r\n1,2,3,2024-03-01 00:00:00\r\n");
        if (fault == "picture") {
            QImage image(200, 200, QImage::Format_RGB32);
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    image.setPixel(x, y, qRgb(x, y, x ^ y));
            QBuffer png;
            png.open(QIODevice::WriteOnly);
            image.save(&png, "PNG");
            writeRawRecordFile(QDir(dir.path()), fault, "216\r\n", png.data());
        }
        if (fault == "no template")
            QVERIFY(QFile::rename(recordTemplatePath(), recordTemplatePath() + ".away"));
        if (fault == "full disk")
            SQLThread::setConnectionHook([](QSqlDatabase &db) { QSqlQuery(db).exec("PRAGMA max_page_count = 40"); });
        if (fault == "failed commit")
            SQLThread::setConnectionHook(holdReadLock);

        MainWindow window;
        window.show();
        action(window, "actionsearch")->trigger();
        QString shown;
        answerMessage(nullptr, "push_ok");
        chooseFiles(folder, {"20240301.CSV"}, nullptr, [&] { answerMessage(&shown); });
        action(window, "actionopendb")->trigger();
        if (fault == "no template")
            QVERIFY(QFile::rename(recordTemplatePath() + ".away", recordTemplatePath()));
        if (fault == "failed commit")
            releaseReadLock();

        QCOMPARE(shown, message);
        QCOMPARE(tableRows("meter11").size(), 300);
        QCOMPARE(Meter, 11);
        QCOMPARE(readConfigFile(), settingsBefore);
        QVERIFY(!QFile::exists(newRecordDatabasePath()));
        QCOMPARE(quickCheck(), QString("ok"));
        // The page of the old records is back and searches them.
        QWidget *page = window.currentPage();
        QVERIFY(qobject_cast<Formdata1 *>(page));
        searchedPage(window, "actionsearch");
        QCOMPARE(page->findChild<QLabel *>("page_label")->text(), QString("Record：300 ,Pages：1 of 3"));
    }

    void escapeCancelsTheJob_data()
    {
        QTest::addColumn<QString>("job");
        QTest::newRow("import") << "import";
        QTest::newRow("search") << "search";
        QTest::newRow("chart") << "chart";
        QTest::newRow("export") << "export";
        QTest::newRow("closing the window during a search") << "close";
    }

    void escapeCancelsTheJob()
    {
        QFETCH(QString, job);
        importOldRecords();
        const QString bigger = recordLines(QDir(dir.path()), "bigger", 30000, 5000);
        const QString exported = dir.filePath("cancelled.csv");
        MainWindow window;
        window.show();
        QWidget *page = searchedPage(window, job == "chart" ? "actioncart" : "actionsearch");
        const QString before = pageState(page);
        QVERIFY2(before.startsWith("Record：300 ,Pages：1 of 3"), qPrintable(before));

        bool stayed = false;
        QString cancelling, outcome;
        const auto pressEscape = [&] {
            onNextModal("DialogProgress", [&](QWidget *dialog) {
                QTest::keyClick(dialog, Qt::Key_Escape);
                if (job == "close")
                    window.close();
                else
                    dialog->close();
                stayed = dialog->isVisible();
                cancelling = dialog->findChild<QLabel *>("label")->text();
                releaseWorkerJobs();
                if (job == "import")
                    answerMessage(&outcome);
            });
        };
        holdWorkerJobs();
        if (job == "import") {
            answerMessage(nullptr, "push_ok");
            chooseFiles(QFileInfo(bigger).path(), {"20240301.CSV"}, nullptr, pressEscape);
            action(window, "actionopendb")->trigger();
        } else if (job == "export") {
            saveAs(exported);
            pressEscape();
            click(page, "page_export");
        } else {
            pressEscape();
            click(page, "pushButton");
        }
        SQLThread::setConnectionHook({});

        QVERIFY(stayed);
        QCOMPARE(cancelling, QString("Cancelling..."));
        QVERIFY(!QSqlDatabase::contains("dbnamelog"));
        QCOMPARE(tableRows("meter11").size(), 300);
        QCOMPARE(window.statusBar()->currentMessage(), QString("Cancelled."));
        if (job == "close") {
            QTRY_VERIFY(!window.isVisible()); // closes once the job has ended
            return;
        }
        if (job == "import") {
            QCOMPARE(outcome, QString("The import was cancelled. The previous records are kept."));
            page = searchedPage(window, "actionsearch");
        } else {
            QCOMPARE(pageState(page), before);
            QVERIFY(!QFile::exists(exported));
            click(page, "pushButton"); // a second job runs as usual
        }
        QVERIFY(window.isVisible());
        QVERIFY(pageState(page).startsWith("Record：300 ,Pages：1 of 3"));
    }

    void failedQueryKeepsThePage_data()
    {
        QTest::addColumn<QString>("view");
        QTest::newRow("table") << "actionsearch";
        QTest::newRow("chart") << "actioncart";
    }

    void failedQueryKeepsThePage()
    {
        QFETCH(QString, view);
        importOldRecords();
        MainWindow window;
        window.show();
        QWidget *page = searchedPage(window, qPrintable(view));

        // Pages and export belong to the search shown, whatever the fields say now.
        pressChannel(page, 0); // unticked
        setWindow(page, QDateTime(QDate(2024, 3, 1), QTime(0, 2)), QDateTime(QDate(2024, 3, 1), QTime(0, 1)));
        QString refused;
        answerMessage(&refused);
        click(page, "pushButton");
        QCOMPARE(refused, QString("Set the right times for starting and finishing."));
        click(page, "page_down");
        const QString second = pageState(page);
        QVERIFY2(second.startsWith("Record：300 ,Pages：2 of 3"), qPrintable(second));
        if (view == "actionsearch") {
            QVERIFY(second.contains(" 100,10.5;101,11.5;")); // record 100 of channel 1
            const QString path = dir.filePath("shown.csv");
            saveAs(path);
            QString exported;
            answerMessage(&exported);
            click(page, "page_export");
            QCOMPARE(exported, QString("300 records exported to %1").arg(path));
        } else {
            QVERIFY2(second.endsWith(QString(" points 100 from %1").arg(
                QDateTime(QDate(2024, 3, 1), QTime(0, 1, 40)).toSecsSinceEpoch())), qPrintable(second));
        }

        // A statement that fails leaves the page as it was and says why.
        SQLThread::setConnectionHook([](QSqlDatabase &db) { QSqlQuery(db).exec("drop table meter11"); });
        for (const char *button : {"page_down", "pushButton"}) {
            if (qstrcmp(button, "pushButton") == 0)
                pressChannel(page, 0);
            setWindow(page, QDateTime(QDate(2024, 3, 1), QTime(0, 0)), QDateTime(QDate(2024, 3, 1), QTime(1, 0)));
            QString failure;
            answerMessage(&failure);
            click(page, button);
            QVERIFY2(failure.startsWith("The search failed: no such table: meter11"), qPrintable(failure));
            QCOMPARE(pageState(page), second);
        }
    }

    void staleJournalWithOldRows()
    {
        // An old import with rows, then a process that dies in the middle of
        // changing them: its hot journal holds the old pages.
        runImport({recordLines(QDir(dir.path()), "old", 3000, 0)});
        QCOMPARE(tableRows("meter11").size(), 3000);
        const QByteArray path = QFile::encodeName(recordDatabasePath());
        const pid_t child = fork();
        if (child == 0) {
            sqlite3 *db = nullptr;
            sqlite3_open(path.constData(), &db);
            sqlite3_exec(db, "PRAGMA cache_size = 1; BEGIN; DELETE FROM meter11;", nullptr, nullptr, nullptr);
            _exit(0); // no commit, no rollback
        }
        waitpid(child, nullptr, 0);
        QVERIFY(QFile::exists(recordDatabasePath() + "-journal"));

        QVERIFY(replaceRecordDatabase());
        runImport({recordLines(QDir(dir.path()), "new", 2, 5000)});
        const QStringList rows = tableRows("meter11");
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.first().startsWith("50.5|"));
        QCOMPARE(quickCheck(), QString("ok"));
    }

    void killedImportLosesNothingElse()
    {
        // A process killed in the middle of an import leaves either the old
        // records or all of the new ones, never a part.
        const QString big = recordLines(QDir(dir.path()), "big", 150000);
        const QString small = recordLines(QDir(dir.path()), "small", 3, 7);
        QRandomGenerator random(20240301);
        for (int run = 0; run < 20; ++run) {
            if (storedRecords() != 3)
                runImport({small});
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--import-child", big});
            QVERIFY(child.waitForStarted());
            QTest::qWait(int(random.bounded(20, 400)));
            child.kill();
            child.waitForFinished();
            QCOMPARE(quickCheck(), QString("ok"));
            const int rows = storedRecords();
            QVERIFY2(rows == 3 || rows == 150000, qPrintable(QString::number(rows)));
        }
    }

    void settingsWriteOnAFullDisk()
    {
        const QString mountPoint = dir.filePath("tiny");
        QDir().mkpath(mountPoint);
        if (mount("tmpfs", QFile::encodeName(mountPoint).constData(), "tmpfs", 0, "size=16k") != 0)
            QSKIP("no tmpfs can be mounted here");
        const QString target = mountPoint + "/Sundrevale.Config";
        QFile::remove(settingsPath());
        writeConfig();
        QVERIFY(QFile::copy(settingsPath(), target));
        const QString before = readConfigFile();
        QFile::remove(settingsPath());
        QVERIFY(QFile::link(target, settingsPath()));
        QFile filler(mountPoint + "/filler");
        filler.open(QIODevice::WriteOnly);
        while (filler.write(QByteArray(512, 'f')) > 0 && filler.flush()) {
        }
        filler.close();
        writeSetting("Meter", "216");
        const QString after = readConfigFile();
        QFile::remove(settingsPath());
        umount(QFile::encodeName(mountPoint).constData());
        writeConfig();
        QCOMPARE(after, before);
    }
};

int main(int argc, char *argv[])
{
    if (argc > 2 && qstrcmp(argv[1], "--import-child") == 0) {
        QCoreApplication app(argc, argv);
        TestSupport::runImport({QString::fromLocal8Bit(argv[2])});
        return 0;
    }
    QApplication app(argc, argv);
    TestReliability test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_reliability.moc"
