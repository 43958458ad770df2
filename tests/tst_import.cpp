#include "families.h"
#include "recordlinereader.h"
#include "rowinserter.h"
#include "settings.h"
#include "sqlthread.h"
#include "testsupport.h"

#include <QBuffer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>
#include <sys/stat.h>
#include <unistd.h>

using namespace TestSupport;

namespace {

// A record line of `fields` fields for row k, stamped one minute apart.
QString recordLine(int fields, int k, const QString &firstValue = QString())
{
    QStringList parts;
    for (int f = 0; f < fields - 1; ++f)
        parts << (f == 0 && !firstValue.isEmpty() ? firstValue : QString::number(k * 10 + f + 0.5));
    parts << QDateTime(QDate(2024, 3, 1), QTime(0, 0)).addSecs(60 * k).toString("yyyy-MM-dd hh:mm:ss");
    return parts.join(',');
}

const QStringList AllTables{"meter11", "meter12", "meter13", "meter14", "meter15", "meter16",
                            "meter208", "meter216", "meter3", "meter4", "meter5"};

} // namespace

class TestImport : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init()
    {
        writeConfig();
        loadSettings();
        freshDatabase();
        setPreferredInsertPath(InsertPath::Automatic);
    }

    void everyFamilyLandsInItsOwnTable_data()
    {
        QTest::addColumn<QString>("model");
        QTest::addColumn<QString>("table");
        QTest::addColumn<int>("fields");
        QTest::addColumn<int>("meter");
        for (int c = 1; c <= 6; ++c)
            QTest::addRow("family1 %d channels", c) << QString::number(10 + c) << QString("meter1%1").arg(c) << 3 * c + 1 << 10 + c;
        QTest::newRow("family2 8 channels") << "208" << "meter208" << 9 << 208;
        QTest::newRow("family2 16 channels") << "216" << "meter216" << 17 << 216;
        QTest::newRow("family3") << "2" << "meter3" << 10 << 3;
        QTest::newRow("family4") << "3" << "meter4" << 7 << 4;
        QTest::newRow("family5") << "4" << "meter5" << 18 << 5;
    }

    void everyFamilyLandsInItsOwnTable()
    {
        QFETCH(QString, model);
        QFETCH(QString, table);
        QFETCH(int, fields);
        QFETCH(int, meter);
        QStringList lines;
        QStringList expected;
        for (int k = 0; k < 5; ++k) {
            const QString line = recordLine(fields, k, k == 2 ? "HH" : QString());
            lines << line;
            expected << line;
        }
        lines.insert(1, recordLine(fields - 1, 99)); // too few fields
        lines.insert(3, recordLine(fields + 1, 98)); // too many
        lines.insert(4, QString());                  // empty line
        const QString folder = writeRecordFolder(QDir(dir.path()), "f" + model + QTest::currentDataTag(), model,
                                                 {{"20240301.CSV", lines}});
        const QStringList reports = runImport({folder + "/20240301.CSV"});
        QCOMPARE(reports.last(), QString("1 files to be imported|100"));
        QCOMPARE(Meter, meter);
        QCOMPARE(readSetting("Meter"), QString::number(meter));

        const QStringList rows = tableRows(table);
        QCOMPARE(rows.size(), expected.size());
        for (int k = 0; k < rows.size(); ++k) {
            const QStringList stored = rows.at(k).split('|');
            const QStringList written = expected.at(k).split(',');
            QCOMPARE(stored.size(), written.size());
            QCOMPARE(stored.last(), written.last() + "\n"); // the line end stays with the time
            QCOMPARE(stored.first().toDouble(), k == 2 ? 0.0 : written.first().toDouble());
            if (k == 2)
                QCOMPARE(stored.first(), QString("HH"));
        }
        for (const QString &other : AllTables) {
            if (other != table)
                QCOMPARE(tableRows(other).size(), 0);
        }
    }

    void lineEndsAndFieldsAreKeptAsWritten()
    {
        // LF file whose last line has no line end; untrimmed fields; alarm text.
        const QString file = writeRawRecordFile(QDir(dir.path()), "lf", "  12  \n",
            "h\n1.5,2,45.6,LL,x'); DROP TABLE meter12;--,7,2024-03-01 00:00:00\n"
            "3,4,5,6,7,8,2024-03-01 00:01:00");
        runImport({file});
        QCOMPARE(Meter, 12);
        QCOMPARE(tableRows("meter12"),
                 (QStringList{"1.5|2|45.6|LL|x'); DROP TABLE meter12;--|7|2024-03-01 00:00:00\n",
                              "3|4|5|6|7|8|2024-03-01 00:01:00"}));
    }

    void family3SkipsNineAndElevenFields()
    {
        const QString folder = writeRecordFolder(QDir(dir.path()), "f3", "2",
            {{"20240301.CSV", {recordLine(10, 0), recordLine(9, 1), recordLine(11, 2), recordLine(10, 3)}}});
        runImport({folder + "/20240301.CSV"});
        const QStringList rows = tableRows("meter3");
        QCOMPARE(rows.size(), 2);
        QVERIFY(rows.at(0).endsWith("00:00:00\n"));
        QVERIFY(rows.at(1).endsWith("00:03:00\n"));
    }

    void recordsFollowTheSortedPaths()
    {
        const QString folder = writeRecordFolder(QDir(dir.path()), "sorted", "11",
            {{"20240303.CSV", {recordLine(4, 3)}}, {"20240301.CSV", {recordLine(4, 1)}},
             {"20240302.CSV", {recordLine(4, 2)}}, {"20240304.CSV", {recordLine(4, 4)}}});
        const QStringList reports = runImport({folder + "/20240304.CSV", folder + "/20240302.CSV",
                                               folder + "/20240303.CSV", folder + "/20240301.CSV"});
        const QStringList rows = tableRows("meter11");
        QCOMPARE(rows.size(), 4);
        for (int k = 0; k < 4; ++k)
            QVERIFY(rows.at(k).endsWith(QString("00:0%1:00\n").arg(k + 1)));
        QStringList fileReports;
        for (const QString &r : reports) {
            if (r.startsWith("Import file :"))
                fileReports << r.section('|', 1);
        }
        QCOMPARE(fileReports, (QStringList{"22", "44", "66", "88"}));
        QCOMPARE(reports.last(), QString("4 files to be imported|100"));
    }

    void driverOutcomes_data()
    {
        QTest::addColumn<QString>("modelLine");
        QTest::addColumn<QString>("lastReport");
        QTest::addColumn<int>("meter");
        QTest::newRow("blanks around 12") << " 12 " << "1 files to be imported|100" << 12;
        QTest::newRow("empty first line") << "" << "导入失败，没找到可导入文件|100" << -1;
        QTest::newRow("a word") << "model" << "导入失败，没找到可导入文件|100" << -1;
        QTest::newRow("unknown code 17") << "17" << "导入失败，没找到可导入文件|100" << -1;
        QTest::newRow("code 4 is family 5") << "4" << "1 files to be imported|100" << 5;
    }

    void driverOutcomes()
    {
        QFETCH(QString, modelLine);
        QFETCH(QString, lastReport);
        QFETCH(int, meter);
        const int fields = meter == 5 ? 18 : 7;
        const QString folder = writeRecordFolder(QDir(dir.path()), QString("m%1").arg(QTest::currentDataTag()).remove(' '),
                                                 modelLine, {{"20240301.CSV", {recordLine(fields, 0)}}});
        const QStringList reports = runImport({folder + "/20240301.CSV"});
        QCOMPARE(reports.first(), QString("initializing...|1"));
        QCOMPARE(reports.last(), lastReport);
        QCOMPARE(Meter, meter);
        QCOMPARE(readSetting("Meter"), QString::number(meter));
    }

    void invalidNamesAndNonFilesAreLeftOut()
    {
        const QString folder = writeRecordFolder(QDir(dir.path()), "names", "11",
            {{"20240301.CSV", {recordLine(4, 1)}}, {"2024030.CSV", {recordLine(4, 2)}},
             {"202403011.CSV", {recordLine(4, 3)}}});
        QDir(folder).mkdir("20240302.CSV"); // a folder with a record file's name
        const QString fifo = folder + "/20240303.CSV";
        QCOMPARE(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
        const QStringList reports = runImport({folder + "/2024030.CSV", folder + "/20240301.CSV",
                                               folder + "/202403011.CSV", folder + "/20240302.CSV", fifo});
        QVERIFY(reports.contains("|2"));
        QCOMPARE(reports.count("Delete invalid file|2"), 2);
        QCOMPARE(reports.last(), QString("1 files to be imported|100"));
        QCOMPARE(tableRows("meter11").size(), 1);
    }

    void everyFileLeftOut()
    {
        const QString folder = writeRecordFolder(QDir(dir.path()), "none", "216", {{"2024031.CSV", {}}});
        Meter = 4;
        const QStringList reports = runImport({folder + "/2024031.CSV"});
        QCOMPARE(reports.last(), QString("No records could be read from the chosen files.|100"));
        QCOMPARE(Meter, 4);
    }

    void fileRemovedBeforeTheParser()
    {
        Meter = 4;
        const QString folder = writeRecordFolder(QDir(dir.path()), "removed", "11",
            {{"20240301.CSV", {recordLine(4, 1)}}, {"20240302.CSV", {recordLine(4, 2)}}, {"2024.CSV", {}}});
        QThread thread;
        SQLThread worker;
        worker.moveToThread(&thread);
        // The driver reports the badly named file last, after checking the
        // others; the second record file disappears right then.
        connect(&worker, &SQLThread::PostProgress, &worker, [&](QString text, int value) {
            if (text.isEmpty() && value == 2)
                QFile::remove(folder + "/20240302.CSV");
        }, Qt::DirectConnection);
        QStringList reports;
        connect(&worker, &SQLThread::PostProgress, this, [&](QString text, int value) {
            reports << QString("%1|%2").arg(text).arg(value);
        });
        thread.start();
        QMetaObject::invokeMethod(&worker, "dn_importCSV", Qt::QueuedConnection,
                                  Q_ARG(QStringList, (QStringList{folder + "/20240301.CSV", folder + "/20240302.CSV", folder + "/2024.CSV"})));
        QTRY_VERIFY(!reports.isEmpty() && reports.last().endsWith("|100"));
        thread.quit();
        thread.wait();
        worker.moveToThread(QThread::currentThread());
        QVERIFY(reports.last().contains("20240302.CSV"));
        QVERIFY(!QSqlDatabase::contains("dbnamelog"));
        QCOMPARE(Meter, 4);
        QCOMPARE(tableRows("meter11").size(), 0); // nothing half-imported
    }

    void nativeAndQtPathsStoreTheSameRows()
    {
        QByteArray content = "header\r\n";
        content += "1,2,3,2024-03-01 00:00:00\r\n";
        content += "4,5,6,2024-03-01 00:01:00\n";                  // LF in a CRLF file
        content += QByteArray("7,8,9,2024-03-01 00:02:00") + '\0' + "junk,x,y\r\n"; // a NUL cuts the line
        content += "HH,\xff\xfe,9,2024-03-01 00:03:00\r\n";             // invalid UTF-8
        content += "1,2,3\r\n,,,\r\n";                                   // wrong count, then empties
        content += QByteArray(70000, 'x') + "\r\n";                      // overlong line
        content += "LL,5,6.7,2024-03-01 00:04:00";                         // no final line end
        const QString file = writeRawRecordFile(QDir(dir.path()), "paths", "11", content);

        QList<QStringList> results;
        for (InsertPath path : {InsertPath::Native, InsertPath::QtQuery}) {
            freshDatabase();
            setPreferredInsertPath(path);
            runImport({file});
            results << tableRows("meter11");
        }
        QCOMPARE(results.at(0), results.at(1));
        QCOMPARE(results.at(0).size(), 6);
        QCOMPARE(results.at(0).at(2), QString("7|8|9|2024-03-01 00:02:00"));
        QCOMPARE(results.at(0).at(3), QString::fromUtf8("HH|\xef\xbf\xbd\xef\xbf\xbd|9|2024-03-01 00:03:00\n"));
        QCOMPARE(results.at(0).at(4), QString("|||\n"));
        QCOMPARE(results.at(0).at(5), QString("LL|5|6.7|2024-03-01 00:04:00"));
    }

    void recordsAcrossManyBatches()
    {
        // About 1.5 MB: the file is read in several batches while earlier ones
        // are stored, with skipped lines and a long repaired line among them.
        QByteArray content = "header\r\n";
        QStringList expected;
        const QDateTime start(QDate(2024, 3, 1), QTime(0, 0));
        for (int i = 0; i < 40000; ++i) {
            const QByteArray time = start.addSecs(i).toString("yyyy-MM-dd hh:mm:ss").toLatin1();
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
        const QString file = writeRawRecordFile(QDir(dir.path()), "batches", "11", content);
        QCOMPARE(runImport({file}).last(), QString("1 files to be imported|100"));
        QCOMPARE(tableRows("meter11"), expected);
    }

    void badFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<int>("rows");
        QTest::newRow("empty file") << QByteArray() << 0;
        QTest::newRow("header only") << QByteArray("PV1,SV1,OUT1,Time\r\n") << 0;
        QTest::newRow("header without line end") << QByteArray("PV1,SV1,OUT1,Time") << 0;
        QTest::newRow("mixed line ends") << QByteArray("h\r\n1,2,3,2024-03-01 00:00:00\n4,5,6,2024-03-01 00:01:00\r\n") << 2;
        QTest::newRow("only line ends") << QByteArray("\n\n\r\n\n") << 0;
        QTest::newRow("NUL in the header") << QByteArray("h") + '\0' + "h\n1,2,3,2024-03-01 00:00:00\n" << 1;
    }

    void badFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(int, rows);
        const QString name = QString("bad-%1").arg(QTest::currentDataTag()).replace(' ', '-');
        const QString file = writeRawRecordFile(QDir(dir.path()), name, "11\n", content);
        const QStringList reports = runImport({file});
        // A file without a single record is no import: the previous records stay.
        QCOMPARE(reports.last(), rows ? QString("1 files to be imported|100")
                                      : QString("No records could be read from the chosen files.|100"));
        QCOMPARE(tableRows("meter11").size(), rows);
    }

    void unreadableFileIsLeftOut()
    {
        if (geteuid() == 0)
            QSKIP("root reads every file");
        const QString folder = writeRecordFolder(QDir(dir.path()), "unreadable", "11",
            {{"20240301.CSV", {recordLine(4, 1)}}, {"20240302.CSV", {recordLine(4, 2)}}});
        QFile::setPermissions(folder + "/20240302.CSV", QFileDevice::Permissions());
        const QStringList reports = runImport({folder + "/20240301.CSV", folder + "/20240302.CSV"});
        QVERIFY(reports.contains("Delete invalid file|2"));
        QCOMPARE(tableRows("meter11").size(), 1);
    }

    void lineReaderBoundsLongLines()
    {
        QByteArray data = "a\r\n" + QByteArray(200, 'y') + "\nb,c\n" + QByteArray(300, 'z');
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        RecordLineReader reader(buffer, 100);
        QByteArrayView line;
        bool overlong = false;
        QStringList seen;
        while (reader.next(line, overlong))
            seen << (overlong ? QString("<long>") : QString::fromUtf8(line.toByteArray()));
        QCOMPARE(seen, (QStringList{"a\n", "<long>", "b,c\n", "<long>"}));
        FieldSpan fields[4];
        QCOMPARE(splitRecordFields(",,a,", fields, 4), 4);
        QCOMPARE(splitRecordFields("a,b,c,d,e,f", fields, 4), 6);
        QCOMPARE(QByteArray(fields[3].data, fields[3].size), QByteArray("d"));
    }
};

QTEST_MAIN(TestImport)
#include "tst_import.moc"
