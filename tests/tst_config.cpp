#include "dialogconfig.h"
#include "formcart3.h"
#include "formdata3.h"
#include "mainwindow.h"
#include "pagetesting.h"
#include "settings.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>
#include <qcustomplot.h>

using namespace TestSupport;
using namespace PageTesting;

namespace {

QLineEdit *field(QWidget *dialog, const char *name)
{
    return dialog->findChild<QLineEdit *>(name);
}

// Types into a field key by key, so the validator judges every keystroke.
QString typed(QLineEdit *edit, const QString &text)
{
    edit->clear();
    QTest::keyClicks(edit, text);
    return edit->text();
}

} // namespace

class TestConfig : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init()
    {
        writeConfig({{"YStep", "0.5"}, {"Tickcount", "10"}, {"PageRcd", "100"}, {"PlotRcd", "500"}, {"LockY", "1"}});
        loadSettings();
    }

    void cleanup()
    {
        closeModals();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void showsTheValuesInEffect()
    {
        Dialogconfig dialog;
        QCOMPARE(field(&dialog, "line_YStep")->text(), QString("0.5"));
        QCOMPARE(field(&dialog, "line_Tickcount")->text(), QString("10"));
        QCOMPARE(field(&dialog, "line_pagercd")->text(), QString("100"));
        QCOMPARE(field(&dialog, "line_plotrcd")->text(), QString("500"));
        QVERIFY(dialog.findChild<QCheckBox *>("checkBox")->isChecked());
        QVERIFY(!(dialog.windowFlags() & Qt::WindowContextHelpButtonHint));
        YStep = 10;
        Dialogconfig again;
        QCOMPARE(field(&again, "line_YStep")->text(), QString("10"));
    }

    void fieldsRefuseWhatTheyMust()
    {
        Dialogconfig dialog;
        dialog.show();
        QLineEdit *step = field(&dialog, "line_YStep");
        for (const QString &ok : {"0", "12.5", "999.125"})
            QCOMPARE(typed(step, ok), ok);
        QCOMPARE(typed(step, "012"), QString("0"));
        QCOMPARE(typed(step, "1000"), QString("100"));
        QCOMPARE(typed(step, "1.2345"), QString("1.234"));
        QLineEdit *ticks = field(&dialog, "line_Tickcount");
        QCOMPARE(typed(ticks, "51"), QString("5"));
        QCOMPARE(typed(ticks, "3"), QString("3"));
        QCOMPARE(typed(field(&dialog, "line_pagercd"), "100001"), QString("10000"));
    }

    void okStoresEveryValue()
    {
        Dialogconfig dialog;
        dialog.show();
        typed(field(&dialog, "line_Tickcount"), "3");
        typed(field(&dialog, "line_pagercd"), "40");
        typed(field(&dialog, "line_YStep"), "12.5");
        typed(field(&dialog, "line_plotrcd"), "250");
        dialog.findChild<QCheckBox *>("checkBox")->setChecked(false);
        click(&dialog, "pushButton_2");
        QVERIFY(dialog.isChanged());
        QCOMPARE(Tickcount, 3);
        QCOMPARE(PageRcd, 40);
        QCOMPARE(PlotRcd, 250);
        QCOMPARE(YStep, 12.5);
        QCOMPARE(LockY, false);
        QCOMPARE(readSetting("PageRcd"), QString("40"));
        QCOMPARE(readSetting("Tickcount"), QString("3"));
        QCOMPARE(readSetting("YStep"), QString("12.5"));
        QCOMPARE(readSetting("LockY"), QString("0"));
        QCOMPARE(readSetting("PlotRcd"), QString("250"));
    }

    void unusablePageSizesAreRefused_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        QTest::newRow("table page empty") << "line_pagercd" << "";
        QTest::newRow("table page 0") << "line_pagercd" << "0";
        QTest::newRow("chart page empty") << "line_plotrcd" << "";
        QTest::newRow("chart page 0") << "line_plotrcd" << "000";
    }

    void unusablePageSizesAreRefused()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        const QString before = readConfigFile();
        Dialogconfig dialog;
        dialog.show();
        typed(field(&dialog, "line_YStep"), "3");
        field(&dialog, qPrintable(name))->setText(text);
        QString message;
        answerMessage(&message);
        click(&dialog, "pushButton_2");
        QCOMPARE(message, QString("Records per page must be between 1 and 100000."));
        QVERIFY(dialog.isVisible() && !dialog.isChanged());
        QCOMPARE(field(&dialog, qPrintable(name))->text(), name == "line_pagercd" ? QString("100") : QString("500"));
        QCOMPARE(readConfigFile(), before);
        QCOMPARE(PageRcd, 100);
        QCOMPARE(PlotRcd, 500);
        QCOMPARE(YStep, 0.5);
    }

    void cancelStoresNothing()
    {
        const QString before = readConfigFile();
        Meter = 3;
        MainWindow window;
        window.findChild<QAction *>("actionsearch")->trigger();
        QWidget *page = window.currentPage();
        onNextModal("Dialogconfig", [](QWidget *d) {
            typed(field(d, "line_plotrcd"), "7");
            click(d, "pushButton");
        });
        window.findChild<QAction *>("actionsoftconfig")->trigger();
        QCOMPARE(PlotRcd, 500);
        QCOMPARE(readConfigFile(), before);
        QCOMPARE(window.currentPage(), page);
    }

    void newSettingsReachTheNextPage()
    {
        importRecords(QDir(dir.path()), 3, 30);
        writeConfig({{"Meter", "3"}, {"PageRcd", "100"}});
        loadSettings();
        MainWindow window;
        window.show();
        window.findChild<QAction *>("actionsearch")->trigger();
        onNextModal("Dialogconfig", [](QWidget *d) {
            typed(field(d, "line_pagercd"), "7");
            typed(field(d, "line_YStep"), "3");
            click(d, "pushButton_2");
        });
        window.findChild<QAction *>("actionsoftconfig")->trigger();
        QVERIFY(!window.currentPage());
        QCOMPARE(window.currentViewMode(), -1);

        window.findChild<QAction *>("actionsearch")->trigger();
        QWidget *page = window.currentPage();
        setWindow(page, Start, Start.addSecs(3600));
        page->findChild<QLineEdit *>("txtpv1")->setText("0");
        page->findChild<QLineEdit *>("txtpv2")->setText("100");
        click(page, "pushButton");
        QCOMPARE(page->findChild<QTableWidget *>("tabled")->rowCount(), 7);

        window.findChild<QAction *>("actioncart")->trigger();
        auto *plot = window.currentPage()->findChild<QCustomPlot *>("plot");
        auto fixed = plot->yAxis->ticker().dynamicCast<QCPAxisTickerFixed>();
        QVERIFY(fixed);
        QCOMPARE(fixed->tickStep(), 15.0);
    }
};

QTEST_MAIN(TestConfig)
#include "tst_config.moc"
