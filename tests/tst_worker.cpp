#include "arrivingblocks.h"
#include "recorddatabase.h"
#include "excursionlist.h"
#include "periods.h"
#include "readahead.h"
#include "nativestatement.h"
#include "overviewcells.h"
#include "recorddatetime.h"
#include "recordnumber.h"
#include "recordoverview.h"
#include "recordsources.h"
#include "recordtime.h"
#include "recordtext.h"
#include "wallclock.h"
#include "rowinserter.h"
#include "settings.h"
#include "stampblocks.h"
#include "windowrecords.h"
#include "sqlthread.h"
#include "statements.h"
#include "recordsums.h"
#include "summaryblocks.h"
#include "tablecount.h"
#include "tablepages.h"
#include "testsupport.h"

#include <QRandomGenerator>
#include <QThread>
#include <QSqlQuery>
#include <QCryptographicHash>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace TestSupport;

// Heap allocations on this thread (the sanitizers keep malloc to themselves):
// a stamp in the common layout is read without building a string.
#ifndef __SANITIZE_ADDRESS__
thread_local qint64 g_allocations = 0;
extern "C" void *__libc_malloc(size_t size);
extern "C" void *malloc(size_t size)
{
    ++g_allocations;
    return __libc_malloc(size);
}
#endif

namespace {

sqlite3 *g_lockHolder = nullptr;

// A reader that holds its lock on the database the job writes, so that the
// job's commit cannot write.
void holdReadLock(QSqlDatabase &db)
{
    QSqlQuery(db).exec("PRAGMA busy_timeout = 0");
    sqlite3_open(QFile::encodeName(db.databaseName()).constData(), &g_lockHolder);
    sqlite3_exec(g_lockHolder, "BEGIN; SELECT count(*) FROM sqlite_master;", nullptr, nullptr, nullptr);
}

// A record as the overview must see it, computed here from what was written.
struct Drawn {
    qint64 time;
    qint64 rowid;
    QString value;
};

// The cell all of `records` make, worked out here: the first and last by time
// then rowid, the first least and greatest number in that order, the first
// and last number, the markers.
OverviewCell cellOf(QList<Drawn> records)
{
    std::sort(records.begin(), records.end(), [](const Drawn &a, const Drawn &b) {
        return a.time < b.time || (a.time == b.time && a.rowid < b.rowid);
    });
    const auto point = [](const Drawn &d) {
        bool number = false;
        const double value = d.value.toDouble(&number);
        return OverviewPoint{d.time, d.rowid, number ? value : qQNaN()};
    };
    OverviewCell cell;
    QList<OverviewPoint> numbers;
    for (const Drawn &d : records) {
        if (!std::isnan(point(d).value))
            numbers << point(d);
        cell.hh += d.value == "HH";
        cell.ll += d.value == "LL";
    }
    cell.records = records.size();
    cell.numbers = numbers.size();
    if (!records.isEmpty()) {
        cell.first = point(records.first());
        cell.last = point(records.last());
    }
    const auto less = [](const OverviewPoint &a, const OverviewPoint &b) { return a.value < b.value; };
    if (!numbers.isEmpty()) {
        cell.minimum = *std::min_element(numbers.begin(), numbers.end(), less);
        cell.maximum = *std::max_element(numbers.begin(), numbers.end(), less);
        cell.firstNumber = numbers.first();
        cell.lastNumber = numbers.last();
    }
    return cell;
}

QString figuresOf(const OverviewCell &cell)
{
    if (cell.records == 0)
        return "0";
    const auto text = [](const OverviewPoint &p, const QString &marker) {
        return QString("%1@%2#%3").arg(std::isnan(p.value) ? marker : QString::number(p.value)).arg(p.time).arg(p.rowid);
    };
    QString figures = QString("%1 %2 %3 %4 | %5 | %6").arg(cell.records).arg(cell.numbers).arg(cell.hh).arg(cell.ll)
                          .arg(text(cell.first, "?"), text(cell.last, "?"));
    if (cell.numbers > 0)
        figures += QString(" | %1 | %2 | %3 %4").arg(text(cell.minimum, ""), text(cell.maximum, ""))
                       .arg(cell.firstNumber.value).arg(cell.lastNumber.value);
    return figures;
}

// One-second records over four hours: a slow swing between 35 and 65, spikes
// of a single record, markers, a text that is no number, a step of three
// seconds, a gap of ten minutes and one of twenty seconds, a hundred records
// stamped two minutes back, duplicated stamps, (on alarm meters) a run of
// alarm 1, and two-second steps in the last thousand. From the third hour
// on, markers every minute or two, runs of them across the edges of a
// minute and an hour among them.
QStringList secondRecords(int model, bool inOrder = false)
{
    QStringList lines;
    for (int k = 0, second = 0; k < 15000; ++k, ++second) {
        // Steps of three seconds (no gap yet), ten minutes and 20 s gone, two seconds at the end.
        second += k == 3030 ? 2 : k == 6000 ? 600 : k == 10025 ? 20 : k >= 14000 ? 1 : 0;
        second += inOrder && k == 4100 ? 3 : inOrder && k == 6590 ? 30 : 0; // the shortest gap; one across an hour
        // Stamps out of rowid order: a while back, a second back, the first two of an hour
        // swapped, and a record an hour back whose place the next minute's first record takes
        // (so that the rowids of its minute still span as many as it holds).
        const int at = inOrder ? second : k >= 8000 && k < 8100 ? second - 120 : k % 1000 == 999 ? second - 1
            : k == 3598 ? second + 1 : k == 3599 ? second - 1 : k == 11408 ? second - 3600 : k == 11438 ? second - 30
            : second;
        // Noise on the swing: limits inside it are crossed every few records.
        // In order: in pairs of halves, so that values equal each other and the limits.
        const double noise = inOrder ? 20 * std::sin((k & ~1) * 2.3) : 0;
        const double number = 50 + 15 * std::sin((inOrder ? k & ~1 : k) / 900.0) + noise;
        QString value = inOrder ? QString::number(std::round(2 * number) / 2, 'f', 1) : QString::number(number, 'f', 2);
        // In order: a block of numbers no power of ten holds (kept as doubles), and a -0.
        if (inOrder && k >= 5000 && k < 5030)
            value = QString::number(50 + std::sin(k) / 3, 'g', 17);
        if (inOrder && k == 2222)
            value = "-0.00";
        if (k == 3598 || k == 3599 || k == 11408 || k == 11438)
            value = k % 2 ? "35.5" : "64.25";
        if (k < 9000 && k % 1777 == 5)
            value = k % 2 ? "75" : "25";
        if (k == 2500 || k == 2501 || k == 7000)
            value = k == 7000 ? "LL" : "HH";
        if (k >= 9000 && k < 14000 && (k % 97 == 0 || k % 89 == 0 || k == 10177 || k == 10178 || k == 11017 || k == 11018))
            value = k % 89 == 0 || k == 11018 ? "LL" : "HH";
        if (k == 4444)
            value = "n/a";
        QStringList fields = recordFields(model, k);
        fields[0] = value;
        if (familyOfModel(model) == 5) {
            for (int a = 1; a <= 8; ++a)
                fields[2 * a] = a == 1 && ((k >= 3000 && k < 3400) || k == 3500) ? "01" : "00";
        }
        fields.last() = Start.addSecs(at).toString("yyyy-MM-dd hh:mm:ss");
        lines << fields.join(',');
    }
    return lines;
}

// The figures of excursions and periods, to compare one way of reading with another.
QStringList figuresOf(const QList<Excursion> &excursions, const QList<PeriodFigures> &periods)
{
    QStringList figures;
    for (const Excursion &e : excursions)
        figures << QString("%1 %2-%3 %4@%5 %6 #%7 %8 %9").arg(e.kind).arg(e.start).arg(e.end).arg(e.extreme)
                       .arg(e.extremeTime).arg(e.records).arg(e.firstRowid).arg(e.cut).arg(e.alarm);
    for (const PeriodFigures &p : periods)
        figures << QString("%1-%2 %3 %4 %5@%18..%6@%19 mean %7 MKT %8 %9 %10 | %11 %12 %13 %14 %15 | %16 %17")
                       .arg(p.start).arg(p.end).arg(p.records).arg(p.numbers).arg(p.minimum).arg(p.maximum)
                       .arg(p.mean(), 0, 'g', 12).arg(p.meanKinetic(), 0, 'g', 12).arg(p.high).arg(p.low)
                       .arg(p.excursions).arg(p.secondsOutside).arg(p.secondsAbove).arg(p.secondsBelow)
                       .arg(p.secondsWithoutRecords).arg(p.firstValue).arg(p.lastValue).arg(p.minimumTime).arg(p.maximumTime);
    return figures;
}

// Cancels `state.first` at the `state.second`th call of SQLite's progress
// handler, called every `steps` steps on each connection the worker opens.
void cancelOnProgress(std::pair<SQLThread *, int> &state, int steps)
{
    SQLThread::setConnectionHook([&state, steps](QSqlDatabase &db) {
        sqlite3_progress_handler(sqliteHandle(db), steps, [](void *arg) {
            auto *state = static_cast<std::pair<SQLThread *, int> *>(arg);
            if (--state->second == 0)
                state->first->cancel();
            return 0;
        }, &state);
    });
}

// The records of `rows` as SQLite itself gives them: each field's text
// (none: empty), 0x1f after each, 0x1e after the last; with their rowids.
QByteArray storedText(sqlite3_stmt *rows, QList<qint64> *rowids)
{
    QByteArray text;
    while (sqlite3_step(rows) == SQLITE_ROW) {
        *rowids << sqlite3_column_int64(rows, 0);
        for (int c = 1; c < sqlite3_column_count(rows); ++c) {
            if (sqlite3_column_type(rows, c) != SQLITE_NULL)
                text.append(reinterpret_cast<const char *>(sqlite3_column_text(rows, c)), sqlite3_column_bytes(rows, c));
            text += '\x1f';
        }
        text += '\x1e';
    }
    sqlite3_finalize(rows);
    return text;
}

// The digest of the records of a window, stamped as SQLite stamps them, with their number.
QString storedDigest(const QString &table, const QDateTime &st, const QDateTime &en)
{
    sqlite3 *db = nullptr;
    sqlite3_open_v2(QFile::encodeName(recordDatabasePath()).constData(), &db, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt *rows = nullptr;
    const QByteArray statement = "select rowid, * from " + table.toLatin1() + " where datetime(indate) between ?1 and ?2 order by rowid";
    sqlite3_prepare_v2(db, statement.constData(), -1, &rows, nullptr);
    const QByteArray from = st.toString("yyyy-MM-dd hh:mm:ss").toLatin1(), to = en.toString("yyyy-MM-dd hh:mm:ss").toLatin1();
    sqlite3_bind_text(rows, 1, from.constData(), -1, SQLITE_STATIC);
    sqlite3_bind_text(rows, 2, to.constData(), -1, SQLITE_STATIC);
    QList<qint64> rowids;
    const QByteArray text = storedText(rows, &rowids);
    sqlite3_close(db);
    return QString("%1 of %2").arg(QString::fromLatin1(QCryptographicHash::hash(text, QCryptographicHash::Sha256).toHex())).arg(rowids.size());
}

// A field of every kind SQLite stores, at the edges of each integer width
// and of a page's room for a record.
void bindAnyField(sqlite3_stmt *insert, int i, QRandomGenerator &random, int pageSize)
{
    static const qint64 integers[] = {0, 1, -1, 127, -128, 128, 32767, -32768, 32768, 8388607, -8388608,
                                      2147483647, -2147483647 - 1, 2147483648LL, 140737488355327LL,
                                      -140737488355328LL, 140737488355328LL, std::numeric_limits<qint64>::max(),
                                      std::numeric_limits<qint64>::min()};
    static const double reals[] = {0.5, -0.0, 3.0, 1e308, -2.5e-300, 0.1, 82.3, 1e15, 123456789.123456789};
    QByteArray bytes(random.bounded(8) == 0 ? random.bounded(pageSize - 60, 3 * pageSize) : random.bounded(14), '\0');
    for (char &b : bytes)
        b = char(random.bounded(8) == 0 ? random.bounded(256) : random.bounded(32, 127)); // NUL and no UTF-8 too
    switch (random.bounded(6)) {
    case 0:
        sqlite3_bind_null(insert, i);
        break;
    case 1:
        sqlite3_bind_int64(insert, i, integers[random.bounded(int(std::size(integers)))]);
        break;
    case 2:
        sqlite3_bind_double(insert, i, random.bounded(2) ? reals[random.bounded(int(std::size(reals)))]
                                                       : random.generateDouble() * 1e6 - 5e5);
        break;
    case 3:
        sqlite3_bind_blob(insert, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
        break;
    default:
        sqlite3_bind_text(insert, i, bytes.constData(), int(bytes.size()), SQLITE_TRANSIENT);
    }
}
} // namespace

class TestWorker : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void cleanup()
    {
        SQLThread::restoreDefaults();
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
        // The files are read in the order of their names, whatever the order chosen.
        const QString folder = writeRecordFolder(QDir(dir.path()), QString("f%1").arg(model), QString::number(model),
                                                 {{"20240302.CSV", lines.mid(5)}, {"20240301.CSV", lines.mid(0, 5)}});
        QCOMPARE(runImport({folder + "/20240302.CSV", folder + "/20240301.CSV", folder + "/2024030.CSV"}).last(),
                 QString("2 files to be imported|100"));
        QCOMPARE(Meter, meterOfModel(model));
        QCOMPARE(readSetting("Meter"), QString::number(meterOfModel(model)));
        QCOMPARE(tableRows(table), expected);
        QCOMPARE(databaseValue(QString("select count(*) from sqlite_master where name = '%1_time'").arg(table)), QString("0"));
        for (const char *other : {"meter11", "meter216", "meter3", "meter4", "meter5"})
            if (other != table)
                QCOMPARE(tableRows(other).size(), 0);
    }

    void fieldsAreStoredAsWritten()
    {
        QByteArray content = "header\r\n";
        content += "1.5,2,45.6,2024-03-01 00:00:00\r\n";
        content += "x'); DROP TABLE meter11;--,5,6,2024-03-01 00:01:00\n"; // LF in a CRLF file
        content += QByteArray("7,8,9,2024-03-01 00:02:00") + '\0' + "junk,x,y\r\n"; // a NUL cuts the line
        content += "HH,\xff\xfe,9,2024-03-01 00:03:00\r\n";                 // invalid UTF-8
        content += "1,2,3\r\n,,,\r\n";                                       // wrong count, then empties
        content += QByteArray(70000, 'x') + "\r\n";                          // overlong line
        QStringList expected{"1.5|2|45.6|2024-03-01 00:00:00\n", "x'); DROP TABLE meter11;--|5|6|2024-03-01 00:01:00\n",
                             "7|8|9|2024-03-01 00:02:00",
                             QString::fromUtf8("HH|\xef\xbf\xbd\xef\xbf\xbd|9|2024-03-01 00:03:00\n"), "|||\n"};
        // About 1.5 MB more, read in several batches while earlier ones are
        // stored: skipped lines, and long lines that grow threefold when repaired.
        int skipped = 2; // the wrong count and the overlong line above
        for (int i = 0; i < 40000; ++i) {
            const QByteArray time = Start.addSecs(i).toString("yyyy-MM-dd hh:mm:ss").toLatin1();
            const bool longSv = i % 10007 == 5000;
            if (i % 7 == 3) {
                content += QByteArray::number(i) + "," + time + "\r\n"; // wrong count
                ++skipped;
                continue;
            }
            content += QByteArray::number(i) + "," + (longSv ? QByteArray(20000, '\xff') : QByteArray::number(i % 100))
                + ",1.5," + time + "\r\n";
            expected << QString("%1|%2|1.5|%3\n").arg(i).arg(longSv ? QString(20000, QChar(0xfffd)) : QString::number(i % 100),
                                                           QString::fromLatin1(time));
        }
        content += "LL,5,6.7,2024-03-01 00:04:00"; // no final line end
        expected << "LL|5|6.7|2024-03-01 00:04:00";
        const QString file = writeRawRecordFile(QDir(dir.path()), "paths", "  11  \n", content);
        for (InsertPath path : {InsertPath::Native, InsertPath::QtQuery}) {
            freshDatabase();
            setPreferredInsertPath(path);
            runImport({file});
            QCOMPARE(tableRows("meter11"), expected);
            // Every line after the header read, stored or skipped.
            QCOMPARE(queryRows("select records, lines_read, lines_skipped from imported_files"),
                     QStringList{QString("%1|%2|%3").arg(expected.size()).arg(40008).arg(skipped)});
        }
        setPreferredInsertPath(InsertPath::Automatic);
        // A row the database refuses (longer than its limit) is left out
        // alone, wherever it falls among the rows stored at once; the blocks'
        // sums, no longer those of the lines, are built from the rows.
        SQLThread::setConnectionHook([](QSqlDatabase &db) { sqlite3_limit(sqliteHandle(db), SQLITE_LIMIT_LENGTH, 50000); });
        SQLThread::setSummaryBlockRowids(1000);
        freshDatabase();
        runImport({file});
        expected.removeIf([](const QString &row) { return row.toUtf8().size() > 50000; });
        QCOMPARE(tableRows("meter11"), expected);
        QCOMPARE(SQLThread::readPathsOfLastStore().value(0), QString("sums built after the import"));
        SQLThread::setConnectionHook({});
        // An export quotes what the instrument wrote with quotes.
        runImport({writeRawRecordFile(QDir(dir.path()), "quoted", "2", "h\n5,1,\"01\",2,00,3,00,4,00,2024-03-01 00:00:00\n")});
        SQLThread().dn_exportTable(3, 0, Start, Start.addSecs(60), 0, 10, 0, 0, false, 1, dir.filePath("x.csv"));
        QCOMPARE(readTextFile(dir.filePath("x.csv")), QString("ID,PV,ALM1,ALM2,ALM3,ALM4,Time\r\n0,5,\"\"\"01\"\"\",00,00,00,2024/03/01 00:00:00\r\n"));
    }

    void importOutcomes_data()
    {
        QTest::addColumn<QByteArray>("modelLine");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("reason"); // what the user is told; empty: done
        QTest::addColumn<int>("rows");
        const QByteArray good = "h\r\n1,2,3,2024-03-01 00:00:00\n4,5,6,2024-03-01 00:01:00\r\n";
        QByteArray many = "h\r\n";
        for (int k = 0; k < 20000; ++k)
            many += recordFields(11, k).join(',').toUtf8() + "\r\n";
        const QString unknown = "The model code %1 in VNMETER.INI names no known meter.";
        const QString noRecords = "No records could be read from the chosen files.";
        QTest::newRow("blanks around 11") << QByteArray(" 11 ") << good << QString() << 2;
        QTest::newRow("unknown code 17") << QByteArray("17") << good << unknown.arg(17) << -1;
        QTest::newRow("unknown code 1") << QByteArray("1") << good << unknown.arg(1) << -1;
        QTest::newRow("no model file") << QByteArray("11") << good << "VNMETER.INI was not found beside the record files." << -1;
        QTest::newRow("empty file") << QByteArray("11") << QByteArray() << noRecords << -1;
        QTest::newRow("header only") << QByteArray("11") << QByteArray("PV1,SV1,OUT1,Time") << noRecords << -1;
        QTest::newRow("NUL in the header") << QByteArray("11") << QByteArray("h") + '\0' + "h\n1,2,3,2024-03-01 00:00:00\n" << QString() << 1;
        QTest::newRow("no template") << QByteArray("11") << good << "Write to the data fails" << -1;
        QTest::newRow("full disk") << QByteArray("11") << many << "Import failed: database or disk is full" << -1;
        QTest::newRow("failed commit") << QByteArray("11") << many << "database is locked Unable to commit transaction" << -1;
        QTest::newRow("read error") << QByteArray("11") << many << "Import failed: the record file FILE could not be read to "
                                       "its end: Input/output error. Nothing was imported." << -1;
    }

    void importOutcomes()
    {
        QFETCH(QByteArray, modelLine);
        QFETCH(QByteArray, content);
        QFETCH(QString, reason);
        QFETCH(int, rows);
        const QByteArray fault = QTest::currentDataTag();
        const QString templatePath = recordTemplatePath();
        importModel(QDir(dir.path()), 2, 3); // three records of model 2 on record before
        const QString settingsBefore = readTextFile();
        const QString file = writeRawRecordFile(QDir(dir.path()), fault, modelLine, content);
        if (fault == "no model file")
            QFile::remove(QFileInfo(file).path() + "/VNMETER.INI");
        if (fault == "no template")
            QVERIFY(QFile::rename(templatePath, templatePath + ".away"));
        if (fault == "full disk")
            SQLThread::setConnectionHook([](QSqlDatabase &db) { QSqlQuery(db).exec("PRAGMA max_page_count = 40"); });
        if (fault == "failed commit")
            SQLThread::setConnectionHook(holdReadLock);
        if (fault == "read error")
            failRecordReads(file);
        QString told;
        const QStringList reports = runImport({file}, &told);
        SQLThread::setConnectionHook({});
        QFile::rename(templatePath + ".away", templatePath);
        sqlite3_close_v2(g_lockHolder);
        g_lockHolder = nullptr;

        QCOMPARE(reports.first(), QString("initializing...|1"));
        QCOMPARE(told, QString(reason).replace("FILE", file));
        if (rows < 0) { // no import: the previous records and settings stay
            QCOMPARE(Meter, 3);
            QCOMPARE(tableRows("meter3").size(), 3);
            QCOMPARE(readTextFile(), settingsBefore);
            QVERIFY(!QFile::exists(newRecordDatabasePath()));
        } else {
            QCOMPARE(reports.last(), QString("1 files to be imported|100"));
            QCOMPARE(Meter, 11);
            QCOMPARE(tableRows("meter11").size(), rows);
            QCOMPARE(tableRows("meter3").size(), 0);
        }
    }

    // An insert the database interrupts (a cancel) rolls the caller's
    // transaction back: nothing goes in after it, which would stay stored
    // whatever the caller does then.
    void insertsEndWithTheTransaction()
    {
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "interrupted");
            db.setDatabaseName(":memory:");
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec("create table t (a text, b text)"));
            QVERIFY(db.transaction());
            std::unique_ptr<RowInserter> inserter = makeRowInserter(db, InsertPath::Native);
            QVERIFY(inserter->prepare("insert into t(a, b) values(:a, :b)"));
            const std::vector<FieldSpan> fields(400, FieldSpan{"1", 1});
            QVERIFY(inserter->insertMany(fields.data(), 200, 2));
            static int calls;
            calls = 0; // one interrupt, in the middle of the rows stored at once
            sqlite3_progress_handler(sqliteHandle(db), 20, [](void *) { return int(++calls == 3); }, nullptr);
            QVERIFY(!inserter->insertMany(fields.data(), 200, 2));
            QVERIFY(!inserter->errorText().isEmpty());
            sqlite3_progress_handler(sqliteHandle(db), 0, nullptr, nullptr);
            inserter.reset();
            db.rollback();
            QSqlQuery count(db);
            QVERIFY(count.exec("select count(*) from t") && count.next());
            QCOMPARE(count.value(0).toInt(), 0);
        }
        QSqlDatabase::removeDatabase("interrupted");
    }

    void staleJournalWithOldRows()
    {
        // A process that dies while changing the rows leaves a hot journal of
        // the old pages; the next import must not get them back.
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
        QCOMPARE(tableRows("meter11"), QStringList({recordFields(11, 5000).join('|') + "\n", recordFields(11, 5001).join('|') + "\n"}));
        QCOMPARE(databaseValue("PRAGMA quick_check"), QString("ok"));
    }

    // The worker's datetime() and the reading of a record's time answer as
    // SQLite's own datetime() does, on every stamp a record may carry.
    void datetimeAnswersAsSqlitesOwn()
    {
        sqlite3 *own = nullptr, *fast = nullptr;
        sqlite3_open(":memory:", &own);
        sqlite3_open(":memory:", &fast);
        QVERIFY(registerRecordDatetime(fast));
        const auto answer = [](sqlite3 *db, const QString &statement) {
            QStringList rows;
            sqlite3_exec(db, statement.toUtf8(), [](void *rows, int columns, char **values, char **) {
                return static_cast<QStringList *>(rows)->append(QString::fromUtf8(values[columns - 1] ? values[columns - 1] : "")), 0;
            }, &rows, nullptr);
            return rows;
        };
        const QStringList texts{"2024-03-01 00:00:00", "2024-02-29 23:59:59", "2023-02-29 00:00:00", "1900-02-29 12:00:00",
            "2000-02-29 12:00:00", "2024-04-31 00:00:00", "2024-13-01 00:00:00", "2024-00-10 00:00:00", "2024-01-00 00:00:00",
            "2024-03-01 24:00:00", "2024-03-01 23:60:00", "2024-03-01 23:59:60", "0999-12-31 00:00:00", "2024-03-01T00:00:00",
            "2024-03-01 00:00", "2024-03-01 00:00:00.5", " 2024-03-01 00:00:00", "2024/03/01 00:00:00", "2024-03-01 0a:00:00",
            "2024-03-01 00:00:00\n", "2024-03-01 00:00:00\b", "2024-03-01 00:00:00\r\n \t\v\f", "2024-03-01 00:00:00\nZ",
            "2024-03-01 08:49:00Z", "2024-03-01", "2460371.5", "HH", ""};
        QStringList values;
        for (const QString &text : texts)
            values << QString("('%1')").arg(text);
        const QString stamps = "select datetime(column1) from (values " + values.join(", ")
            + ", (NULL), (2460371.5), (1709251200), (x'323032342d30332d30312030303a30303a3030'))";
        const QStringList expected = answer(own, stamps);
        const long long delegatedBefore = recordDatetimeDelegated();
        QCOMPARE(answer(fast, stamps), expected);
        // Every stamp in the instrument's shape on a real clock (the first, at
        // the ends of months and leap days) is answered without SQLite's own.
        const QStringList onClock{"2024-03-01 00:00:00", "2024-02-29 23:59:59", "2000-02-29 12:00:00", "2024-03-01 00:00:00\n",
                                  "2024-03-01 00:00:00\r\n \t\v\f"};
        QCOMPARE(recordDatetimeDelegated() - delegatedBefore, texts.size() + 4 - onClock.size());
        QStringList lastDays;
        for (int month = 1; month <= 12; ++month)
            lastDays << QString("('%1')").arg(QDate(2023, month, 1).addMonths(1).addDays(-1).toString("yyyy-MM-dd 23:59:59"));
        const long long delegatedThen = recordDatetimeDelegated();
        answer(fast, "select datetime(column1) from (values " + lastDays.join(", ") + ")");
        QCOMPARE(recordDatetimeDelegated(), delegatedThen);
        QCOMPARE(expected.size(), texts.size() + 4); // one answer for each
#ifndef __SANITIZE_ADDRESS__
        for (const QString &text : onClock) {
            const QByteArray utf8 = text.toUtf8();
            const qint64 before = g_allocations;
            QVERIFY(isReadableStamp(utf8));
            QVERIFY2(g_allocations == before, qPrintable(utf8.toPercentEncoding())); // no string built
        }
        const QByteArray otherLayout("2024-03-01T00:00:00");
        const qint64 before = g_allocations;
        QVERIFY(isReadableStamp(otherLayout)); // the other layouts build one
        QVERIFY(g_allocations > before);
#endif
        // A window holds a stamp SQLite reads as a time on a clock of the years
        // 0 to 9999, and none it cannot read.
        for (int i = 0; i < texts.size(); ++i) {
            const bool onAClock = QDateTime::fromString(expected.at(i), "yyyy-MM-dd hh:mm:ss").isValid();
            if (onAClock || expected.at(i).isEmpty())
                QVERIFY2(isReadableStamp(texts.at(i).toUtf8()) == onAClock, qPrintable(texts.at(i).toUtf8().toPercentEncoding()));
        }
        // SQLite also takes a day 31 in any month and the hour 24, which are
        // on no clock: the reader takes neither.
        for (int i = 0; i < texts.size(); ++i) {
            const bool onAClock = QDateTime::fromString(expected.at(i), "yyyy-MM-dd hh:mm:ss").isValid();
            QVERIFY2(recordWallClock(texts.at(i)).toString("yyyy-MM-dd hh:mm:ss") == (onAClock ? expected.at(i) : QString()), qPrintable(texts.at(i).toUtf8().toPercentEncoding()));
        }
        // The time index is still built and used through it.
        sqlite3_exec(fast, "create table t(indate); create index i on t(datetime(indate));"
                           "insert into t values ('2024-03-01 00:00:00'), (5);", nullptr, nullptr, nullptr);
        QVERIFY(answer(fast, "explain query plan select * from t where datetime(indate) > '2024'").join('|').contains("USING INDEX i"));
        QCOMPARE(answer(fast, "select rowid from t where datetime(indate) >= '2024-03-01'"), QStringList{"1"});
        sqlite3_close(own);
        sqlite3_close(fast);
    }

    // A number is what the statements' `cast(v as numeric)=v` takes of a text
    // column, and finite: the reader of the sums, summaries and charts agrees.
    void numbersAsTheStatementsTakeThem()
    {
        QStringList texts{"1", "-1", "+1", "1.", ".5", "-.5", "5.25", "50.30", "1e3", "1E-2", "2e+1", "1e", "1e+", "e3",
                          ".", "-", "+-3", "12abc", " 7 ", "\t8", "1 2", "0x10", "1,5", "inf", "nan", "1e400", "", "HH",
                          "-0", "007.50", "123456789012345", "1234567890123456", "0.000000000000001", "9007199254740993"};
        // Decimals of up to 17 digits, the point anywhere in them.
        QRandomGenerator random(20261209);
        for (int i = 0; i < 3000; ++i) {
            QString digits = QString::number(random.bounded(Q_INT64_C(1), Q_INT64_C(100000000000000000)));
            digits.insert(int(random.bounded(digits.size() + 1)), '.');
            texts << (i % 3 == 0 ? "-" : "") + digits;
        }
        // Those an import casts as it reads them, with five decimals at most.
        for (int i = 0; i < 3000; ++i) {
            QString digits = QString::number(random.bounded(Q_INT64_C(1), Q_INT64_C(1000000000000000)));
            digits.insert(qMax(0, int(digits.size() - random.bounded(6))), '.');
            texts << (i % 3 == 0 ? "-" : "") + digits;
        }
        texts << "abc" << "OPEN" << "-abc" << "---" << "-0.0" << "+0" << "12.345678" << "1.23456";
        int cast = 0;
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "numbers");
        db.setDatabaseName(":memory:");
        QVERIFY(db.open());
        {
            QSqlQuery query(db);
            QVERIFY(query.exec("create table t(v text)"));
            for (const QString &text : texts) {
                query.prepare("insert into t values (?)");
                query.addBindValue(text);
                QVERIFY(query.exec());
            }
            QVERIFY(query.exec("select v, cast(v as numeric) = v, cast(v as real) from t order by rowid"));
            while (query.next()) {
                const QByteArray text = query.value(0).toString().toUtf8();
                double value = 0;
                const bool number = query.value(1).toInt() == 1 && std::isfinite(query.value(2).toDouble());
                QVERIFY2(readRecordNumber(text.constData(), text.size(), &value) == number, text.constData());
                if (number)
                    QCOMPARE(value, std::strtod(text.constData(), nullptr));
                ArrivingBlocks::Value read;
                if (ArrivingBlocks::readValue(text.constData(), text.size(), &read)) {
                    const double sqlite = query.value(2).toDouble();
                    QVERIFY2(memcmp(&read.cast, &sqlite, sizeof sqlite) == 0, text.constData()); // -0 too
                    QCOMPARE(read.kind == PackedValues::Kind::Number, number);
                    if (number)
                        QCOMPARE(read.number, value);
                    ++cast;
                }
            }
        }
        QVERIFY(cast > 3000);
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("numbers");
    }

    // Where the sums say the records of a time lie, they all lie, in time
    // order from one range to the next: against the generated stamps, with
    // stamps that step back across blocks of 5 rowids, one years back, one
    // that no clock reads and a number, which reads as a day of the year -4707.
    void stampBlocksHoldEveryRecordOfATime_data()
    {
        QTest::addColumn<QStringList>("odd"); // the stamps of records 20 and 6 (of the block with the least), if others
        QTest::newRow("steps back") << QStringList();
        QTest::newRow("years back") << QStringList{"2021-06-01 12:00:00"};
        QTest::newRow("no clock, a number") << QStringList{"none", "2024"};
    }

    void stampBlocksHoldEveryRecordOfATime()
    {
        QFETCH(QStringList, odd);
        QStringList lines;
        struct Stamped {
            QString stamp, value;
            qint64 rowid;
        };
        QList<Stamped> stamped; // of the readable stamps, in table order
        for (int k = 0; k < 90; ++k) {
            QStringList fields = recordFields(12, k);
            QString stamp = Start.addSecs(60 * k - (k % 11 == 5 ? 1800 : 0)).toString("yyyy-MM-dd hh:mm:ss");
            if ((k == 20 || k == 6) && odd.size() > (k == 6))
                stamp = odd.at(k == 6);
            fields.last() = stamp;
            lines << fields.join(',');
            if (QDateTime::fromString(stamp, "yyyy-MM-dd hh:mm:ss").isValid())
                stamped.append({stamp, fields.at(0), k + 1});
        }
        SQLThread::setSummaryBlockRowids(5);
        freshDatabase();
        runImport({writeRecordFolder(QDir(dir.path()), "stamps", "12", {{"20240301.CSV", lines}}) + "/20240301.CSV"});
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "stamps");
        db.setDatabaseName(recordDatabasePath());
        QVERIFY(db.open());
        {
            const StampBlocks stamps = StampBlocks::load(db, meterFamily(1), 12);
            QVERIFY(!stamps.whole() && !StampBlocks::loadBesideOverview(db, meterFamily(1), 12).whole());
            NativeWindowRecords records(sqliteHandle(db), meterFamily(1), "pv1", stamps);
            const qint64 start = naiveSeconds(Start);
            QList<std::pair<qint64, qint64>> windows{{naiveSeconds(QDateTime(QDate(2021, 6, 1), QTime(11, 0))), start + 600}};
            for (qint64 from = start - 2400; from < start + 5700; from += 420)
                for (qint64 length : {1, 60, 600, 2700, 10800})
                    windows.append({from, from + length});
            for (const auto &[from, to] : std::as_const(windows)) {
                QStringList expected, read;
                for (const auto &[stamp, value, rowid] : std::as_const(stamped)) {
                    const qint64 at = naiveSeconds(QDateTime::fromString(stamp, "yyyy-MM-dd hh:mm:ss"));
                    if (at >= from && at < to)
                        expected << QString("%1 %2").arg(at).arg(value.toDouble());
                }
                std::stable_sort(expected.begin(), expected.end(), [](const QString &a, const QString &b) {
                    return a.section(' ', 0, 0).toLongLong() < b.section(' ', 0, 0).toLongLong();
                });
                QVERIFY(records.read(from, to, [&](const ExcursionPoint &point) {
                    read << QString("%1 %2").arg(point.time).arg(point.value);
                    return true;
                }));
                QCOMPARE(read, expected);
            }
            const auto [first, last] = std::minmax_element(stamped.cbegin(), stamped.cend(),
                                                           [](const Stamped &a, const Stamped &b) { return a.stamp < b.stamp; });
            QCOMPARE(stamps.firstReadable(db, "meter12"), first->stamp);
            QCOMPARE(stamps.lastReadable(db, "meter12"), last->stamp);
        }
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase("stamps");
        // Go to: the first record stamped at or after a time (or the last at or before it), the earliest rowid of a stamp.
        Meter = 12;
        SQLThread worker;
        for (const QDateTime &st : {Start.addSecs(-3600), QDateTime(QDate(2021, 1, 1), QTime(0, 0))}) {
            const TableSearch window{-1, 0, st, Start.addSecs(7200)};
            for (int minute = -46; minute < 100; minute += 3) // 8: two records stamped alike, rowids 9 and 39
                for (bool backwards : {false, true}) {
                    const QString at = Start.addSecs(60 * minute + 1).toString("yyyy-MM-dd hh:mm:ss");
                    int expected = -1;
                    for (int k = 0; k < stamped.size(); ++k) {
                        const QString &stamp = stamped.at(k).stamp;
                        if (stamp < st.toString("yyyy-MM-dd hh:mm:ss") || (backwards ? stamp > at : stamp < at))
                            continue;
                        const QString &best = expected < 0 ? stamp : stamped.at(expected).stamp;
                        if (expected < 0 || (stamp != best ? (stamp < best) != backwards : backwards))
                            expected = k;
                    }
                    worker.findRecordAt(1, window, true, QDateTime::fromString(at, "yyyy-MM-dd hh:mm:ss"), backwards);
                    QVERIFY(SQLThread::readPathsOfLastJob().value(0).startsWith("time from "));
                    QCOMPARE(g_recordAtTime.time.toString("yyyy-MM-dd hh:mm:ss"), expected < 0 ? QString() : stamped.at(expected).stamp);
                    QCOMPARE(g_recordAtTime.rowid, expected < 0 ? -1 : stamped.at(expected).rowid);
                }
        }
    }

    // Rows: a family's search (or chart) over the minutes from..to of records
    // stamped partly out of order, in blocks of 7 rowids. The sums answer
    // every page, the count, the summary and the place of its extremes as
    // the statements alone do.
    // The overview's columns against the same figures computed here from
    // every record: spikes of two equal records, stamps that step back, a gap,
    // markers and unreadable values, windows whose edges cut the kept spans.
    void overviewAsEveryRecord_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("fromSecond"); // of the window, after Start
        QTest::addColumn<int>("toSecond");
        QTest::addColumn<QString>("path");
        // Stretches read record by record: minutes between their cells' rowids, and
        // those in the blocks of their stamps (a minute with a record stamped two hours back).
        QTest::addColumn<QString>("stretches");
        QTest::newRow("whole, one column") << 1 << -7200 << 90000 << "spans of 3600 s" << "2 0";
        QTest::newRow("whole, 7 columns") << 7 << -7200 << 90000 << "spans of 3600 s" << "2 0";
        QTest::newRow("cut, 300 columns") << 300 << 1234 << 70001 << "spans of 60 s" << "2 2";
        QTest::newRow("cut, 1200 columns") << 1200 << 3599 << 40000 << "the records" << "0 2";
        QTest::newRow("a minute") << 1200 << 601 << 660 << "the records" << "4 0";
        QTest::newRow("part of a minute, a record a second after") << 1200 << 1290 << 1312 << "the records" << "2 0";
    }

    void overviewAsEveryRecord()
    {
        QFETCH(int, width);
        QFETCH(int, fromSecond);
        QFETCH(int, toSecond);
        QFETCH(QString, path);
        QFETCH(QString, stretches);
        const qint64 start = QDateTime(Start.date(), Start.time(), Qt::UTC).toSecsSinceEpoch();
        static QList<Drawn> drawn[2]; // the records of both channels, generated once
        if (drawn[0].isEmpty()) {
            QStringList lines;
            for (int k = 0, second = 0; k < 4000; ++k) {
                second += k == 2000 ? 5 * 3600 : 13; // a gap of five hours
                const int at = k % 97 == 50 ? second - 7000 : second; // a stamp two hours back
                QStringList fields = recordFields(12, k);
                if (k % 211 == 100 || k % 211 == 101) // a spike of two equal records
                    fields[0] = k / 211 % 2 ? "99999" : "-99999";
                fields.last() = k % 401 == 3 ? "no time" : QDateTime(Start).addSecs(at).toString("yyyy-MM-dd hh:mm:ss");
                lines << fields.join(',');
                for (int channel : {0, 1})
                    if (k % 401 != 3)
                        drawn[channel] << Drawn{start + at, k + 1, fields.at(3 * channel)};
            }
            freshDatabase();
            Meter = 12;
            SQLThread::setSummaryBlockRowids(50); // whose stamps reach back into earlier blocks
            runImport({writeRecordFolder(QDir(dir.path()), "overview", "12", {{"20240301.CSV", lines}}) + "/20240301.CSV"});
            // The blocks of 50 rowids with a record whose stamp is no time were read through SQLite, the rest packed.
            std::set<int> unpacked;
            for (int k = 3; k < 4000; k += 401)
                unpacked.insert((k + 1) / 50);
            QCOMPARE(RecordOverview::lastBuildReads().rowRanges, qint64(unpacked.size()));
            QCOMPARE(RecordOverview::lastBuildReads().packedBlocks, 4000 / 50 + 1 - qint64(unpacked.size()));
        }
        Meter = 12;
        SQLThread worker;
        worker.drawOverview(1, {"pv1", "pv2"}, Start.addSecs(fromSecond), Start.addSecs(toSecond), width);
        QVERIFY(worker.outcome().done());
        QCOMPARE(SQLThread::readPathsOfLastJob().size(), 1); // this job's alone
        const QString read = SQLThread::readPathsOfLastJob().first();
        QCOMPARE(read.section(" from ", 1).section(';', 0, 0), path);
        const QStringList counts = stretches.split(' ');
        QVERIFY2(read.endsWith(QString("records of %1 minutes between their cells' rowids, of %2 stretches in the blocks of "
                                       "their stamps").arg(counts[0], counts[1])), qPrintable(read));
        const Overview overview = worker.overview();
        const OverviewPlan plan = overview.plan;
        QVERIFY(plan.columns <= width + 1 && plan.columnSeconds * width >= toSecond - fromSecond + 1);
        QCOMPARE(plan.origin % plan.columnSeconds, 0);
        for (int channel : {0, 1}) {
            QCOMPARE(overview.cells.at(channel).size(), plan.columns);
            for (int column = 0; column < plan.columns; ++column) {
                const qint64 from = qMax(start + fromSecond, plan.origin + column * plan.columnSeconds);
                const qint64 to = qMin(start + toSecond + 1, plan.origin + (column + 1) * plan.columnSeconds);
                QList<Drawn> inColumn;
                for (const Drawn &d : std::as_const(drawn[channel]))
                    if (d.time >= from && d.time < to)
                        inColumn << d;
                QCOMPARE(figuresOf(overview.cells.at(channel).at(column)), figuresOf(cellOf(inColumn)));
            }
        }
    }

    void windowFiguresAsEveryRecord_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<bool>("inOrder"); // the records' stamps
        QTest::addColumn<int>("from"); // seconds after Start
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("limits"); // lower upper dead-band delay; "-": none
        // Through the cells: the hours that stand for their records (-1: no
        // span, only records); -2: the records from the packed blocks; -3:
        // through the cells once the packed blocks proved out of time order.
        QTest::addColumn<int>("hoursWhole");
        QTest::newRow("never crossed") << 12 << false << -100 << 16000 << "20 80 0 0" << 2;
        QTest::newRow("crossed, dead-band and delay") << 12 << false << -100 << 16000 << "40 60 1 30" << 0;
        QTest::newRow("upper only, edges inside minutes") << 12 << false << 1234 << 11111 << "- 55 0 0" << 0;
        QTest::newRow("lower only, wide dead-band") << 12 << false << 0 << 15599 << "45 - 5 0" << 0;
        QTest::newRow("no limits") << 12 << false << 30 << 15650 << "- - 0 0" << 1;
        // Every number beyond the limit: an hour with markers holds runs of excursions between them.
        QTest::newRow("upper below every number") << 12 << false << -100 << 16000 << "- 30 0 0" << 1;
        QTest::newRow("lower above every number, dead-band") << 12 << false << -100 << 16000 << "70 - 3 0" << 1;
        QTest::newRow("a minute") << 12 << false << 3000 << 3059 << "40 60 0 0" << 0;
        QTest::newRow("a minute of two-second steps") << 12 << false << 14700 << 14759 << "20 80 0 0" << 0;
        QTest::newRow("inside a minute of two-second steps") << 12 << false << 14701 << 14750 << "20 80 0 0" << -1;
        QTest::newRow("alarms") << 4 << false << -100 << 16000 << "20 80 0 0" << 1;
        QTest::newRow("hours crossed, stamps out of order") << 12 << false << -100 << 14399 << "49 51 0 0" << -3;
        // Stamps in order and noise on the swing, a block kept as doubles and a -0 among the numbers.
        QTest::newRow("noise crossed") << 12 << true << -100 << 16000 << "48 51.95 0 0" << -2;
        QTest::newRow("noise crossed, dead-band and delay") << 12 << true << -100 << 16000 << "48 51.95 1.5 4" << -2;
        QTest::newRow("noise crossed, upper only, edges inside blocks") << 12 << true << 1234 << 11111 << "- 49.95 0.5 0" << -2;
        QTest::newRow("noise crossed, a few minutes") << 12 << true << 2990 << 3400 << "45 55 0 0" << -2;
        QTest::newRow("noise never crossed") << 12 << true << -100 << 16000 << "0 100 0 0" << 2;
    }

    // Excursions, periods and the figures between cursors read through the
    // overview's hours and minutes equal those read from every record.
    void windowFiguresAsEveryRecord()
    {
        QFETCH(int, model);
        QFETCH(bool, inOrder);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, limits);
        QFETCH(int, hoursWhole);
        static QMap<int, bool> imported;
        const int dataSet = model * 2 + inOrder;
        const bool earlierOverview = !imported.value(dataSet);
        if (earlierOverview) {
            imported.clear();
            imported[dataSet] = true;
            freshDatabase();
            Meter = meterOfModel(model);
            SQLThread::setSummaryBlockRowids(1000); // the record an hour back lies in a block of its own
            runImport({writeRecordFolder(QDir(dir.path()), QString("seconds%1-%2").arg(model).arg(inOrder),
                                         QString::number(model), {{"20240301.CSV", secondRecords(model, inOrder)}})
                       + "/20240301.CSV"});
            // As an earlier version kept it: brought up to date by the first job that reads it.
            changeDatabase("drop table record_overview; create table record_overview (tbl text, col text, level integer, "
                           "span integer, records integer, primary key (tbl, col, level, span)) without rowid");
        }
        Meter = meterOfModel(model);
        const int family = familyOfModel(model);
        const QString column = family == 1 ? "pv1" : "pv_value";
        const QStringList l = limits.split(' ');
        ChannelLimits set;
        set.lower = l[0] == "-" ? qQNaN() : l[0].toDouble();
        set.upper = l[1] == "-" ? qQNaN() : l[1].toDouble();
        set.deadBand = l[2].toDouble();
        set.delaySeconds = l[3].toLongLong();
        const QDateTime st = Start.addSecs(from), en = Start.addSecs(to);
        const auto figures = [&](SQLThread::PageAccess access, QStringList *paths) {
            SQLThread::forcePageAccess(access);
            SQLThread worker;
            worker.findWindowExcursions(family, column, st, en, set);
            *paths << SQLThread::readPathsOfLastJob();
            QStringList all = figuresOf(g_excursions.excursions.toList(), {});
            all << QString::number(g_excursions.gapSeconds);
            for (PeriodLength length : {PeriodLength::Hour, PeriodLength::Day}) {
                worker.tabulateWindowPeriods(family, column, st, en, set, length);
                all << figuresOf({}, g_periods);
            }
            worker.measureSpan(family, column, st.addSecs(77), en.addSecs(-77), set);
            *paths << SQLThread::readPathsOfLastJob();
            return all << figuresOf({}, {g_spanFigures}) << QString::number(worker.outcome().done());
        };
        QStringList read, cells;
        const QStringList everyRecord = figures(SQLThread::PageAccess::TimeIndex, &read);
        QVERIFY(read.filter("window of ").size() == 2);
        QCOMPARE(figures(SQLThread::PageAccess::Chosen, &cells), everyRecord);
        QCOMPARE(cells.filter("packed blocks tried").isEmpty(), hoursWhole != -3);
        QCOMPARE(cells.filter(" records from packed blocks").isEmpty(), hoursWhole != -2);
        const QString path = cells.filter(QRegularExpression("^window ")).value(0);
        if (hoursWhole == -2) {
            QVERIFY2(path.startsWith(QString("window of %1 records from packed blocks").arg(read.first().section(' ', 2, 2))),
                     qPrintable(cells.join('\n')));
        } else {
            QVERIFY2(path.startsWith("window from ") && path.contains(" and 0 minutes whole") == (hoursWhole == -1),
                     qPrintable(cells.join('\n')));
            QCOMPARE(path.section(' ', 2, 2).toInt(), qMax(0, hoursWhole));
            // The minutes' records lie together: most are read by their rowids.
            const int records = path.section(' ', 9, 9).toInt(), byRowid = path.section(' ', 11, 11).toInt();
            QVERIFY2(records < 50 || byRowid * 2 >= records, qPrintable(path));
            // Those straight from the file's pages or, where the column needs no alarm states, from the packed values.
            const int fromPacked = path.section(' ', 21, 21).toInt();
            QCOMPARE(path.section(' ', 16, 16).toInt() + fromPacked, byRowid);
            QCOMPARE(fromPacked == byRowid, meterFamily(family).alarmsOf(column).isEmpty());
        }
        QCOMPARE(cells.contains("overview built"), earlierOverview);

        // Cancelled at any point of its reads, a walk ends cancelled and leaves the excursions shown.
        const QStringList shown = figuresOf(g_excursions.excursions.toList(), {});
        const auto cancelledAfter = [&](int callbacks) { // of SQLite's progress, every 100 steps: those left, the outcome
            SQLThread worker;
            std::pair<SQLThread *, int> state{&worker, callbacks};
            cancelOnProgress(state, 100);
            worker.findWindowExcursions(family, column, st, en, set);
            SQLThread::setConnectionHook({});
            return std::pair{state.second, worker.outcome().status};
        };
        const int steps = 1000000 - cancelledAfter(1000000).first;
        for (int part = 1; part < 8; ++part)
            QCOMPARE(int(cancelledAfter(qMax(1, steps * part / 8)).second), int(JobOutcome::Cancelled));
        QCOMPARE(figuresOf(g_excursions.excursions.toList(), {}), shown);
        // A job that ends before a statement on its connection leaves the
        // connection to close with that statement, not open for good.
        const int descriptors = QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size();
        {
            std::unique_ptr<NativeStatement> outliving;
            SQLThread::setConnectionHook([&outliving](QSqlDatabase &db) {
                if (!outliving)
                    outliving = std::make_unique<NativeStatement>(sqliteHandle(db), "select 1");
            });
            SQLThread worker;
            worker.findWindowExcursions(family, column, st, en, set);
            SQLThread::setConnectionHook({});
        }
        QCOMPARE(QDir("/proc/self/fd").entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size(), descriptors);
    }

    void sumsAnswerAsTheStatements_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("search"); // "low high", "HH/LL" or "chart"
        QTest::newRow("family1 range, part of the window") << 12 << 13 << 140 << "-4 30";
        QTest::newRow("family1 range, everything") << 12 << 0 << 210 << "-6 40";
        QTest::newRow("family1 markers") << 12 << 15 << 170 << "HH/LL";
        QTest::newRow("family1 chart") << 12 << 50 << 120 << "chart";
        QTest::newRow("family1 range, bounds on values") << 12 << 0 << 210 << "-4.25 30"; // least and greatest of blocks
        QTest::newRow("family1 window on a block's last stamp") << 12 << 6 << 202 << "-6 40";
        QTest::newRow("family1 no record") << 12 << 0 << 210 << "1000 2000";
        QTest::newRow("family1 above a bound") << 12 << 13 << 140 << "-4 inf";
        QTest::newRow("family1 every record") << 12 << 0 << 210 << "-inf inf";
        QTest::newRow("family4 below a bound") << 3 << 10 << 199 << "-inf 25";
        QTest::newRow("family4 range") << 3 << 10 << 199 << "-4 30";
        QTest::newRow("family4 markers") << 3 << 0 << 150 << "HH/LL";
        QTest::newRow("family5 chart, everything") << 4 << 0 << 210 << "chart";
    }

    void sumsAnswerAsTheStatements()
    {
        QFETCH(int, model);
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(QString, search);
        QStringList lines;
        for (int k = 0; k < 200; ++k)
            lines << (recordFields(model, k).mid(0, recordFields(model, k).size() - 1)
                      << Start.addSecs(60 * (k % 3 == 1 ? k + 3 : k)).toString("yyyy-MM-dd hh:mm:ss")).join(',');
        lines[120] = lines[120].section(',', 0, -2) + ",none"; // no time: in no window
        lines[30] = lines[30].section(',', 0, -2) + "," + Start.addSecs(60 * 30).toString("yyyy-MM-ddThh:mm:ss");
        lines[31] = lines[31].section(',', 0, -2) + "," + Start.addSecs(60 * 31).toString("yyyy-MM-dd hh:mm");
        SQLThread::setSummaryBlockRowids(7);
        freshDatabase();
        runImport({writeRecordFolder(QDir(dir.path()), QString("blocks%1").arg(model), QString::number(model),
                                     {{"20240301.CSV", lines}}) + "/20240301.CSV"});
        // A text that is no UTF-8, and real numbers, digested as stored.
        const QString table = meterFamily(familyOfModel(model)).table(Meter);
        changeDatabase(QString("update %1 set %2 = cast(x'ff3120' as text) where rowid = 9").arg(table, model == 12 ? "sv1" : "al1value"));
        PageRcd = PlotRcd = 9;
        auto worker = std::make_unique<SQLThread>();
        const QDateTime st = Start.addSecs(60 * from), en = Start.addSecs(60 * to);
        const QStringList bounds = search.split(' ');
        const int family = familyOfModel(model);
        const TableSearch asked{-1, 1, st, en, bounds.first().toDouble(), bounds.last().toDouble(), 20, 60, search == "HH/LL"};
        const auto page = [&](int pageid) {
            if (search == "chart")
                family == 1 ? worker->dn_Record_Cart1(false, pageid, 1, st, en) : worker->dn_Record_Cart5(false, pageid, st, en);
            else if (family == 1)
                worker->dn_Record_Search1(pageid, 1, st, en, asked.pv1, asked.pv2, asked.ishl);
            else
                worker->dn_Record_Search4(pageid, st, en, asked.pv1, asked.pv2, 20, 60, asked.ishl);
            QStringList rows;
            for (const RecordRow &row : std::as_const(g_records))
                rows << QString("%1 %2 %3 %4 %5").arg(row.id).arg(row.time.toString(Qt::ISODate), row.text1, row.text2).arg(row.value2);
            return rows.join(';');
        };
        QStringList ways; // of the span and of Go to
        const auto answer = [&](SQLThread::PageAccess access) {
            SQLThread::forcePageAccess(access);
            QStringList fields{page(-1), QString::number(g_recordCount)};
            const WindowSummary summary = g_summary;
            const int count = g_recordCount;
            for (const ValueSummary &v : summary.values) {
                fields << QString("%1 %2 %3 %4 | %5 at %6 %7, %8 at %9 %10, mean %11, MKT %12")
                              .arg(v.numbers).arg(v.hh).arg(v.ll).arg(v.unreadable)
                              .arg(v.minimum).arg(v.minimumRow).arg(v.minimumTime.toString())
                              .arg(v.maximum).arg(v.maximumRow).arg(v.maximumTime.toString())
                              .arg(v.mean, 0, 'g', 17).arg(v.meanKinetic, 0, 'g', 17);
                for (qint64 row : {v.minimumRow, v.maximumRow}) {
                    worker->locateRecord(family, asked, search == "chart", row);
                    fields << QString::number(g_recordPosition);
                }
            }
            for (int p = 0; p <= count / 9; ++p) // every page, and the empty one after the last
                fields << page(p);
            g_recordCount = count;
            // Where a time leads, either way, and the span of every record.
            for (int minute : {-3, 0, 14, 31, 66, 118, 150, 199, 230})
                for (bool backwards : {false, true}) {
                    worker->findRecordAt(family, asked, search == "chart", Start.addSecs(60 * minute + 20), backwards);
                    fields << QString("at %1 %2").arg(g_recordAtTime.rowid).arg(g_recordAtTime.time.toString(Qt::ISODate));
                }
            worker->readRecordSpan(family);
            fields << g_recordSpan.first.toString(Qt::ISODate) + " to " + g_recordSpan.last.toString(Qt::ISODate);
            ways << SQLThread::readPathsOfLastJob().join('|');
            worker->findRecordAt(family, asked, search == "chart", st, false);
            ways << SQLThread::readPathsOfLastJob().join('|').section(' ', 0, 1);
            worker->readRecordSources(family, st, en); // the report's digest of the window
            fields << QString("%1 of %2").arg(QString::fromLatin1(g_recordSources.sha256)).arg(g_recordSources.records);
            return fields;
        };
        const QStringList statements = answer(SQLThread::PageAccess::TableOrder);
        QCOMPARE(statements.last(), storedDigest(table, st, en));
        QCOMPARE(SQLThread::readPathsOfLastJob(), QStringList{"sources by the statement"});
        QCOMPARE(answer(SQLThread::PageAccess::TimeIndex), statements);
        QCOMPARE(answer(SQLThread::PageAccess::Chosen), statements);
        QCOMPARE(ways, QStringList({"span through the index", "time through", "span through the index", "time through",
                                    "span from the blocks' stamps", "time from"}));
        // The blocks wholly in the window read from the file's pages, each in pieces.
        const QString sources = SQLThread::readPathsOfLastJob().filter("sources from").value(0);
        QVERIFY2(sources.contains(" on 2 readers, ") && !sources.endsWith(" 0 from the file's pages"), qPrintable(sources));
        QVERIFY2(sources.section(' ', 5, 5).toInt() > sources.section(' ', 2, 2).toInt(), qPrintable(sources));
        // A digest cancelled between its pieces ends cancelled and leaves the sources shown.
        {
            SQLThread digest;
            QObject::connect(&digest, &SQLThread::PostProgress, [&digest](const QString &, int percent) {
                if (percent > 25)
                    digest.cancel();
            });
            digest.readRecordSources(family, st, en);
            QCOMPARE(int(digest.outcome().status), int(JobOutcome::Cancelled));
            QCOMPARE(QString("%1 of %2").arg(QString::fromLatin1(g_recordSources.sha256)).arg(g_recordSources.records), statements.last());
        }
        worker = std::make_unique<SQLThread>(); // whose new search reads the blocks
        page(-1);
        const QString window = SQLThread::readPathsOfLastJob().filter("window from").value(0);
        QVERIFY2(window.startsWith("window from "), qPrintable(SQLThread::readPathsOfLastJob().join('\n')));
        QCOMPARE(SQLThread::readPathsOfLastJob().filter("sums built").size(), 0); // built with the records
        // Blocks wholly in or out are not read: only the one with the record
        // without a time and those that straddle the window's edges.
        const QByteArray tag = QTest::currentDataTag();
        // The blocks read inside the window are decided from their packed
        // values; where those are not kept, from the file's pages.
        if (search != "chart" && !tag.endsWith("no record") && !tag.endsWith("every record")) {
            const auto path = [] { return SQLThread::readPathsOfLastJob().join('\n'); };
            QVERIFY2(path().contains(" blocks from their packed values") && !path().contains("the file's pages"), qPrintable(path()));
            changeDatabase("update record_packed set vals = null where block % 2 = 0");
            worker = std::make_unique<SQLThread>();
            QCOMPARE(answer(SQLThread::PageAccess::Chosen), statements);
            worker = std::make_unique<SQLThread>();
            page(-1);
            QVERIFY2(path().contains(" blocks from their packed values") && path().contains("blocks from the file's pages"), qPrintable(path()));
            if (tag.endsWith("markers")) {
                // The sums of an earlier version, without packed values, are built again once.
                changeDatabase("drop table record_packed");
                for (int search = 0; search < 2; ++search) {
                    worker = std::make_unique<SQLThread>();
                    QCOMPARE(QStringList({page(-1), QString::number(g_recordCount)}), statements.mid(0, 2));
                    QCOMPARE(path().contains("sums built"), search == 0);
                }
                QVERIFY(RecordSums::packedApartInLastBuild()); // on the second core, beside the sums
                QVERIFY2(path().contains(" blocks from their packed values") && !path().contains("the file's pages"), qPrintable(path()));
            }
        }
        if (tag.endsWith("chart, everything") || tag.endsWith("every record"))
            QVERIFY2(window.endsWith("rowids 7 read"), qPrintable(window));
        if (tag.endsWith("no record"))
            QCOMPARE(window, QString("window from 0 blocks, rowids 0 read"));
        else // the page found from the sums, a later one too, read no further than the block
            for (int p : {-1, g_recordCount / 9}) { // of the window's last record (rowid `to` + 1 at most)
                const QString path = (page(p), SQLThread::readPathsOfLastJob().last());
                QVERIFY2(path.startsWith("page from the sums, rowids ") && path.section(' ', -1).toInt() <= to + 8,
                         qPrintable(path));
            }
        // Where the worker's own functions cannot be registered, the statements alone answer.
        SQLThread::refuseRecordFunctions(true);
        QCOMPARE(QStringList({page(-1), QString::number(g_recordCount)}), statements.mid(0, 2));
        QCOMPARE(SQLThread::readPathsOfLastJob().last(), QString("page through the index, by the statements alone"));
        QVERIFY(!SQLThread::recordFunctionsNote().isEmpty());
        SQLThread::refuseRecordFunctions(false);
        if (tag == "family1 range, everything") {
            // The table is counted once while nothing writes to it.
            const int counts = countStatementsRun();
            page(-1);
            QCOMPARE(countStatementsRun(), counts);
            // Records changed behind the program's back, the last one or one in the
            // middle, moments after the last count: the next search sums them up anew.
            for (const char *change : {"delete from meter12 where rowid = (select max(rowid) from meter12)",
                                       "delete from meter12 where rowid = (select max(rowid) / 2 from meter12)"}) {
                changeDatabase(change);
                SQLThread::forcePageAccess(SQLThread::PageAccess::Chosen);
                const QStringList fromSums{page(-1), QString::number(g_recordCount)};
                QVERIFY(SQLThread::readPathsOfLastJob().contains("sums built"));
                SQLThread::forcePageAccess(SQLThread::PageAccess::TableOrder);
                QCOMPARE(fromSums, QStringList({page(-1), QString::number(g_recordCount)}));
            }
        }
    }

    // The sums, packed values and overview gathered from the lines while
    // they are stored are, byte for byte, those the statements' functions
    // and the overview's build make of the stored rows; a block with a stamp
    // or value that SQLite may read otherwise than the line tells is summed
    // up from its rows, and the overview is then built after the import.
    void gatheredAsMadeFromRows_data()
    {
        QTest::addColumn<QStringList>("odd"); // a value each, in a block of its own
        QTest::addColumn<int>("summed");      // blocks summed up from their rows
        QTest::addColumn<int>("records");
        QTest::addColumn<int>("step"); // seconds between records
        QTest::newRow("numbers and markers") << QStringList{} << 0 << 330 << 1;
        QTest::newRow("letters, empty, -0, five decimals")
            << QStringList{"n/a", "", "-0", "-0.00001", "12345.67891", "+3.5", "99999999999999.9"} << 0 << 330 << 1;
        QTest::newRow("read otherwise") << QStringList{"12abc", "1e3", " 7", "0.123456", "+-3", "-", "1234567890123456"}
                                        << 8 << 330 << 1;
        // Minutes met again once they were written: summed up again from their records.
        QTest::newRow("minutes met again") << QStringList{} << 0 << 2600 << 60;
        // More batches than are read ahead, blocks ending inside them.
        QTest::newRow("many batches") << QStringList{} << 0 << 60000 << 1;
    }

    void gatheredAsMadeFromRows()
    {
        QFETCH(QStringList, odd);
        QFETCH(int, summed);
        QFETCH(int, records);
        QFETCH(int, step);
        const int perBlock = 20;
        QStringList lines;
        for (int k = 0; k < records; ++k) {
            // Noise about a set point, markers, clock steps back (some by hours) and a gap of an hour.
            const QString pv = k % 13 == 4 ? "HH" : k % 17 == 9 ? "LL" : QString::number(50 + (k * 37 % 21 - 10) / 10.0);
            const qint64 seconds = k * step + (k % 29 == 3 ? -90 : 0) + (k % 97 == 50 ? -7200 : 0) + (k >= 200 ? 3600 : 0);
            lines << QStringList{pv, "50", "12.4", QString::number(20 + k % 7 * 0.25), "20", "0",
                                 Start.addSecs(seconds).toString("yyyy-MM-dd hh:mm:ss")}.join(',');
        }
        for (int i = 0; i < odd.size(); ++i) {
            QStringList fields = lines.at(10 + perBlock * i).split(',');
            fields[i % 2 == 0 ? 0 : 3] = odd.at(i);
            lines[10 + perBlock * i] = fields.join(',');
        }
        if (summed > 0) // a stamp outside the plain layout
            lines[305] = lines.at(305).section(',', 0, -2) + "," + Start.addSecs(305).toString("yyyy-MM-ddThh:mm:ss");
        SQLThread::setSummaryBlockRowids(perBlock);
        freshDatabase();
        // Two files, the second starting inside a block.
        const QString folder = writeRecordFolder(QDir(dir.path()), "gathered", "12",
                                                 {{"20240301.CSV", lines.mid(0, 170)}, {"20240302.CSV", lines.mid(170)}});
        QString reason;
        const int counts = countStatementsRun();
        runImport({folder + "/20240301.CSV", folder + "/20240302.CSV"}, &reason);
        QCOMPARE(reason, QString());
        QCOMPARE(countStatementsRun(), counts); // the import knows how many records it stored
        const int blocks = (records + 1 + perBlock - 1) / perBlock; // rowids 1 to `records`
        QCOMPARE(SQLThread::readPathsOfLastStore(),
                 QStringList({QString("sums gathered while importing: %1 blocks, %2 summed up from their rows").arg(blocks).arg(summed),
                              summed > 0 ? "overview built after the import" : "overview gathered while importing"}));
        const auto kept = [] {
            return queryRows("select tbl, col, block, records, stamped, first_stamp, last_stamp, vals, cast_min, cast_max, "
                             "hex(totals) from record_sums order by tbl, col, block")
                + queryRows("select tbl, col, block, hex(vals) from record_packed order by tbl, col, block")
                + queryRows("select * from record_overview order by tbl, col, level, span")
                + queryRows("select * from record_overview_state");
        };
        const QStringList gathered = kept();
        QVERIFY(gathered.size() > blocks * 5);
        changeDatabase("delete from record_sums_state; delete from record_packed; delete from record_sums");
        SQLThread worker;
        worker.dn_Record_Search1(-1, 0, Start, Start.addDays(1), -1e9, 1e9, false);
        QVERIFY(SQLThread::readPathsOfLastJob().contains("sums built"));
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "rebuild");
            db.setDatabaseName(recordDatabasePath());
            QVERIFY(db.open());
            registerRecordDatetime(sqliteHandle(db));
            QCOMPARE(RecordOverview::build(db, meterFamily(1), 12, [] { return false; }), QString());
            // The block with a stamp outside the plain layout is read through SQLite.
            QCOMPARE(RecordOverview::lastBuildReads().packedBlocks, qint64(blocks - (summed > 0 ? 1 : 0)));
            QCOMPARE(kept(), gathered);
            // Every minute summed up again from its records, every hour from its minutes' rows.
            std::set<qint64> minutes;
            RecordOverview::noteMinutes(db, "meter12", 1, records, &minutes);
            qint64 count = 0;
            QVERIFY(db.transaction());
            QCOMPARE(RecordOverview::update(db, meterFamily(1), 12, minutes, &count), QString());
            QVERIFY(db.commit());
        }
        QSqlDatabase::removeDatabase("rebuild");
        QCOMPARE(kept(), gathered);
    }

    // A record's values against a search's condition, here and as the statement's own text reads them.
    void conditionAsTheStatements()
    {
        sqlite3 *db = nullptr;
        sqlite3_open(":memory:", &db);
        sqlite3_exec(db, "create table meter3 (pv_value TEXT, al1value TEXT)", nullptr, nullptr, nullptr);
        const MeterFamily &family = meterFamily(3);
        constexpr double inf = std::numeric_limits<double>::infinity();
        const QList<TableSearch> searches{{-1, 0, Start, Start, 20, 30}, {-1, 0, Start, Start, -inf, 25},
                                          {-1, 0, Start, Start, 25, inf}, {-1, 0, Start, Start, 24.5, 25.5},
                                          {-1, 0, Start, Start, 0, 0, 0, 0, true}};
        // Texts, and blobs of the same bytes; a marker's and a number's neighbours.
        const QList<QByteArray> values{"HH", "LL", "hh", "H", "25", " 25 ", "25abc", "+-3", "+25", "-0", "1e3", "2.5e1",
                                       "", ".5", "5.", "0x19", "25.0000000000000001", "nan", "inf"};
        sqlite3_stmt *insert = nullptr;
        sqlite3_prepare_v2(db, "insert into meter3 (pv_value) values (?1)", -1, &insert, nullptr);
        for (const QByteArray &value : values) {
            for (bool blob : {false, true}) {
                blob ? sqlite3_bind_blob(insert, 1, value.constData(), int(value.size()), SQLITE_STATIC)
                     : sqlite3_bind_text(insert, 1, value.constData(), int(value.size()), SQLITE_STATIC);
                sqlite3_step(insert);
                sqlite3_reset(insert);
            }
        }
        sqlite3_exec(db, "insert into meter3 (pv_value) values (null)", nullptr, nullptr, nullptr);
        sqlite3_finalize(insert);
        for (const TableSearch &search : searches) {
            const SummaryCondition condition = summaryCondition(family, search, false);
            sqlite3_stmt *rows = nullptr;
            const QByteArray select = "select pv_value, typeof(pv_value), " + valueCondition(family, search).toUtf8() + " from meter3";
            QCOMPARE(sqlite3_prepare_v2(db, select.constData(), -1, &rows, nullptr), SQLITE_OK);
            while (sqlite3_step(rows) == SQLITE_ROW) {
                const auto *text = reinterpret_cast<const char *>(sqlite3_column_blob(rows, 0));
                const StoredValue value{text, sqlite3_column_bytes(rows, 0), qstrcmp(reinterpret_cast<const char *>(sqlite3_column_text(rows, 1)), "text") == 0};
                const QByteArray shown = QByteArray(text, value.size) + (value.isText ? " as text" : " as a blob or null");
                QVERIFY2(recordMatches(condition, &value, 1) == (sqlite3_column_int(rows, 2) != 0),
                         qPrintable(shown + " in " + select));
            }
            sqlite3_finalize(rows);
        }
        sqlite3_close(db);
    }

    void pagesReadAsSQLite_data()
    {
        QTest::addColumn<int>("pageSize");
        QTest::addColumn<int>("rows");
        QTest::addColumn<QString>("file"); // as written, "wal" or "damaged"
        QTest::newRow("small pages, a deep tree") << 512 << 3000 << "as written";
        QTest::newRow("the viewer's pages") << 4096 << 1500 << "as written";
        QTest::newRow("largest pages") << 65536 << 400 << "as written";
        QTest::newRow("write-ahead log") << 4096 << 50 << "wal";
        QTest::newRow("a page damaged") << 1024 << 800 << "damaged";
        QTest::newRow("a tree that leads back") << 1024 << 800 << "cycle";
        QTest::newRow("a child twice") << 1024 << 800 << "shared";
    }

    // The rows of a table from its file's pages, in text as the digest takes
    // them, against SQLite's own text of every field.
    void pagesReadAsSQLite()
    {
        QFETCH(int, pageSize);
        QFETCH(int, rows);
        QFETCH(QString, file);
        const QByteArray path = QFile::encodeName(dir.filePath(QString("pages%1.db").arg(QTest::currentDataTag())));
        QFile::remove(path);
        sqlite3 *db = nullptr;
        QCOMPARE(sqlite3_open(path.constData(), &db), SQLITE_OK);
        const auto run = [&db](const QByteArray &sql) { QCOMPARE(sqlite3_exec(db, sql.constData(), nullptr, nullptr, nullptr), SQLITE_OK); };
        run("pragma page_size = " + QByteArray::number(pageSize) + "; create table t (a TEXT, b NUMERIC, c REAL, d, e INTEGER)");
        QRandomGenerator random(pageSize);
        const auto insert = [&](const char *sql, int fields, int count) {
            sqlite3_stmt *statement = nullptr;
            sqlite3_prepare_v2(db, sql, -1, &statement, nullptr);
            for (int r = 0; r < count; ++r) {
                for (int f = 1; f <= fields; ++f)
                    bindAnyField(statement, f, random, pageSize);
                sqlite3_step(statement);
                sqlite3_reset(statement);
            }
            sqlite3_finalize(statement);
        };
        run("begin");
        insert("insert into t values (?1, ?2, ?3, ?4, ?5)", 5, rows / 2);
        run("alter table t add column f"); // the rows above keep five fields
        insert("insert into t values (?1, ?2, ?3, ?4, ?5, ?6)", 6, rows - rows / 2);
        run("insert into t (rowid, a) values (-5, 'below'), (1099511627776, 'far above'); "
            "delete from t where rowid % 7 = 3; commit");
        if (file == "wal")
            run("pragma journal_mode = wal");
        if (file == "damaged" || file == "cycle" || file == "shared") {
            // The root's first child, a leaf or a level of the tree, no longer a
            // page of a table; or every child of the root the root itself.
            sqlite3_close(db);
            QFile written(QString::fromUtf8(path));
            QVERIFY(written.open(QIODevice::ReadWrite));
            QByteArray root = (written.seek(pageSize), written.read(pageSize));
            QCOMPARE(root.at(0), '\x05');
            const int cells = (uchar(root[3]) << 8) | uchar(root[4]);
            const int first = (uchar(root[12]) << 8) | uchar(root[13]);
            const QByteArray child = root.mid(first, 4);
            if (file != "damaged") { // every child of the root the root itself, or its first child
                const QByteArray to = file == "cycle" ? QByteArray("\0\0\0\x02", 4) : child;
                for (int c = 0; c < cells; ++c)
                    root.replace((uchar(root[12 + 2 * c]) << 8 | uchar(root[13 + 2 * c])), 4, to);
                root.replace(8, 4, to);
                written.seek(pageSize);
                written.write(root);
            } else {
                written.seek(qint64((uchar(child[0]) << 24 | uchar(child[1]) << 16 | uchar(child[2]) << 8 | uchar(child[3])) - 1) * pageSize);
                written.write(QByteArray(1, '\x07'));
            }
            written.close();
            sqlite3_open(path.constData(), &db);
        }
        run("begin; select 1 from sqlite_master limit 1");
        TablePages pages(db, "t");
        RecordText text(db);
        if (file == "wal")
            QVERIFY(!pages.refusal().isEmpty());
        else
            QVERIFY2(pages.refusal().isEmpty(), qPrintable(pages.refusal()));
        for (const auto &[from, to] : {std::pair<qint64, qint64>{-10, std::numeric_limits<qint64>::max()},
                                      {1, 2}, {700, 701}, {3, rows / 2 + 17}, {rows / 3, rows + 2}, {rows, 1099511627776}}) {
            QList<qint64> rowids, read;
            sqlite3_stmt *statement = nullptr;
            sqlite3_prepare_v2(db, "select rowid, * from t where rowid >= ?1 and rowid < ?2 order by rowid", -1, &statement, nullptr);
            sqlite3_bind_int64(statement, 1, from);
            sqlite3_bind_int64(statement, 2, to);
            const QByteArray stored = storedText(statement, &rowids);
            const bool whole = pages.read(from, to, [&](qint64 rowid, const TablePages::Field *fields, int count) {
                read << rowid;
                text.append(fields, count);
            });
            const std::string made = text.take();
            if (file != "as written") {
                QVERIFY(!whole);
                QVERIFY(!(file == "wal" ? pages.refusal() : pages.error()).isEmpty());
                break;
            }
            // Whatever byte of the file is damaged, the read ends, with or without the rows.
            for (int damage = 0; damage < 120 && from == -10 && pageSize == 512; ++damage) {
                QTemporaryFile copy;
                QVERIFY(copy.open());
                QFile original(QString::fromUtf8(path));
                QVERIFY(original.open(QIODevice::ReadOnly));
                QByteArray bytes = original.readAll();
                bytes[random.bounded(pageSize, int(bytes.size()))] ^= char(1 << random.bounded(8));
                copy.write(bytes);
                copy.flush();
                sqlite3 *damaged = nullptr;
                sqlite3_open_v2(QFile::encodeName(copy.fileName()).constData(), &damaged, SQLITE_OPEN_READONLY, nullptr);
                TablePages damagedPages(damaged, "t");
                qint64 rowsRead = 0;
                damagedPages.read(from, to, [&](qint64, const TablePages::Field *, int) { ++rowsRead; });
                QVERIFY(rowsRead < 2 * rows);
                sqlite3_close(damaged);
            }
            QVERIFY2(whole, qPrintable(pages.error()));
            QCOMPARE(read, rowids);
            QCOMPARE(QByteArray::fromStdString(made), stored);
        }
        sqlite3_close_v2(db); // once the text's statement is finalized
    }

    void readAheadGivesEverySlotInOrder_data()
    {
        QTest::addColumn<int>("depth");
        QTest::addColumn<int>("filled");
        QTest::newRow("in place") << 0 << 5;
        QTest::newRow("one ahead") << 1 << 40;
        QTest::newRow("fewer slots than the depth") << 8 << 3;
        QTest::newRow("many times the depth") << 8 << 500;
    }

    // Each slot as filled, in order, and left alone while the caller holds it.
    void readAheadGivesEverySlotInOrder()
    {
        QFETCH(int, depth);
        QFETCH(int, filled);
        int made = 0;
        ReadAhead<std::vector<int>> ahead(depth, [&made, filled](std::vector<int> &slot) {
            slot.assign(64, made);
            return ++made < filled;
        });
        for (int k = 0; k < filled; ++k) {
            const std::vector<int> &slot = ahead.next();
            if (k % 50 == 0)
                QThread::msleep(5); // the filler runs ahead meanwhile
            QCOMPARE(slot, std::vector<int>(64, k));
        }
        QCOMPARE(made, filled);
    }
};

SUNDREVALE_TEST_MAIN(TestWorker)
#include "tst_worker.moc"
