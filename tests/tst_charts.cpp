#include "formcart1.h"
#include "formcart2.h"
#include "formcart3.h"
#include "formcart4.h"
#include "formcart5.h"
#include "pagetesting.h"
#include "settings.h"

#include <QLabel>
#include <cmath>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>
#include <qcustomplot.h>

using namespace TestSupport;
using namespace PageTesting;

namespace {

std::unique_ptr<ChartPage> makePage(int family)
{
    switch (family) {
    case 1: return std::make_unique<Formcart1>();
    case 2: return std::make_unique<Formcart2>();
    case 3: return std::make_unique<Formcart3>();
    case 4: return std::make_unique<Formcart4>();
    default: return std::make_unique<Formcart5>();
    }
}

QString counter(QWidget *page)
{
    return page->findChild<QLabel *>("page_label")->text();
}

int bluePixels(const QImage &image)
{
    int count = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            count += c.blue() > 200 && c.red() < 60 && c.green() < 60;
        }
    return count;
}

} // namespace

class TestCharts : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    std::unique_ptr<ChartPage> openPage(int family, int count, std::function<QString(int)> marker = {})
    {
        importRecords(QDir(dir.path()), family, count, marker);
        Meter = meterOfFamily(family);
        auto page = makePage(family);
        page->resize(867, 538);
        page->show();
        setWindow(page.get(), Start, Start.addSecs(60 * (count - 1)));
        if (family <= 2)
            pressChannel(page.get(), 1);
        return page;
    }

private slots:
    void init()
    {
        writeConfig({{"PlotRcd", "500"}});
        loadSettings();
    }

    void cleanup()
    {
        closeModals();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void pagesOfPoints()
    {
        auto page = openPage(1, 1234, [](int k) { return k == 1001 ? QString("HH") : QString(); });
        QCustomPlot *plot = page->chart();
        QVERIFY(!plot->xAxis->tickLabels());
        click(page.get(), "pushButton");
        QCOMPARE(page->pageCount(), 3);
        QCOMPARE(counter(page.get()), QString("Record：1234 ,Pages：1 of 3"));
        QVERIFY(plot->xAxis->tickLabels() && plot->yAxis->tickLabels());
        QCOMPARE(plot->graph(0)->dataCount(), 500);
        QCOMPARE(plot->graph(1)->dataCount(), 500);
        QCOMPARE(plot->graph(0)->data()->at(0)->key, double(Start.toSecsSinceEpoch()));
        QCOMPARE(plot->graph(0)->data()->at(0)->value, 1.5);
        QCOMPARE(plot->graph(1)->data()->at(0)->value, 60.0); // the second channel's SV

        QSignalSpy queries(page.get(), SIGNAL(pmessagebox(QString)));
        click(page.get(), "page_up");
        QCOMPARE(queries.count(), 0);
        click(page.get(), "page_end");
        QCOMPARE(counter(page.get()), QString("Record：1234 ,Pages：3 of 3"));
        QCOMPARE(plot->graph(0)->dataCount(), 234);
        QCOMPARE(plot->graph(0)->data()->at(0)->key, double(Start.addSecs(60 * 1000).toSecsSinceEpoch()));
        // HH breaks the line and is marked at the top edge.
        const double hhKey = double(Start.addSecs(60 * 1001).toSecsSinceEpoch());
        QVERIFY(std::isnan(plot->graph(0)->data()->at(1)->value));
        QCOMPARE(plot->graph(ChartPage::HhGraph)->dataCount(), 1);
        QCOMPARE(plot->graph(ChartPage::HhGraph)->data()->at(0)->key, hhKey);
        QVERIFY(plot->graph(ChartPage::HhGraph)->data()->at(0)->value > plot->yAxis->range().center());
        QCOMPARE(plot->graph(ChartPage::LlGraph)->dataCount(), 0);
        QVERIFY(plot->yAxis->range().lower > 2); // fitted to the numbers only
        QVERIFY(chartReadout(plot, hhKey).endsWith("\nHH / 60"));
        QCOMPARE(plot->graph(0)->data()->at(233)->value, 1233 + 1.5);
        queries.clear();
        click(page.get(), "page_down");
        QCOMPARE(queries.count(), 0);
        QCOMPARE(plot->axisRect()->rangeZoom(), Qt::Horizontal);
        QCOMPARE(plot->axisRect()->rangeDrag(), Qt::Horizontal | Qt::Vertical);
        QVERIFY(plot->xAxis->range().lower <= Start.addSecs(60 * 1000).toSecsSinceEpoch());
        QCOMPARE(plot->xAxis2->range(), plot->xAxis->range());
    }

    void exactPages()
    {
        auto page = openPage(3, 1000);
        click(page.get(), "pushButton");
        QCOMPARE(page->pageCount(), 2);
        QCOMPARE(page->chart()->graph(1)->dataCount(), 0);
    }

    void refusedCharts()
    {
        auto page = openPage(2, 5);
        setWindow(page.get(), Start, Start);
        QString text;
        answerMessage(&text);
        click(page.get(), "pushButton");
        QCOMPARE(text, QString("Set the right times for starting and finishing."));
        setWindow(page.get(), Start, Start.addSecs(600));
        pressChannel(page.get(), 1);
        answerMessage(&text);
        click(page.get(), "pushButton");
        QCOMPARE(text, QString("Choose one of the channel."));
        pressChannel(page.get(), 0);
        setWindow(page.get(), Start.addSecs(-7200), Start.addSecs(-3600));
        answerMessage(&text);
        click(page.get(), "pushButton");
        QCOMPARE(text, QString("There are no result to display."));
        QVERIFY(!page->findChild<QWidget *>("widget_page")->isVisible());
    }

    void axisSettings()
    {
        // One record far above the rest: values from 1.5 to 9999.5.
        const auto far = [](int k) { return k == 7 ? QString("9999.5") : QString(); };
        writeConfig({{"YStep", "2"}, {"LockY", "1"}});
        loadSettings();
        auto page = openPage(5, 30);
        auto fixed = page->chart()->yAxis->ticker().dynamicCast<QCPAxisTickerFixed>();
        QVERIFY(fixed);
        QCOMPARE(fixed->tickStep(), 10.0);
        click(page.get(), "pushButton");
        QCOMPARE(page->chart()->axisRect()->rangeDrag(), Qt::Horizontal);
        QCOMPARE(page->chart()->yAxis->tickVector(), QVector<double>({10, 20, 30})); // the step as set

        // A tiny step on a wide range: a multiple of it, at most about 50 ticks.
        writeConfig({{"YStep", "0.001"}});
        loadSettings();
        page = openPage(5, 30, far);
        click(page.get(), "pushButton");
        const QVector<double> ticks = page->chart()->yAxis->tickVector();
        QVERIFY2(ticks.size() >= 5 && ticks.size() <= 51, qPrintable(QString::number(ticks.size())));
        const double step = ticks.at(1) - ticks.at(0);
        QCOMPARE(std::fmod(std::round(step / 0.005), 1.0), 0.0);

        writeConfig({{"YStep", "0"}, {"Tickcount", "7"}});
        loadSettings();
        auto automatic = makePage(5);
        QVERIFY(!automatic->chart()->yAxis->ticker().dynamicCast<QCPAxisTickerFixed>());
        auto time = automatic->chart()->xAxis->ticker().dynamicCast<QCPAxisTickerDateTime>();
        QVERIFY(time);
        QCOMPARE(time->tickCount(), 7);
    }

    void humidityOfTheTemperatureMeter()
    {
        auto page = openPage(4, 20);
        page->findChild<QRadioButton *>("radioButton_2")->setChecked(true);
        click(page.get(), "pushButton");
        QCustomPlot *plot = page->chart();
        QCOMPARE(plot->graph(0)->dataCount(), 20);
        for (int k = 0; k < 20; ++k)
            QCOMPARE(plot->graph(0)->data()->at(k)->value, double(2 * k + 3));
        QCOMPARE(plot->graph(1)->dataCount(), 0);
    }

    void drawnChartIsNotBlank()
    {
        auto page = openPage(1, 200);
        const int before = bluePixels(page->chart()->toPixmap().toImage());
        click(page.get(), "pushButton");
        const int after = bluePixels(page->chart()->toPixmap().toImage());
        QVERIFY2(after > before + 100, qPrintable(QString("%1 -> %2").arg(before).arg(after)));
    }

    void plotRcdZeroIsSafe()
    {
        writeConfig({{"PlotRcd", "0"}});
        loadSettings();
        auto page = openPage(3, 600);
        click(page.get(), "pushButton");
        QCOMPARE(page->pageCount(), 2);
        QCOMPARE(page->chart()->graph(0)->dataCount(), 500);
    }
};

QTEST_MAIN(TestCharts)
#include "tst_charts.moc"
