#include "formcart1.h"
#include "formdata1.h"
#include "formdata4.h"
#include "pagetesting.h"
#include "settings.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QToolTip>
#include <QtTest>
#include <qcustomplot.h>

using namespace TestSupport;
using namespace PageTesting;

namespace {

QStringList shownRows(QWidget *page)
{
    auto *table = page->findChild<QTableWidget *>("tabled");
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << table->item(r, c)->text();
        rows << cells.join(',');
    }
    return rows;
}

QStringList everyPageShown(QWidget *page, int pages)
{
    QStringList rows = shownRows(page);
    for (int p = 1; p < pages; ++p) {
        click(page, "page_down");
        rows += shownRows(page);
    }
    return rows;
}

QStringList fileLines(const QString &path)
{
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    QStringList lines = QString::fromUtf8(file.readAll()).split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

} // namespace

class TestExtras : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void searchAll(QWidget *page, int count, bool hhll)
    {
        setWindow(page, Start, Start.addSecs(60 * count));
        setRanges(page, "0", "99999");
        page->findChild<QCheckBox *>("checkBox")->setChecked(hhll);
        click(page, "pushButton");
    }

private slots:
    void init()
    {
        writeConfig({{"PageRcd", "10"}});
        loadSettings();
    }

    void cleanup()
    {
        closeModals();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void exportEqualsThePages_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<bool>("hhll");
        QTest::newRow("family1 range") << 1 << false;
        QTest::newRow("family1 HH/LL") << 1 << true;
        QTest::newRow("family4 range") << 4 << false;
        QTest::newRow("family4 HH/LL") << 4 << true;
    }

    void exportEqualsThePages()
    {
        QFETCH(int, family);
        QFETCH(bool, hhll);
        const int count = 95;
        importRecords(QDir(dir.path()), family, count, [](int k) { return k % 3 == 0 ? QString("HH") : QString(); });
        Meter = meterOfFamily(family);
        std::unique_ptr<DataTablePage> page;
        if (family == 1)
            page = std::make_unique<Formdata1>();
        else
            page = std::make_unique<Formdata4>();
        page->resize(867, 583);
        page->show();
        auto *exportButton = page->findChild<QPushButton *>("page_export");
        QVERIFY(!exportButton->isEnabled());
        if (family == 1)
            pressChannel(page.get(), 0);
        searchAll(page.get(), count, hhll);
        QVERIFY(exportButton->isEnabled());
        QVERIFY(page->pageCount() > 1);

        const QString path = dir.filePath(QString("export-%1-%2.csv").arg(family).arg(hhll));
        saveAs(path);
        QString message;
        answerMessage(&message);
        click(page.get(), "page_export");
        QTRY_VERIFY(!message.isEmpty());
        const int expectedRecords = hhll ? 32 : 63;
        QCOMPARE(message, QString("%1 records exported to %2").arg(expectedRecords).arg(path));

        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), expectedRecords + 1);
        auto *table = page->findChild<QTableWidget *>("tabled");
        QStringList headers;
        for (int c = 0; c < table->columnCount(); ++c)
            headers << table->horizontalHeaderItem(c)->text();
        QCOMPARE(lines.first(), headers.join(','));
        QCOMPARE(lines.mid(1), everyPageShown(page.get(), page->pageCount()));
    }

    void unwritableExportLeavesNoFile()
    {
        importRecords(QDir(dir.path()), 1, 20);
        Meter = 12;
        Formdata1 page;
        page.show();
        pressChannel(&page, 0);
        searchAll(&page, 20, false);
        const QString path = dir.filePath("no-such-folder/export.csv");
        saveAs(path);
        QString message;
        answerMessage(&message);
        click(&page, "page_export");
        QTRY_VERIFY(!message.isEmpty());
        QCOMPARE(message, QString("The records could not be written to %1.").arg(path));
        QVERIFY(!QFile::exists(path));
        QVERIFY(QDir(dir.filePath("no-such-folder")).isEmpty());
    }

    void chartImageAndReadout()
    {
        writeConfig({{"PlotRcd", "500"}});
        loadSettings();
        importRecords(QDir(dir.path()), 1, 50);
        Meter = 12;
        Formcart1 page;
        page.resize(867, 538);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        auto *imageButton = page.findChild<QPushButton *>("page_image");
        QVERIFY(!imageButton->isEnabled());
        setWindow(&page, Start, Start.addSecs(60 * 49));
        pressChannel(&page, 0);
        click(&page, "pushButton");
        QVERIFY(imageButton->isEnabled());

        const QString png = dir.filePath("chart.png");
        saveAs(png);
        click(&page, "page_image");
        QCOMPARE(QImage(png).size(), page.chart()->size());

        const QString pdf = dir.filePath("chart.pdf");
        saveAs(pdf);
        click(&page, "page_image");
        QFile file(pdf);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.read(4), QByteArray("%PDF"));

        // Point 20 of the chart: PV 21.5, SV 50, at 00:20.
        QCustomPlot *plot = page.chart();
        const QPoint at(int(plot->xAxis->coordToPixel(Start.addSecs(60 * 20).toSecsSinceEpoch())),
                        int(plot->yAxis->coordToPixel(21.5)));
        QMouseEvent move(QEvent::MouseMove, at, plot->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
        QCoreApplication::sendEvent(plot, &move);
        QCOMPARE(QToolTip::text(), QString("2024/03/01 00:20:00\n21.5 / 50"));
        QCOMPARE(plot->graph(0)->dataCount(), 50); // the readout draws nothing
        // Past the last point the last point is nearest; an empty chart reads nothing.
        QCOMPARE(chartReadout(plot, Start.addSecs(60 * 900).toSecsSinceEpoch()), QString("2024/03/01 00:49:00\n50.5 / 50"));
        plot->graph(0)->data()->clear();
        plot->graph(1)->data()->clear();
        QCOMPARE(chartReadout(plot, Start.toSecsSinceEpoch()), QString());
    }

    // A day of a controller that keeps standard time all year, read with the
    // machine's zone in daylight saving (the test runs with TZ=Europe/Berlin):
    // markers, stamps with a T or without seconds, a first record at second 0,
    // and stamps inside the spring-forward gap (02:00 to 03:00).
    void recordsAsWritten()
    {
        QCOMPARE(QDateTime(QDate(2024, 3, 31), QTime(12, 0)).offsetFromUtc(), 7200); // the zone is in force
        const QList<QPair<QString, QString>> written{
            {"10.5", "2024-03-31 00:00:00"}, {"HH", "2024-03-31 00:00:30"}, {"11.5", "2024-03-31 00:01:00"},
            {"LL", "2024-03-31T00:02:00"},   {"12.5", "2024-03-31 00:03"},    {"13.5", "2024-03-31 01:59:00"},
            {"14.5", "2024-03-31 02:00:00"}, {"15.5", "2024-03-31 02:30:00"}, {"16.5", "2024-03-31 03:00:00"},
            {"HH", "2024-03-31 03:30:00"}};
        QStringList lines;
        for (const auto &[pv, stamp] : written)
            lines << QString("%1,50,12,1,2,3,%2").arg(pv, stamp);
        freshDatabase();
        const QString folder = writeRecordFolder(QDir(dir.path()), "asWritten", "12", {{"20240331.CSV", lines}});
        runImport({folder + "/20240331.CSV"});
        Meter = 12;
        // The edits hold seconds the user does not see; the window is 00:00:00 to 03:30:59.
        const auto setTypedWindow = [](QWidget *page) {
            setWindow(page, QDateTime(QDate(2024, 3, 31), QTime(0, 0, 37)), QDateTime(QDate(2024, 3, 31), QTime(3, 30, 0)));
            pressChannel(page, 0);
        };

        Formdata1 table;
        table.show();
        setTypedWindow(&table);
        setRanges(&table, "-1", "99999"); // markers compare as 0, so they are listed
        click(&table, "pushButton");
        QStringList expected;
        for (int k = 0; k < written.size(); ++k) {
            QString stamp = written.at(k).second;
            stamp.replace('-', '/').replace('T', ' ');
            if (stamp.size() == 16)
                stamp += ":00";
            expected << QString("%1,%2,50,12,%3").arg(k).arg(written.at(k).first, stamp);
        }
        QCOMPARE(shownRows(&table), expected);
        const QString path = dir.filePath("as-written.csv");
        saveAs(path);
        answerMessage(nullptr);
        click(&table, "page_export");
        QCOMPARE(fileLines(path).mid(1), expected);

        Formcart1 chart;
        chart.show();
        setTypedWindow(&chart);
        click(&chart, "pushButton");
        QCustomPlot *plot = chart.chart();
        // Standard time is UTC+1 before the gap, summer time UTC+2 after it;
        // stamps inside the gap stand at its end, 01:00 UTC.
        const auto utc = [](int h, int m, int s) {
            return double(QDateTime(QDate(2024, 3, 31), QTime(h, m, s), Qt::UTC).toSecsSinceEpoch());
        };
        const QList<double> keys{utc(-0, 0, 0) - 3600, utc(0, 0, 30) - 3600, utc(0, 1, 0) - 3600,
                                 utc(0, 2, 0) - 3600,  utc(0, 3, 0) - 3600,  utc(1, 59, 0) - 3600,
                                 utc(1, 0, 0),         utc(1, 0, 0),         utc(1, 0, 0),
                                 utc(1, 30, 0)};
        QCOMPARE(plot->graph(0)->dataCount(), written.size());
        for (int k = 0; k < written.size(); ++k) {
            const QCPGraphData *point = plot->graph(0)->data()->at(k);
            QCOMPARE(point->key, keys.at(k));
            bool number = false;
            const double value = written.at(k).first.toDouble(&number);
            QVERIFY(number ? point->value == value : std::isnan(point->value));
        }
        const auto markerKeys = [&](int graph) {
            QList<double> at;
            for (int i = 0; i < plot->graph(graph)->dataCount(); ++i)
                at << plot->graph(graph)->data()->at(i)->key;
            return at;
        };
        QCOMPARE(markerKeys(ChartPage::HhGraph), QList<double>({keys.at(1), keys.at(9)}));
        QCOMPARE(markerKeys(ChartPage::LlGraph), QList<double>({keys.at(3)}));
        QVERIFY(chartReadout(plot, keys.at(3)).endsWith("\nLL / 50"));
    }
};

QTEST_MAIN(TestExtras)
#include "tst_extras.moc"
