#include "commandline.h"
#include "contenthash.h"
#include "datafolder.h"
#include "excursionlist.h"
#include "freedmemory.h"
#include "meankinetic.h"
#include "overviewcells.h"
#include "packedrecords.h"
#include "packedsearch.h"
#include "packedstamps.h"
#include "periods.h"
#include "recordlinereader.h"
#include "settings.h"
#include "sha256.h"
#include "stepcounts.h"
#include "testsupport.h"
#include "windowsummary.h"

#include <QCryptographicHash>
#include <QRandomGenerator>
#include <cstdlib> // defines __GLIBC__ where glibc is the C library
#include <memory>
#include <thread>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

using namespace TestSupport;

namespace {

// A device that hands out at most `step` bytes a read, as a slow card does.
class TrickleDevice : public QIODevice
{
public:
    TrickleDevice(const QByteArray &data, qint64 step) : data(data), step(step) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }

protected:
    qint64 readData(char *to, qint64 most) override
    {
        const qint64 n = qMin(qMin(most, step), qint64(data.size()) - at);
        memcpy(to, data.constData() + at, size_t(n));
        at += n;
        return n;
    }
    qint64 writeData(const char *, qint64) override { return -1; }

private:
    QByteArray data;
    qint64 step, at = 0;
};

// "time:value!alarms ...", the value a number, HH, LL or any other text.
QList<ExcursionPoint> pointsOf(const QString &points)
{
    QList<ExcursionPoint> records;
    for (const QString &point : points.split(' ')) {
        bool number = false;
        const QString v = point.section(':', 1).section('!', 0, 0);
        const double value = v.toDouble(&number);
        records << ExcursionPoint{point.section(':', 0, 0).toLongLong(), value,
                                  number ? ExcursionPoint::Number : v == "HH" ? ExcursionPoint::High
                                      : v == "LL" ? ExcursionPoint::Low : ExcursionPoint::Unreadable, records.size() + 1,
                                  quint8(point.section('!', 1).toUInt())};
    }
    return records;
}

// "lower upper dead-band delay", "-" for no lower limit.
ChannelLimits limitsOf(const QString &limits)
{
    const QStringList l = limits.split(' ');
    return {{}, {}, l.at(0) == "-" ? qQNaN() : l.at(0).toDouble(), l.at(1) == "-" ? qQNaN() : l.at(1).toDouble(),
            l.at(2).toDouble(), l.at(3).toLongLong()};
}

// The cell of `points`, as the overview keeps it.
OverviewCell cellOf(const QList<ExcursionPoint> &points)
{
    OverviewCell cell;
    std::vector<qint64> times;
    const auto kindOf = [](const ExcursionPoint &p) {
        return p.kind == ExcursionPoint::Number ? OverviewCell::Kind::Number : p.kind == ExcursionPoint::High
            ? OverviewCell::Kind::High : p.kind == ExcursionPoint::Low ? OverviewCell::Kind::Low : OverviewCell::Kind::Unreadable;
    };
    const auto placeOf = [](const ExcursionPoint &p) {
        return OverviewPoint{p.time, p.rowid, p.kind == ExcursionPoint::Number ? p.value : qQNaN()};
    };
    for (const ExcursionPoint &p : points) {
        cell.add(placeOf(p), kindOf(p));
        times.push_back(p.time);
    }
    if (cell.hh + cell.ll > 0) {
        for (const ExcursionPoint &p : points)
            cell.addMarkerEvent(placeOf(p), kindOf(p));
    }
    cell.steps = StepCounts::ofTimes(times);
    // Kept and read back.
    OverviewCell kept = cell;
    const QByteArray packed = cell.packedMarkers(0);
    kept.unpackMarkers(packed.constData(), int(packed.size()), 0);
    return kept;
}

} // namespace

class TestCore : public QObject
{
    Q_OBJECT

private slots:
    void settingsFile()
    {
        // Any root and tag names; keys are case-sensitive; the first duplicate counts.
        writeConfigFile("<a><b key=\"PageRcd\" value=\"42\"/><!-- c --><zz key=\"Meter\" value=\"216\"/>"
                  "<s key=\"PlotRcd\" value=\"1\"/><s key=\"PlotRcd\" value=\"2\"/>text</a>");
        QCOMPARE(readSetting("PageRcd"), QString("42"));
        QCOMPARE(readSetting("pagercd"), QString());
        QCOMPARE(readSetting("PlotRcd"), QString("1"));
        writeSetting("PlotRcd", "77");
        QVERIFY(readTextFile().toUtf8().contains("value=\"77\"") && readTextFile().toUtf8().contains("value=\"2\""));
        QCOMPARE(readSetting("Meter"), QString("216"));
        // A missing key is never added, a deleted file never created again.
        writeSetting("YStep", "3");
        QCOMPARE(readSetting("YStep"), QString());
        QFile::remove(settingsPath());
        writeSetting("Meter", "12");
        QVERIFY(!QFile::exists(settingsPath()));
        loadSettings();
        QCOMPARE(Meter, 0);
        // A write goes through a temporary file; none is left over.
        writeConfig();
        writeSetting("Meter", "216");
        QCOMPARE(readSetting("Meter"), QString("216"));
        QCOMPARE(QDir(QCoreApplication::applicationDirPath()).entryList({"Sundrevale.Config*"}, QDir::Files),
                 QStringList{"Sundrevale.Config"});
    }

    // A folder that cannot be made is named in the refusal; the folder in use stays.
    void dataFolderThatCannotBeMade()
    {
        const QString before = dataFolder();
        QTemporaryFile file;
        QVERIFY(file.open());
        QString error;
        QVERIFY(!chooseDataFolder(file.fileName() + "/records", &error));
        QCOMPARE(error, QString("The data folder %1 cannot be created or written.").arg(file.fileName() + "/records"));
        QCOMPARE(dataFolder(), before);
    }

    void settingValues()
    {
        writeConfig({{"LockY", "2"}, {"YStep", "abc"}, {"Meter", "12"}, {"PageRcd", "abc"}, {"Tickcount", "7"}});
        loadSettings();
        QCOMPARE(QList<double>({double(LockY), YStep, double(Meter), double(PageRcd), double(PlotRcd), double(Tickcount)}),
                 QList<double>({1, 0, 12, 0, 500, 7}));
        writeConfig({{"LockY", "x"}, {"YStep", "12.125"}});
        loadSettings();
        QCOMPARE(QList<double>({double(LockY), YStep}), QList<double>({0, 12.125}));
    }

    void unreadableSettingsAreNeverRewritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not xml") << QByteArray("Meter=12\n");
        QTest::newRow("doctype") << QByteArray("<!DOCTYPE r [<!ENTITY a \"aaaa\">]><r><s key=\"Meter\" value=\"&a;\"/></r>");
        QTest::newRow("over 1 MiB") << "<r><s key=\"Meter\" value=\"12\"/>" + QByteArray(1100 * 1024, ' ') + "</r>";
    }

    void unreadableSettingsAreNeverRewritten()
    {
        QFETCH(QByteArray, content);
        writeConfigFile(content);
        QCOMPARE(readSetting("Meter"), QString());
        writeSetting("Meter", "5");
        QCOMPARE(readTextFile().toUtf8(), content);
    }

    void addedTotals() // of blocks of rowids; of equal extremes the earlier record counts
    {
        const auto part = [](double low, double high, qint64 row, double sum) {
            return SummaryTotals{2, 1, 0, 0, row, row + 1, low, high, {sum, 0}, {}};
        };
        SummaryTotals m = part(1, 5, 10, 1e16);
        addTotals(m, part(1, 9, 20, 1));
        addTotals(m, part(0.5, 9, 30, -1e16));
        QCOMPARE(QList<double>({m.minimum, double(m.minimumRow), m.maximum, double(m.maximumRow), double(m.numbers)}),
                 QList<double>({0.5, 30, 9, 21, 6}));
        QCOMPARE(m.sum.total(), 1.0); // no term lost to the large ones
    }

    // A block's records as texts (a null QByteArray: NULL) drawn around
    // `centre` with `decimals`, with markers, unreadable texts and gaps.
    void packedSearch_data()
    {
        QTest::addColumn<int>("decimals");
        QTest::addColumn<double>("centre");
        QTest::addColumn<double>("spread");
        QTest::addColumn<int>("oddOneIn"); // 0: no odd texts
        QTest::addColumn<bool>("gaps");
        QTest::addColumn<int>("width"); // bytes a value
        QTest::newRow("tenths in a narrow band") << 1 << 40.0 << 2.0 << 0 << false << 1;
        QTest::newRow("hundredths with spikes and gaps") << 2 << 40.0 << 40.0 << 50 << true << 2;
        QTest::newRow("whole numbers around zero, -0 among them") << 0 << 0.0 << 3.0 << 20 << false << 1;
        QTest::newRow("whole numbers over 200: a byte each, not tenths") << 0 << 0.0 << 200.0 << 0 << false << 1;
        QTest::newRow("wide and fine") << 3 << -1000.0 << 2e5 << 10 << true << 4;
        QTest::newRow("digits beyond any scale, 2^53 + 1, 1e300") << 12 << 1.0 << 1.0 << 5 << true << 8;
        QTest::newRow("odd texts everywhere") << 1 << 5.0 << 2.0 << 2 << true << 1;
    }

    void packedSearch()
    {
        QFETCH(int, decimals);
        QFETCH(double, centre);
        QFETCH(double, spread);
        QFETCH(int, oddOneIn);
        QFETCH(bool, gaps);
        QFETCH(int, width);
        QRandomGenerator random(20261209);
        QList<QByteArray> odd{"HH", "LL", QByteArray(), "", "12abc", " 7.5 ", "1e1", "-0.0", "-0", "+-3", "hh", ".5", "3."};
        if (width == 8)
            odd << "1e300" << "9007199254740993";
        QList<qint64> rowids;
        QList<QByteArray> texts[2];
        for (qint64 rowid = 16384, n = 0; n < 4000; ++rowid) {
            if (gaps && random.bounded(7) == 0)
                continue;
            rowids << rowid;
            ++n;
            for (QList<QByteArray> &column : texts) {
                const double v = centre + (random.generateDouble() - 0.5) * spread;
                column << (oddOneIn > 0 && random.bounded(oddOneIn) == 0 ? odd.at(random.bounded(odd.size()))
                                                                         : QByteArray::number(v, 'f', decimals));
            }
        }
        PackedValues packed[2];
        QByteArray bytes[2];
        for (int c = 0; c < 2; ++c) {
            std::vector<PackedValues::Entry> entries;
            for (int i = 0; i < rowids.size(); ++i) {
                PackedValues::Entry entry{rowids.at(i), {}, 0};
                const QByteArray &text = texts[c].at(i);
                QVERIFY(PackedValues::kindOf(text.isNull() ? nullptr : text.constData(), text.size(), true, &entry.kind,
                                             &entry.number));
                entries.push_back(entry);
            }
            bytes[c] = PackedValues::pack(entries);
            QVERIFY(packed[c].open(bytes[c]));
            QCOMPARE(packed[c].count(), rowids.size());
            QCOMPARE(packed[c].valueWidth(), width);
        }
        // Bounds at values that occur, between them, one-sided, and the markers.
        const double a = centre - spread / 8, b = centre + spread / 5;
        const double at = texts[0].at(17).toDouble(), inf = qInf();
        const QList<QList<QPair<double, double>>> ranges{
            {{a, b}}, {{-inf, at}}, {{at, inf}}, {{a, b}, {-inf, centre}}, {{-inf, inf}, {a, inf}}, {{b, a}}};
        QList<SummaryCondition> conditions;
        for (const auto &open : ranges)
            conditions << SummaryCondition{SummaryCondition::Range, {}, {}, open};
        conditions << SummaryCondition{SummaryCondition::Markers, {}, {}, {}};
        for (const SummaryCondition &condition : conditions) {
            for (int count : {1, 2}) {
                SearchedBlock expected, found;
                expected.totals = QVector<SummaryTotals>(count, SummaryTotals{});
                for (int i = 0; i < rowids.size(); ++i) {
                    StoredValue values[2];
                    for (int c = 0; c < count; ++c) {
                        const QByteArray &text = texts[c].at(i);
                        values[c] = text.isNull() ? StoredValue{} : StoredValue{text.constData(), text.size(), true};
                    }
                    if (!recordMatches(condition, values, count))
                        continue;
                    ++expected.matching;
                    for (int c = 0; c < count; ++c)
                        addStoredValue(expected.totals[c], values[c].text, values[c].size, rowids.at(i));
                }
                QVERIFY(PackedSearch(condition).search(packed, count, found));
                QCOMPARE(found.matching, expected.matching);
                for (int c = 0; c < count; ++c)
                    QVERIFY(memcmp(&found.totals.at(c), &expected.totals.at(c), sizeof(SummaryTotals)) == 0);
            }
        }
        // Columns of other records answer nothing together.
        std::vector<PackedValues::Entry> shifted{{rowids.first() + 1, PackedValues::Kind::High, 0}};
        const QByteArray otherBytes = PackedValues::pack(shifted);
        PackedValues other[2] = {packed[0]};
        QVERIFY(other[1].open(otherBytes));
        SearchedBlock none;
        QVERIFY(!PackedSearch(conditions.last()).search(other, 2, none));
        // Damaged bytes are refused, never read beyond their end: among them
        // a first record's rowid moved to a rowid of none.
        PackedValues damaged;
        if (gaps) {
            QByteArray moved = bytes[0];
            const qsizetype bitmap = 32;
            int empty = 1;
            while (moved.at(bitmap + empty / 8) & (1 << (empty % 8)))
                ++empty;
            moved[bitmap] = char(moved.at(bitmap) & ~1);
            moved[bitmap + empty / 8] = char(moved.at(bitmap + empty / 8) | (1 << (empty % 8)));
            QVERIFY(!damaged.open(moved));
        }
        QVERIFY(!damaged.open(bytes[0].left(bytes[0].size() - 1)));
        QVERIFY(!damaged.open(QByteArray(bytes[0]).replace(0, 1, "\x07")));
        QVERIFY(!damaged.open(QByteArray()));
        // Rowids that do not ascend are not packed.
        QVERIFY(PackedValues::pack({{5, PackedValues::Kind::High, 0}, {5, PackedValues::Kind::Low, 0}}).isEmpty());
    }

    // Steps of a second, none, the longest of one byte, the first of nine,
    // back (a clock set back) and across the range of a stamp.
    void packedStamps()
    {
        const std::vector<qint64> stamps{1709251200, 1709251201, 1709251201, 1709251455, 1709251710, 1709251000,
                                         -62135596800, 253402300799, 253402300799};
        const QByteArray packed = PackedStamps::pack(stamps);
        QCOMPARE(packed.size(), 16 + 1 + 1 + 1 + 1 + 9 + 9 + 9 + 9 + 1);
        PackedStamps read;
        QVERIFY(read.open(packed));
        QVERIFY(read.seconds() == stamps);
        for (const QByteArray &damaged : {packed.left(packed.size() - 1), packed + '\1', packed.left(20), QByteArray()})
            QVERIFY(!read.open(damaged) && read.seconds().empty());
        QVERIFY(PackedStamps::pack({}).isEmpty());
        QVERIFY(read.open(PackedStamps::pack({42})) && read.seconds() == std::vector<qint64>{42});
    }

    // Records "seconds:value" a minute apart; limits "lower upper dead-band delay", "-" for none.
    void excursions_data()
    {
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("limits");
        QTest::addColumn<QString>("expected"); // "kind start-end extreme@time records", "cut" where cut
        QTest::addColumn<QString>("seconds");  // outside: above, below, HH, LL, gap; the alarms on
        QTest::newRow("a spike of one record") << "0:20 60:35 120:20" << "- 30 0 0" << "above 60-120 35@60 1" << "60,0,0,0,0,0";
        QTest::newRow("on the limit is not beyond it") << "0:30 60:30" << "30 30.5 0 0" << "" << "0,0,0,0,0,0";
        QTest::newRow("back within the dead-band, and out again") << "0:20 60:31 120:29 180:33 240:27" << "- 30 2 0"
                                                                 << "above 60-240 33@180 3" << "180,0,0,0,0,0";
        QTest::newRow("shorter than the delay") << "0:20 60:31 120:20 180:31 240:32 300:33 360:20" << "- 30 0 120"
                                                << "above 180-360 33@300 3" << "180,0,0,0,0,0";
        QTest::newRow("the window starts inside") << "0:35 60:36 120:20" << "- 30 0 0" << "above 0-120 36@60 2" << "120,0,0,0,0,0";
        QTest::newRow("a gap cuts it") << "0:20 60:35 120:36 600:36 660:20" << "- 30 0 0"
                                       << "above 60-120 36@120 2 cut; gap 120-600; above 600-660 36@600 1" << "120,0,0,0,480,0";
        QTest::newRow("markers, a text, one kind after another") << "0:20 60:HH 120:HH 180:abc 240:20 300:LL 360:-5 420:10"
                                                                << "0 30 0 0" << "HH 60-240 2; LL 300-360 1; below 360-420 -5@360 1"
                                                                << "0,60,180,60,0,0";
        QTest::newRow("the instrument's alarms, cut by a gap") << "0:20!1 60:HH!3 120:20!2 600:20!2 660:20" << "- 30 0 0"
                                                              << "alarm1 0-120 2; HH 60-120 1; alarm2 60-120 2 cut; gap 120-600; alarm2 600-660 1"
                                                              << "0,0,60,0,480,240";
    }

    void excursions()
    {
        QFETCH(QString, points);
        QFETCH(QString, limits);
        QFETCH(QString, expected);
        QFETCH(QString, seconds);
        const QList<ExcursionPoint> records = pointsOf(points);
        const QList<Excursion> found = findExcursions(records, limitsOf(limits), 180);
        const char *kinds[] = {"above", "below", "HH", "LL", "gap", "alarm"};
        QStringList shown;
        for (const Excursion &e : found) {
            QString text = QString("%1%2 %3-%4").arg(kinds[e.kind], e.alarm ? QString::number(e.alarm) : "").arg(e.start).arg(e.end);
            if (e.kind <= Excursion::BelowLower)
                text += QString(" %1@%2").arg(e.extreme).arg(e.extremeTime);
            if (e.kind != Excursion::Gap)
                text += QString(" %1").arg(e.records) + (e.cut ? " cut" : "");
            shown << text;
        }
        QCOMPARE(shown.join("; "), expected);
        const ExcursionTotals totals = excursionTotals(ExcursionList(found), records.last().time - records.first().time);
        QStringList outside;
        qint64 sum = 0;
        for (qint64 s : totals.seconds)
            outside << QString::number(s), sum += s;
        sum -= totals.seconds[Excursion::Alarm]; // they overlap the rest
        QCOMPARE(outside.join(','), seconds);
        QCOMPARE(totals.withinShare, 1.0 - double(sum) / double(records.last().time - records.first().time));
    }

    void excursionsOfWholeCells_data()
    {
        QTest::addColumn<QString>("points");
        QTest::addColumn<QString>("limits");
        QTest::newRow("runs above, split by markers")
            << "0:35.5 1:37.25 2:HH 3:36 4:39.123456 5:39.123456 6:LL 7:LL 8:31 9:38.1 10:HH" << "- 30 0 0";
        QTest::newRow("runs below, a dead-band, a delay") << "0:HH 1:5 2:-3.5 3:-3.5 4:LL 5:4 6:9 7:2 8:HH 9:HH" << "10 - 2 3";
        QTest::newRow("inside, ending what markers open") << "0:HH 1:HH 2:20 3:21 4:LL 5:22 6:20" << "10 30 1 0";
        QTest::newRow("crossing: read record by record") << "0:35 1:HH 2:25 3:36 4:LL 5:29 6:31" << "- 30 0 0";
        QTest::newRow("a text that is no number") << "0:35 1:x 2:36 3:HH 4:37" << "- 30 0 0";
        // Packed in two bytes a value, and as doubles beside a -0.
        QTest::newRow("two-byte codes, equal extremes: read record by record") << "0:35.5 1:39.12 2:HH 3:36 4:39.12 5:39.12 6:31 7:29.5 8:31" << "29.5 31 0 0";
        QTest::newRow("cut by a gap and by the end: read record by record") << "0:20 1:35 2:36 3:37 8:36 9:38 10:39" << "- 30 0 0";
        QTest::newRow("a -0 ends what is above: read record by record") << "0:0.25 1:1 2:2 3:-0 4:1.5 5:0.25" << "- 0.5 0 0";
        QTest::newRow("doubles and a -0: read record by record") << "0:35 1:-0 2:36.00000000001 3:HH 4:-0 5:20 6:-1" << "0 30 0 0";
    }

    // Cells of consecutive records, however they are cut and joined, give
    // the excursions of their records wherever the finder takes them whole;
    // so does any stretch of them fed packed.
    void excursionsOfWholeCells()
    {
        QFETCH(QString, points);
        QFETCH(QString, limits);
        const QList<ExcursionPoint> records = pointsOf(points);
        const ChannelLimits set = limitsOf(limits);
        const QList<Excursion> expected = findExcursions(records, set, 3);
        const OverviewCell whole = cellOf(records);
        std::vector<PackedValues::Entry> entries;
        std::vector<qint64> times;
        for (const ExcursionPoint &p : records) {
            entries.push_back({p.rowid, PackedValues::Kind(int(p.kind)), p.value});
            times.push_back(p.time);
        }
        const QByteArray valueBytes = PackedValues::pack(entries);
        PackedValues values;
        PackedStamps stamps;
        QVERIFY(values.open(valueBytes) && stamps.open(PackedStamps::pack(times)));
        const PackedRecords packed{&values, stamps.seconds().data(), nullptr};
        for (int i = 0; i < records.size(); ++i) {
            for (int j = i; j <= records.size(); ++j) {
                ExcursionFinder fedPacked(set, 3);
                for (int k = 0; k < i; ++k)
                    fedPacked.add(records.at(k));
                fedPacked.addPacked(packed, i, j);
                for (int k = j; k < records.size(); ++k)
                    fedPacked.add(records.at(k));
                QVERIFY2(fedPacked.finish() == expected, qPrintable(QString("packed from %1 to %2").arg(i).arg(j)));
                if (j == records.size())
                    continue;
                const QList<QList<ExcursionPoint>> parts{records.mid(0, i), records.mid(i, j - i), records.mid(j)};
                ExcursionFinder finder(set, 3);
                OverviewCell joined;
                for (const QList<ExcursionPoint> &part : parts) {
                    const OverviewCell cell = cellOf(part);
                    joined.append(cell);
                    if (!part.isEmpty() && finder.takesWhole(cell))
                        finder.addWhole(cell);
                    else
                        for (const ExcursionPoint &p : part)
                            finder.add(p);
                }
                QVERIFY2(finder.finish() == expected, qPrintable(QString("cut at %1 and %2").arg(i).arg(j)));
                QVERIFY(joined == whole);
            }
        }
        ExcursionFinder finder(set, 3);
        QCOMPARE(finder.takesWhole(whole), !QByteArray(QTest::currentDataTag()).contains("record by record")
                                               && !QByteArray(QTest::currentDataTag()).contains("no number"));
        if (finder.takesWhole(whole)) {
            finder.addWhole(whole);
            QCOMPARE(finder.finish(), expected);
        }
    }

    // Packed, the excursions read back as found, in order or one at a
    // time: clock steps back and far ahead, rowids apart, -0 and alarms
    // with set values read after they were found.
    void excursionsKeptPacked()
    {
        QRandomGenerator random(11);
        QList<ExcursionPoint> points;
        qint64 time = 1700000000;
        for (qint64 k = 0; k < 5000; ++k) {
            time += random.bounded(200) == 0 ? -7200 : random.bounded(1000) == 0 ? qint64(1) << 40 : 10;
            const int roll = random.bounded(100);
            const auto kind = roll < 3 ? ExcursionPoint::High : roll < 6 ? ExcursionPoint::Low : ExcursionPoint::Number;
            const double value = roll == 50 ? -0.0 : 25 + random.bounded(12.0) - 6;
            points << ExcursionPoint{time, value, kind, k * (random.bounded(50) == 0 ? 100000 : 1) + 1,
                                     quint8(random.bounded(20) == 0 ? random.bounded(256) : 0)};
        }
        QList<Excursion> found = findExcursions(points, limitsOf("-0 30 0 0"), 30);
        const auto same = [](const Excursion &a, const Excursion &b) {
            const bool valued = a.kind == Excursion::AboveUpper || a.kind == Excursion::BelowLower;
            return a == b && (!valued || (std::signbit(a.extreme) == std::signbit(b.extreme) && a.extreme == b.extreme))
                && (a.kind != Excursion::Alarm || memcmp(&a.setValue, &b.setValue, sizeof a.setValue) == 0);
        };
        ExcursionList packed(found);
        for (qsizetype i = 0; i < found.size(); i += 7) {
            if (found.at(i).kind == Excursion::Alarm) {
                found[i].setValue = i % 2 ? -qInf() : double(i) / 3;
                packed.setSetValue(i, found.at(i).setValue);
            }
        }
        QVERIFY(found.size() > 1000 && packed.size() == found.size());
        QVERIFY(std::count_if(found.cbegin(), found.cend(), [](const Excursion &e) { return e.kind == Excursion::Alarm; }) > 50);
        const QList<Excursion> read = packed.toList();
        for (qsizetype i = 0; i < found.size(); ++i) {
            QVERIFY2(same(read.at(i), found.at(i)), qPrintable(QString::number(i)));
            QVERIFY2(same(packed.at(found.size() - 1 - i), found.at(found.size() - 1 - i)), qPrintable(QString::number(i)));
        }
        // More than a page of bytes holds: read across pages in order, and one at a time.
        QList<Excursion> many;
        for (int copy = 0; copy < 60; ++copy)
            many += found;
        const ExcursionList paged(many);
        QVERIFY(paged.toList() == many);
        for (qsizetype i = many.size() - 1; i >= 0; i -= 97)
            QVERIFY2(same(paged.at(i), many.at(i)), qPrintable(QString::number(i)));
        // Merged with a list found apart: in order of their starts, this one's first where they start together.
        QList<Excursion> own, others;
        for (const Excursion &e : std::as_const(found))
            (e.kind == Excursion::Alarm ? others : own) << e;
        const auto byStart = [](const Excursion &a, const Excursion &b) { return a.start < b.start; };
        std::stable_sort(own.begin(), own.end(), byStart);
        std::stable_sort(others.begin(), others.end(), byStart);
        QList<Excursion> expected;
        std::merge(own.cbegin(), own.cend(), others.cbegin(), others.cend(), std::back_inserter(expected), byStart);
        const QList<Excursion> merged = ExcursionList(own).mergedWith(others).toList();
        QCOMPARE(merged.size(), expected.size());
        for (qsizetype i = 0; i < expected.size(); ++i)
            QVERIFY2(same(merged.at(i), expected.at(i)), qPrintable(QString::number(i)));
    }

    void shadesAsSeen_data()
    {
        QTest::addColumn<qint64>("resolution"); // seconds a pixel
        QTest::addColumn<qint64>("from");       // of the span drawn, in seconds of the records
        QTest::addColumn<qint64>("to");
        QTest::newRow("a second a pixel: each its own") << qint64(1) << qint64(0) << qint64(1 << 30);
        QTest::newRow("a minute a pixel") << qint64(60) << qint64(0) << qint64(1 << 30);
        QTest::newRow("an hour a pixel, part of the records") << qint64(3600) << qint64(50000) << qint64(150000);
        QTest::newRow("a day a pixel") << qint64(86400) << qint64(0) << qint64(1 << 30);
    }

    // However many excursions a span holds, the shades draw them as the eye
    // sees them at that width: every one under a shade of its kind (an
    // alarm: of its number), no shade over a stretch of a pixel or more
    // without one, no two shades of a kind within a pixel of each other.
    void shadesAsSeen()
    {
        QFETCH(qint64, resolution);
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QRandomGenerator random(7);
        QList<ExcursionPoint> points;
        for (qint64 k = 0, time = 0; k < 20000; ++k, time += 10 + (random.bounded(500) == 0 ? 4000 : 0)) {
            const int roll = random.bounded(100);
            const auto kind = roll < 2 ? ExcursionPoint::High : roll < 4 ? ExcursionPoint::Low : ExcursionPoint::Number;
            points << ExcursionPoint{time, 25 + random.bounded(12.0) - 6 + (k / 3000 % 2 ? 4 : 0), kind, k + 1,
                                     quint8(random.bounded(20) == 0 ? random.bounded(16) : 0)};
        }
        const QList<Excursion> found = findExcursions(points, limitsOf("20 30 0 0"), 30);
        const QList<Excursion> shades = ::excursionShades(ExcursionList(found), from, to, resolution);
        QVERIFY(std::is_sorted(shades.cbegin(), shades.cend(), [](const Excursion &a, const Excursion &b) { return a.start < b.start; }));
        const auto sameKind = [](const Excursion &a, const Excursion &b) { return a.kind == b.kind && a.alarm == b.alarm; };
        int kinds = 0;
        for (const Excursion &kind : found) {
            if (std::any_of(found.cbegin(), found.cend(), [&](const Excursion &e) { return &e < &kind && sameKind(e, kind); }))
                continue; // its kind seen
            ++kinds;
            QList<Excursion> listed, shaded;
            std::copy_if(found.cbegin(), found.cend(), std::back_inserter(listed), [&](const Excursion &e) {
                return sameKind(e, kind) && e.end >= from && e.start <= to;
            });
            std::copy_if(shades.cbegin(), shades.cend(), std::back_inserter(shaded), [&](const Excursion &e) { return sameKind(e, kind); });
            for (int i = 1; i < shaded.size(); ++i)
                QVERIFY2(shaded.at(i).start - shaded.at(i - 1).end >= resolution, qPrintable(QString::number(shaded.at(i).start)));
            for (const Excursion &shade : std::as_const(shaded)) {
                QVERIFY(shade.end >= from && shade.start <= to);
                qint64 reached = shade.start;
                for (const Excursion &e : std::as_const(listed)) {
                    if (e.start < shade.start || e.end > shade.end)
                        continue;
                    QVERIFY2(e.start - reached < resolution, qPrintable(QString("a stretch without one at %1").arg(reached)));
                    reached = qMax(reached, e.end);
                }
                QCOMPARE(reached, shade.end);
            }
            for (const Excursion &e : std::as_const(listed))
                QVERIFY(std::any_of(shaded.cbegin(), shaded.cend(), [&](const Excursion &s) { return s.start <= e.start && e.end <= s.end; }));
        }
        QVERIFY(kinds >= 8); // above, below, HH, LL, gaps and alarms of their numbers
    }

    void periodBounds_data()
    {
        QTest::addColumn<QString>("at");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("bounds"); // the period's first second, the next one's
        QTest::newRow("the hour a spring clock skips") << "2024-03-31 02:30:00" << int(PeriodLength::Hour)
                                                      << "2024-03-31 02:00:00 2024-03-31 03:00:00";
        QTest::newRow("a day before 1970") << "1969-12-31 23:59:59" << int(PeriodLength::Day)
                                          << "1969-12-31 00:00:00 1970-01-01 00:00:00";
        QTest::newRow("a week from Monday, across a month") << "2024-03-03 23:59:59" << int(PeriodLength::Week)
                                                           << "2024-02-26 00:00:00 2024-03-04 00:00:00";
        QTest::newRow("a leap February") << "2024-02-29 12:00:00" << int(PeriodLength::Month)
                                        << "2024-02-01 00:00:00 2024-03-01 00:00:00";
        QTest::newRow("December") << "2024-12-31 23:30:00" << int(PeriodLength::Month)
                                 << "2024-12-01 00:00:00 2025-01-01 00:00:00";
    }

    void periodBounds()
    {
        QFETCH(QString, at);
        QFETCH(int, length);
        QFETCH(QString, bounds);
        qint64 naive = 0;
        QVERIFY(naiveSeconds(qPrintable(at), at.size(), &naive));
        const qint64 start = periodStart(naive, PeriodLength(length));
        QCOMPARE(stampText(start) + ' ' + stampText(nextPeriodStart(start, PeriodLength(length))), bounds);
    }

    // An overview's columns: the shortest whole number of the longest kept
    // span that is no shorter than the window over its width, from a multiple of it.
    void overviewPlans_data()
    {
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("level");
        QTest::addColumn<qint64>("columnSeconds");
        QTest::newRow("seconds") << qint64(1000) << qint64(1599) << 1200 << -1 << qint64(1);
        QTest::newRow("59 seconds a column") << qint64(0) << qint64(59 * 10 - 1) << 10 << -1 << qint64(59);
        QTest::newRow("a minute") << qint64(30) << qint64(30 + 600 - 1) << 10 << 0 << qint64(60);
        QTest::newRow("a second over a minute") << qint64(0) << qint64(61 * 10 - 1) << 10 << 0 << qint64(120);
        QTest::newRow("a second short of two minutes") << qint64(5) << qint64(5 + 119 * 10 - 1) << 10 << 0 << qint64(120);
        QTest::newRow("a second short of an hour") << qint64(0) << qint64(3599 * 4 - 1) << 4 << 0 << qint64(3600);
        QTest::newRow("a second over an hour") << qint64(-7201) << qint64(-7201 + 3601 * 3 - 1) << 3 << 1 << qint64(7200);
        QTest::newRow("before 1970, no width") << qint64(-100) << qint64(-41) << 0 << 0 << qint64(60);
    }

    void overviewPlans()
    {
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(int, width);
        QFETCH(int, level);
        QFETCH(qint64, columnSeconds);
        const OverviewPlan plan = planOverview(from, to, width);
        QCOMPARE(plan.level, level);
        QCOMPARE(plan.columnSeconds, columnSeconds);
        QCOMPARE(plan.origin % columnSeconds, 0);
        QVERIFY(plan.origin <= from && from < plan.origin + columnSeconds);
        // Every second of the window in one column, each column in order and none empty.
        for (qint64 t = from; t <= to; ++t) {
            const int column = plan.columnOf(t);
            QVERIFY(column >= 0 && column < plan.columns);
            QVERIFY(plan.columnStart(column) <= t && t < plan.columnEnd(column));
        }
        QCOMPARE(plan.columnOf(to), plan.columns - 1);
    }

    void meanKineticTemperature_data()
    {
        QTest::addColumn<QList<double>>("readings");
        QTest::addColumn<double>("expected");
        QTest::newRow("published check") << QList<double>{2, 2, 5, 8, 8, 8, 8} << 6.25;
        // 273.15 K and 313.15 K: terms e^-36.6099 = 1.2604e-16 and e^-31.9336 =
        // 1.3534e-14, mean 6.8300e-15, -ln 32.6175, 10000 / 32.6175 = 306.584 K.
        QTest::newRow("0 and 40 °C: the warm half weighs") << QList<double>{0, 40} << 33.43;
        // Three terms e^-33.5402 = 2.7145e-15 and one e^-32.9870 = 4.7200e-15:
        // mean 3.2159e-15, -ln 33.3707, 10000 / 33.3707 = 299.664 K.
        QTest::newRow("25 25 25 30 °C") << QList<double>{25, 25, 25, 30} << 26.51;
        QTest::newRow("below absolute zero") << QList<double>{20, -300} << qQNaN();
        QTest::newRow("no reading") << QList<double>{} << qQNaN();
    }

    void meanKineticTemperature()
    {
        QFETCH(QList<double>, readings);
        QFETCH(double, expected);
        double terms = 0;
        for (double reading : readings)
            terms += kineticTerm(reading);
        const double mkt = ::meanKineticTemperature(terms, readings.size());
        if (std::isnan(expected))
            QVERIFY2(std::isnan(mkt), qPrintable(QString::number(mkt)));
        else
            QVERIFY2(std::fabs(mkt - expected) < 0.005, qPrintable(QString::number(mkt, 'f', 4)));
    }

    // The terms remembered per thread are those worked out anew, whatever
    // values met before took their places; a NaN of every bit set too.
    void kineticTermsRemembered()
    {
        QList<double> readings;
        for (int k = 0; k < 6000; ++k)
            readings << (k % 2500) * 0.01 - 5 << -(k % 7) * 0.5 << (k % 3 ? -0.0 : 0.0);
        double allBits;
        const quint64 ones = ~quint64(0);
        memcpy(&allBits, &ones, sizeof allBits);
        readings << allBits << -300 << qQNaN();
        for (double reading : std::as_const(readings)) {
            const double kelvin = reading + CelsiusZero;
            const double expected = kelvin > 0 ? std::exp(-KineticActivation / kelvin) : qQNaN();
            const double term = kineticTerm(reading);
            QVERIFY2(term == expected || (std::isnan(term) && std::isnan(expected)), qPrintable(QString::number(reading)));
        }
    }

    // Paths without an option belong to the --add or --import before them.
    // Lines as written, whatever the reads cut: "\r\n" read as "\n", a line
    // cut at a NUL, one longer than the most a record takes skipped whole,
    // the last one without its line end.
    void linesAsWritten_data()
    {
        QTest::addColumn<int>("maxLine");
        QTest::addColumn<int>("step"); // bytes a read; 0: all at once
        QTest::newRow("short lines, reads of 7 bytes") << 16 << 7;
        QTest::newRow("short lines, reads of 1 byte") << 16 << 1;
        QTest::newRow("short lines, one read") << 16 << 0;
        QTest::newRow("records, reads of 4096 bytes") << int(RecordLineReader::DefaultMaxLine) << 4096;
        QTest::newRow("records, one read") << int(RecordLineReader::DefaultMaxLine) << 0;
    }
    void linesAsWritten()
    {
        QFETCH(int, maxLine);
        QFETCH(int, step);
        QByteArray data;
        for (int k = 0; k < 60; ++k) {
            QByteArray line(k % 37, char('a' + k % 26));
            if (k % 11 == 4 && !line.isEmpty())
                line[line.size() / 2] = '\0';
            data += line + (k % 5 == 2 ? "\r\n" : "\n");
        }
        data += QByteArray(maxLine > 100 ? 70000 : 17, 'z') + "\n" + "tail";
        // Written out: each line, overlong when longer than the most (its "\r" counted).
        QStringList expected;
        const QList<QByteArray> pieces = data.split('\n');
        for (int i = 0; i < pieces.size(); ++i) {
            const bool last = i == pieces.size() - 1;
            QByteArray line = pieces.at(i);
            const bool overlong = line.size() > maxLine;
            if (line.endsWith('\r') && !last)
                line.chop(1);
            if (!last)
                line += '\n';
            if (line.contains('\0'))
                line.truncate(line.indexOf('\0'));
            expected << (overlong ? QString("overlong") : QString::fromLatin1(line.toPercentEncoding()));
        }
        TrickleDevice device(data, step == 0 ? data.size() : step);
        RecordLineReader reader(device, maxLine);
        QStringList read;
        QByteArrayView line;
        bool overlong = false;
        while (reader.next(line, overlong))
            read << (overlong ? QString("overlong") : QString::fromLatin1(line.toByteArray().toPercentEncoding()));
        QCOMPARE(read, expected);
    }

    // Packed numbers read back as written, each of its own length; a number
    // cut short, or longer than 64 bits, is refused.
    void packedNumbers()
    {
        const QList<quint64> numbers{0, 1, 127, 128, 16383, 16384, quint64(1) << 35, ~quint64(0)};
        QByteArray packed;
        for (quint64 n : numbers)
            putPackedNumber(packed, n);
        QCOMPARE(packed.size(), 1 + 1 + 1 + 2 + 2 + 3 + 6 + 10);
        const char *at = packed.constData(), *end = at + packed.size();
        for (quint64 n : numbers) {
            quint64 read = 0;
            QVERIFY(takePackedNumber(at, end, &read));
            QCOMPARE(read, n);
        }
        quint64 read = 0;
        QVERIFY(!takePackedNumber(at, end, &read));
        const QByteArray cut = packed.left(packed.size() - 1), tooLong(11, char(0x80));
        at = cut.constData() + cut.size() - 9;
        QVERIFY(!takePackedNumber(at, cut.constData() + cut.size(), &read));
        at = tooLong.constData();
        QVERIFY(!takePackedNumber(at, at + tooLong.size(), &read));
    }

    void pathsToImportAndToAdd()
    {
        const QString a = QDir::tempPath(), b = QDir::rootPath();
        const CommandLine line = parseCommandLine({"viewer", a, "--add", b, a, "--import=" + b, a, "--add=" + a, "--", b});
        QCOMPARE(line.imports, (QStringList{b, a, a}));
        QCOMPARE(line.additions, (QStringList{b, a, a, b}));
        QCOMPARE(line.exitCode, -1);
    }

    void contentHashIsXxh64() // fed in pieces, as in one
    {
        QByteArray data;
        for (int i = 0; i < 100; ++i)
            data.append(char(i * 7 + 1));
        ContentHash whole, pieces;
        whole.addData(data);
        for (int i = 0; i < 100; i += 5)
            pieces.addData(data.mid(i, 5));
        QCOMPARE(ContentHash().hex(), QByteArray("ef46db3751d8e999"));
        QCOMPARE(whole.hex(), QByteArray("d248bfc5208b0b16"));
        QCOMPARE(pieces.hex(), whole.hex());
        // SHA-256 likewise, against Qt's own, and ready again after each digest.
        Sha256 digest;
        for (int i = 0; i < 100; i += 7)
            digest.addData(data.mid(i, 7));
        QCOMPARE(digest.hex(), QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
        QCOMPARE(digest.hex(), QByteArray("e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"));
    }

    // What a helper thread made and the caller frees stays in the helper's
    // heap, unless it is freed under FreeingToSystem.
    void freedMemoryLeavesHelperHeaps()
    {
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__)
        QSKIP("glibc's own allocator only");
#else
        setAllocatorLimits();
        constexpr int Buffers = 64, Bytes = 256 * 1024;
        std::vector<std::unique_ptr<char[]>> made;
        made.reserve(Buffers); // out of the helper's heap, where it would stand between the buffers
        std::thread helper([&made] {
            for (int i = 0; i < Buffers; ++i) {
                made.emplace_back(new char[Bytes]);
                std::memset(made.back().get(), 1, Bytes);
            }
        });
        helper.join();
        const auto heaps = [] { return qint64(mallinfo2().arena); };
        const qint64 held = heaps();
        made.resize(Buffers / 2); // the later half, at the top of the helper's heap
        QVERIFY(heaps() > held - Bytes);
        {
            const FreeingToSystem freeing;
            made.clear();
        }
        QVERIFY2(heaps() < held - Buffers * qint64(Bytes) * 3 / 4, qPrintable(QString::number(held - heaps())));
#endif
    }
};

SUNDREVALE_TEST_MAIN(TestCore)
#include "tst_core.moc"
