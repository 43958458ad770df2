#include "commandline.h"
#include "formcart2.h"
#include "formdata1.h"
#include "formdata2.h"
#include "mainwindow.h"
#include "qroundprogressbar.h"
#include "rowinserter.h"
#include "settings.h"
#include "sqlthread.h"
#include "testsupport.h"

#include <QSqlQuery>
#include <atomic>
#include <thread>
#include <qcustomplot.h>
#include <sqlite3.h>

using namespace TestSupport;

namespace {

// What a page shows: its counter, its rows or chart points, its summary.
QString pageState(QWidget *page)
{
    const QString summary = ' ' + shownSummary(page);
    if (auto *plot = page->findChild<QCustomPlot *>())
        return counter(page) + QString(" points %1 from %2").arg(plot->graph(0)->dataCount())
                                   .arg(qint64(plot->graph(0)->dataCount() ? plot->graph(0)->data()->at(0)->key : 0)) + summary;
    return counter(page) + ' ' + shownRows(page).join(';') + summary;
}

// Types into a dialog's field key by key, so the validator judges every keystroke.
QString typed(QWidget *dialog, const char *name, const QString &text)
{
    auto *edit = dialog->findChild<QLineEdit *>(name);
    edit->clear();
    QTest::keyClicks(edit, text);
    return edit->text();
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

    void importOldRecords()
    {
        QCOMPARE(runImport({recordFile(QDir(dir.path()), 11, 300)}).last(), QString("1 files to be imported|100"));
    }

    // The view's page, showing the first page of all old records.
    QWidget *searchedPage(MainWindow &window, const char *view)
    {
        action(window, view)->trigger();
        QWidget *page = window.currentPage();
        setWindow(page, Start, Start.addSecs(60 * 400));
        setRanges(page, "-10", "99999");
        pressChannel(page, 0);
        click(page, "pushButton");
        return page;
    }

private slots:
    void init()
    {
        writeConfig({{"PageRcd", "100"}, {"PlotRcd", "100"}});
        loadSettings();
        freshDatabase();
    }

    void cleanup()
    {
        SQLThread::restoreDefaults();
        closeModals();
        QVERIFY(!QApplication::activeModalWidget());
        QVERIFY(!QSqlDatabase::contains("dbnamelog"));
    }

    void importThroughTheMenu()
    {
        MainWindow window;
        window.show();
        QString text;
        answerMessage(&text);
        action(window, "actioncart")->trigger();
        QCOMPARE(text, QString("Import Record files(.CSV) first"));
        QVERIFY(!window.currentPage());
        // An unknown model: its reason in the dialog and the status bar; with
        // nothing imported yet the window then says so, as at start-up.
        const QString unknown = writeRecordFolder(QDir(dir.path()), "unknown", "99", {{"20240301.CSV", {recordFields(3, 0).join(',')}}});
        QString reason;
        chooseFiles(unknown, {"20240301.CSV"}, [&] {
            onNextModal("DialogMessage", [&](QWidget *message) {
                reason = message->findChild<QLabel *>("label")->text();
                answerMessage(&text);
                click(message, "push_ok");
            });
        });
        action(window, "actionopendb")->trigger();
        QCOMPARE(reason, QString("The model code 99 in VNMETER.INI names no known meter."));
        QCOMPARE(window.statusBar()->currentMessage(), reason);
        QTRY_COMPARE(text, QString("Import Record files(.CSV) first"));
        QCOMPARE(Meter, -1);
        const QString folder = writeRecordFolder(QDir(dir.path()), "import", "208",
            {{"20240302.CSV", {recordFields(208, 2).join(',')}},
             {"20240301.CSV", {recordFields(208, 0).join(','), recordFields(208, 1).join(',')}}});
        chooseFiles(folder, {"20240302.CSV", "20240301.CSV"});
        action(window, "actionopendb")->trigger();
        QCOMPARE(Meter, 208);
        QCOMPARE(tableRows("meter208").size(), 3);
        QCOMPARE(window.statusBar()->currentMessage(), QString("2 files to be imported"));
        // The views follow the meter, named in the status bar; a view shown again is not rebuilt.
        window.statusBar()->clearMessage();
        const auto labels = window.statusBar()->findChildren<QLabel *>(); // the view, the version, the wheel's hint
        QWidget *tablePage = window.currentPage();
        QVERIFY(qobject_cast<Formdata2 *>(tablePage));
        action(window, "actionsearch")->trigger();
        QCOMPARE(window.currentPage(), tablePage);
        QCOMPARE(labels.at(0)->text(), QString("Data Table View"));
        QVERIFY(labels.at(2)->isHidden());
        action(window, "actioncart")->trigger();
        QVERIFY(qobject_cast<Formcart2 *>(window.currentPage()));
        QCOMPARE(labels.at(0)->text(), QString("Graph View"));
        QVERIFY(!labels.at(2)->isHidden());
        // Cancel at the warning keeps the page and the records.
        QWidget *page = searchedPage(window, "actionsearch");
        const QString searched = pageState(page);
        QString warning;
        answerMessage(&warning, "push_cancel");
        action(window, "actionopendb")->trigger();
        QCOMPARE(warning, QString("If the data already exists, it will be overwritten"));
        QCOMPARE(window.currentPage(), page);
        // OK, then a cancelled file dialog, which opened in the folder of the
        // last import: the page and its search stay, the database untouched.
        answerMessage(nullptr, "push_ok");
        QString noFiles, opened;
        onNextModal("QFileDialog", [&](QWidget *dialog) {
            opened = static_cast<QFileDialog *>(dialog)->directory().absolutePath();
            answerMessage(&noFiles);
            QMetaObject::invokeMethod(dialog, "reject");
        });
        action(window, "actionopendb")->trigger();
        QCOMPARE(opened, folder);
        QCOMPARE(noFiles, QString("There is no right record file to be choosed"));
        QCOMPARE(window.currentPage(), page);
        QCOMPARE(pageState(page), searched);
        QCOMPARE(tableRows("meter208").size(), 3);
    }

    void dropImportsLikeTheMenu()
    {
        MainWindow window;
        window.show();
        const auto dragAccepted = [&](const QUrl &url) {
            QMimeData mime;
            mime.setUrls({url});
            QDragEnterEvent enter(QPoint(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            static_cast<QObject *>(&window)->event(&enter);
            return enter.isAccepted();
        };
        QVERIFY(!dragAccepted(QUrl::fromLocalFile(dir.filePath("picture.png"))));
        QVERIFY(!dragAccepted(QUrl("https://example.org/20240301.csv")));
        QVERIFY(!dragAccepted(QUrl::fromLocalFile(dir.path()))); // a folder without record files
        QVERIFY(dragAccepted(QUrl::fromLocalFile(QStringLiteral(SAMPLES_DIR) + "/level-meter/20240301.CSV")));
        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(QStringLiteral(SAMPLES_DIR) + "/level-meter")});
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Delivered straight to the window: the application only routes drops
        // that a real drag started.
        static_cast<QObject *>(&window)->event(&drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(Meter, 3); // the import starts once the drop has returned
        QCOMPARE(tableRows("meter3").size(), 720); // both files of the folder
        QVERIFY(window.currentPage() && window.currentPage()->inherits("Formdata3"));
    }

    // A job that does not succeed keeps the page and the records: one asked
    // to stop (Escape, closing its dialog or the window), or one that fails.
    void unsuccessfulJobsKeepThePage_data()
    {
        QTest::addColumn<QString>("job");
        QTest::newRow("import escaped") << "import";
        QTest::newRow("search escaped") << "search";
        QTest::newRow("chart's dialog closed") << "chart";
        QTest::newRow("export's dialog closed") << "export";
        QTest::newRow("window closed during a search") << "close";
        QTest::newRow("table page fails") << "table fails";
        QTest::newRow("chart page fails") << "chart fails";
        QTest::newRow("table search finds nothing") << "table finds nothing";
        QTest::newRow("chart finds nothing") << "chart finds nothing";
    }

    void unsuccessfulJobsKeepThePage()
    {
        QFETCH(QString, job);
        importOldRecords();
        const QString exported = dir.filePath("cancelled.csv");
        MainWindow window;
        window.show();
        QWidget *page = searchedPage(window, job.startsWith("chart") ? "actioncart" : "actionsearch");
        if (job.endsWith("fails")) {
            click(page, "page_down");
            const QString second = pageState(page);
            QVERIFY2(second.startsWith("Record：300 ,Pages：2 of 3"), qPrintable(second));
            SQLThread::setConnectionHook([](QSqlDatabase &db) { QSqlQuery(db).exec("drop table meter11"); });
            for (const char *button : {"page_down", "pushButton", "max0"}) { // max0: the summary's link
                QString failure;
                answerMessage(&failure);
                QString(button) == "max0" ? page->findChild<QLabel *>("summary_label")->linkActivated(button) : click(page, button);
                QVERIFY2(failure.startsWith("The search failed: no such table: ") && failure.contains("meter11"), qPrintable(failure));
                QCOMPARE(pageState(page), second);
            }
            return;
        }
        if (job.endsWith("nothing")) {
            const QString shown = pageState(page);
            QString told;
            answerMessage(&told);
            setWindow(page, Start.addYears(1), Start.addYears(1).addSecs(600));
            click(page, "pushButton");
            QCOMPARE(told, QString("There are no result to display."));
            QCOMPARE(pageState(page), shown);
            // Paging, the summary's links and export go on with the search shown.
            click(page, "page_end");
            QVERIFY2(pageState(page).startsWith("Record：300 ,Pages：3 of 3"), qPrintable(pageState(page)));
            const QString summary = shownSummary(page);
            page->findChild<QLabel *>("summary_label")->linkActivated("min0");
            QVERIFY2(counter(page).startsWith("Record：300 ,Pages："), qPrintable(counter(page)));
            QCOMPARE(shownSummary(page), summary);
            if (job.startsWith("table")) {
                saveAs(exported);
                answerMessage(&told);
                click(page, "page_export");
                QVERIFY2(told.startsWith("300 records exported"), qPrintable(told));
            }
            return;
        }
        const QString before = pageState(page);
        QVERIFY2(before.startsWith("Record：300 ,Pages：1 of 3"), qPrintable(before));

        bool stayed = false;
        QString cancelling, outcome;
        const auto pressEscape = [&] {
            onNextModal("DialogProgress", [&](QWidget *dialog) {
                // Escape, closing the dialog and closing the window each ask the job to stop.
                if (job == "close")
                    window.close();
                else if (job == "search" || job == "import")
                    QTest::keyClick(dialog, Qt::Key_Escape);
                else
                    dialog->close();
                stayed = dialog->isVisible() && window.isVisible();
                cancelling = dialog->findChild<QLabel *>("label")->text();
                releaseWorkerJobs();
                if (job == "import")
                    answerMessage(&outcome);
            });
        };
        holdWorkerJobs();
        if (job == "import") {
            answerMessage(nullptr, "push_ok");
            chooseFiles(QFileInfo(recordFile(QDir(dir.path()), 11, 30000, 5000)).path(), {"20240301.CSV"}, pressEscape);
            action(window, "actionopendb")->trigger();
        } else if (job == "export") {
            saveAs(exported);
            pressEscape();
            click(page, "page_export");
        } else {
            pressEscape();
            click(page, "pushButton");
        }
        SQLThread::setConnectionHook({});

        QVERIFY(stayed);
        QCOMPARE(cancelling, QString("Cancelling..."));
        QCOMPARE(tableRows("meter11").size(), 300);
        QCOMPARE(window.statusBar()->currentMessage(), QString("Cancelled."));
        if (job == "close") {
            QTRY_VERIFY(!window.isVisible()); // closes once the job has ended
            return;
        }
        if (job == "import") {
            QCOMPARE(outcome, QString("The import was cancelled. The previous records are kept."));
            QVERIFY(qobject_cast<Formdata1 *>(window.currentPage())); // the old records' page is back
            page = searchedPage(window, "actionsearch");
        } else {
            QCOMPARE(pageState(page), before);
            QVERIFY(!QFile::exists(exported));
            click(page, "pushButton"); // a second job runs as usual
        }
        QVERIFY(pageState(page).startsWith("Record：300 ,Pages：1 of 3"));
    }

    // The time index is built after an import, held here until the job
    // under test has been asked for: it waits, stops the build, or quits.
    void timeIndexAfterImport_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("a search waits for it") << "search";
        QTest::newRow("an import replaces the database") << "import";
        QTest::newRow("quitting loses nothing") << "quit";
    }

    void timeIndexAfterImport()
    {
        QFETCH(QString, meanwhile);
        static std::atomic_bool held;
        held = true;
        SQLThread::setTimeIndexHook([] {
            for (int i = 0; held && i < 100000; ++i)
                QThread::usleep(200);
        });
        const QString index = "select count(*) from sqlite_master where name = 'meter11_time'";
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Sundrevale", "SundrevaleReader").clear();
        auto window = std::make_unique<MainWindow>();
        window->show();
        chooseFiles(QFileInfo(recordFile(QDir(dir.path()), 11, 300)).path(), {"20240301.CSV"});
        action(*window, "actionopendb")->trigger();
        QTRY_VERIFY(window->findChild<QLabel *>("timeIndexLabel")->isVisible());
        // The first page shows all records, the first and last stored standing for them.
        QCOMPARE(window->currentPage()->findChild<QDateTimeEdit *>("dateTimeEdit2")->dateTime(), Start.addSecs(60 * 299));
        std::thread([] { QThread::msleep(300); held = false; }).detach();
        if (meanwhile == "search") {
            QWidget *page = searchedPage(*window, "actionsearch");
            QVERIFY(!held); // it ended after the build
            const QString during = pageState(page);
            QVERIFY2(during.startsWith("Record：300 ,Pages：1 of 3"), qPrintable(during));
            click(page, "pushButton");
            QCOMPARE(pageState(page), during);
        } else if (meanwhile == "import") {
            answerMessage(nullptr, "push_ok");
            chooseFiles(QFileInfo(recordFile(QDir(dir.path()), 11, 2, 5000)).path(), {"20240301.CSV"});
            action(*window, "actionopendb")->trigger();
            QCOMPARE(tableRows("meter11").size(), 2);
        } else {
            window.reset(); // waits for the build, which stops
            QCOMPARE(tableRows("meter11").size(), 300);
            QCOMPARE(databaseValue(index), QString("0"));
            window = std::make_unique<MainWindow>(); // a later search builds it
            QVERIFY(counter(searchedPage(*window, "actionsearch")).startsWith("Record：300 ,Pages：1 of 3"));
        }
        QTRY_VERIFY(!window->findChild<QLabel *>("timeIndexLabel")->isVisible());
        QCOMPARE(databaseValue(index), QString("1"));
        QCOMPARE(databaseValue("PRAGMA quick_check"), QString("ok"));
    }

    void rememberedPlaces()
    {
        // What one run leaves, the next finds: the window's size and the time
        // window last set; a first page shows all records.
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Sundrevale", "SundrevaleReader").clear();
        const QString folder = QFileInfo(recordFile(QDir(dir.path()), 11, 300)).path();
        const auto shownWindow = [](QWidget *page) {
            return std::pair(page->findChild<QDateTimeEdit *>("dateTimeEdit1")->dateTime(),
                         page->findChild<QDateTimeEdit *>("dateTimeEdit2")->dateTime());
        };
        const auto allRecords = std::pair(Start, Start.addSecs(60 * 299));
        const auto lastSet = std::pair(Start.addSecs(600), Start.addSecs(1200));
        {
            MainWindow window;
            window.show();
            chooseFiles(folder, {"20240301.CSV"});
            action(window, "actionopendb")->trigger();
            QCOMPARE(shownWindow(window.currentPage()), allRecords);
            setWindow(window.currentPage(), lastSet.first, lastSet.second);
            setRanges(window.currentPage(), "-10", "99999");
            pressChannel(window.currentPage(), 0);
            click(window.currentPage(), "pushButton");
            window.resize(1180, 650);
            window.close();
        }
        MainWindow window;
        window.show();
        QCOMPARE(window.size(), QSize(1180, 650));
        action(window, "actioncart")->trigger();
        QCOMPARE(shownWindow(window.currentPage()), lastSet);
        click(window.currentPage(), "allRecords");
        QCOMPARE(shownWindow(window.currentPage()), allRecords);
    }

    // One minimum size for every page: at it nothing resizes the window by
    // itself, and every text shows whole, a year's page counter too.
    void sizes_data()
    {
        QTest::addColumn<int>("family");
        for (int family = 1; family <= 5; ++family)
            QTest::addRow("family%d", family) << family;
    }

    void sizes()
    {
        QFETCH(int, family);
        static QSize minimum;
        importModel(QDir(dir.path()), modelOfFamily(family), 300);
        MainWindow window;
        window.show();
        window.resize(1, 1);
        QCoreApplication::processEvents();
        if (family == 1)
            minimum = window.size();
        QCOMPARE(window.size(), minimum);
        for (const char *view : {"actionsearch", "actioncart", "actionsearch"}) {
            QWidget *page = searchedPage(window, view);
            // A year of one-second records, one record a page.
            page->findChild<QLabel *>("page_label")->setText("Record：31536000 ,Pages：31536000 of 31536000");
            QCoreApplication::processEvents();
            QCOMPARE(window.size(), minimum);
            for (QWidget *shown : page->findChildren<QWidget *>()) {
                const bool text = qobject_cast<QPushButton *>(shown) || qobject_cast<QCheckBox *>(shown)
                    || (qobject_cast<QLabel *>(shown) && !static_cast<QLabel *>(shown)->wordWrap());
                if (text && shown->isVisible())
                    QVERIFY2(shown->width() >= shown->sizeHint().width() && shown->height() >= shown->sizeHint().height(),
                             qPrintable(shown->objectName()));
            }
            if (auto *plot = page->findChild<QCustomPlot *>())
                QVERIFY2(plot->height() >= 300, qPrintable(QString::number(plot->height())));
        }
    }

    // The texts of this program's own go through the translation like the others.
    void ownTextsAreTranslated()
    {
        struct Marking : QTranslator {
            QString translate(const char *, const char *source, const char *, int) const override
            {
                return source && *source ? "[" + QString::fromUtf8(source) + "]" : QString();
            }
            bool isEmpty() const override { return false; }
        } marking;
        importOldRecords();
        QCoreApplication::installTranslator(&marking);
        MainWindow window;
        window.show();
        QWidget *page = searchedPage(window, "actionsearch");
        const QString version = window.statusBar()->findChildren<QLabel *>().at(1)->text();
        QCoreApplication::removeTranslator(&marking);
        QCOMPARE(version, "[" + versionText() + "]");
        QCOMPARE(page->findChild<QPushButton *>("allRecords")->text(), QString("[All records]"));
        QVERIFY2(shownSummary(page).startsWith("[Records 300] · [PV]: [min"), qPrintable(shownSummary(page)));
    }

    // The pens of the progress dialog's round bars: the track's outline and the value's.
    void roundProgressBarPens()
    {
        QRoundProgressBar arc;
        arc.resize(90, 90);
        arc.setRingStyle(QRoundProgressBar::Arc);
        arc.setValue(50.0);
        QImage drawn = arc.grab().toImage();
        for (const auto setWidth : {&QRoundProgressBar::setOutlineWidth, &QRoundProgressBar::setValuePenWidth}) {
            (arc.*setWidth)(8);
            const QImage wider = arc.grab().toImage();
            QVERIFY(wider != drawn);
            drawn = wider;
        }
    }

    void configuration()
    {
        writeConfig({{"PageRcd", "100"}, {"PlotRcd", "100"}, {"YStep", "0.5"}, {"LockY", "1"}});
        loadSettings();
        importOldRecords();
        MainWindow window;
        window.show();
        QWidget *page = searchedPage(window, "actionsearch");
        const QString before = readTextFile();
        // Cancel stores nothing and keeps the page; a page size below 1 is refused.
        onNextModal("Dialogconfig", [](QWidget *d) {
            QStringList shown;
            for (const char *name : {"line_pagercd", "line_plotrcd", "line_YStep", "line_Tickcount"})
                shown << d->findChild<QLineEdit *>(name)->text();
            QCOMPARE(shown, QStringList({"100", "100", "0.5", "10"})); // the values in effect
            QVERIFY(d->findChild<QCheckBox *>("checkBox")->isChecked());
            QCOMPARE(typed(d, "line_YStep", "1.2345"), QString("1.234")); // judged key by key
            QCOMPARE(typed(d, "line_pagercd", "100001"), QString("10000"));
            typed(d, "line_plotrcd", "0");
            QString message;
            answerMessage(&message);
            click(d, "pushButton_2");
            QCOMPARE(message, QString("Number of records for a chart sheet must be between 1 and 100000."));
            click(d, "pushButton");
        });
        action(window, "actionsoftconfig")->trigger();
        QCOMPARE(window.currentPage(), page);
        QCOMPARE(readTextFile(), before);
        onNextModal("Dialogconfig", [](QWidget *d) {
            typed(d, "line_pagercd", "7");
            typed(d, "line_YStep", "3");
            typed(d, "line_Tickcount", "4");
            typed(d, "line_plotrcd", "1"); // the smallest page
            d->findChild<QCheckBox *>("checkBox")->setChecked(false);
            click(d, "pushButton_2");
        });
        action(window, "actionsoftconfig")->trigger();
        for (const auto &[key, value] : QList<QPair<QString, QString>>{
                 {"PageRcd", "7"}, {"Tickcount", "4"}, {"YStep", "3"}, {"LockY", "0"}, {"PlotRcd", "1"}})
            QCOMPARE(readSetting(key), value);
        // The next pages are built with the new settings.
        QVERIFY(!window.currentPage());
        page = searchedPage(window, "actionsearch");
        QCOMPARE(page->findChild<QTableWidget *>("tabled")->rowCount(), 7);
        page = searchedPage(window, "actioncart");
        QCOMPARE(page->findChild<QCustomPlot *>()->graph(0)->dataCount(), 1);
        auto fixed = page->findChild<QCustomPlot *>()->yAxis->ticker().dynamicCast<QCPAxisTickerFixed>();
        QVERIFY(fixed);
        QCOMPARE(fixed->tickStep(), 15.0);
    }
};

SUNDREVALE_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
