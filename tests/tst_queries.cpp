#include "recordstore.h"
#include "settings.h"
#include "sqlthread.h"
#include "statements.h"
#include "recordtime.h"
#include "testsupport.h"

#include <QTemporaryDir>
#include <QSqlQuery>
#include <QtTest>
#include <functional>

using namespace TestSupport;

namespace {

const QDateTime Start(QDate(2024, 3, 1), QTime(0, 0));

QString pvText(int k, int channel)
{
    if (k % 17 == 5)
        return "HH";
    if (k % 23 == 7)
        return "LL";
    return QString::number((k * 7 + channel * 3) % 40 - 5 + (k % 4) * 0.25);
}

QString humidityText(int k)
{
    return k % 19 == 3 ? "HH" : QString::number((k * 11) % 90 + 0.5);
}

QString outText(int k)
{
    static const QStringList outs{"45", "45.6", "abc", "12.4", "0"};
    return outs.at(k % outs.size());
}

// The generated record k of a meter, field by field.
QStringList recordFields(int model, int k)
{
    QStringList f;
    if (model >= 11 && model <= 16) {
        for (int c = 0; c < model - 10; ++c)
            f << pvText(k, c) << QString::number(50 + c) << outText(k);
    } else if (model >= 200) {
        for (int c = 0; c < model - 200; ++c)
            f << pvText(k, c);
    } else if (model == 2 || model == 4) {
        f << pvText(k, 0);
        for (int a = 1; a <= (model == 2 ? 4 : 8); ++a)
            f << QString::number(a * 10) << (k % (a + 1) == 0 ? "01" : "00");
    } else {
        f << pvText(k, 0) << "30" << (k % 2 ? "01" : "00") << humidityText(k) << "80" << (k % 3 ? "00" : "01");
    }
    f << Start.addSecs(60 * k).toString("yyyy-MM-dd hh:mm:ss");
    return f;
}

// A local time as the record's stamp writes it.
QDateTime wallClock(const QDateTime &local)
{
    return QDateTime(local.date(), local.time(), Qt::UTC);
}

// A value read from a stored field: its number, or NaN where it holds none.
bool sameValue(double read, const QString &stored)
{
    bool number = false;
    const double value = stored.toDouble(&number);
    return number ? read == value : std::isnan(read);
}

double number(const QString &text)
{
    return text.toDouble(); // HH and LL compare as 0, as SQLite's cast does
}

struct Oracle {
    int model;
    int count;
    int channel; // 0-based
    QList<int> matches(const TableSearch &s) const
    {
        QList<int> ks;
        for (int k = 0; k < count; ++k) {
            const QDateTime t = Start.addSecs(60 * k);
            if (t < s.st || t > s.en)
                continue;
            const QStringList f = recordFields(model, k);
            const QString pv = f.at(model >= 11 && model <= 16 ? 3 * channel : (model >= 200 ? channel : 0));
            bool ok;
            if (model == 3) {
                const QString h = f.at(3);
                ok = s.ishl ? (pv == "HH" || pv == "LL" || h == "HH" || h == "LL")
                            : (number(pv) > s.pv1 && number(pv) < s.pv2 && number(h) > s.th1 && number(h) < s.th2);
            } else {
                ok = s.ishl ? (pv == "HH" || pv == "LL") : (number(pv) > s.pv1 && number(pv) < s.pv2);
            }
            if (ok)
                ks << k;
        }
        return ks;
    }
};

int familyOfModel(int model)
{
    if (model >= 11 && model <= 16) return 1;
    if (model >= 200) return 2;
    return model + 1;
}

} // namespace

class TestQueries : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    QThread thread;
    SQLThread *worker = nullptr;
    int importedModel = 0;
    int importedCount = 0;

    // Runs one job on the worker and waits for its final report.
    void runJob(std::function<void()> job)
    {
        QSignalSpy spy(worker, &SQLThread::PostProgress);
        QMetaObject::invokeMethod(worker, job, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(!spy.isEmpty() && spy.last().at(1).toInt() == 100, 30000);
        QCOMPARE(spy.first().at(0).toString(), QString("Querying..."));
        QCOMPARE(spy.last().at(0).toString(), QString("Query executed."));
        QVERIFY(!QSqlDatabase::contains("dbnamelog"));
    }

    void importModel(int model, int count)
    {
        if (importedModel == model && importedCount == count)
            return;
        freshDatabase();
        QStringList lines;
        for (int k = 0; k < count; ++k)
            lines << recordFields(model, k).join(',');
        const QString folder = writeRecordFolder(QDir(dir.path()), QString("m%1_%2").arg(model).arg(count),
                                                 QString::number(model), {{"20240301.CSV", lines}});
        runImport({folder + "/20240301.CSV"});
        importedModel = model;
        importedCount = count;
    }

    void search(int family, const TableSearch &s)
    {
        runJob([=] {
            switch (family) {
            case 1: worker->dn_Record_Search1(s.pageid, s.idx, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            case 2: worker->dn_Record_Search2(s.pageid, s.idx, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            case 3: worker->dn_Record_Search3(s.pageid, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            case 4: worker->dn_Record_Search4(s.pageid, s.st, s.en, s.pv1, s.pv2, s.th1, s.th2, s.ishl); break;
            case 5: worker->dn_Record_Search5(s.pageid, s.st, s.en, s.pv1, s.pv2, s.ishl); break;
            }
        });
    }

    void chart(int family, int pageid, int idx, const QDateTime &st, const QDateTime &en)
    {
        runJob([=] {
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
        writeConfig();
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

    void tableSearch_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("channel");
        QTest::addColumn<bool>("ishl");
        QTest::addColumn<double>("pv1");
        QTest::addColumn<double>("pv2");
        QTest::addColumn<double>("th1");
        QTest::addColumn<double>("th2");
        // Minutes of the window: a wide one is read in table order, the late
        // one through the time index at first, in table order for later pages.
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        const QList<int> models{13, 208, 2, 3, 4};
        for (int model : models) {
            const int family = familyOfModel(model);
            const int channel = family <= 2 ? 1 : 0;
            QTest::addRow("family%d range", family) << model << channel << false << 2.0 << 20.0 << 10.0 << 60.0 << 10 << 300;
            QTest::addRow("family%d range with 0", family) << model << channel << false << -1.0 << 3.0 << -1.0 << 50.0 << 10 << 300;
            QTest::addRow("family%d HH/LL", family) << model << channel << true << 5.0 << 1.0 << 0.0 << 0.0 << 10 << 300;
            QTest::addRow("family%d range, late window", family) << model << channel << false << 2.0 << 20.0 << 10.0 << 60.0 << 280 << 399;
            QTest::addRow("family%d HH/LL, late window", family) << model << channel << true << 5.0 << 1.0 << 0.0 << 0.0 << 250 << 399;
        }
    }

    void tableSearch()
    {
        QFETCH(int, model);
        QFETCH(int, channel);
        QFETCH(bool, ishl);
        const int family = familyOfModel(model);
        importModel(model, 400);
        Meter = family <= 2 ? model : family;
        PageRcd = 7;

        TableSearch s;
        s.idx = channel;
        QFETCH(int, from);
        QFETCH(int, to);
        s.st = Start.addSecs(60 * from);
        s.en = Start.addSecs(60 * to);
        s.ishl = ishl;
        QFETCH(double, pv1);
        QFETCH(double, pv2);
        QFETCH(double, th1);
        QFETCH(double, th2);
        s.pv1 = pv1;
        s.pv2 = pv2;
        s.th1 = th1;
        s.th2 = th2;
        const QList<int> expected = Oracle{model, 400, channel}.matches(s);
        QVERIFY(expected.size() > 2 * PageRcd);

        s.pageid = -1;
        search(family, s);
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
                const QStringList f = recordFields(model, k);
                const QString pv = f.at(family == 1 ? 3 * channel : (family == 2 ? channel : 0));
                QCOMPARE(row.id, first + i);
                QCOMPARE(row.time, wallClock(Start.addSecs(60 * k)));
                if (ishl || std::isnan(row.value1))
                    QCOMPARE(row.text1, pv); // a marker keeps its text in range mode too
                if (!ishl)
                    QVERIFY(sameValue(row.value1, pv));
                if (family <= 2)
                    QCOMPARE(row.channel, channel + 1);
                if (family == 1) {
                    const QString out = f.at(3 * channel + 2);
                    QCOMPARE(row.value3, out == "45.6" ? 46.0 : (out == "12.4" ? 12.0 : out.toInt()));
                    QCOMPARE(row.value2, f.at(3 * channel + 1).toDouble());
                }
                if (family == 3 || family == 5) {
                    for (int a = 1; a <= (family == 3 ? 4 : 8); ++a)
                        QCOMPARE(row.alarm(a), f.at(2 * a));
                }
                if (family == 4) {
                    QCOMPARE(row.alarm(1), f.at(2));
                    QCOMPARE(row.alarm(2), f.at(5));
                    QCOMPARE(row.value4, 30.0);
                    QCOMPARE(row.value5, 80.0);
                    if (ishl)
                        QCOMPARE(row.text2, f.at(3));
                    else
                        QVERIFY(sameValue(row.value2, f.at(3)));
                }
            }
        }
        QCOMPARE(g_recordCount, int(expected.size())); // paging never counts again
    }

    void boundsAreExclusiveAndKeepEveryDigit()
    {
        freshDatabase();
        const QStringList lines{"12345.679,1,2,2024-03-01 00:00:00", "12345.678,1,2,2024-03-01 00:00:01",
                                "12345.7,1,2,2024-03-01 00:00:02", "5,1,2,2024-03-01 00:00:03"};
        const QString folder = writeRecordFolder(QDir(dir.path()), "bounds", "11", {{"20240301.CSV", lines}});
        runImport({folder + "/20240301.CSV"});
        importedModel = 0;
        Meter = 11;
        PageRcd = 10;
        TableSearch s;
        s.st = Start;
        s.en = Start.addSecs(3);
        s.pv1 = 12345.678;
        s.pv2 = 12345.7;
        search(1, s);
        QCOMPARE(g_recordCount, 1);
        QCOMPARE(g_records.first().value1, 12345.679);
        s.pv1 = 5;
        s.pv2 = 12345.678;
        s.en = Start.addSecs(2); // the window ends exactly on the third record
        search(1, s);
        QCOMPARE(g_recordCount, 0);
        QVERIFY(g_records.isEmpty());
        QCOMPARE(boundText(12345.678), QString("12345.678"));
        QCOMPARE(boundText(-0.5), QString("-0.5"));
        QCOMPARE(boundText(100), QString("100"));
    }

    void pageRcdBelowOneIsSafe()
    {
        importModel(3, 400);
        Meter = 4;
        PageRcd = 0;
        TableSearch s;
        s.st = Start;
        s.en = Start.addSecs(60 * 400);
        s.ishl = true;
        search(4, s);
        QVERIFY(g_records.size() <= 100 && !g_records.isEmpty());
        PageRcd = 100;
    }

    void chartPages()
    {
        importModel(16, 1234);
        Meter = 16;
        PlotRcd = 500;
        const QDateTime st = Start, en = Start.addSecs(60 * 1233);
        chart(1, -1, 5, st, en);
        QCOMPARE(g_recordCount, 1234);
        QCOMPARE(int(g_records.size()), 500);
        chart(1, 2, 5, st, en);
        QCOMPARE(int(g_records.size()), 234);
        for (int i = 0; i < 234; ++i) {
            const QStringList f = recordFields(16, 1000 + i);
            QVERIFY(sameValue(g_records.at(i).value1, f.at(15))); // pv6
            QCOMPARE(g_records.at(i).value2, f.at(16).toDouble()); // sv6
            QCOMPARE(g_records.at(i).time, wallClock(Start.addSecs(60 * (1000 + i))));
        }
        chart(1, 3, 5, st, en);
        QVERIFY(g_records.isEmpty());
        QCOMPARE(g_recordCount, 1234);
        chart(1, -1, 0, Start.addSecs(-600), Start.addSecs(-1));
        QCOMPARE(g_recordCount, 0);
        QVERIFY(g_records.isEmpty());
        chart(1, -1, 0, Start.addSecs(60), Start.addSecs(120)); // inclusive at both ends
        QCOMPARE(g_recordCount, 2);
    }

    void chartFamilies_data()
    {
        QTest::addColumn<int>("model");
        QTest::newRow("family2") << 216;
        QTest::newRow("family3") << 2;
        QTest::newRow("family4") << 3;
        QTest::newRow("family5") << 4;
    }

    void chartFamilies()
    {
        QFETCH(int, model);
        const int family = familyOfModel(model);
        importModel(model, 300);
        Meter = family == 2 ? model : family;
        PlotRcd = 120;
        chart(family, -1, 0, Start, Start.addSecs(60 * 299));
        QCOMPARE(g_recordCount, 300);
        QCOMPARE(int(g_records.size()), 120);
        for (int i = 0; i < 120; ++i) {
            const QStringList f = recordFields(model, i);
            QVERIFY(sameValue(g_records.at(i).value1, f.at(0)));
            if (family == 4)
                QVERIFY(sameValue(g_records.at(i).value2, f.at(3)));
        }
    }

    void failedStatementsKeepTheStore()
    {
        importModel(3, 300);
        Meter = 4;
        PlotRcd = 50;
        chart(4, -1, 0, Start, Start.addSecs(60 * 299));
        const int count = g_recordCount;
        const auto rows = g_records.size();
        Meter = 17; // names no table: both statements fail
        chart(1, -1, 0, Start, Start.addSecs(60 * 299));
        QCOMPARE(g_recordCount, count);
        QCOMPARE(g_records.size(), rows);
    }

    void recordTimeParsing_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected"); // as SQLite's datetime() reads it; empty: no time
        QTest::newRow("plain") << "2024-03-01 12:34:56" << "2024-03-01 12:34:56";
        QTest::newRow("with LF") << "2024-03-01 12:34:56\n" << "2024-03-01 12:34:56";
        QTest::newRow("with CRLF") << "2024-12-31 23:59:59\r\n" << "2024-12-31 23:59:59";
        QTest::newRow("leap day") << "2024-02-29 00:00:00" << "2024-02-29 00:00:00";
        QTest::newRow("T between") << "2024-03-01T08:48:00\r\n" << "2024-03-01 08:48:00";
        QTest::newRow("no seconds") << "2024-03-01 08:49\r\n" << "2024-03-01 08:49:00";
        QTest::newRow("fraction") << "2024-03-01 08:49:00.75" << "2024-03-01 08:49:00";
        QTest::newRow("zulu") << "2024-03-01 08:49:00Z" << "2024-03-01 08:49:00";
        QTest::newRow("date alone") << "2024-03-01\n" << "2024-03-01 00:00:00";
        QTest::newRow("Julian day") << "2460371.5\r\n" << "2024-03-02 00:00:00";
        QTest::newRow("no leap day") << "2023-02-29 00:00:00" << "";
        QTest::newRow("month 13") << "2024-13-01 00:00:00" << "";
        QTest::newRow("hour 24") << "2024-03-01 24:00:00" << "";
        QTest::newRow("slashes") << "2024/03/01 00:00:00" << "";
        QTest::newRow("short") << "2024-3-1 0:00:00" << "";
        QTest::newRow("letters") << "2024-03-01 1a:00:00" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("HH") << "HH" << "";
    }

    void recordTimeParsing()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QDateTime wall = recordWallClock(text);
        QCOMPARE(wall.isValid(), !expected.isEmpty());
        if (expected.isEmpty())
            return;
        QCOMPARE(wall.toString("yyyy-MM-dd hh:mm:ss"), expected);
        QCOMPARE(parseRecordTime(text), QDateTime(wall.date(), wall.time()));
        // SQLite reads the same stamp alike, so the rows a query selects get their time.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "stamps");
        db.setDatabaseName(":memory:");
        QVERIFY(db.open());
        QSqlQuery q(db);
        q.prepare("select datetime(?)");
        q.addBindValue(text);
        QVERIFY(q.exec() && q.next());
        QCOMPARE(q.value(0).toString(), expected);
        q.finish();
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("stamps");
    }
};

QTEST_MAIN(TestQueries)
#include "tst_queries.moc"
