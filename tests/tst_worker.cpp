#include "recorddatabase.h"
#include "recordstore.h"
#include "rowinserter.h"
#include "settings.h"
#include "sqlthread.h"
#include "testsupport.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <cmath>
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;
using Access = SQLThread::PageAccess;
Q_DECLARE_METATYPE(SQLThread::PageAccess)

namespace {

// Record k's stamp as the rows carry it: the wall clock the instrument wrote.
QDateTime wallClock(int k)
{
    return QDateTime(Start.date(), Start.time(), Qt::UTC).addSecs(60 * k);
}

} // namespace

class TestWorker : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QThread thread;
    SQLThread *worker = nullptr;
    int importedModel = 0;
    int importedCount = 0;

    // Runs one job on the worker; returns its final report.
    QString runJob(std::function<void()> job)
    {
        QSignalSpy spy(worker, &SQLThread::PostProgress);
        QMetaObject::invokeMethod(worker, job, Qt::QueuedConnection);
        while (spy.isEmpty() || spy.last().at(1).toInt() != 100)
            if (!spy.wait(30000))
                return "no end";
        return spy.last().at(0).toString();
    }

    void useModel(int model, int count = 400)
    {
        if (importedModel != model || importedCount != count)
            importModel(QDir(dir.path()), model, count);
        importedModel = model;
        importedCount = count;
        Meter = meterOfModel(model);
    }

    QString search(int family, const TableSearch &s)
    {
        return runJob([=] {
            switch (family) {
            case 1: worker->dn_Record_Search1(s.pageid, s.idx, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            case 2: worker->dn_Record_Search2(s.pageid, s.idx, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            case 3: worker->dn_Record_Search3(s.pageid, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            case 4: worker->dn_Record_Search4(s.pageid, s.st, s.en, s.pv1, s.pv2, s.th1, s.th2, s.ishl); break;
            case 5: worker->dn_Record_Search5(s.pageid, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            }
        });
    }

    QString chart(int family, int pageid, int idx, const QDateTime &st, const QDateTime &en)
    {
        return runJob([=] {
            switch (family) {
            case 1: worker->dn_Record_Cart1(false, pageid, idx, st, en); break;
            case 2: worker->dn_Record_Cart2(false, pageid, idx, st, en); break;
            case 3: worker->dn_Record_Cart3(false, pageid, st, en); break;
            case 4: worker->dn_Record_Cart4(false, pageid, st, en); break;
            case 5: worker->dn_Record_Cart5(false, pageid, st, en); break;
            }
        });
    }

private slots:
    void initTestCase()
    {
        loadSettings();
        worker = new SQLThread;
        worker->moveToThread(&thread);
        thread.start();
    }

    void cleanupTestCase()
    {
        thread.quit();
        thread.wait();
        delete worker;
    }

    void init()
    {
        SQLThread::forcePageAccess(Access::Chosen);
        SQLThread::setConnectionHook({});
    }

    void cleanup()
    {
        QVERIFY(!QSqlDatabase::contains("dbnamelog"));
    }

    void tableSearch_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("ishl");
        QTest::addColumn<int>("from"); // minutes of the window
        QTest::addColumn<int>("to");
        QTest::addColumn<Access>("access");
        const QList<QPair<const char *, Access>> accesses{
            {"chosen", Access::Chosen}, {"table order", Access::TableOrder}, {"time index", Access::TimeIndex}};
        for (int model : {13, 208, 2, 3, 4}) {
            for (const auto &[name, access] : accesses) {
                const int family = familyOfModel(model);
                QTest::addRow("family%d range, %s", family, name) << model << false << 10 << 300 << access;
                QTest::addRow("family%d HH/LL wide, %s", family, name) << model << true << 0 << 399 << access;
                QTest::addRow("family%d range late, %s", family, name) << model << false << 280 << 399 << access;
            }
        }
    }

    void tableSearch()
    {
        QFETCH(int, model);
        QFETCH(bool, ishl);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(Access, access);
        const int family = familyOfModel(model);
        useModel(model);
        SQLThread::forcePageAccess(access);
        PageRcd = 7;
        TableSearch s{-1, family <= 2 ? 1 : 0, Start.addSecs(60 * from), Start.addSecs(60 * to), 2, 20, 10, 60, ishl};
        const QList<int> expected = matchingRecords(model, 400, s);
        QVERIFY(expected.size() > 2 * PageRcd);

        QCOMPARE(search(family, s), QString("Query executed."));
        QCOMPARE(g_recordCount, int(expected.size()));
        const int lastPage = int((expected.size() - 1) / PageRcd);
        for (int page : {-1, 1, lastPage, lastPage + 1}) {
            if (page != -1) {
                s.pageid = page;
                search(family, s);
            }
            const int first = qMax(0, page) * PageRcd;
            const int rows = qBound(0, int(expected.size()) - first, PageRcd);
            QCOMPARE(int(g_records.size()), rows);
            for (int i = 0; i < rows; ++i) {
                const RecordRow &row = g_records.at(i);
                const int k = expected.at(first + i);
                const QString pv = pvField(model, k, s.idx);
                QCOMPARE(row.id, first + i);
                QCOMPARE(row.time, wallClock(k));
                if (ishl || std::isnan(row.value1))
                    QCOMPARE(row.text1, pv); // a marker keeps its text in range mode too
                else
                    QCOMPARE(row.value1, pv.toDouble());
                if (family <= 2)
                    QCOMPARE(row.channel, s.idx + 1);
                if (family == 4 && !ishl)
                    QCOMPARE(std::isnan(row.value2) ? QString("HH") : QString::number(row.value2), humidityField(k));
            }
        }
        QCOMPARE(g_recordCount, int(expected.size())); // paging never counts again
    }

    void chartPages_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("channel");
        QTest::newRow("family1 channel 6") << 16 << 5;
        QTest::newRow("family2 channel 16") << 216 << 15;
        QTest::newRow("family3") << 2 << 0;
        QTest::newRow("family4") << 3 << 0;
        QTest::newRow("family5") << 4 << 0;
    }

    void chartPages()
    {
        QFETCH(int, model);
        QFETCH(int, channel);
        const int family = familyOfModel(model);
        useModel(model, 1234);
        PlotRcd = 500;
        const QDateTime st = Start, en = Start.addSecs(60 * 1233);
        QCOMPARE(chart(family, -1, channel, st, en), QString("Query executed."));
        QCOMPARE(g_recordCount, 1234);
        QCOMPARE(int(g_records.size()), 500);
        chart(family, 2, channel, st, en);
        QCOMPARE(int(g_records.size()), 234);
        for (int i = 0; i < 234; ++i) {
            const int k = 1000 + i;
            const RecordRow &row = g_records.at(i);
            const QString pv = pvField(model, k, channel);
            QCOMPARE(std::isnan(row.value1) ? QString("marker") : QString::number(row.value1),
                     pv == "HH" || pv == "LL" ? QString("marker") : pv);
            if (family == 1)
                QCOMPARE(row.value2, 50.0 + channel);
            if (family == 4)
                QCOMPARE(std::isnan(row.value2), humidityField(k) == "HH");
            QCOMPARE(row.time, wallClock(k));
        }
        chart(family, 3, channel, st, en);
        QVERIFY(g_records.isEmpty());
        chart(family, -1, channel, Start.addSecs(60), Start.addSecs(120)); // inclusive at both ends
        QCOMPARE(g_recordCount, 2);
    }

    void exportCrossesChunks_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("ishl");
        QTest::newRow("family1 range") << 12 << false;
        QTest::newRow("family4 HH/LL") << 3 << true;
        QTest::newRow("family5 range") << 4 << false;
    }

    void exportCrossesChunks()
    {
        QFETCH(int, model);
        QFETCH(bool, ishl);
        useModel(model);
        SQLThread::setExportChunk(7);
        const TableSearch s{0, 0, Start, Start.addSecs(60 * 399), -4, 30, 0, 60, ishl};
        const QList<int> expected = matchingRecords(model, 400, s);
        const QString path = dir.filePath(QString("export-%1-%2.csv").arg(model).arg(ishl));
        const QString report = runJob([=] {
            worker->dn_exportTable(familyOfModel(model), 0, s.st, s.en, s.pv1, s.pv2, s.th1, s.th2, ishl,
                                   int(expected.size()), path);
        });
        SQLThread::setExportChunk(50000);
        QCOMPARE(report, QString("%1 records exported to %2").arg(expected.size()).arg(path));
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
        QCOMPARE(lines.takeLast(), QString());
        QCOMPARE(lines.size(), expected.size() + 1);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(lines.at(i + 1), expectedRow(model, expected.at(i), i, 0));
    }

    void everyFamilyLandsInItsOwnTable_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("table");
        for (int model : {11, 12, 13, 14, 15, 16, 208, 216})
            QTest::addRow("model %d", model) << model << QString("meter%1").arg(model);
        QTest::newRow("model 2") << 2 << "meter3";
        QTest::newRow("model 3") << 3 << "meter4";
        QTest::newRow("model 4") << 4 << "meter5";
    }

    void everyFamilyLandsInItsOwnTable()
    {
        QFETCH(int, model);
        QFETCH(QString, table);
        QStringList lines, expected;
        for (int k = 0; k < 6; ++k) {
            lines << recordFields(model, k).join(',');
            expected << recordFields(model, k).join('|') + "\n"; // the line end stays with the time
        }
        const QStringList good = lines;
        lines.insert(1, good.at(0).section(',', 1)); // too few fields
        lines.insert(3, "7," + good.at(2));          // too many
        lines.insert(4, QString());                  // empty line
        freshDatabase();
        importedModel = 0;
        // The files are read in the order of their names, whatever the order chosen.
        const QString folder = writeRecordFolder(QDir(dir.path()), QString("f%1").arg(model), QString::number(model),
                                                 {{"20240302.CSV", lines.mid(5)}, {"20240301.CSV", lines.mid(0, 5)}});
        QCOMPARE(runImport({folder + "/20240302.CSV", folder + "/20240301.CSV", folder + "/2024030.CSV"}).last(),
                 QString("2 files to be imported|100"));
        QCOMPARE(Meter, meterOfModel(model));
        QCOMPARE(readSetting("Meter"), QString::number(meterOfModel(model)));
        QCOMPARE(tableRows(table), expected);
        for (const QString &other : {"meter11", "meter216", "meter3", "meter4", "meter5"})
            if (other != table)
                QCOMPARE(tableRows(other).size(), 0);
    }

    void fieldsAreStoredAsWritten()
    {
        importedModel = 0;
        QByteArray content = "header\r\n";
        content += "1.5,2,45.6,2024-03-01 00:00:00\r\n";
        content += "x'); DROP TABLE meter11;--,5,6,2024-03-01 00:01:00\n"; // LF in a CRLF file
        content += QByteArray("7,8,9,2024-03-01 00:02:00") + '\0' + "junk,x,y\r\n"; // a NUL cuts the line
        content += "HH,\xff\xfe,9,2024-03-01 00:03:00\r\n";                 // invalid UTF-8
        content += "1,2,3\r\n,,,\r\n";                                       // wrong count, then empties
        content += QByteArray(70000, 'x') + "\r\n";                          // overlong line
        content += "LL,5,6.7,2024-03-01 00:04:00";                            // no final line end
        const QString file = writeRawRecordFile(QDir(dir.path()), "paths", "  11  \n", content);
        const QStringList expected{"1.5|2|45.6|2024-03-01 00:00:00\n",
                                   "x'); DROP TABLE meter11;--|5|6|2024-03-01 00:01:00\n",
                                   "7|8|9|2024-03-01 00:02:00",
                                   QString::fromUtf8("HH|\xef\xbf\xbd\xef\xbf\xbd|9|2024-03-01 00:03:00\n"),
                                   "|||\n", "LL|5|6.7|2024-03-01 00:04:00"};
        for (InsertPath path : {InsertPath::Native, InsertPath::QtQuery}) {
            freshDatabase();
            setPreferredInsertPath(path);
            runImport({file});
            QCOMPARE(tableRows("meter11"), expected);
        }
        setPreferredInsertPath(InsertPath::Automatic);
    }

    void importOutcomes_data()
    {
        QTest::addColumn<QByteArray>("modelLine");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("report");
        QTest::addColumn<int>("rows");
        const QByteArray good = "h\r\n1,2,3,2024-03-01 00:00:00\n4,5,6,2024-03-01 00:01:00\r\n";
        const QString imported = "1 files to be imported";
        const QString noRecords = "No records could be read from the chosen files.";
        QTest::newRow("blanks around 11") << QByteArray(" 11 ") << good << imported << 2;
        QTest::newRow("empty model line") << QByteArray("") << good << "导入失败，没找到可导入文件" << -1;
        QTest::newRow("a word") << QByteArray("model") << good << "导入失败，没找到可导入文件" << -1;
        QTest::newRow("unknown code 17") << QByteArray("17") << good << "导入失败，没找到可导入文件" << -1;
        QTest::newRow("empty file") << QByteArray("11") << QByteArray() << noRecords << -1;
        QTest::newRow("header only") << QByteArray("11") << QByteArray("PV1,SV1,OUT1,Time") << noRecords << -1;
        QTest::newRow("only line ends") << QByteArray("11") << QByteArray("\n\n\r\n\n") << noRecords << -1;
        QTest::newRow("NUL in the header") << QByteArray("11") << QByteArray("h") + '\0' + "h\n1,2,3,2024-03-01 00:00:00\n" << imported << 1;
    }

    void importOutcomes()
    {
        QFETCH(QByteArray, modelLine);
        QFETCH(QByteArray, content);
        QFETCH(QString, report);
        QFETCH(int, rows);
        useModel(2, 3); // three records of model 2 on record before
        const QString file = writeRawRecordFile(QDir(dir.path()), QTest::currentDataTag(), modelLine, content);
        const QStringList reports = runImport({file});
        QCOMPARE(reports.first(), QString("initializing...|1"));
        QCOMPARE(reports.last(), report + "|100");
        if (rows < 0) { // no import: the previous records stay
            QCOMPARE(Meter, 3);
            QCOMPARE(tableRows("meter3").size(), 3);
        } else {
            importedModel = 0;
            QCOMPARE(Meter, 11);
            QCOMPARE(tableRows("meter11").size(), rows);
            QCOMPARE(tableRows("meter3").size(), 0);
        }
    }

    void recordsAcrossManyBatches()
    {
        // About 1.5 MB: the file is read in several batches while earlier ones
        // are stored, with skipped lines and a long repaired line among them.
        importedModel = 0;
        QByteArray content = "header\r\n";
        QStringList expected;
        for (int i = 0; i < 40000; ++i) {
            const QByteArray time = Start.addSecs(i).toString("yyyy-MM-dd hh:mm:ss").toLatin1();
            if (i % 7 == 3) {
                content += QByteArray::number(i) + "," + time + "\r\n"; // wrong count
                continue;
            }
            QByteArray sv = QByteArray::number(i % 100);
            QString svText = QString::fromLatin1(sv);
            if (i % 10007 == 5000) {
                sv = QByteArray(20000, '\xff'); // grows threefold when repaired
                svText = QString(20000, QChar(0xfffd));
            }
            content += QByteArray::number(i) + "," + sv + ",1.5," + time + "\r\n";
            expected << QString("%1|%2|1.5|%3\n").arg(i).arg(svText, QString::fromLatin1(time));
        }
        runImport({writeRawRecordFile(QDir(dir.path()), "batches", "11", content)});
        QCOMPARE(tableRows("meter11"), expected);
    }

    void staleJournalWithOldRows()
    {
        // A process that dies while changing the rows leaves a hot journal of
        // the old pages; the next import must not get them back.
        importedModel = 0;
        runImport({recordFile(QDir(dir.path()), 11, 3000)});
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
        runImport({recordFile(QDir(dir.path()), 11, 2, 5000)});
        const QStringList rows = tableRows("meter11");
        QCOMPARE(rows.size(), 2);
        QCOMPARE(rows.first(), recordFields(11, 5000).join('|') + "\n");
        QCOMPARE(databaseValue("PRAGMA quick_check"), QString("ok"));
    }

    void killedImportLosesNothingElse()
    {
        // A process killed in the middle of an import leaves either the old
        // records or all of the new ones, never a part.
        importedModel = 0;
        const QString big = recordFile(QDir(dir.path()), 11, 150000);
        const QString small = recordFile(QDir(dir.path()), 11, 3, 7);
        QRandomGenerator random(20240301);
        for (int run = 0; run < 12; ++run) {
            if (tableRows("meter11").size() != 3)
                runImport({small});
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {"--import-child", big});
            QVERIFY(child.waitForStarted());
            QTest::qWait(int(random.bounded(20, 400)));
            child.kill();
            child.waitForFinished();
            QCOMPARE(databaseValue("PRAGMA quick_check"), QString("ok"));
            const qsizetype rows = tableRows("meter11").size();
            QVERIFY2(rows == 3 || rows == 150000, qPrintable(QString::number(rows)));
        }
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
    TestSupport::setUpFilesBeside();
    TestWorker test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_worker.moc"
