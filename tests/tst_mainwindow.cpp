#include "commandline.h"
#include "datafolder.h"
#include "userstate.h"
#include "dialogprogress.h"
#include "formcart2.h"
#include "formdata1.h"
#include "formdata2.h"
#include "formdata4.h"
#include "families.h"
#include "importreportdialog.h"
#include "qroundprogressbar.h"
#include "chartpage.h"
#include "mainwindow.h"
#include "recorddatabase.h"
#include "recorddatetime.h"
#include "recordoverview.h"
#include "recordsums.h"
#include "summaryfunction.h"
#include "tablecount.h"
#include "rowinserter.h"
#include "settings.h"
#include "sqlthread.h"
#include "testsupport.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QMenu>
#include <QScopeGuard>
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

// Day d of the added records: records 100 d .. 100 d + count - 1, one a minute.
QStringList dayLines(int day, int count = 100)
{
    QStringList lines;
    for (int k = 100 * day; k < 100 * day + count; ++k)
        lines << recordFields(12, k).join(',');
    return lines;
}

QString dayName(int day)
{
    return QString("202403%1.CSV").arg(day + 1, 2, 10, QChar('0'));
}

// The old records a page lists: a chart every one, a table search over every
// value only the readings.
QString oldCounted(QWidget *page)
{
    int readings = 0;
    for (int k = 0; k < 300; ++k)
        readings += !NoReading.contains(pvField(11, k, 0));
    return QString("Record：%1 ,").arg(page->inherits("ChartPage") ? 300 : readings);
}

const QString KeptSums = "select * from record_sums order by tbl, col, block";
const QString KeptPacked = "select tbl, col, block, hex(vals) from record_packed order by tbl, col, block";
const QString KeptOverview = "select * from record_overview order by tbl, col, level, span";

// What an addition must leave as it was when it does not succeed, and what
// it must bring up to date when it does.
QStringList storedState()
{
    return queryRows("select * from meter12 order by rowid")
        + queryRows(KeptSums) + queryRows(KeptPacked) + queryRows(KeptOverview) + queryRows("select * from record_sums_state")
        + queryRows("select * from record_overview_state") + queryRows("select * from imported_files order by name");
}

// The sums and the overview a whole build makes of the records as they are now.
QStringList rebuilt(const QString &folder)
{
    const QString copy = folder + "/rebuilt.db";
    QFile::remove(copy);
    QFile::copy(recordDatabasePath(), copy);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "rebuild");
        db.setDatabaseName(copy);
        db.open();
        registerRecordDatetime(sqliteHandle(db));
        registerSummaryFunction(sqliteHandle(db));
        RecordSums::build(db, meterFamily(1), 12, 50);
        RecordOverview::build(db, meterFamily(1), 12, [] { return false; });
    }
    QSqlDatabase::removeDatabase("rebuild");
    return queryRows(KeptSums, copy) + queryRows(KeptPacked, copy) + queryRows(KeptOverview, copy);
}

QStringList reportRows(MainWindow &window)
{
    QStringList rows;
    if (auto *table = window.findChild<QTableWidget *>("reportTable")) {
        for (int r = 0; r < table->rowCount(); ++r) {
            QStringList cells;
            for (int c = 0; c < table->columnCount(); ++c)
                cells << table->item(r, c)->text();
            rows << cells.join('|');
        }
    }
    return rows;
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

private slots:
    void init() { startWithSmallPages(); }

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
        // The start page says how to begin, and has the button for it.
        auto *start = window.findChild<QWidget *>("startPage");
        QVERIFY(start->isVisible());
        QCOMPARE(start->findChild<QLabel *>("startTitle")->text(), QString("Import Record files(.CSV) first"));
        QVERIFY(start->findChild<QPushButton *>("startImport")->isVisible());
        QVERIFY(!start->findChild<QPushButton *>("startTable")->isVisible());
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
        QCOMPARE(window.statusBar()->currentMessage(), QString("2 files added, 0 replaced, 0 already there"));
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
        QCOMPARE(warning, QString("If the data already exists, it will be overwritten [Cancel]"));
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
        // That folder gone (a card taken out): the chooser opens at home.
        QDir(folder).removeRecursively();
        answerMessage(nullptr, "push_ok");
        onNextModal("QFileDialog", [&](QWidget *dialog) {
            opened = static_cast<QFileDialog *>(dialog)->directory().absolutePath();
            answerMessage(nullptr);
            QMetaObject::invokeMethod(dialog, "reject");
        });
        action(window, "actionopendb")->trigger();
        QCOMPARE(opened, QDir::homePath());
        QVERIFY(!start->isVisible());

        // Started again: the start page says what is loaded; its button opens the table.
        MainWindow again;
        again.show();
        start = again.findChild<QWidget *>("startPage");
        auto *details = start->findChild<QLabel *>("startDetails");
        QTRY_VERIFY(details->text().startsWith("Model 208"));
        QCOMPARE(start->findChild<QLabel *>("startTitle")->text(), QFileInfo(dataFolder()).fileName());
        const QStringList lines = details->text().split('\n');
        QCOMPARE(lines.mid(0, 3), QStringList({"Model 208, multi-channel scanning recorder, 8 channels", "Records: 3",
                                              "From 2024-03-01 00:00:00 to 2024-03-01 00:02:00"}));
        QVERIFY2(lines.value(3).contains(QRegularExpression("^Files imported: 2 · the last: 2024030[12].CSV, on "
                                                            + QDate::currentDate().toString("yyyy-MM-dd"))),
                 qPrintable(lines.value(3)));
        click(start, "startTable");
        QVERIFY(qobject_cast<Formdata2 *>(again.currentPage()) && !start->isVisible());
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
        // Delivered straight to the window: the application only routes drops
        // that a real drag started.
        const auto drop = [&](const QString &path) {
            QMimeData mime;
            mime.setUrls({QUrl::fromLocalFile(path)});
            QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
            static_cast<QObject *>(&window)->event(&drop);
            QVERIFY(drop.isAccepted());
        };
        const QString level = QStringLiteral(SAMPLES_DIR) + "/level-meter";
        drop(level);
        QTRY_COMPARE(Meter, 3); // the import starts once the drop has returned
        QCOMPARE(tableRows("meter3").size(), 720); // both files of the folder
        QVERIFY(window.currentPage() && window.currentPage()->inherits("Formdata3"));
        // With records there, the user chooses: add to them, replace them, or neither.
        const QString newDay = writeRecordFolder(QDir(dir.path()), "newday", "2", {{"20240401.CSV", {recordFields(2, 0).join(',')}}});
        for (const auto &[button, rows] : {std::pair("addButton", 721), std::pair("qt_msgbox_buttonbox", 721), std::pair("replaceButton", 1)}) {
            onNextModal("QMessageBox", [button = button](QWidget *box) {
                if (QString(button) == "qt_msgbox_buttonbox")
                    static_cast<QMessageBox *>(box)->button(QMessageBox::Cancel)->click();
                else
                    click(box, button);
            });
            drop(newDay);
            QTRY_VERIFY(!QApplication::activeModalWidget());
            QTRY_COMPARE(tableRows("meter3").size(), rows);
        }
    }

    // Days imported, then added through the menu; after each step the
    // records are those of the files chosen, read from the files themselves.
    void addRecordFilesThroughTheMenu()
    {
        SQLThread::setSummaryBlockRowids(50);
        RecordOverview::setRowsPerTransaction(100);
        const QDir root(dir.path());
        QMap<QString, QStringList> days;
        for (int day = 0; day < 5; ++day)
            days.insert(dayName(day), dayLines(day));
        const QString first = writeRecordFolder(root, "first", "12", {{dayName(0), days[dayName(0)]}, {dayName(1), days[dayName(1)]}, {dayName(2), days[dayName(2)]}});
        const QString later = writeRecordFolder(root, "later", "12", {{dayName(3), days[dayName(3)]}, {dayName(4), days[dayName(4)]}});
        const QString all = writeRecordFolder(root, "all", "12", days);
        // Day 5 copied again later: from its 21st minute on, an hour longer, with lines to skip.
        QStringList grown = dayLines(4, 180).mid(20);
        grown.insert(3, "1,2,3");
        grown.insert(50, QString(70000, '9'));
        grown.insert(60, grown.at(60).left(20) + QChar(0) + grown.at(60).mid(21));
        // Under its name in lower case, as a card mounted with short names gives it.
        const QString regrown = writeRecordFolder(root, "grown", "12", {{dayName(4).toLower(), grown}});
        const QString other = writeRecordFolder(root, "other", "3", {{dayName(5), {recordFields(3, 0).join(',')}}});
        QMap<QString, QStringList> stored; // the lines of each file imported
        bool searched = false;
        int countsBefore = -1; // of count(*), where an addition and the page after it are to run none
        const auto expectStored = [&](MainWindow &window, const QStringList &report, const QStringList &built) {
            // The build behind an import may not have begun when its job has ended.
            QTRY_COMPARE_WITH_TIMEOUT(SQLThread::readPathsOfLastStore(), built, 20000);
            QTRY_VERIFY(!window.findChild<QLabel *>("preparingLabel")->isVisible());
            const bool counting = countsBefore >= 0;
            if (counting)
                QCOMPARE(countStatementsRun(), std::exchange(countsBefore, -1));
            QStringList expected, ledger;
            for (auto file = stored.cbegin(); file != stored.cend(); ++file) {
                qsizetype before = expected.size();
                for (const QString &line : file.value())
                    if (line.count(',') == 6 && !line.contains(QChar(0)))
                        expected << QString(line).replace(',', '|') + "\n";
                ledger << QString("%1|%2").arg(file.key()).arg(expected.size() - before);
            }
            QStringList rows = tableRows("meter12");
            expected.sort();
            rows.sort();
            QCOMPARE(rows, expected);
            QCOMPARE(queryRows("select name, records from imported_files order by name"), ledger);
            QCOMPARE(queryRows(KeptSums) + queryRows(KeptPacked) + queryRows(KeptOverview), rebuilt(dir.path()));
            // The sums tell where the records of a time lie: no index on the stamps is kept.
            QCOMPARE(databaseValue("select count(*) from sqlite_master where name = 'meter12_time'"), QString("0"));
            QCOMPARE(reportRows(window), report);
            // The page counts them from the sums (equal to a whole build, as compared above).
            QWidget *page = window.currentPage();
            const auto readings = std::count_if(expected.cbegin(), expected.cend(),
                                                [](const QString &row) { return !NoReading.contains(row.section('|', 0, 0)); });
            const QString counted = QString("Record：%1 ,Pages：%2 of %2").arg(readings).arg((readings + 99) / 100);
            // A page turn of the search shown before the change counts the records as they are now.
            const int counts = countStatementsRun();
            if (searched) {
                click(page, "page_end");
                QVERIFY2(counter(page).startsWith(counted), qPrintable(counter(page) + " / " + counted));
            }
            setWindow(page, Start, Start.addSecs(60 * 600));
            setRanges(page, "-10", "99999");
            tickChannel(page, 0); // the page is kept across additions
            click(page, "pushButton");
            QVERIFY2(counter(page).startsWith(QString("Record：%1 ,").arg(readings)), qPrintable(counter(page)));
            if (counting) // the addition kept the count for the file it wrote
                QCOMPARE(countStatementsRun(), counts);
            searched = true;
        };
        const QString added = "|added|100|100|0|";
        const QString there = "|skipped (already there)|100|100|0|";

        MainWindow window;
        window.show();
        chooseFiles(first, {dayName(0), dayName(1), dayName(2)});
        action(window, "actionopendb")->trigger();
        for (int day : {0, 1, 2})
            stored.insert(dayName(day), days[dayName(day)]);
        expectStored(window, {dayName(0) + added, dayName(1) + added, dayName(2) + added}, QStringList{"sums gathered while importing: 7 blocks, 6 summed up from their rows", "overview built after the import"});
        { // an earlier version's index on the stamps, which the next addition removes
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "earlier");
            db.setDatabaseName(recordDatabasePath());
            QVERIFY(db.open() && QSqlQuery(db).exec("create index meter12_time on meter12(datetime(indate))"));
        }
        QSqlDatabase::removeDatabase("earlier");

        chooseFiles(later, {dayName(3), dayName(4)});
        action(window, "actionaddfiles")->trigger();
        QCOMPARE(window.statusBar()->currentMessage(), QString("2 files added, 0 replaced, 0 already there"));
        stored.insert(dayName(3), days[dayName(3)]);
        stored.insert(dayName(4), days[dayName(4)]);
        expectStored(window, {dayName(3) + added, dayName(4) + added}, QStringList{"sums of 5 blocks brought up to date", "overview of 200 minutes brought up to date"});

        onNextModal("QFileDialog", [&](QWidget *dialog) { // the whole folder, every file already there
            QCOMPARE(static_cast<QFileDialog *>(dialog)->fileMode(), QFileDialog::ExistingFiles); // or several files
            static_cast<QFileDialog *>(dialog)->setDirectory(all);
            click(dialog, "wholeFolderButton");
        });
        action(window, "actionaddfiles")->trigger();
        expectStored(window, {dayName(0) + there, dayName(1) + there, dayName(2) + there, dayName(3) + there, dayName(4) + there},
                     QStringList{"sums of 0 blocks brought up to date", "overview of 0 minutes brought up to date"});

        // Day 5 copied again with 31 more records replaces it, the last one
        // stamped with a year alone, which no window holds; the older copy
        // then is already there; a picture named as a day is no record file.
        const QStringList longer = dayLines(4, 130) << recordFields(12, 430).mid(0, 6).join(',') + ",2024";
        chooseFiles(writeRecordFolder(root, "longer", "12", {{dayName(4), longer}, {dayName(6), {"PNG IHDR"}}}),
                    {dayName(4), dayName(6)});
        countsBefore = countStatementsRun(); // the addition knows how many records it kept
        action(window, "actionaddfiles")->trigger();
        stored.insert(dayName(4), longer);
        expectStored(window, {dayName(4) + "|replaced: 100 → 131 records|131|131|0|stored without a readable time: 1 (lines 132)",
                              dayName(6) + "|skipped: no readable record|0|1|1|wrong number of fields: 1 (lines 2)"},
                     QStringList{"sums of 5 blocks brought up to date", "overview of 130 minutes brought up to date"});
        chooseFiles(later, {dayName(3), dayName(4)});
        action(window, "actionaddfiles")->trigger();
        expectStored(window, {dayName(3) + there, dayName(4) + "|skipped: older copy, already there|100|100|0|"},
                     QStringList{"sums of 0 blocks brought up to date", "overview of 0 minutes brought up to date"});
        // The same content under another name, in any case, is already there.
        chooseFiles(writeRecordFolder(root, "renamed", "12", {{dayName(0).toLower(), days[dayName(0)]}, {dayName(9), days[dayName(1)]}}),
                    {dayName(0).toLower(), dayName(9)});
        action(window, "actionaddfiles")->trigger();
        expectStored(window, {dayName(0).toLower() + "|skipped (already there as " + dayName(0) + ")|100|100|0|",
                              dayName(9) + "|skipped (already there as " + dayName(1) + ")|100|100|0|"},
                     QStringList{"sums of 0 blocks brought up to date", "overview of 0 minutes brought up to date"});
        // A day of a single record: its one rowid's block is summed up again.
        const QStringList single{recordFields(12, 570).join(',')};
        chooseFiles(writeRecordFolder(root, "single", "12", {{dayName(7), single}}), {dayName(7)});
        action(window, "actionaddfiles")->trigger();
        stored.insert(dayName(7), single);
        expectStored(window, {dayName(7) + "|added|1|1|0|"},
                     QStringList{"sums of 1 blocks brought up to date", "overview of 1 minutes brought up to date"});
        // Any other change replaces the records only with the user's yes:
        // from the command line, with nobody to ask, it is skipped.
        window.addPaths({regrown});
        expectStored(window, {dayName(4).toLower() + "|skipped: would replace 131 records by 160|160|163|3|wrong number of "
                              "fields: 1 (lines 5); overlong: 1 (lines 52); damaged: 1 (lines 62)"},
                     QStringList{"sums of 0 blocks brought up to date", "overview of 0 minutes brought up to date"});
        QString asked;
        onNextModal("QMessageBox", [&](QWidget *box) {
            asked = static_cast<QMessageBox *>(box)->text();
            static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
        });
        chooseFiles(regrown, {dayName(4).toLower()});
        action(window, "actionaddfiles")->trigger();
        QCOMPARE(asked, QString("Replace the 131 records of %1 by 160?").arg(dayName(4).toLower()));
        stored.remove(dayName(4));
        stored.insert(dayName(4).toLower(), grown);
        expectStored(window, {dayName(4).toLower() + "|replaced: 131 → 160 records|160|163|3|wrong number of fields: 1 (lines 5); overlong: 1 (lines 52); damaged: 1 (lines 62)"},
                     QStringList{"sums of 6 blocks brought up to date", "overview of 180 minutes brought up to date"});
        // The report saved as text says the same.
        auto *report = window.findChild<ImportReportDialog *>();
        QCOMPARE(report->windowTitle(), QString("Import report"));
        auto *status = report->findChild<QLabel *>("reportStatus");
        QVERIFY(status->isHidden()); // until it is saved
        saveAs(dir.filePath("report.txt"));
        click(report, "saveReportButton");
        QCOMPARE(status->text(), QString("Saved as %1.").arg(QDir::toNativeSeparators(dir.filePath("report.txt"))));
        QVERIFY(!status->isHidden());
        QCOMPARE(readTextFile(dir.filePath("report.txt")).split('\n').mid(0, 5),
                 QStringList({"0 files added, 1 replaced, 0 already there", "", regrown + "/" + dayName(4).toLower(),
                              "  replaced: 131 → 160 records, 160 records stored, 163 lines read, 3 skipped",
                              "  skipped lines: wrong number of fields: 1 (lines 5); overlong: 1 (lines 52); damaged: 1 (lines 62)"}));
        QVERIFY(!report->saveTo(dir.filePath("no/such/folder/report.txt")));
        QVERIFY(status->text().startsWith("The report could not be saved as "));
        // The same name and size with another value is another file: replaced with the user's yes.
        QString changed = single.first();
        changed[0] = changed[0] == QChar('1') ? QChar('2') : QChar('1');
        onNextModal("QMessageBox", [&](QWidget *box) {
            asked = static_cast<QMessageBox *>(box)->text();
            static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
        });
        chooseFiles(writeRecordFolder(root, "changed", "12", {{dayName(7), {changed}}}), {dayName(7)});
        action(window, "actionaddfiles")->trigger();
        QCOMPARE(asked, QString("Replace the 1 records of %1 by 1?").arg(dayName(7)));
        stored.insert(dayName(7), {changed});
        expectStored(window, {dayName(7) + "|replaced: 1 → 1 records|1|1|0|"}, // the block it left, the one it came to
                     QStringList{"sums of 2 blocks brought up to date", "overview of 1 minutes brought up to date"});

        // What does not succeed leaves everything as it was; a cancelled
        // chooser says nothing, a folder without record files says which.
        const QStringList before = storedState();
        QString told;
        const QString shown = window.statusBar()->currentMessage();
        chooseFiles(all, {});
        action(window, "actionaddfiles")->trigger();
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(window.statusBar()->currentMessage(), shown);
        onNextModal("QFileDialog", [&](QWidget *dialog) {
            static_cast<QFileDialog *>(dialog)->setDirectory(dir.path() + "/empty");
            answerMessage(&told);
            click(dialog, "wholeFolderButton");
        });
        QDir(dir.path()).mkdir("empty");
        action(window, "actionaddfiles")->trigger();
        QCOMPARE(told, QString("There is no record file in %1.").arg(QDir::toNativeSeparators(dir.path() + "/empty")));
        QCOMPARE(storedState(), before);
        chooseFiles(other, {dayName(5)}, [&] { answerMessage(&told); });
        action(window, "actionaddfiles")->trigger();
        QCOMPARE(told, QString("These record files are of another instrument (model code 3) than the records imported. Nothing was added."));
        QCOMPARE(storedState(), before);
        holdWorkerJobs();
        chooseFiles(later, {dayName(3), dayName(4)}, [&] {
            onNextModal("DialogProgress", [&](QWidget *dialog) {
                QCOMPARE(dialog->findChild<QRoundProgressBar *>("pogress1")->formatValue(37), QString("37%"));
                QTest::keyClick(dialog, Qt::Key_Escape);
                releaseWorkerJobs();
                answerMessage(&told);
            });
        });
        action(window, "actionaddfiles")->trigger();
        QCOMPARE(told, QString("The addition was cancelled. The records are as they were."));
        QCOMPARE(storedState(), before);
        SQLThread::setConnectionHook([](QSqlDatabase &db) { // a full disk
            QSqlQuery count(db);
            count.exec("PRAGMA page_count");
            count.next();
            QSqlQuery(db).exec(QString("PRAGMA max_page_count = %1").arg(count.value(0).toInt()));
        });
        chooseFiles(writeRecordFolder(root, "more", "12", {{dayName(5), dayLines(5, 2000)}}), {dayName(5)},
                    [&] { answerMessage(&told); });
        action(window, "actionaddfiles")->trigger();
        SQLThread::setConnectionHook({});
        QVERIFY2(told.contains("full"), qPrintable(told));
        QCOMPARE(storedState(), before);

        // A card reader fails on one day, which stays as it was; a cancel at the commit comes too late to count.
        failRecordReads("card/" + dayName(4));
        SQLThread::setConnectionHook([](QSqlDatabase &db) {
            sqlite3_commit_hook(sqliteHandle(db), [](void *) { QMetaObject::invokeMethod(DialogProgress::runningDialog(), &DialogProgress::requestCancel, Qt::BlockingQueuedConnection); return 0; }, nullptr);
        });
        chooseFiles(writeRecordFolder(root, "card", "12", {{dayName(4), dayLines(4, 200)}, {dayName(5), dayLines(5)}}), {dayName(4), dayName(5)});
        action(window, "actionaddfiles")->trigger();
        SQLThread::setConnectionHook({});
        QCOMPARE(window.statusBar()->currentMessage(), QString("1 file added, 0 replaced, 0 already there, 1 skipped"));
        stored.insert(dayName(5), dayLines(5));
        expectStored(window, {dayName(4) + "|skipped (could not be read to its end: Input/output error)|0|0|0|", dayName(5) + added},
                     QStringList{"sums of 3 blocks brought up to date", "overview of 100 minutes brought up to date"});
    }

    // Kept sums or an overview that make no sense of the records: the next addition builds them as a whole build does.
    // Imported files listed with the days no file holds; Remove takes out
    // one file's records with what the sums and the overview kept of them,
    // or, cancelled or failing, leaves record.db byte for byte.
    void removeAnImportedFile_data()
    {
        QTest::addColumn<QString>("outcome");
        for (const char *outcome : {"removed", "removed from an earlier version's table", "cancelled", "fails"})
            QTest::newRow(outcome) << QString(outcome);
    }

    void removeAnImportedFile()
    {
        QFETCH(QString, outcome);
        SQLThread::setSummaryBlockRowids(50);
        const auto lines = [](int first, int count) {
            QStringList day;
            for (int k = first; k < first + count; ++k)
                day << recordFields(12, k).join(',');
            return day;
        };
        // Two files of March 1st, one of March 4th.
        const QMap<QString, QStringList> files{{"20240301.CSV", lines(0, 100)}, {"20240302.CSV", lines(100, 120)},
                                               {"20240304.CSV", lines(3 * 1440, 80)}};
        const QString folder = writeRecordFolder(QDir(dir.path()), "removal", "12", files);
        MainWindow window;
        window.show();
        QString warned;
        if (Meter != -1)
            answerMessage(&warned, "push_ok"); // the records there will be replaced
        chooseFiles(folder, files.keys());
        action(window, "actionopendb")->trigger();
        waitForBuildsBehindImport();
        QTRY_VERIFY(!window.findChild<QLabel *>("preparingLabel")->isVisible());
        closeModals(); // the import's report
        const bool earlier = outcome.contains("earlier");
        if (earlier) {
            changeDatabase("alter table imported_files drop column added");
            outcome = "removed";
        }
        const auto bytes = [] {
            QFile file(recordDatabasePath());
            return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
        };
        const QByteArray before = bytes();
        const auto listed = [](QWidget *dialog) {
            auto *table = dialog->findChild<QTableWidget *>("importedFilesTable");
            QStringList rows;
            for (int r = 0; r < table->rowCount(); ++r)
                rows << QStringList{table->item(r, 0)->text(), table->item(r, 2)->text(), table->item(r, 6)->text(),
                                    table->item(r, 7)->text()}.join('|');
            rows << table->item(0, 5)->text().left(10); // when the first came
            return rows;
        };
        const QString a = "20240301.CSV|100|2024-03-01 00:00:00|2024-03-01 01:39:00",
                      b = "20240302.CSV|120|2024-03-01 01:40:00|2024-03-01 03:39:00",
                      gap = "(no file on these days)||2024-03-02|2024-03-03", c = "20240304.CSV|80|2024-03-04 00:00:00|2024-03-04 01:19:00";
        QStringList first, after;
        QString question, told;
        onNextModal("ImportedFilesDialog", [&](QWidget *dialog) {
            first = listed(dialog);
            auto *table = dialog->findChild<QTableWidget *>("importedFilesTable");
            for (const int row : {0, 2}) { // a file, the days without one
                table->selectRow(row);
                QCOMPARE(dialog->findChild<QPushButton *>("removeFileButton")->isEnabled(), row == 0);
            }
            table->selectRow(1);
            onNextModal("QMessageBox", [&](QWidget *box) {
                question = static_cast<QMessageBox *>(box)->text();
                if (outcome == "cancelled") {
                    holdWorkerJobs();
                    onNextModal("DialogProgress", [](QWidget *progress) {
                        QTest::keyClick(progress, Qt::Key_Escape);
                        releaseWorkerJobs();
                    });
                } else if (outcome == "fails") {
                    SQLThread::setConnectionHook([](QSqlDatabase &db) { QSqlQuery(db).exec("PRAGMA query_only = 1"); });
                    answerMessage(&told);
                }
                static_cast<QMessageBox *>(box)->button(QMessageBox::Yes)->click();
            });
            click(dialog, "removeFileButton");
            SQLThread::setConnectionHook({});
            after = listed(dialog);
            QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
        });
        action(window, "actionimportedfiles")->trigger();
        const QString added = earlier ? QString("not record") : QDate::currentDate().toString("yyyy-MM-dd");
        QCOMPARE(first, QStringList({a, b, gap, c, added}));
        QCOMPARE(question, QString("Remove the 120 records of 20240302.CSV from the records? Its entry goes with them; the file itself stays."));
        if (outcome != "removed") {
            QCOMPARE(after, first);
            QVERIFY(bytes() == before);
            if (outcome == "fails")
                QVERIFY2(told.startsWith("20240302.CSV could not be removed: ") && !told.endsWith("[Cancel]"), qPrintable(told));
            return;
        }
        QCOMPARE(after, QStringList({a, gap, c, added}));
        QVERIFY(!window.currentPage()); // its rows may be gone: the start page says what is left
        QTRY_VERIFY(window.findChild<QLabel *>("startDetails")->text().contains("Records: 180"));
        QStringList expected;
        for (const QString &line : files["20240301.CSV"] + files["20240304.CSV"])
            expected << QString(line).replace(',', '|') + "\n";
        QCOMPARE(tableRows("meter12"), expected);
        QCOMPARE(SQLThread::readPathsOfLastStore().size(), 2); // brought up to date, not built again
        QCOMPARE(queryRows(KeptSums) + queryRows(KeptPacked) + queryRows(KeptOverview), rebuilt(dir.path()));
    }

    void damagedKeptTablesAreBuiltAgain_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("blocks of no rowids") << "update record_sums_state set block_rowids = 0";
        QTest::newRow("blocks of negative rowids") << "update record_sums_state set block_rowids = -50";
        QTest::newRow("a block's sums missing") << "delete from record_sums where block = 2";
        QTest::newRow("a column's sums missing") << "delete from record_sums where col = 'pv2'";
        QTest::newRow("sums beyond the records") << "insert into record_sums select tbl, col, block + 100, records, stamped, "
                                                    "first_stamp, last_stamp, vals, cast_min, cast_max, totals from record_sums";
        QTest::newRow("a column's block folded into the next")
            << "update record_sums set records = records + (select records from record_sums where col = 'pv2' and block = 2) "
               "where col = 'pv2' and block = 3;delete from record_sums where col = 'pv2' and block = 2";
        QTest::newRow("a block's records counted in the next")
            << "update record_sums set records = records + (select records from record_sums b "
               "where b.col = record_sums.col and b.block = 2) where block = 3;update record_sums set records = 0 where block = 2";
        QTest::newRow("totals of another size") << "update record_sums set totals = substr(totals, 1, 80) where block = 1";
        QTest::newRow("overview of negative rowids") << "update record_overview_state set rowids = -1";
        QTest::newRow("an hour missing") << "delete from record_overview where level = 1 and span = (select min(span) from record_overview)";
        QTest::newRow("overview beyond the records") << "update record_overview set first_rowid = first_rowid + 1000 where level = 1";
        QTest::newRow("records renumbered by VACUUM") << "delete from meter12 where rowid <= 100;update meter12 set rowid = rowid - 100;vacuum";
    }

    void damagedKeptTablesAreBuiltAgain()
    {
        QFETCH(QString, damage);
        SQLThread::setSummaryBlockRowids(50);
        runImport({recordFile(QDir(dir.path()), 12, 300)});
        changeDatabase(damage);
        SQLThread worker;
        worker.dn_addCSV({writeRecordFolder(QDir(dir.path()), "next", "12", {{dayName(3), dayLines(3)}}) + "/" + dayName(3)});
        QVERIFY(worker.outcome().done());
        QCOMPARE(queryRows(KeptSums) + queryRows(KeptPacked) + queryRows(KeptOverview), rebuilt(dir.path()));
    }

    void additionAfterTheSettingsLostTheInstrument_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("damaged"); // the table whose first page is overwritten
        QTest::newRow("files of the instrument") << 12 << QString();
        QTest::newRow("files of another instrument") << 3 << QString();
        QTest::newRow("database that cannot be read") << 12 << "sqlite_master";
        QTest::newRow("records that cannot be read") << 12 << "meter12";
    }

    // Settings written anew (or by hand) without the instrument leave its
    // records there: an addition goes to them, or adds nothing, and never
    // replaces them by the added files' records alone, nor a database it
    // cannot read.
    void additionAfterTheSettingsLostTheInstrument()
    {
        QFETCH(int, model);
        QFETCH(QString, damaged);
        runImport({recordFile(QDir(dir.path()), 12, 300)});
        const QStringList before = tableRows("meter12");
        QFile database(recordDatabasePath());
        if (!damaged.isEmpty()) { // a card's bytes over the head of a page
            const qint64 page = damaged == "sqlite_master"
                ? 1
                : databaseValue("select rootpage from sqlite_master where name = '" + damaged + "'").toLongLong();
            const qint64 pageSize = databaseValue("pragma page_size").toLongLong();
            QVERIFY(page > 0 && pageSize > 0 && database.open(QIODevice::ReadWrite) && database.seek((page - 1) * pageSize));
            database.write(QByteArray(100, 'x'));
            database.close();
        }
        QVERIFY(database.open(QIODevice::ReadOnly));
        const QByteArray bytes = database.readAll();
        database.close();
        writeConfig();
        loadSettings();
        QCOMPARE(Meter, -1);
        SQLThread worker;
        QStringList lines;
        for (int k = 1000; k < 1040; ++k)
            lines << recordFields(model, k).join(',');
        worker.dn_addCSV({writeRecordFolder(QDir(dir.path()), "added", QString::number(model), {{"20240305.CSV", lines}})
                          + "/20240305.CSV"});
        if (!damaged.isEmpty()) {
            QCOMPARE(worker.outcome().status, JobOutcome::Failed);
            QVERIFY2(worker.outcome().reason.startsWith("The records imported before could not be read ("),
                     qPrintable(worker.outcome().reason));
            QVERIFY(database.open(QIODevice::ReadOnly));
            QVERIFY(database.readAll() == bytes);
            return;
        }
        QCOMPARE(readSetting("Meter"), QString("12"));
        const QStringList after = tableRows("meter12");
        if (model == 12) {
            QVERIFY2(worker.outcome().done(), qPrintable(worker.outcome().reason));
            QCOMPARE(after.size(), before.size() + 40);
            QCOMPARE(after.mid(0, before.size()), before);
        } else {
            QCOMPARE(worker.outcome().status, JobOutcome::Failed);
            QVERIFY2(worker.outcome().reason.contains("another instrument"), qPrintable(worker.outcome().reason));
            QCOMPARE(after, before);
        }
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
            QVERIFY2(second.startsWith(oldCounted(page) + "Pages：2 of 3"), qPrintable(second));
            SQLThread::setConnectionHook([](QSqlDatabase &db) { QSqlQuery(db).exec("drop table meter11"); });
            for (const char *button : {"page_down", "pushButton", "max0"}) { // max0: the summary's link
                QString failure;
                answerMessage(&failure);
                QString(button) == "max0" ? page->findChild<QLabel *>("summary_label")->linkActivated(button) : click(page, button);
                QVERIFY2(failure.startsWith("The search failed: no such table: ") && failure.contains("meter11"), qPrintable(failure));
                QCOMPARE(pageState(page), second);
            }
            if (job.startsWith("table")) { // an export that cannot read writes nothing, and says why
                QString failure;
                saveAs(exported);
                answerMessage(&failure);
                click(page, "page_export");
                QVERIFY2(failure.contains("no such table") && !QFile::exists(exported), qPrintable(failure));
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
            QVERIFY2(pageState(page).startsWith(oldCounted(page) + "Pages：3 of 3"), qPrintable(pageState(page)));
            const QString summary = shownSummary(page);
            page->findChild<QLabel *>("summary_label")->linkActivated("min0");
            QVERIFY2(counter(page).startsWith(oldCounted(page) + "Pages："), qPrintable(counter(page)));
            QCOMPARE(shownSummary(page), summary);
            if (job.startsWith("table")) {
                saveAs(exported);
                answerMessage(&told);
                click(page, "page_export");
                QVERIFY2(told.startsWith(oldCounted(page).section("：", 1).chopped(2) + " records exported"), qPrintable(told));
            }
            return;
        }
        const QString before = pageState(page);
        QVERIFY2(before.startsWith(oldCounted(page) + "Pages：1 of 3"), qPrintable(before));

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
        QVERIFY(pageState(page).startsWith(oldCounted(page) + "Pages：1 of 3"));
    }

    // The sums are ready with an import; the overview is built after it, held
    // here until the job under test has been asked for: it waits, stops the build, or quits.
    void buildsAfterImport_data()
    {
        QTest::addColumn<QString>("meanwhile");
        QTest::newRow("a search waits for it") << "search";
        QTest::newRow("an import replaces the database") << "import";
        QTest::newRow("quitting loses nothing") << "quit";
    }

    void buildsAfterImport()
    {
        QFETCH(QString, meanwhile);
        static std::atomic_bool held;
        held = true;
        SQLThread::setPreparingHook([] {
            for (int i = 0; held && i < 100000; ++i)
                QThread::usleep(200);
        });
        const QString summed = "select count(*) from record_sums_state where tbl = 'meter11'";
        const QString overviewed = "select count(*) from record_overview_state where tbl = 'meter11'";
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Sundrevale", "SundrevaleReader").clear();
        auto window = std::make_unique<MainWindow>();
        window->show();
        chooseFiles(QFileInfo(recordFile(QDir(dir.path()), 11, 300)).path(), {"20240301.CSV"});
        action(*window, "actionopendb")->trigger();
        QTRY_VERIFY(window->findChild<QLabel *>("preparingLabel")->isVisible());
        // The first page shows all records, the first and last stored standing for them.
        QCOMPARE(window->currentPage()->findChild<QDateTimeEdit *>("dateTimeEdit2")->dateTime(), Start.addSecs(60 * 299));
        std::thread([] { QThread::msleep(300); held = false; }).detach();
        if (meanwhile == "search") {
            QWidget *page = searchedPage(*window, "actionsearch");
            QVERIFY(!held); // it ended after the build
            const QString during = pageState(page);
            QVERIFY2(during.startsWith(oldCounted(page) + "Pages：1 of 3"), qPrintable(during));
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
            QCOMPARE(databaseValue(summed), QString("1"));
            QVERIFY(databaseValue(overviewed) != "1"); // none, or no table of them yet
            window = std::make_unique<MainWindow>(); // a later search reads them
            QWidget *shown = searchedPage(*window, "actionsearch");
            QVERIFY(counter(shown).startsWith(oldCounted(shown) + "Pages：1 of 3"));
        }
        QTRY_VERIFY(!window->findChild<QLabel *>("preparingLabel")->isVisible());
        QCOMPARE(databaseValue(summed), QString("1"));
        if (meanwhile != "quit") // the overview of the records drawn at the next start
            QCOMPARE(databaseValue(overviewed), QString("1"));
        QCOMPARE(databaseValue("select count(*) from sqlite_master where type = 'index' and tbl_name = 'meter11'"), QString("0"));
        QCOMPARE(databaseValue("PRAGMA quick_check"), QString("ok"));
    }

    void rememberedPlaces()
    {
        // What one run leaves, the next finds: the window's size and the time
        // window last set; a first page shows all records.
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Sundrevale", "SundrevaleReader").clear();
        const QString folder = QFileInfo(recordFile(QDir(dir.path()), 12, 300)).path();
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
        // From the chart to the table and back: the window, both channels
        // ticked and the whole window stay, the table showing one of them.
        window.currentPage()->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
        tickChannel(window.currentPage(), 0);
        tickChannel(window.currentPage(), 1);
        const auto ticked = [&] {
            auto *channels = window.currentPage()->findChild<QTableWidget *>("tablechaddr");
            QList<int> rows;
            for (int row = 0; row < channels->rowCount(); ++row)
                if (channels->item(row, 0)->checkState() == Qt::Checked)
                    rows << row;
            return rows;
        };
        QCOMPARE(ticked(), QList<int>({0, 1}));
        action(window, "actionsearch")->trigger();
        QCOMPARE(shownWindow(window.currentPage()), allRecords);
        QCOMPARE(ticked(), QList<int>({1}));
        action(window, "actioncart")->trigger();
        QCOMPARE(shownWindow(window.currentPage()), allRecords);
        QCOMPARE(ticked(), QList<int>({0, 1}));
        QVERIFY(window.currentPage()->findChild<QCheckBox *>("wholeWindow")->isChecked());
    }

    // Instruments in one window: a new folder starts empty, each keeps its
    // records, meter, time window and tags; named, it says so in the title;
    // the recent list outlives the window and greys a folder that is gone.
    void switchInstruments()
    {
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Sundrevale", "SundrevaleReader").clear();
        const QString first = dataFolder(), second = dir.filePath("cold room"), gone = dir.filePath("gone");
        const auto restore = qScopeGuard([&] {
            QString error;
            chooseDataFolder(first, &error);
            loadSettings();
        });
        const auto shownWindow = [](QWidget *page) {
            return std::pair(page->findChild<QDateTimeEdit *>("dateTimeEdit1")->dateTime(),
                             page->findChild<QDateTimeEdit *>("dateTimeEdit2")->dateTime());
        };
        MainWindow window;
        window.show();
        const auto open = [&](const QString &folder) {
            onNextModal("QFileDialog", [folder](QWidget *dialog) {
                QDir().mkpath(folder);
                static_cast<QFileDialog *>(dialog)->setDirectory(folder);
                QMetaObject::invokeMethod(dialog, "accept");
            });
            action(window, "actionopeninstrument")->trigger();
            QCOMPARE(dataFolder(), folder);
        };
        const auto import = [&](int model, int count) {
            chooseFiles(QFileInfo(recordFile(QDir(dir.path()), model, count)).path(), {"20240301.CSV"});
            if (Meter != -1)
                answerMessage(nullptr, "push_ok"); // the records there will be replaced
            action(window, "actionopendb")->trigger();
        };
        const auto tag = [](int channel) {
            return UserState::channelLimits(limitsKey(meterFamily(familyOfTableCode(Meter)), Meter, channel, 0)).name;
        };
        import(12, 300);
        const auto firstWindow = std::pair(Start.addSecs(600), Start.addSecs(1200));
        setWindow(window.currentPage(), firstWindow.first, firstWindow.second);
        pressChannel(window.currentPage(), 0);
        click(window.currentPage(), "pushButton");
        QCOMPARE(counter(window.currentPage()).left(10), QString("Record：11 "));
        UserState::setChannelLimits(limitsKey(meterFamily(1), Meter, 0, 0), {"Boiler 2 outlet", "°C", qQNaN(), qQNaN(), 0, 0});

        open(second);
        QVERIFY(!window.currentPage());
        QCOMPARE(window.findChild<QLabel *>("startTitle")->text(), QString("Import Record files(.CSV) first"));
        QCOMPARE(Meter, -1);
        import(3, 200);
        QVERIFY(qobject_cast<Formdata4 *>(window.currentPage()));
        QCOMPARE(tableRows("meter4").size(), 200);
        QCOMPARE(tag(-1), QString());
        onNextModal("QInputDialog", [](QWidget *dialog) {
            static_cast<QInputDialog *>(dialog)->setTextValue("Cold room 3");
            static_cast<QDialog *>(dialog)->accept();
        });
        action(window, "actionnameinstrument")->trigger();
        QVERIFY2(window.windowTitle().startsWith("Cold room 3 - "), qPrintable(window.windowTitle()));

        // Back: the first instrument's records, meter, window and tag, its page opened from the start page.
        emit window.findChild<QMenu *>("menuRecentInstruments")->aboutToShow();
        QCOMPARE(window.findChild<QMenu *>("menuRecentInstruments")->actions().size(), 2);
        QAction *back = window.findChild<QMenu *>("menuRecentInstruments")->actions().at(1);
        QCOMPARE(back->text(), QDir::toNativeSeparators(first));
        back->trigger();
        QCOMPARE(dataFolder(), first);
        QCOMPARE(Meter, 12);
        QVERIFY(window.windowTitle().startsWith(QFileInfo(first).fileName() + " - "));
        QTRY_VERIFY(window.findChild<QLabel *>("startDetails")->text().contains("Records: 300"));
        click(window.findChild<QWidget *>("startPage"), "startTable");
        QCOMPARE(shownWindow(window.currentPage()), firstWindow);
        QCOMPARE(tag(0), QString("Boiler 2 outlet"));
        QCOMPARE(tableRows("meter12").size(), 300);

        // The cold room's humidity over the whole window: every record of it
        // drawn on the same time axis, on an axis of its own when its range
        // lies outside the channel's; nothing of its folder written.
        const auto digest = [&] {
            QCryptographicHash hash(QCryptographicHash::Sha256);
            for (const char *name : {"/record.db", "/Sundrevale.Config"}) {
                QFile file(second + name);
                file.open(QIODevice::ReadOnly);
                hash.addData(file.readAll());
            }
            return hash.result();
        };
        const QByteArray untouched = digest();
        action(window, "actioncart")->trigger();
        auto *chart = qobject_cast<ChartPage *>(window.currentPage());
        QCustomPlot *plot = chart->chart();
        chart->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
        setWindow(chart, Start, Start.addSecs(60 * 400));
        tickChannel(chart, 0);
        click(chart, "pushButton");
        onNextModal("OtherChannelDialog", [&](QWidget *dialog) {
            auto *instruments = dialog->findChild<QComboBox *>("otherInstrument");
            QCOMPARE(instruments->currentData().toString(), second); // the recent one, not this one
            auto *columns = dialog->findChild<QComboBox *>("otherColumn");
            QCOMPARE(columns->currentText(), QString("Temperature"));
            columns->setCurrentIndex(1);
            static_cast<QDialog *>(dialog)->accept();
        });
        const auto drawnGraph = [&plot](const QString &name) -> QCPGraph * {
            for (int i = 0; i < plot->graphCount(); ++i)
                if (plot->graph(i)->name() == name && plot->graph(i)->dataCount() > 0)
                    return plot->graph(i);
            return nullptr;
        };
        action(window, "actionaddotherchannel")->trigger(); // read with the span shown, beside the window
        QTRY_VERIFY(drawnGraph("Cold room 3: Humidity"));
        QCPGraph *other = drawnGraph("Cold room 3: Humidity");
        QCOMPARE(other->dataCount(), 200);
        struct { double lower = 1e9, upper = -1e9; void expand(double x) { lower = qMin(lower, x), upper = qMax(upper, x); } } own, theirs;
        for (int k = 0; k < 300; ++k) {
            bool number = false;
            const double x = pvField(12, k, 0).toDouble(&number);
            if (number)
                own.expand(x);
        }
        for (int k = 0; k < 200; ++k) {
            bool number = false;
            const double x = humidityField(k).toDouble(&number);
            const auto point = other->data()->at(k);
            QCOMPARE(point->key, double(Start.addSecs(60 * k).toSecsSinceEpoch()));
            QVERIFY(number ? point->value == x : std::isnan(point->value));
            if (number)
                theirs.expand(x);
        }
        QVERIFY(theirs.lower < own.lower || theirs.upper > own.upper);
        QVERIFY(other->valueAxis()->visible() && other->valueAxis()->axisType() == QCPAxis::atRight
                    && other->valueAxis()->label() == "Cold room 3: Humidity, %RH");
        // Its temperature, within the channel's range, shares the channel's axis.
        onNextModal("OtherChannelDialog", [&](QWidget *dialog) { static_cast<QDialog *>(dialog)->accept(); });
        action(window, "actionaddotherchannel")->trigger();
        QTRY_VERIFY(drawnGraph("Cold room 3: Temperature"));
        QCOMPARE(drawnGraph("Cold room 3: Temperature")->valueAxis(), plot->yAxis);
        QCOMPARE(chart->otherReadPaths(), QStringList({"the records", "the records"}));
        QStringList legend;
        for (int i = 0; i < plot->legend->itemCount(); ++i)
            legend << static_cast<QCPPlottableLegendItem *>(plot->legend->item(i))->plottable()->name();
        QCOMPARE(legend, QStringList({"CH1", "Cold room 3: Humidity", "Cold room 3: Temperature"}));
        // An axis per channel, the channel's held to the fixed range of its limits.
        for (const QString to : {"", "150"}) {
            QString told;
            onNextModal("LimitsDialog", [&](QWidget *dialog) {
                auto *table = dialog->findChild<QTableWidget *>("limitsTable");
                table->item(0, 2)->setText("°C");
                table->item(0, 5)->setText(""); // no dead-band
                table->item(0, 7)->setText("-50");
                table->item(0, 8)->setText(to);
                if (to.isEmpty())
                    answerMessage(&told);
                static_cast<QDialog *>(dialog)->accept();
                if (to.isEmpty())
                    QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            });
            action(window, "actionlimits")->trigger();
            QCOMPARE(told, to.isEmpty() ? QString("CH1 PV: a fixed axis needs both ends, the first below the second.") : QString());
        }
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 150)); // shared with the temperature within the channel's values
        QCOMPARE(drawnGraph("Cold room 3: Temperature")->valueAxis(), plot->yAxis);
        QCOMPARE(drawnGraph("Cold room 3: Humidity")->valueAxis()->axisType(), QCPAxis::atRight);
        QString again;
        onNextModal("OtherChannelDialog", [&](QWidget *dialog) {
            answerMessage(&again);
            static_cast<QDialog *>(dialog)->accept();
        });
        action(window, "actionaddotherchannel")->trigger();
        QCOMPARE(again, QString("Cold room 3: Temperature is on the chart already."));
        QCOMPARE(UserState::channelLimits(limitsKey(meterFamily(1), Meter, 0, 0)).deadBand, 0.0);
        auto *axes = chart->findChild<QComboBox *>("valueAxes");
        QVERIFY(axes->isVisible());
        axes->setCurrentIndex(1);
        emit axes->activated(1);
        QCOMPARE(plot->graph(0)->valueAxis(), plot->yAxis);
        QCOMPARE(plot->yAxis->range(), QCPRange(-50, 150));
        QCOMPARE(plot->yAxis->label(), QString("CH1 PV (Boiler 2 outlet), °C"));
        QVERIFY(other->valueAxis() != plot->yAxis && other->valueAxis()->range().contains(theirs.lower)
                && other->valueAxis()->range().contains(theirs.upper));
        QVERIFY(UserState::axisPerChannel());
        // Ticked after the draw, CH2 is not drawn: the axes still name what is.
        tickChannel(chart, 1);
        axes->setCurrentIndex(0);
        emit axes->activated(0);
        axes->setCurrentIndex(1);
        emit axes->activated(1);
        QCOMPARE(plot->yAxis->label(), QString("CH1 PV (Boiler 2 outlet), °C"));
        QCOMPARE(plot->axisRect()->axes(QCPAxis::atLeft).size() + plot->axisRect()->axes(QCPAxis::atRight).size(), 4);
        // The whole window off and on keeps them, the table and back too; Generate Graph draws them again.
        chart->findChild<QCheckBox *>("wholeWindow")->setChecked(false);
        QVERIFY(!drawnGraph("Cold room 3: Humidity") && plot->yAxis->label().isEmpty());
        chart->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
        action(window, "actionsearch")->trigger();
        action(window, "actioncart")->trigger();
        chart = qobject_cast<ChartPage *>(window.currentPage());
        plot = chart->chart();
        QVERIFY(chart->findChild<QCheckBox *>("wholeWindow")->isChecked());
        tickChannel(chart, 0);
        pressChannel(chart, 1); // CH1 alone again
        click(chart, "pushButton");
        QVERIFY(drawnGraph("Cold room 3: Humidity") && drawnGraph("Cold room 3: Temperature"));
        other = drawnGraph("Cold room 3: Humidity");
        // A folder that cannot be read is named with the reason; the rest is drawn.
        QVERIFY(QFile::rename(second + "/record.db", second + "/record.db.away"));
        QString told;
        answerMessage(&told);
        click(chart, "pushButton");
        QTRY_VERIFY(!told.isEmpty());
        QVERIFY2(told.startsWith("Cold room 3: Humidity could not be read: there is no record.db in "), qPrintable(told));
        QCOMPARE(plot->graph(0)->dataCount(), 300);
        QVERIFY(QFile::rename(second + "/record.db.away", second + "/record.db"));
        action(window, "actionremoveotherchannels")->trigger();
        QVERIFY(!plot->hasPlottable(other) && plot->axisRect()->axes(QCPAxis::atRight).size() == 1
                && !action(window, "actionremoveotherchannels")->isEnabled());
        QCOMPARE(digest(), untouched);

        // A folder opened once, then gone: greyed with the reason, after a restart too.
        open(gone);
        QDir(gone).removeRecursively();
        open(first);
        MainWindow restarted;
        auto *recent = restarted.findChild<QMenu *>("menuRecentInstruments");
        emit recent->aboutToShow();
        QStringList entries;
        for (QAction *entry : recent->actions())
            entries << QString("%1%2").arg(entry->text()).arg(entry->isEnabled() ? "" : " [off]");
        QCOMPARE(entries, QStringList({QDir::toNativeSeparators(first) + " [off]",
                                       QDir::toNativeSeparators(gone) + ": the folder is gone [off]",
                                       QString("Cold room 3 (%1)").arg(QDir::toNativeSeparators(second))}));
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
            if (auto *plot = page->findChild<QCustomPlot *>()) {
                QVERIFY2(plot->height() >= 300, qPrintable(QString::number(plot->height())));
                // Labelled once, below and on the left; the frame's other sides carry ticks only.
                QVERIFY(plot->xAxis->tickLabels() && plot->yAxis->tickLabels());
                QVERIFY(plot->xAxis2->visible() && !plot->xAxis2->tickLabels() && plot->yAxis2->visible() && !plot->yAxis2->tickLabels());
            }
            QVERIFY2(unlaidWidgets(page).isEmpty(), qPrintable(unlaidWidgets(page).join(", ")));
            if (auto *channels = page->findChild<QTableWidget *>("tablechaddr")) { // a channel chosen marks its row alone
                const QImage chosen = channels->horizontalHeader()->grab().toImage();
                channels->clearSelection();
                QCOMPARE(channels->horizontalHeader()->grab().toImage(), chosen);
            }
            if (auto *whole = page->findChild<QCheckBox *>("wholeWindow")) {
                whole->setChecked(true);
                QVERIFY2(unlaidWidgets(page).isEmpty(), qPrintable(unlaidWidgets(page).join(", ")));
                whole->setChecked(false);
            }
        }
    }

    // Tags and limits, set through the menu and kept beside the settings:
    // the summary names the tag and gives the mean kinetic temperature of
    // a column in °C; both charts draw the limits dashed in the channel's colour.
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
        // However small the step, the labels stand two label heights apart at least.
        QCustomPlot *plot = page->findChild<QCustomPlot *>();
        plot->replot();
        const int labelHeight = QFontMetrics(plot->yAxis->tickLabelFont()).height();
        QVERIFY(fixed->tickCount() >= 2 && fixed->tickCount() <= qMax(2, plot->axisRect()->height() / (2 * labelHeight)));
    }
};

SUNDREVALE_TEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
