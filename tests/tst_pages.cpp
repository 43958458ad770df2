#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTimeEdit>
#include <QLineEdit>
#include "formcart1.h"
#include "formcart2.h"
#include "formcart3.h"
#include "formcart4.h"
#include "formcart5.h"
#include "formdata1.h"
#include "formdata2.h"
#include "formdata3.h"
#include "formdata4.h"
#include "formdata5.h"
#include "listmodel.h"
#include "listtable.h"
#include "recordstore.h"
#include "settings.h"
#include "sqlthread.h"
#include "overviewline.h"
#include "testsupport.h"
#include "wallclock.h"
#include "timepresets.h"

#include <qcustomplot.h>
#include <thread>

using namespace TestSupport;
using Access = SQLThread::PageAccess;
Q_DECLARE_METATYPE(SQLThread::PageAccess)
Q_DECLARE_METATYPE(TimePreset)

namespace {

QList<double> keys(QCPGraph *graph)
{
    QList<double> at;
    for (int i = 0; i < graph->dataCount(); ++i)
        at << graph->data()->at(i)->key;
    return at;
}

double keyOf(int k)
{
    return double(Start.addSecs(60 * k).toSecsSinceEpoch());
}

// The records a table search selects, worked out from the generated fields.
QList<int> matchingRecords(int model, int count, const TableSearch &s)
{
    // A range takes readings only: markers and other texts are in none.
    const auto marker = [](const QString &v) { return v == "HH" || v == "LL"; };
    const auto inside = [](const QString &v, double low, double high) {
        if (low == -qInf() && high == qInf())
            return true;
        return !NoReading.contains(v) && v.toDouble() > low && v.toDouble() < high;
    };
    QList<int> ks;
    for (int k = 0; k < count; ++k) {
        const QDateTime t = Start.addSecs(60 * k);
        const QString pv = pvField(model, k, s.idx), h = humidityField(k);
        bool ok = s.ishl ? marker(pv) : inside(pv, s.pv1, s.pv2);
        if (model == 3)
            ok = s.ishl ? ok || marker(h) : ok && inside(h, s.th1, s.th2);
        if (ok && t >= s.st && t <= s.en)
            ks << k;
    }
    return ks;
}

// A value as the table shows it: the number, or the marker.
QString shownValue(const QString &field)
{
    bool number = false;
    const double value = field.toDouble(&number);
    return number ? QString::number(value, 'g', 6) : field;
}

// Record k as row `id` of a data page (and line of its export).
QString expectedRow(int model, int k, int id, int channel)
{
    const QStringList f = recordFields(model, k);
    QStringList cells{QString::number(id)};
    switch (familyOfModel(model)) {
    case 1: {
        const QString out = f.at(3 * channel + 2);
        const int rounded = out == "45.6" ? 46 : (out == "12.4" ? 12 : out.toInt());
        cells << shownValue(f.at(3 * channel)) << f.at(3 * channel + 1) << QString::number(rounded);
        break;
    }
    case 2: cells << QString::number(channel + 1) << shownValue(f.at(channel)); break;
    case 4: cells << shownValue(f.at(0)) << f.at(1) << f.at(2) << shownValue(f.at(3)) << f.at(4) << f.at(5); break;
    default:
        cells << shownValue(f.at(0));
        for (int a = 2; a < f.size() - 1; a += 2)
            cells << f.at(a);
    }
    return (cells << Start.addSecs(60 * k).toString("yyyy/MM/dd hh:mm:ss")).join(',');
}

// The values of a summary's column, and the place of the first minimum or
// maximum among them (-1: no number).
QStringList summaryColumn(int model, const QList<int> &ks, int channel, int column)
{
    QStringList values;
    for (int k : ks)
        values << (column == 0 ? pvField(model, k, channel) : humidityField(k));
    return values;
}

int firstExtreme(const QStringList &values, bool maximum)
{
    int at = -1;
    for (int i = 0; i < values.size(); ++i) {
        bool number = false;
        const double x = values.at(i).toDouble(&number);
        if (number && (at < 0 || (maximum ? x > values.at(at).toDouble() : x < values.at(at).toDouble())))
            at = i;
    }
    return at;
}

// The summary line of records ks of a search (channel: as in pvField), as shown.
QString expectedSummary(int model, const QList<int> &ks, int channel)
{
    const auto stamp = [&](int i) { return Start.addSecs(60 * ks.at(i)).toString("yyyy-MM-dd hh:mm:ss"); };
    QStringList parts{QString("Records %1").arg(ks.size())};
    const QStringList names = model == 3 ? QStringList{"Temperature", "Humidity"}
                                         : QStringList{familyOfModel(model) <= 2 ? QString("CH%1 PV").arg(channel + 1) : "PV"};
    for (int column = 0; column < names.size(); ++column) {
        const QStringList values = summaryColumn(model, ks, channel, column);
        int numbers = 0, unreadable = 0;
        double sum = 0, kinetic = 0;
        for (const QString &v : values) {
            bool number = false;
            sum += v.toDouble(&number);
            kinetic += number ? std::exp(-10000 / (v.toDouble() + 273.15)) : 0;
            numbers += number;
            unreadable += !number && v != "HH" && v != "LL";
        }
        const int low = firstExtreme(values, false), high = firstExtreme(values, true);
        QString text = names.at(column) + ": ";
        text += numbers == 0 ? QString("no readable value")
                             : QString("min %1 at %2, max %3 at %4, mean %5")
                                   .arg(shownValue(values.value(low)), stamp(low), shownValue(values.value(high)),
                                        stamp(high), QString::number(sum / numbers, 'g', 6));
        if (model == 3 && column == 0 && numbers > 0) // in °C: the mean kinetic temperature
            text += QString(", MKT %1 °C").arg(10000 / -std::log(kinetic / numbers) - 273.15, 0, 'g', 6);
        text += QString(" · HH %1 · LL %2").arg(values.count("HH")).arg(values.count("LL"));
        parts << text + (unreadable ? QString(" · unreadable %1").arg(unreadable) : QString());
    }
    return parts.join(" · ");
}

// The page statements the worker writes on its "SQL:" lines, as written.
class SqlLines
{
public:
    SqlLines() : previous(qInstallMessageHandler(&SqlLines::take)) { taken().clear(); }
    ~SqlLines() { qInstallMessageHandler(previous); }
    QStringList lines() const
    {
        QMutexLocker lock(&mutex());
        return taken();
    }

private:
    static QMutex &mutex()
    {
        static QMutex m;
        return m;
    }
    static QStringList &taken()
    {
        static QStringList t;
        return t;
    }
    static void take(QtMsgType, const QMessageLogContext &, const QString &message)
    {
        QMutexLocker lock(&mutex());
        if (message.startsWith("SQL: \""))
            taken() << message.mid(6).chopped(1);
    }
    QtMessageHandler previous;
};

// A page statement of the family's range mode (pages of 10 records between
// -4 and 30, humidity between 20 and 30) or of its chart (pages of 500), as
// the program is to write it; `from` is the page's first record.
QString pageStatement(int family, bool chart, int from)
{
    static const QStringList tableColumns{"", "pv2,sv2,out2", "pv2", "pv_value,alm1,alm2,alm3,alm4",
                                          "T_value,al1value,alm1,H_value,al2value,alm2",
                                          "pv_value,alm1,alm2,alm3,alm4,alm5,alm6,alm7,alm8"};
    static const QStringList chartColumns{"", "pv2,sv2", "pv2", "pv_value", "T_value,H_value", "pv_value"};
    // A range admits readings only: a text that casts to a number in range is none.
    const auto range = [](const QString &value, int low, int high) {
        return QString(" and cast(%1 as real)>%2 and cast(%1 as real)<%3 and cast(%1 as numeric)=%1").arg(value).arg(low).arg(high);
    };
    const QString ranges = family == 4 ? range("T_value", -4, 30) + range("H_value", 20, 30)
                                       : range(family <= 2 ? "pv2" : "pv_value", -4, 30);
    const bool oneBlank = chart && from == 0 && family != 2;
    return QString("select%1%2,indate from meter%3 where datetime(indate) between :indate1 and :indate2 %4 order by rowid limit %5,%6")
        .arg(oneBlank ? " " : "  ", (chart ? chartColumns : tableColumns).at(family))
        .arg(meterOfModel(modelOfFamily(family)))
        .arg(chart ? QString() : ranges)
        .arg(from)
        .arg(chart ? 500 : 10);
}

template<class Page, class... Families> std::unique_ptr<Page> makePage(int family)
{
    std::unique_ptr<Page> page;
    int number = 0;
    ((++number == family ? void(page = std::make_unique<Families>()) : void()), ...);
    return page;
}

const auto makeDataPage = &makePage<DataTablePage, Formdata1, Formdata2, Formdata3, Formdata4, Formdata5>;
const auto makeChartPage = &makePage<ChartPage, Formcart1, Formcart2, Formcart3, Formcart4, Formcart5>;

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    int importedModel = 0;
    int importedCount = 0;

    // A shown page over `count` records, with the second channel where there are channels.
    template<class Page> std::unique_ptr<Page> open(std::unique_ptr<Page> (*make)(int), int family, int count)
    {
        const int model = modelOfFamily(family);
        if (importedModel != model || importedCount != count)
            importModel(QDir(dir.path()), model, count);
        importedModel = model;
        importedCount = count;
        Meter = meterOfModel(model);
        auto page = make(family);
        page->resize(867, 583);
        page->show();
        setWindow(page.get(), Start, Start.addSecs(60 * (count - 1)));
        if (family <= 2)
            pressChannel(page.get(), 1);
        return page;
    }

private slots:
    void init()
    {
        // An unusable chart page size means 500; a tiny step over a wide range
        // gives ticks at a multiple of it: tens of them, not thousands.
        writeConfig({{"PageRcd", "10"}, {"PlotRcd", "0"}, {"YStep", "0.001"}});
        loadSettings();
        // Pages that start in a later block of the sums than the first.
        SQLThread::setSummaryBlockRowids(64);
    }

    void cleanup()
    {
        SQLThread::restoreDefaults();
        closeModals();
        QVERIFY(!QApplication::activeModalWidget());
    }

    // Every family, in both modes, with each way of reading a page: as the
    // cost estimate chooses, in table order, through the time index.
    static void familyRows(bool modes)
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<Access>("access");
        const QList<QPair<const char *, Access>> accesses{
            {"chosen", Access::Chosen}, {"table order", Access::TableOrder}, {"time index", Access::TimeIndex}};
        for (int family = 1; family <= 5; ++family)
            for (const char *mode : modes ? QList<const char *>{"range", "HH/LL", "one-sided", "every record"} : QList<const char *>{"range"})
                for (const auto &[name, access] : accesses)
                    QTest::addRow("family%d %s, %s", family, mode, name) << family << QString(mode) << access;
    }

    // The page statements of every family as the program is to write them,
    // in builds whose debug lines do not show them too.
    void pageStatementsAsWritten_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<bool>("chart");
        QTest::addColumn<int>("pageid");
        for (int family = 1; family <= 5; ++family)
            for (bool chart : {false, true})
                for (int pageid : {-1, 1})
                    QTest::addRow("family%d %s, page %d", family, chart ? "chart" : "table", pageid) << family << chart << pageid;
    }

    void pageStatementsAsWritten()
    {
        QFETCH(int, family);
        QFETCH(bool, chart);
        QFETCH(int, pageid);
        const int meter = meterOfModel(modelOfFamily(family)), idx = family <= 2 ? 1 : 0;
        const QString written = chart ? chartPageStatement(meterFamily(family), meter, ChartRequest{false, pageid, idx, {}, {}}, 500)
                                      : tablePageStatement(meterFamily(family), meter, TableSearch{pageid, idx, {}, {}, -4, 30, 20, 30}, 10);
        QCOMPARE(written, pageStatement(family, chart, pageid < 0 ? 0 : (chart ? 500 : 10)));
    }

    void dataPage_data() { familyRows(true); }

    void dataPage()
    {
        QFETCH(int, family);
        QFETCH(QString, mode);
        QFETCH(Access, access);
        SQLThread::forcePageAccess(access);
        SQLThread::setExportChunk(7); // an export of several statements
        auto owner = open(makeDataPage, family, 300);
        QWidget *page = owner.get();
        QVERIFY(!page->findChild<QPushButton *>("page_export")->isEnabled());
        // An empty field bounds nothing on its side; empty ranges are fine with markers.
        const bool ishl = mode == "HH/LL";
        const QStringList ranges = mode == "range" ? QStringList{"-4", "30", "20", "30"}
            : mode == "one-sided"                  ? QStringList{"-4", "", "", "30"}
                                                   : QStringList{"", "", "", ""};
        page->findChild<QCheckBox *>("checkBox")->setChecked(ishl);
        for (int i = 0; i < 4; ++i)
            if (auto *edit = page->findChild<QLineEdit *>(QString("txt%1%2").arg(i < 2 ? "pv" : "hh").arg(i % 2 + 1)))
                edit->setText(ranges.at(i));
        const SqlLines sql;
        click(page, "pushButton");

        const auto bound = [&](int i) { return ranges.at(i).isEmpty() ? (i % 2 ? qInf() : -qInf()) : ranges.at(i).toDouble(); };
        const TableSearch s{-1, family <= 2 ? 1 : 0, Start, Start.addSecs(60 * 299), bound(0), bound(1), bound(2), bound(3), ishl};
        const QList<int> matching = matchingRecords(modelOfFamily(family), 300, s);
        QStringList expected;
        for (int i = 0; i < matching.size(); ++i)
            expected << expectedRow(modelOfFamily(family), matching.at(i), i, 1);
        const int pages = int(matching.size() + 9) / 10;
        QVERIFY(pages > 2);
        QCOMPARE(counter(page), QString("Record：%1 ,Pages：1 of %2").arg(matching.size()).arg(pages));
        const int channel = family <= 2 ? 1 : 0;
        QCOMPARE(shownSummary(page), expectedSummary(modelOfFamily(family), matching, channel));

        // The criteria and count of the shown search hold while paging, whatever
        // the fields say now and whatever another page counted meanwhile.
        g_recordCount = int(matching.size()) + 5;
        setRanges(page, "500", "600");
        setWindow(page, Start.addSecs(-7200), Start.addSecs(-3600));
        QSignalSpy queries(page, SIGNAL(pmessagebox(QString)));
        click(page, "page_home");
        click(page, "page_up");
        QCOMPARE(queries.count(), 0); // nothing to do on the first page
        QStringList shown = shownRows(page);
        for (int p = 1; p < pages; ++p) {
            click(page, "page_down");
            shown += shownRows(page);
        }
#ifndef QT_NO_DEBUG_OUTPUT
        if (mode == "range" && access != Access::Chosen) // read by the statements as written
            QCOMPARE(sql.lines().mid(0, 2), QStringList({pageStatement(family, false, 0), pageStatement(family, false, 10)}));
#endif
        QCOMPARE(shown, expected);
        QCOMPARE(counter(page), QString("Record：%1 ,Pages：%2 of %2").arg(matching.size()).arg(pages));
        queries.clear();
        click(page, "page_down");
        click(page, "page_end");
        QCOMPARE(queries.count(), 0); // nothing to do on the last page
        click(page, "page_home");
        click(page, "page_end");
        QCOMPARE(shownRows(page), expected.mid((pages - 1) * 10));
        click(page, "page_up");
        QCOMPARE(shownRows(page), expected.mid((pages - 2) * 10, 10));

        // The maximum's link shows its page and selects its row.
        const int top = firstExtreme(summaryColumn(modelOfFamily(family), matching, channel, 0), true);
        auto *table = page->findChild<QTableWidget *>("tabled");
        if (top >= 0) {
            emit page->findChild<QLabel *>("summary_label")->linkActivated("max0");
            QCOMPARE(counter(page), QString("Record：%1 ,Pages：%2 of %3").arg(matching.size()).arg(top / 10 + 1).arg(pages));
            QCOMPARE(table->currentRow(), top % 10);
            QCOMPARE(shownRows(page).at(top % 10), expected.at(top));
        }

        // The export holds every page, with the table's headers.
        const QString path = dir.filePath("export.csv");
        QFile::remove(path);
        saveAs(path);
        QString message;
        answerMessage(&message);
        click(page, "page_export");
        QCOMPARE(message, QString("%1 records exported to %2").arg(matching.size()).arg(path));
        QVERIFY(SQLThread::readPathsOfLastJob().contains(QString("export in %1 statements").arg(matching.size() / 7 + 1)));
        QStringList headers;
        for (int c = 0; c < table->columnCount(); ++c)
            headers << table->horizontalHeaderItem(c)->text();
        QCOMPARE(readTextFile(path), (QStringList{headers.join(',')} + expected).join("\r\n") + "\r\n");
        // The time fills what the other columns leave; the controller's table never scrolls sideways.
        QVERIFY(table->horizontalHeader()->stretchLastSection());
        QCOMPARE(table->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff, family == 1);
    }

    void refusedSearches_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("edits"); // the range fields given `text`
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("message");
        QTest::newRow("family1 equal times") << 1 << "" << "" << "Set the right times for starting and finishing.";
        QTest::newRow("family1 no channel") << 1 << "" << "" << "Choose one of the channel.";
        QTest::newRow("family2 reversed pv") << 2 << "txtpv1" << "99999" << " Set the right range of the pv values.";
        QTest::newRow("family3 equal pv") << 3 << "txtpv[12]" << "5" << " Set the right range of the pv values.";
        QTest::newRow("family4 temperature") << 4 << "txtpv1" << "99999" << "Set the right range of the temperature  values.";
        QTest::newRow("family4 humidity") << 4 << "txthh1" << "99999" << "Set the right range of the humidity   values.";
        QTest::newRow("family5 no result") << 5 << "txtpv1" << "99998" << "There are no result to display.";
    }

    void refusedSearches()
    {
        QFETCH(int, family);
        QFETCH(QString, edits);
        QFETCH(QString, text);
        QFETCH(QString, message);
        auto owner = open(makeDataPage, family, 300);
        QWidget *page = owner.get();
        setRanges(page, "-10", "99999");
        click(page, "pushButton");
        const QStringList before = shownRows(page);
        if (QTest::currentDataTag() == QByteArray("family1 equal times"))
            setWindow(page, Start, Start);
        else if (edits.isEmpty())
            pressChannel(page, 1); // unticks the ticked row
        for (QLineEdit *edit : page->findChildren<QLineEdit *>(QRegularExpression("^" + edits + "$")))
            edit->setText(text);
        QString told;
        answerMessage(&told);
        click(page, "pushButton");
        QCOMPARE(told, message);
        QCOMPARE(page->focusWidget() == page->findChild<QWidget *>("dateTimeEdit1"), message.contains("times"));
        QCOMPARE(shownRows(page), before); // the table stays
    }

    void chartPage_data()
    {
        familyRows(false);
        QTest::newRow("family4 humidity") << 4 << QString("range") << Access::Chosen;
    }

    void chartPage()
    {
        QFETCH(int, family);
        QFETCH(Access, access);
        const bool humidity = QTest::currentDataTag() == QByteArray("family4 humidity");
        SQLThread::forcePageAccess(access);
        auto owner = open(makeChartPage, family, 1234);
        ChartPage *page = owner.get();
        if (humidity)
            page->findChild<QRadioButton *>("radioButton_2")->setChecked(true);
        QVERIFY(!page->findChild<QPushButton *>("page_image")->isEnabled()); // no chart yet
        QCustomPlot *plot = page->chart();
        // Framed on four sides; the controller's line filled beneath.
        QVERIFY(plot->xAxis2->visible() && plot->yAxis2->visible());
        QCOMPARE(plot->graph(0)->brush().style() != Qt::NoBrush, family == 1);
        const SqlLines sql;
        click(page, "pushButton");
        QCOMPARE(counter(page), QString("Record：1234 ,Pages：1 of 3"));
        QList<int> all(1234);
        std::iota(all.begin(), all.end(), 0);
        const int channel = family <= 2 ? 1 : 0;
        QCOMPARE(shownSummary(page), expectedSummary(modelOfFamily(family), all, channel));
        if (family == 1) { // the readout of the point under the mouse
            QVERIFY(QTest::qWaitForWindowExposed(page));
            const QString pv = pvField(12, 20, 1);
            const QPoint at(qRound(plot->xAxis->coordToPixel(keyOf(20))), qRound(plot->yAxis->coordToPixel(pv.toDouble())));
            QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(plot, &move);
            QCOMPARE(QToolTip::text(), QString("2024/03/01 00:20:00\nPV of CH2: %1\nSV of CH2: 51").arg(pv));
            QCOMPARE(chartReadout(plot, keyOf(5)), QString("2024/03/01 00:05:00\nPV of CH2: HH\nSV of CH2: 51"));
            QCOMPARE(chartReadout(plot, keyOf(900)).section('\n', 0, 0), QString("2024/03/01 08:19:00"));
        }
        for (int p = 0; p < 3; ++p) {
            if (p > 0)
                click(page, p == 1 ? "page_down" : "page_end");
            const int first = 500 * p, points = p < 2 ? 500 : 234;
            QCOMPARE(plot->graph(0)->dataCount(), points);
            QList<double> hh, ll;
            double low = 1e9;
            for (int i = 0; i < points; ++i) {
                const int k = first + i;
                const QString value = humidity ? humidityField(k) : pvField(modelOfFamily(family), k, family <= 2 ? 1 : 0);
                const auto point = plot->graph(0)->data()->at(i);
                QCOMPARE(point->key, keyOf(k));
                bool number = false;
                value.toDouble(&number);
                if (!number) {
                    QVERIFY(std::isnan(point->value)); // a marker, or no number, breaks the line
                    if (value == "HH" || value == "LL")
                        (value == "HH" ? hh : ll) << keyOf(k);
                } else {
                    QCOMPARE(point->value, value.toDouble());
                    low = qMin(low, point->value);
                }
            }
            QCOMPARE(keys(plot->graph(ChartPage::HhGraph)), hh);
            QCOMPARE(keys(plot->graph(ChartPage::LlGraph)), ll);
            if (!hh.isEmpty())
                QVERIFY(plot->graph(ChartPage::HhGraph)->data()->at(0)->value > plot->yAxis->range().center());
            QVERIFY(plot->yAxis->range().lower > low - 10); // fitted to the numbers only
            if (family == 1)
                QVERIFY(plot->yAxis->range().contains(51)); // and to the SV
            const QVector<double> ticks = plot->yAxis->tickVector();
            QVERIFY2(ticks.size() >= 3 && ticks.size() <= 100, qPrintable(QString::number(ticks.size())));
            QCOMPARE(std::fmod(std::round((ticks.at(1) - ticks.at(0)) / 0.001), 1.0), 0.0);
            QCOMPARE(plot->graph(1)->dataCount(), family == 1 ? points : 0);
            if (family == 1)
                QCOMPARE(plot->graph(1)->data()->at(0)->value, 51.0); // the second channel's SV
        }
#ifndef QT_NO_DEBUG_OUTPUT
        if (access != Access::Chosen && !humidity)
            QCOMPARE(sql.lines().mid(0, 2), QStringList({pageStatement(family, true, 0), pageStatement(family, true, 500)}));
#endif
        // The minimum's link shows its page, centred on it.
        const int low = firstExtreme(summaryColumn(modelOfFamily(family), all, channel, humidity ? 1 : 0), false);
        emit page->findChild<QLabel *>("summary_label")->linkActivated(humidity ? "min1" : "min0");
        QCOMPARE(counter(page), QString("Record：1234 ,Pages：%1 of 3").arg(low / 500 + 1));
        QCOMPARE(plot->xAxis->range().center(), keyOf(low));
        plot->graph(0)->data()->clear();
        plot->graph(1)->data()->clear();
        QCOMPARE(chartReadout(plot, keyOf(0)), QString()); // nothing on an empty chart
    }

    // Whole window: every record drawn, channels over each other; the wheel
    // and a drag ask for the visible span again; a double-click opens the page.
    void wholeWindowOnTheChartPage_data()
    {
        QTest::addColumn<int>("family");
        QTest::newRow("two channels") << 1;
        QTest::newRow("temperature and humidity") << 4;
    }

    void wholeWindowOnTheChartPage()
    {
        QFETCH(int, family);
        const int model = modelOfFamily(family);
        auto owner = open(makeChartPage, family, 1234);
        ChartPage *page = owner.get();
        QCustomPlot *plot = page->chart();
        page->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
        if (family == 1) {
            QCOMPARE(page->findChild<QLabel *>("label_3")->text(), QString("Tick the channels to draw:"));
            pressChannel(page, 0); // with the second one ticked: both
        }
        click(page, "pushButton");
        QCOMPARE(counter(page), QString("Record：1234 drawn"));
        QVERIFY(!page->findChild<QPushButton *>("page_down")->isEnabled());
        QVERIFY(page->findChild<QPushButton *>("page_image")->isEnabled()); // the drawing can be saved
        const QStringList names = family == 1 ? QStringList{"CH1", "CH2"} : QStringList{"Temperature", "Humidity"};
        QVERIFY(plot->legend->visible());
        // Two minutes a pixel column at most: every record is drawn, in time order.
        const auto expectDrawn = [&](int first, int last) {
            for (int value = 0; value < 2; ++value) {
                QCPGraph *graph = plot->graph(value);
                QCOMPARE(graph->name(), names.at(value));
                QCOMPARE(graph->dataCount(), last - first + 1);
                for (int k = first; k <= last; ++k) {
                    const QString text = family == 4 && value == 1 ? humidityField(k) : pvField(model, k, value);
                    bool number = false;
                    const double expected = text.toDouble(&number);
                    const auto point = graph->data()->at(k - first);
                    QCOMPARE(point->key, keyOf(k));
                    QVERIFY2(number ? point->value == expected : std::isnan(point->value), qPrintable(text));
                }
            }
        };
        expectDrawn(0, 1233);
        QVERIFY(plot->graph(ChartPage::HhGraph)->dataCount() > 0);
        // The title band names the span drawn and carries the summary of each channel.
        const auto title = [&] { return page->imageTitle().section('\n', 0, 0); };
        QCOMPARE(title(), QString("Model %1 · %2 · 2024-03-01 00:00:00 – 2024-03-01 20:33:59 · 1234 records drawn")
                              .arg(model).arg(names.join(", ")));
        QCOMPARE(page->imageTitle().section('\n', 1).remove('\n'), shownSummary(page));
        if (family == 1)
            QVERIFY2(shownSummary(page).contains("CH1 PV: min") && shownSummary(page).contains("CH2 PV: min"),
                     qPrintable(shownSummary(page)));
        // The records of the span shown after a wheel turn, then after a drag.
        const auto shownRecords = [&] {
            const QCPRange range = plot->xAxis->range();
            return qMakePair(qMax(0, int(std::ceil((range.lower - keyOf(0)) / 60))),
                             qMin(1233, int(std::floor((std::ceil(range.upper) - keyOf(0)) / 60))));
        };
        QVERIFY(QTest::qWaitForWindowExposed(page));
        const QPoint centre = plot->axisRect()->rect().center();
        // The refining runs beside another worker's job, held together until
        // both have their connections open: neither may close the other's.
        holdWorkerJobs();
        bool besideDone = false;
        std::thread beside([&] {
            SQLThread job;
            job.drawOverview(family, family == 1 ? QStringList{"pv1", "pv2"} : meterFamily(family).valueColumns, Start, Start.addSecs(60 * 1233), 100);
            besideDone = job.outcome().done();
        });
        for (int turn = 0; turn < 8; ++turn) {
            QWheelEvent wheel(centre, plot->mapToGlobal(centre), {}, QPoint(0, 120), Qt::NoButton, Qt::NoModifier,
                              Qt::NoScrollPhase, false);
            QCoreApplication::sendEvent(plot, &wheel);
        }
        QTest::qWait(300);
        releaseWorkerJobs();
        beside.join();
        SQLThread::setConnectionHook({});
        QVERIFY(besideDone);
        QTRY_COMPARE(counter(page), QString("Record：%1 drawn").arg(shownRecords().second - shownRecords().first + 1));
        expectDrawn(shownRecords().first, shownRecords().second);
        QVERIFY2(title().endsWith(QString(" · %1 records drawn").arg(shownRecords().second - shownRecords().first + 1))
                     && !title().contains("2024-03-01 00:00:00 –"),
                 qPrintable(title()));
        QTest::mousePress(plot, Qt::LeftButton, {}, centre);
        QMouseEvent drag(QEvent::MouseMove, centre + QPoint(150, 0), plot->mapToGlobal(centre + QPoint(150, 0)),
                         Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(plot, &drag);
        QTest::mouseRelease(plot, Qt::LeftButton, {}, centre + QPoint(150, 0));
        QTRY_VERIFY(shownRecords().first < 500 && plot->graph(0)->data()->at(0)->key == keyOf(shownRecords().first));
        expectDrawn(shownRecords().first, shownRecords().second);
        // A double-click on the second channel's line opens its paged chart at
        // the page of the record there, centred on it.
        const auto second = [&](int k) { return family == 4 ? humidityField(k) : pvField(model, k, 1); };
        int k = (shownRecords().first + shownRecords().second) / 2;
        while (NoReading.contains(second(k)))
            ++k;
        const QPoint at(qRound(plot->xAxis->coordToPixel(keyOf(k))), qRound(plot->yAxis->coordToPixel(second(k).toDouble())));
        QMouseEvent twice(QEvent::MouseButtonDblClick, at, plot->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                          Qt::NoModifier);
        QCoreApplication::sendEvent(plot, &twice);
        QVERIFY(!page->findChild<QCheckBox *>("wholeWindow")->isChecked());
        if (family == 1)
            QCOMPARE(page->findChild<QLabel *>("label_3")->text(), QString("Select one channel to generate:"));
        QCOMPARE(counter(page), QString("Record：1234 ,Pages：%1 of 3").arg(k / 500 + 1));
        QCOMPARE(plot->xAxis->range().center(), keyOf(k));
        QVERIFY(plot->legend->visible());
        QCOMPARE(plot->graph(0)->name(), QString(family == 1 ? "PV of CH2" : "Humidity"));
        QCOMPARE(plot->graph(0)->pen().color(), ChartPage::channelColour(1)); // as in the whole window
        // The saved image has the title band over the chart.
        QCOMPARE(page->imageTitle().section(" · ", 1, 1), QString(family == 1 ? "CH2" : "Humidity"));
        int inView = 0; // of the page's records
        for (int j = k / 500 * 500; j <= qMin(1233, k / 500 * 500 + 499); ++j)
            inView += plot->xAxis->range().contains(keyOf(j));
        QVERIFY2(title().endsWith(QString(" · %1 records drawn").arg(inView)), qPrintable(title()));
        QFile::remove(dir.filePath("title.png"));
        saveAs(dir.filePath("title.png"));
        const QRect laidOut = plot->axisRect()->rect();
        click(page, "page_image");
        // The summary under the title wraps at its " · " to the image's width:
        // the image holds at least a summary line for each width of its text.
        const QFontMetrics summaryFont(QFont(page->font().family(), 9));
        int summaryLines = 0;
        for (const QString &line : page->imageTitle().section('\n', 1).split('\n'))
            summaryLines += 1 + qMax(0, summaryFont.horizontalAdvance(line) - 30) / (plot->width() - 16);
        QVERIFY(family == 1 || summaryLines > page->imageTitle().count('\n')); // the meter's is wider than its chart
        const QFontMetrics titleFont(QFont(page->font().family(), 10, QFont::Bold));
        QVERIFY(titleFont.horizontalAdvance(title()) < plot->width() - 16);
        QVERIFY(QImage(dir.filePath("title.png")).height()
                >= plot->height() + titleFont.height() + summaryLines * summaryFont.height());
        QCOMPARE(plot->axisRect()->rect(), laidOut); // clicks still land where the chart shows
        // A channel's link in the whole window's summary opens that channel's
        // paged chart at its extreme, whichever channel was paged before.
        QList<int> all(1234);
        std::iota(all.begin(), all.end(), 0);
        for (int channel = 1; family == 1 && channel >= 0; --channel) {
            page->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
            tickChannel(page, 0);
            tickChannel(page, 1);
            click(page, "pushButton");
            emit page->findChild<QLabel *>("summary_label")->linkActivated(QString("max0/%1").arg(channel));
            const int top = firstExtreme(summaryColumn(model, all, channel, 0), true);
            QCOMPARE(plot->graph(0)->name(), QString("PV of CH%1").arg(channel + 1));
            QCOMPARE(counter(page), QString("Record：1234 ,Pages：%1 of 3").arg(top / 500 + 1));
            QCOMPARE(plot->xAxis->range().center(), keyOf(top));
        }
    }

    // A day of a controller that keeps standard time all year, read with the
    // machine's zone in daylight saving (the test runs with TZ=Europe/Berlin):
    // markers, stamps with a T or without seconds, and stamps inside the
    // spring-forward gap (02:00 to 03:00).
    // The whole window's line: each column's records in time order, broken
    // where none comes for longer than the gap, and only there.
    void wholeWindowLineBreaksAtGaps()
    {
        const qint64 t0 = naiveSeconds(Start);
        QVector<OverviewCell> cells(4);
        for (const auto &[column, seconds] : {std::pair{0, 0}, std::pair{0, 30}, std::pair{1, 60}, std::pair{3, 400}})
            cells[column].add(OverviewPoint{t0 + seconds, 1 + seconds, double(seconds)}, OverviewCell::Kind::Number);
        const OverviewPlan plan = planOverview(t0, t0 + 479, 4);
        const OverviewLine line = overviewLine(cells, plan, 120);
        QCOMPARE(line.rowids, QVector<qint64>({1, 31, 61, -1, 401}));
        QCOMPARE(line.values.at(2), 60.0);
        QVERIFY(std::isnan(line.values.at(3)) && line.keys.at(3) > line.keys.at(2) && line.keys.at(3) < line.keys.at(4));
    }

    // The named windows on Berlin's calendar: 24 hours are 24 real hours
    // over a clock change, months end on their last day.
    // A noisy year lists a million excursions: the list makes the text of
    // the rows it shows, wherever it is scrolled, and finds each row's part.
    void longListsMadeAsShown()
    {
        QWidget window;
        QTableView *list = makeListTable("list", {"Value", "Row"}, &window);
        window.resize(600, 400);
        qint64 made = 0;
        const auto part = [&made](const QString &label) {
            return [&made, label](qsizetype row) { return ++made, QStringList{label, QString::number(row)}; };
        };
        listModel(list)->appendPart(1000000, part("CH1"));
        listModel(list)->appendPart(3, part("CH2"));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        list->scrollToBottom();
        QApplication::processEvents();
        QCOMPARE(list->model()->rowCount(), 1000003);
        QCOMPARE(list->model()->index(999999, 1).data().toString(), QString("999999"));
        QCOMPARE(list->model()->index(1000001, 0).data().toString() + list->model()->index(1000001, 1).data().toString(), QString("CH21"));
        QCOMPARE(listModel(list)->partOf(1000002), (std::pair<int, qsizetype>{1, 2}));
        QVERIFY2(made < 20000, qPrintable(QString::number(made))); // those shown, and those the columns are sized by
        // Written a part at a time, every row; or stopped when asked.
        QBuffer written;
        written.open(QIODevice::WriteOnly);
        int asked = 0;
        QVERIFY(writeListCsv(list, &written, [&asked](int) { return ++asked; }));
        const QList<QByteArray> lines = written.data().split('\n');
        QCOMPARE(lines.size(), 1000003 + 2); // the header, and nothing after the last line end
        QCOMPARE(lines.at(0), QByteArray("Value,Row\r"));
        QCOMPARE(lines.at(1000002), QByteArray("\"CH2\",\"1\"\r"));
        QCOMPARE(asked, 1000003 / 1024 + 1);
        QBuffer stopped;
        stopped.open(QIODevice::WriteOnly);
        const qint64 madeBefore = made;
        QVERIFY(!writeListCsv(list, &stopped, [](int row) { return row < 5000; }));
        QCOMPARE(made - madeBefore, 5120);
    }

    void presetWindows_data()
    {
        QTest::addColumn<TimePreset>("preset");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QDateTime>("from");
        QTest::addColumn<QDateTime>("to");
        const auto at = [](int y, int m, int d, int h = 0, int min = 0, int s = 0) { return QDateTime(QDate(y, m, d), QTime(h, min, s)); };
        QTest::newRow("last 24 hours over spring forward") << TimePreset::Last24Hours << at(2024, 3, 31, 10, 0, 30)
                                                            << at(2024, 3, 30, 9, 1) << at(2024, 3, 31, 10);
        QTest::newRow("last 24 hours over fall back") << TimePreset::Last24Hours << at(2024, 10, 27, 10)
                                                       << at(2024, 10, 26, 11, 1) << at(2024, 10, 27, 10);
        QTest::newRow("today, 23 hours long") << TimePreset::Today << at(2024, 3, 31, 12) << at(2024, 3, 31) << at(2024, 3, 31, 23, 59);
        QTest::newRow("yesterday over a month's turn") << TimePreset::Yesterday << at(2024, 3, 1, 0, 30) << at(2024, 2, 29)
                                                        << at(2024, 2, 29, 23, 59);
        QTest::newRow("last 7 days") << TimePreset::Last7Days << at(2024, 3, 31, 8) << at(2024, 3, 25) << at(2024, 3, 31, 23, 59);
        QTest::newRow("this month, a leap February") << TimePreset::ThisMonth << at(2024, 2, 10) << at(2024, 2, 1)
                                                      << at(2024, 2, 29, 23, 59);
        QTest::newRow("last month over the year's turn") << TimePreset::LastMonth << at(2025, 1, 5) << at(2024, 12, 1)
                                                          << at(2024, 12, 31, 23, 59);
    }

    void presetWindows()
    {
        QFETCH(TimePreset, preset);
        QFETCH(QDateTime, now);
        const MinuteWindow window = presetWindow(preset, now);
        QTEST(window.from, "from");
        QTEST(window.to, "to");
    }

    // Finding one's way in time: the named windows of the local calendar,
    // typing over a section, Go to... a time, the keys that turn pages or
    // move the chart, and a span dragged with the right button.
    void timeNavigation_data()
    {
        QTest::addColumn<QString>("page");
        for (const char *page : {"table", "chart", "whole window"})
            QTest::newRow(page) << QString(page);
    }

    void timeNavigation()
    {
        QFETCH(QString, page);
        std::unique_ptr<RecordPage> owner;
        if (page == "table")
            owner = open(makeDataPage, 1, 1234);
        else
            owner = open(makeChartPage, 1, 1234);
        RecordPage *shown = owner.get();
        auto *from = shown->findChild<QDateTimeEdit *>("dateTimeEdit1");
        auto *to = shown->findChild<QDateTimeEdit *>("dateTimeEdit2");
        QVERIFY(from->calendarPopup() && to->calendarPopup());

        auto *presets = shown->findChild<QComboBox *>("timePresets");
        QVERIFY(presets->isVisible() && presets->count() == 7); // laid out under To, "Window..." and six windows
        const QDate today = QDate::currentDate(), month(today.year(), today.month(), 1);
        for (const auto &[name, first, last] : {std::tuple{"Yesterday", today.addDays(-1), today.addDays(-1)},
                                                std::tuple{"Last 7 days", today.addDays(-6), today},
                                                std::tuple{"Last month", month.addMonths(-1), month.addDays(-1)}}) {
            emit presets->activated(presets->findText(name));
            QCOMPARE(from->dateTime(), QDateTime(first, QTime(0, 0)));
            QCOMPARE(to->dateTime(), QDateTime(last, QTime(23, 59)));
        }
        // A click on the day selects it; the digits typed replace it, in To and in From.
        QVERIFY(QTest::qWaitForWindowExposed(shown));
        for (QDateTimeEdit *edit : {to, from}) {
            edit->setDateTime(QDateTime(QDate(2024, 3, 1), QTime(0, 0)));
            auto *line = edit->findChild<QLineEdit *>();
            const QPoint day(line->contentsRect().left() + 2 + line->fontMetrics().horizontalAdvance(line->text().left(7)),
                             line->height() / 2);
            QTest::mouseClick(line, Qt::LeftButton, Qt::NoModifier, day);
            QCoreApplication::processEvents(); // as between a click and a key
            QTest::keyClicks(edit, "15");
            QCOMPARE(edit->date(), QDate(2024, 3, 15));
        }
        setWindow(shown, Start, Start.addSecs(60 * 1233));

        QCustomPlot *plot = page == "table" ? nullptr : static_cast<ChartPage *>(shown)->chart();
        if (page == "whole window")
            shown->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
        click(shown, "pushButton");
        // Go to half a minute after record 123: record 124 is shown (the whole window: the time itself).
        const auto goTo = [&](const QDateTime &at) {
            onNextModal("GoToTimeDialog", [at](QWidget *dialog) {
                dialog->findChild<QDateTimeEdit *>("goToTime")->setDateTime(at);
                static_cast<QDialog *>(dialog)->accept();
            });
            click(shown, "goToButton");
        };
        QVERIFY(shown->findChild<QPushButton *>("goToButton")->isVisible());
        goTo(Start.addSecs(60 * 123 + 30));
        if (page == "table") {
            QCOMPARE(counter(shown), QString("Record：1234 ,Pages：13 of 124"));
            QCOMPARE(shown->findChild<QTableWidget *>("tabled")->currentRow(), 4);
        } else {
            QCOMPARE(plot->xAxis->range().center(), page == "chart" ? keyOf(124) : keyOf(123) + 30);
        }
        QString told;
        answerMessage(&told);
        goTo(Start.addSecs(60 * 1234));
        QCOMPARE(told, page == "whole window"
                           ? QString("2024-03-01 20:34:00 lies outside the window shown, 2024-03-01 00:00:00 to 2024-03-01 20:33:59.")
                           : QString("No record of the search shown is stamped at or after 2024-03-01 20:34:00."));

        if (page == "table") {
            auto *table = shown->findChild<QTableWidget *>("tabled");
            const QList<std::pair<int, int>> keysAndPages{{Qt::Key_PageDown, 14}, {Qt::Key_End, 124}, {Qt::Key_PageUp, 123},
                                                          {Qt::Key_Home, 1}, {Qt::Key_PageUp, 1}};
            for (const auto &[key, expected] : keysAndPages) {
                QTest::keyClick(table, Qt::Key(key));
                QCOMPARE(counter(shown), QString("Record：1234 ,Pages：%1 of 124").arg(expected));
            }
            return;
        }
        // Keys move and zoom the span; Home and End put the first and last record at an edge.
        const auto span = [plot] { return std::pair(plot->xAxis->range().lower, plot->xAxis->range().upper); };
        const auto [lower, upper] = span();
        const double size = upper - lower;
        QTest::keyClick(plot, Qt::Key_Right);
        QCOMPARE(span(), std::pair(lower + size / 10, upper + size / 10));
        QTest::keyClick(plot, Qt::Key_Plus);
        QVERIFY(qAbs(plot->xAxis->range().size() - size / 1.25) < 1e-3);
        QTest::keyClick(plot, Qt::Key_Minus);
        QVERIFY(qAbs(plot->xAxis->range().size() - size) < 1e-3);
        QTest::keyClick(plot, Qt::Key_End);
        QCOMPARE(span(), std::pair(keyOf(1233) - size, keyOf(1233)));
        QTest::keyClick(plot, Qt::Key_Home);
        QCOMPARE(span(), std::pair(keyOf(0), keyOf(0) + size));
        // A span dragged with the right button is zoomed to; a click is none.
        const QRect rect = plot->axisRect()->rect();
        const int x1 = rect.left() + rect.width() / 4, x2 = rect.left() + rect.width() / 2, y = rect.center().y();
        const std::pair dragged(plot->xAxis->pixelToCoord(x1), plot->xAxis->pixelToCoord(x2));
        QTest::mousePress(plot, Qt::RightButton, Qt::NoModifier, QPoint(x2, y));
        QMouseEvent move(QEvent::MouseMove, QPointF(x1, y), plot->mapToGlobal(QPointF(x1, y)), Qt::NoButton, Qt::RightButton, Qt::NoModifier);
        QCoreApplication::sendEvent(plot, &move);
        QTest::mouseRelease(plot, Qt::RightButton, Qt::NoModifier, QPoint(x1, y));
        QCOMPARE(span(), dragged);
        QTest::mouseClick(plot, Qt::RightButton, Qt::NoModifier, QPoint(x1, y));
        QCOMPARE(span(), dragged);
        // Zoomed out or moved, the axis stops at the window searched and half of it again on either side.
        for (int i = 0; i < 40; ++i)
            QTest::keyClick(plot, Qt::Key_Minus);
        const auto [outLower, outUpper] = span();
        QCOMPARE(outUpper - outLower, 2 * (keyOf(1233) + 59 - keyOf(0)));
        QTest::keyClick(plot, Qt::Key_Minus);
        QTest::keyClick(plot, Qt::Key_Right);
        QCOMPARE(span(), std::pair(outLower, outUpper));
    }

    void recordsAsWritten()
    {
        QCOMPARE(QDateTime(QDate(2024, 3, 31), QTime(12, 0)).offsetFromUtc(), 7200); // the zone is in force
        const QList<QPair<QString, QString>> written{
            {"10.5", "2024-03-31 00:00:00"}, {"HH", "2024-03-31 00:00:30"}, {"LL", "2024-03-31T00:02:00"},
            {"12.5", "2024-03-31 00:03"},    {"13.5", "2024-03-31 01:59:00"}, {"14.5", "2024-03-31 02:00:00"},
            {"15.5", "2024-03-31 02:30:00"}, {"16.5", "2024-03-31 03:00:00"}, {"HH", "2024-03-31 03:30:00"},
            {"16.5", "2024-03-31 00:01:00"}}; // a tie at the maximum, stamped earlier
        QStringList lines, expected;
        for (int k = 0; k < written.size(); ++k) {
            lines << QString("%1,50,12,1,2,3,%2").arg(written.at(k).first, written.at(k).second);
            QString stamp = written.at(k).second;
            stamp.replace('-', '/').replace('T', ' ');
            if (!NoReading.contains(written.at(k).first)) // markers are in no range
                expected << QString("%1,%2,50,12,%3").arg(expected.size()).arg(written.at(k).first, stamp.size() == 16 ? stamp + ":00" : stamp);
        }
        freshDatabase();
        importedModel = 0;
        runImport({writeRecordFolder(QDir(dir.path()), "asWritten", "12", {{"20240331.CSV", lines}}) + "/20240331.CSV"});
        // The edits hold seconds the user does not see; the window is 00:00:00 to 03:30:59.
        const auto setTypedWindow = [](QWidget *page) {
            page->show();
            setWindow(page, QDateTime(QDate(2024, 3, 31), QTime(0, 0, 37)), QDateTime(QDate(2024, 3, 31), QTime(3, 30, 0)));
            pressChannel(page, 0);
        };
        Formdata1 table;
        setTypedWindow(&table);
        setRanges(&table, "-1", "99999");
        SQLThread::forcePageAccess(Access::TimeIndex); // rows come in time order, not in table order
        click(&table, "pushButton");
        QCOMPARE(shownRows(&table), expected);
        const QString values = " · CH1 PV: min 10.5 at 2024-03-31 00:00:00, max 16.5 at 2024-03-31 03:00:00, mean 14.2143";
        const QString summary = "Records 10" + values + " · HH 2 · LL 1";
        QCOMPARE(shownSummary(&table), "Records 7" + values + " · HH 0 · LL 0");
        Formcart1 chart;
        setTypedWindow(&chart);
        click(&chart, "pushButton");
        // Standard time is UTC+1 before the gap, summer time UTC+2 after it;
        // stamps inside the gap stand at its end, 01:00 UTC.
        const auto utc = [](int h, int m, int s) { return double(QDateTime(QDate(2024, 3, 31), QTime(h, m, s), Qt::UTC).toSecsSinceEpoch()); };
        QList<double> times{utc(0, 0, 0) - 3600, utc(0, 0, 30) - 3600, utc(0, 2, 0) - 3600,
                                  utc(0, 3, 0) - 3600, utc(1, 59, 0) - 3600, utc(1, 0, 0),
                                  utc(1, 0, 0),        utc(1, 0, 0),         utc(1, 30, 0),
                                  utc(0, 1, 0) - 3600};
        QCustomPlot *plot = chart.chart();
        QCOMPARE(keys(plot->graph(ChartPage::HhGraph)), QList<double>({times.at(1), times.at(8)}));
        QCOMPARE(keys(plot->graph(ChartPage::LlGraph)), QList<double>({times.at(2)}));
        QCOMPARE(chartReadout(plot, times.last()), QString("2024/03/31 00:01:00\nPV of CH1: 16.5\nSV of CH1: 50")); // stamped earlier
        std::sort(times.begin(), times.end());
        QCOMPARE(keys(plot->graph(0)), times);
        QCOMPARE(shownSummary(&chart), summary);
        // The whole window reads its edges by stamp texts, which exist for
        // the hour the clock skips too: 01:59 up to the gap, and on to 23:59.
        chart.findChild<QCheckBox *>("wholeWindow")->setChecked(true);
        for (const auto &[to, drawn] : {std::pair{QTime(1, 59), 1}, std::pair{QTime(23, 59), 5}}) {
            setWindow(&chart, QDateTime(QDate(2024, 3, 31), QTime(1, 50)), QDateTime(QDate(2024, 3, 31), to));
            click(&chart, "pushButton");
            QCOMPARE(chart.findChild<QLabel *>("page_label")->text(), QString("Record：%1 drawn").arg(drawn));
        }
    }
};

SUNDREVALE_TEST_MAIN(TestPages)
#include "tst_pages.moc"
