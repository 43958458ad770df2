#include "recorddatabase.h"
#include "settings.h"
#include "sqlthread.h"
#include "testsupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sqlite3.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

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

} // namespace

class TestReliability : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init()
    {
        writeConfig({{"Meter", "4"}});
        loadSettings();
        freshDatabase();
        SQLThread::setConnectionHook({});
    }

    void diskFullDuringImport()
    {
        const QString file = recordLines(QDir(dir.path()), "full", 20000);
        const QString settingsBefore = readConfigFile();
        SQLThread::setConnectionHook([](QSqlDatabase &db) {
            QSqlQuery(db).exec("PRAGMA max_page_count = 40"); // the disk fills after a few pages
        });
        const QStringList reports = runImport({file});
        SQLThread::setConnectionHook({});
        QVERIFY2(reports.last().startsWith("Import failed: database or disk is full|100"), qPrintable(reports.last()));
        QCOMPARE(reports.count(reports.last()), 1);
        QCOMPARE(Meter, 4);
        QCOMPARE(readConfigFile(), settingsBefore);
        QVERIFY(!QSqlDatabase::contains("dbnamelog"));
        QCOMPARE(tableRows("meter11").size(), 0);
    }

    void failedCommitIsReported()
    {
        const QString file = recordLines(QDir(dir.path()), "commit", 50);
        const QString settingsBefore = readConfigFile();
        // A reader holding its lock keeps the commit from writing.
        QSqlDatabase reader = QSqlDatabase::addDatabase("QSQLITE", "reader");
        reader.setDatabaseName(recordDatabasePath());
        QVERIFY(reader.open());
        QSqlQuery hold(reader);
        hold.exec("BEGIN");
        QVERIFY(hold.exec("select count(*) from meter11"));
        QVERIFY(hold.next());
        SQLThread::setConnectionHook([](QSqlDatabase &db) { QSqlQuery(db).exec("PRAGMA busy_timeout = 0"); });
        const QStringList reports = runImport({file});
        SQLThread::setConnectionHook({});
        hold.exec("COMMIT");
        hold.finish();
        reader.close();
        reader = QSqlDatabase();
        QSqlDatabase::removeDatabase("reader");
        QCOMPARE(reports.last(), QString("database is locked Unable to commit transaction|100"));
        QVERIFY(!reports.join(';').contains("files to be imported"));
        QCOMPARE(Meter, 4);
        QCOMPARE(readConfigFile(), settingsBefore);
        QCOMPARE(tableRows("meter11").size(), 0);
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
        const QString big = recordLines(QDir(dir.path()), "big", 150000);
        const QString small = recordLines(QDir(dir.path()), "small", 3, 7);
        QRandomGenerator random(20240301);
        for (int run = 0; run < 20; ++run) {
            QVERIFY(replaceRecordDatabase());
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--import-child", big});
            QVERIFY(child.waitForStarted());
            QTest::qWait(int(random.bounded(20, 400)));
            child.kill();
            child.waitForFinished();
            QCOMPARE(quickCheck(), QString("ok"));
            QVERIFY(replaceRecordDatabase());
            runImport({small});
            QCOMPARE(tableRows("meter11").size(), 3);
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
