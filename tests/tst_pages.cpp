#include "formdata1.h"
#include "formdata2.h"
#include "formdata3.h"
#include "formdata4.h"
#include "formdata5.h"
#include "pagetesting.h"
#include "settings.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

using namespace TestSupport;
using namespace PageTesting;

namespace {

std::unique_ptr<DataTablePage> makePage(int family)
{
    switch (family) {
    case 1: return std::make_unique<Formdata1>();
    case 2: return std::make_unique<Formdata2>();
    case 3: return std::make_unique<Formdata3>();
    case 4: return std::make_unique<Formdata4>();
    default: return std::make_unique<Formdata5>();
    }
}

QString cell(QWidget *page, int row, int column)
{
    auto *item = page->findChild<QTableWidget *>("tabled")->item(row, column);
    return item ? item->text() : QString("<none>");
}

QString counter(QWidget *page)
{
    return page->findChild<QLabel *>("page_label")->text();
}

} // namespace

class TestPages : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    // A shown page of the family over `count` records, ready to search them all.
    std::unique_ptr<DataTablePage> openPage(int family, int count, std::function<QString(int)> marker = {})
    {
        importRecords(QDir(dir.path()), family, count, marker);
        Meter = meterOfFamily(family);
        auto page = makePage(family);
        page->resize(867, 583);
        page->show();
        setWindow(page.get(), Start, Start.addSecs(60 * count));
        setRanges(page.get(), "0", "99999");
        if (family <= 2)
            pressChannel(page.get(), 1);
        return page;
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

    void pagingThroughTheResult_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("pages");
        for (int family = 1; family <= 5; ++family) {
            QTest::addRow("family%d 2 x PageRcd", family) << family << 20 << 2;
            QTest::addRow("family%d 2 x PageRcd + 1", family) << family << 21 << 3;
        }
        QTest::newRow("family3 one record") << 3 << 1 << 1;
    }

    void pagingThroughTheResult()
    {
        QFETCH(int, family);
        QFETCH(int, count);
        QFETCH(int, pages);
        auto page = openPage(family, count);
        QSignalSpy queries(page.get(), SIGNAL(pmessagebox(QString)));
        TestSupport::click(page.get(), "pushButton");
        QCOMPARE(page->pageCount(), pages);
        QCOMPARE(counter(page.get()), QString("Record：%1 ,Pages：1 of %2").arg(count).arg(pages));
        QVERIFY(page->findChild<QWidget *>("widget_page")->isVisible());
        QCOMPARE(cell(page.get(), 0, 0), QString("0"));
        QCOMPARE(cell(page.get(), 0, family == 2 ? 2 : 1), QString("1.5"));
        const int timeColumn = page->findChild<QTableWidget *>("tabled")->columnCount() - 1;
        QCOMPARE(cell(page.get(), 0, timeColumn), QString("2024/03/01 00:00:00"));

        queries.clear();
        click(page.get(), "page_home");
        click(page.get(), "page_up");
        QCOMPARE(queries.count(), 0); // nothing to do on the first page

        click(page.get(), "page_end");
        const int last = pages - 1;
        QCOMPARE(page->currentPage(), last);
        QCOMPARE(counter(page.get()), QString("Record：%1 ,Pages：%2 of %2").arg(count).arg(pages));
        const int rows = count - last * 10;
        QCOMPARE(page->findChild<QTableWidget *>("tabled")->rowCount(), rows);
        QCOMPARE(cell(page.get(), 0, 0), QString::number(last * 10));
        QCOMPARE(cell(page.get(), rows - 1, timeColumn),
                 Start.addSecs(60 * (count - 1)).toString("yyyy/MM/dd hh:mm:ss"));
        queries.clear();
        click(page.get(), "page_down");
        click(page.get(), "page_end");
        QCOMPARE(queries.count(), 0); // nothing to do on the last page
        if (pages > 1) {
            click(page.get(), "page_up");
            QCOMPARE(page->currentPage(), last - 1);
            click(page.get(), "page_home");
            QCOMPARE(cell(page.get(), 0, 0), QString("0"));
        }
    }

    void familyColumns()
    {
        auto page = openPage(1, 3);
        click(page.get(), "pushButton");
        // ID, PV, SV, OUT% (45.6 shown rounded), Time, for the second channel
        QCOMPARE(cell(page.get(), 1, 1), QString("2.5"));
        QCOMPARE(cell(page.get(), 1, 2), QString("60"));
        QCOMPARE(cell(page.get(), 1, 3), QString("12"));
        auto table = page->findChild<QTableWidget *>("tabled");
        QCOMPARE(table->horizontalHeaderItem(3)->text(), QString("OUT%"));
        QCOMPARE(table->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);

        auto page4 = openPage(4, 3);
        click(page4.get(), "pushButton");
        const QStringList expected{"0", "1.5", "30", "01", "3", "80", "00", "2024/03/01 00:00:00"};
        for (int c = 0; c < expected.size(); ++c)
            QCOMPARE(cell(page4.get(), 0, c), expected.at(c));
        QCOMPARE(page4->findChild<QTableWidget *>("tabled")->horizontalHeaderItem(4)->text(), QString("Humidity "));
    }

    void hhAndLlMode()
    {
        auto page = openPage(2, 40, [](int k) { return k % 9 == 4 ? QString(k % 2 ? "HH" : "LL") : QString(); });
        auto *box = page->findChild<QCheckBox *>("checkBox");
        box->setChecked(true);
        QVERIFY(!page->findChild<QLineEdit *>("txtpv1")->isVisible());
        setRanges(page.get(), "", ""); // empty ranges are fine in this mode
        click(page.get(), "pushButton");
        QCOMPARE(page->recordCount(), 4); // k = 4, 13, 22, 31
        QCOMPARE(cell(page.get(), 0, 2), QString("LL"));
        QCOMPARE(cell(page.get(), 1, 2), QString("HH"));
        QCOMPARE(cell(page.get(), 0, 1), QString("2")); // the channel
        box->setChecked(false);
        QVERIFY(page->findChild<QLineEdit *>("txtpv1")->isVisible());
    }

    void refusedSearches_data()
    {
        QTest::addColumn<int>("family");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QString>("message");
        QTest::newRow("family1 equal times") << 1 << "times" << "Set the right times for starting and finishing.";
        QTest::newRow("family1 no channel") << 1 << "channel" << "Choose one of the channel.";
        QTest::newRow("family2 reversed pv") << 2 << "pv" << " Set the right range of the pv values.";
        QTest::newRow("family3 empty pv") << 3 << "emptypv" << " Set the right range of the pv values.";
        QTest::newRow("family4 temperature") << 4 << "pv" << "Set the right range of the temperature  values.";
        QTest::newRow("family4 humidity") << 4 << "humidity" << "Set the right range of the humidity   values.";
    }

    void refusedSearches()
    {
        QFETCH(int, family);
        QFETCH(QString, setting);
        QFETCH(QString, message);
        auto page = openPage(family, 5);
        if (setting == "times")
            setWindow(page.get(), Start, Start);
        if (setting == "channel")
            pressChannel(page.get(), 1); // unchecks the checked row
        if (setting == "pv")
            page->findChild<QLineEdit *>("txtpv1")->setText("99999");
        if (setting == "emptypv")
            setRanges(page.get(), "", "");
        if (setting == "humidity")
            page->findChild<QLineEdit *>("txthh1")->setText("99999");
        QSignalSpy queries(page.get(), SIGNAL(pmessagebox(QString)));
        QString text;
        answerMessage(&text);
        click(page.get(), "pushButton");
        QCOMPARE(text, message);
        QCOMPARE(queries.count(), 0);
    }

    void criteriaOfTheSearchAreKeptWhilePaging()
    {
        auto page = openPage(5, 40);
        setRanges(page.get(), "5", "30"); // PVs 5.5 .. 29.5: 25 records
        click(page.get(), "pushButton");
        QCOMPARE(page->recordCount(), 25);
        setRanges(page.get(), "0", "2");
        setWindow(page.get(), Start.addSecs(-7200), Start.addSecs(-3600));
        click(page.get(), "page_down");
        QCOMPARE(cell(page.get(), 0, 0), QString("10"));
        QCOMPARE(cell(page.get(), 0, 1), QString("15.5"));
    }

    void searchWithoutResultKeepsTheTable()
    {
        auto page = openPage(3, 12);
        click(page.get(), "pushButton");
        QCOMPARE(page->recordCount(), 12);
        setRanges(page.get(), "500", "600");
        QString text;
        answerMessage(&text);
        click(page.get(), "pushButton");
        QCOMPARE(text, QString("There are no result to display."));
        QCOMPARE(page->recordCount(), 0);
        QCOMPARE(page->findChild<QTableWidget *>("tabled")->rowCount(), 10);
        QCOMPARE(cell(page.get(), 0, 1), QString("1.5"));
    }

    void oneChannelAtATime()
    {
        Meter = 216;
        Formdata2 page;
        page.show();
        QCOMPARE(page.findChild<QTableWidget *>("tablechaddr")->rowCount(), 16);
        QCOMPARE(page.findChild<QTableWidget *>("tablechaddr")->item(15, 1)->text(), QString("CH:16"));
        pressChannel(&page, 3);
        QCOMPARE(checkedChannels(&page), QList<int>{3});
        pressChannel(&page, 7);
        QCOMPARE(checkedChannels(&page), QList<int>{7});
        pressChannel(&page, 7);
        QCOMPARE(checkedChannels(&page), QList<int>{});
    }
};

QTEST_MAIN(TestPages)
#include "tst_pages.moc"
