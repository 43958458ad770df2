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
        QImage image(png);
        QCOMPARE(image.size(), page.chart()->size());
        int blue = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                blue += image.pixelColor(x, y).blue() > 200 && image.pixelColor(x, y).red() < 60
                        && image.pixelColor(x, y).green() < 60;
        QVERIFY(blue > 100);

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
    }
};

QTEST_MAIN(TestExtras)
#include "tst_extras.moc"
