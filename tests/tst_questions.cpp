#include "chartpage.h"
#include "recordpage.h"
#include "mainwindow.h"
#include "testsupport.h"
#include "userstate.h"
#include "wallclock.h"

#include <QComboBox>
#include <QCryptographicHash>
#include <QLineEdit>
#include <QPrintDialog>
#include <QScopeGuard>
#include <qcustomplot.h>

using namespace TestSupport;

namespace {

// The text of a PDF in the order it was written, pages apart by form feeds.
QString pdfText(const QString &path)
{
    QProcess pdftotext;
    pdftotext.start("pdftotext", {"-raw", "-enc", "UTF-8", path, "-"});
    if (!pdftotext.waitForFinished(30000))
        return QString();
    return QString::fromUtf8(pdftotext.readAllStandardOutput());
}

// The cells of a list as shown, made only as they are asked for.
QStringList rowCells(const QTableView *list, int row, const QList<int> &columns)
{
    QStringList cells;
    for (int c : columns)
        cells << list->model()->index(row, c).data().toString();
    return cells;
}

void clickRow(QTableView *list, int row)
{
    const QModelIndex index = list->model()->index(row, 0);
    list->scrollTo(index);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(index).center());
}

using Span = std::pair<qint64, qint64>; // naive seconds

Span spanOfRow(const QString &start, const QString &end)
{
    return {naiveSeconds(QDateTime::fromString(start, "yyyy-MM-dd hh:mm:ss")),
            naiveSeconds(QDateTime::fromString(end.left(19), "yyyy-MM-dd hh:mm:ss"))};
}

// The shades drawn, `pick`ed among them, as spans.
QList<Span> shadeSpans(QCustomPlot *plot, const std::function<bool(const QCPItemRect *)> &pick)
{
    QList<Span> spans;
    for (auto *shade : plot->findChildren<QCPItemRect *>("excursionShade"))
        if (pick(shade))
            spans << Span{naiveSecondsOfKey(qRound64(shade->topLeft->coords().x())),
                          naiveSecondsOfKey(qRound64(shade->bottomRight->coords().x()))};
    return spans;
}

// What is wrong with the shades of the excursions `listed`: each listed in
// the span shown lies under a shade, and a shade reaches from one's start
// to one's end. Empty: nothing.
QString shadesAmiss(const QList<Span> &shades, const QList<Span> &listed, const QCPRange &shown)
{
    if (shades.isEmpty() || shades.size() > listed.size())
        return QString("%1 shades of %2 excursions").arg(shades.size()).arg(listed.size());
    QSet<qint64> starts, ends;
    for (const Span &e : listed) {
        starts << e.first, ends << e.second;
        const bool inView = localTimeKey(e.second) >= shown.lower && localTimeKey(e.first) <= shown.upper;
        if (inView && std::none_of(shades.cbegin(), shades.cend(), [&](const Span &s) { return s.first <= e.first && e.second <= s.second; }))
            return QString("%1 to %2 not shaded").arg(stampText(e.first), stampText(e.second));
    }
    for (const Span &s : shades)
        if (!starts.contains(s.first) || !ends.contains(s.second))
            return QString("a shade from %1 to %2").arg(stampText(s.first), stampText(s.second));
    return QString();
}

} // namespace

// The questions a QA engineer asks of a window through the real window:
// limits and tags, excursions, periods, cursors and the instrument's alarms,
// against the figures written out from the generated records.
class TestQuestions : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init() { startWithSmallPages(); }

    void cleanup()
    {
        closeModals();
        QSettings(QSettings::NativeFormat, QSettings::UserScope, "Sundrevale", "SundrevaleReader").remove("limits");
        QVERIFY(!QApplication::activeModalWidget());
    }

    void limitsAndTags()
    {
        runImport({recordFile(QDir(dir.path()), 12, 300)});
        const QString settings = readTextFile();
        MainWindow window;
        window.show();
        QWidget *page = searchedPage(window, "actionsearch");
        QString told;
        const auto setLimits = [&](const QStringList &cells, bool refused) { // of the rows CH1 PV and CH2 PV
            onNextModal("LimitsDialog", [&, cells, refused](QWidget *dialog) {
                auto *table = dialog->findChild<QTableWidget *>("limitsTable");
                for (int i = 0; i < cells.size(); ++i)
                    table->item(i / 6, 1 + i % 6)->setText(cells.at(i));
                if (refused)
                    answerMessage(&told);
                static_cast<QDialog *>(dialog)->accept();
                QCOMPARE(dialog->isVisible(), refused);
                if (refused) // told why; given up
                    QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
            });
            action(window, "actionlimits")->trigger();
        };
        setLimits({"Boiler 2 outlet", "°C", "-4", "30", "0.5", "10", "", "", "", "abc", "0", "0"}, true);
        QCOMPARE(told, QString("CH2 PV, Upper limit: \"abc\" is not a number."));
        setLimits({"Boiler 2 outlet", "°C", "-4", "30", "0.5", "10", "", "", "31", "30", "0", "0"}, true);
        QCOMPARE(told, QString("CH2 PV: the lower limit must lie below the upper one."));
        setLimits({"Boiler 2 outlet", "°C", "-4", "30", "0.5", "10"}, false);
        QVERIFY2(shownSummary(page).contains(QRegularExpression("^Records \\d+ · CH1 PV \\(Boiler 2 outlet\\): min .*, MKT [-.\\d]+ °C · HH")),
                 qPrintable(shownSummary(page)));
        QCOMPARE(readTextFile(), settings);

        // The excursions written out: a record beyond a limit (or a marker)
        // opens one, a record not beyond it by the dead-band ends it.
        const auto beyond = [](const QString &v, int kind, double band) { // above, below, HH, LL
            bool number = false;
            const double x = v.toDouble(&number);
            return kind == 0 ? number && x > 30 - band : kind == 1 ? number && x < -4 + band : v == (kind == 2 ? "HH" : "LL");
        };
        const QStringList kinds{"above the upper limit", "below the lower limit", "HH", "LL"};
        QStringList expected;
        int open = -1, records = 0;
        qint64 start = 0, last = 0;
        const auto stamp = [](qint64 t) { return Start.addSecs(t).toString("yyyy-MM-dd hh:mm:ss"); };
        for (int k = 0; k <= 300; ++k) {
            const QString v = pvField(12, k, 0);
            if (k < 300 && NoReading.contains(v) && v != "HH" && v != "LL")
                continue;
            if (k < 300 && open >= 0 && beyond(v, open, 0.5)) {
                last = 60 * k, ++records;
                continue;
            }
            const qint64 end = k < 300 ? 60 * k : last;
            if (open >= 0 && end - start >= 10) // the delay
                expected << QString("%1|%2|%3%4|%5").arg(kinds.at(open), stamp(start), stamp(end), k < 300 ? "" : " (cut)").arg(records);
            open = -1;
            for (int kind = 0; k < 300 && kind < 4 && open < 0; ++kind)
                if (beyond(v, kind, 0))
                    open = kind, start = last = 60 * k, records = 1;
        }
        QVERIFY(expected.size() > 20 && expected.filter("HH").size() > 5);
        click(page, "excursionsButton");
        auto *list = page->findChild<QTableView *>("excursionTable");
        QVERIFY(list->isVisible());
        const auto counted = [&](const char *kind) { return expected.filter(QRegularExpression(QString("^%1\\|").arg(kind))).size(); };
        QCOMPARE(page->findChild<QLabel *>("excursionTotals")->text().section('\n', 0, 0),
                 QString("CH1 PV (Boiler 2 outlet): above %1, below %2, HH %3, LL %4, gaps 0") // no alarms on this family
                     .arg(counted("above the upper limit")).arg(counted("below the lower limit")).arg(counted("HH")).arg(counted("LL")));
        QVERIFY2(unlaidWidgets(page).isEmpty(), qPrintable(unlaidWidgets(page).join(", ")));
        const QLabel *totals = page->findChild<QLabel *>("excursionTotals"); // its lines are not wrapped: none is cut
        for (const QString &line : totals->text().split('\n'))
            QVERIFY2(totals->fontMetrics().horizontalAdvance(line) <= totals->contentsRect().width(),
                     qPrintable(QString("%1 of %2 px: %3").arg(totals->fontMetrics().horizontalAdvance(line)).arg(totals->width()).arg(line)));
        QStringList shown;
        for (int r = 0; r < list->model()->rowCount(); ++r)
            shown << rowCells(list, r, {1, 2, 3, 7}).join('|');
        QCOMPARE(shown, expected);
        // A click shows the excursion's first record on its page.
        const int above = int(shown.indexOf(QRegularExpression("^above.*")));
        clickRow(list, above);
        auto *rows = page->findChild<QTableWidget *>("tabled");
        QCOMPARE(rows->item(rows->currentRow(), rows->columnCount() - 1)->text(),
                 QString(rowCells(list, above, {2}).constFirst()).replace('-', '/'));

        // Limits changed: the list shown is found again with them, never left as it was.
        const auto listedKinds = [&] {
            QStringList listed;
            for (int r = 0; r < list->model()->rowCount(); ++r)
                listed << rowCells(list, r, {1, 2, 3, 7}).join('|');
            return listed;
        };
        setLimits({"Boiler 2 outlet", "°C", "-1000", "1000", "0.5", "10"}, false);
        QCOMPARE(listedKinds(), expected.filter(QRegularExpression("^(HH|LL)\\|")));
        setLimits({"Boiler 2 outlet", "°C", "-4", "30", "0.5", "10"}, false);
        QCOMPARE(listedKinds(), expected);

        // By hour: the records, extremes, mean and MKT of each, its markers,
        // the excursions that start in it; exported as shown.
        QMap<QString, QStringList> hours;
        for (int k = 0; k < 300; ++k)
            hours[Start.addSecs(60 * k).toString("yyyy-MM-dd hh:00")] << pvField(12, k, 0);
        click(page, "periodsButton");
        QTest::keyClick(page->findChild<QComboBox *>("periodLength"), Qt::Key_Up); // from Day to Hour
        auto *periods = page->findChild<QTableView *>("periodTable");
        QCOMPARE(periods->model()->rowCount(), hours.size());
        qint64 outside = 0, listedOutside = 0; // split among the hours, nothing lost
        for (int r = 0; r < periods->model()->rowCount(); ++r)
            outside += QTime(0, 0).secsTo(QTime::fromString(rowCells(periods, r, {10}).constFirst()));
        for (const QString &e : std::as_const(expected))
            listedOutside += QDateTime::fromString(e.section('|', 1, 1), "yyyy-MM-dd hh:mm:ss")
                                 .secsTo(QDateTime::fromString(e.section('|', 2, 2).left(19), "yyyy-MM-dd hh:mm:ss"));
        QCOMPARE(outside, listedOutside);
        for (int r = 0; r < periods->model()->rowCount(); ++r) {
            const QString hour = hours.keys().at(r);
            const QStringList &values = hours.value(hour);
            double least = qInf(), most = -qInf(), sum = 0, kinetic = 0;
            int numbers = 0;
            for (const QString &v : values) {
                if (NoReading.contains(v))
                    continue;
                const double x = v.toDouble();
                least = qMin(least, x), most = qMax(most, x), sum += x, ++numbers;
                kinetic += std::exp(-10000 / (x + 273.15));
            }
            const QStringList expectedRow{hour, QString::number(values.size()), QString::number(least),
                                          QString::number(most), QString::number(sum / numbers, 'g', 6),
                                          QString::number(10000 / -std::log(kinetic / numbers) - 273.15, 'g', 6),
                                          QString::number(values.count("HH")), QString::number(values.count("LL")),
                                          QString::number(expected.filter(QRegularExpression("^[^|]+\\|" + hour.chopped(2))).size())};
            QCOMPARE(rowCells(periods, r, {1, 2, 3, 4, 5, 6, 7, 8, 9}), expectedRow);
        }
        const QString exported = dir.filePath("periods.csv");
        saveAs(exported);
        answerMessage(&told);
        click(page, "periodExport");
        QCOMPARE(told, QString("%1 periods exported to %2").arg(hours.size()).arg(exported));
        const QStringList lines = readTextFile(exported).split("\r\n");
        QCOMPARE(lines.at(0), QString("Value,Period,Records,Min,Max,Mean,MKT,HH,LL,Excursions,Outside,Without records"));
        QCOMPARE(lines.at(1).section(',', 1, 2), QString("\"%1\",\"%2\"").arg(hours.firstKey()).arg(hours.first().size()));

        for (const bool whole : {false, true}) {
            page = searchedPage(window, "actioncart");
            page->findChild<QCheckBox *>("wholeWindow")->setChecked(whole);
            click(page, "pushButton"); // drawn the way chosen
            auto *plot = page->findChild<QCustomPlot *>();
            QList<double> limits;
            for (auto *line : plot->findChildren<QCPItemStraightLine *>("limitLine")) {
                QVERIFY(line->pen().style() == Qt::DashLine && line->pen().color() == ChartPage::channelColour(0));
                QCOMPARE(line->point1->valueAxis(), plot->graph(0)->valueAxis());
                limits << line->point1->coords().y();
            }
            QCOMPARE(limits, QList<double>({-4, 30}));
            // Listed on the chart, the excursions are shaded there too.
            click(page, "excursionsButton");
            // Those a pixel apart drawn as one, in the span shown, dragged or not.
            QList<Span> listedSpans;
            for (const QString &row : std::as_const(shown))
                listedSpans << spanOfRow(row.section('|', 1, 1), row.section('|', 2, 2));
            const auto all = [](const QCPItemRect *) { return true; };
            for (const double shift : {0.0, 0.4}) {
                plot->xAxis->moveRange(shift * plot->xAxis->range().size());
                plot->replot();
                QTRY_VERIFY2(shadesAmiss(shadeSpans(plot, all), listedSpans, plot->xAxis->range()).isEmpty(),
                             qPrintable(shadesAmiss(shadeSpans(plot, all), listedSpans, plot->xAxis->range())));
            }
            if (whole) { // a row centres the whole window on its start
                clickRow(page->findChild<QTableView *>("excursionTable"), 0);
                QCOMPARE(stampText(naiveSecondsOfKey(qRound64(plot->xAxis->range().center()))), shown.first().section('|', 1, 1));
                QVERIFY(page->findChild<QCheckBox *>("wholeWindow")->isChecked());
            }
            // Cursors A and B half a minute after records 40 and 150: the figures of records 41 to 150.
            for (const auto &[k, modifier] : {std::pair{40, Qt::ShiftModifier}, std::pair{150, Qt::ControlModifier}}) {
                const double key = double(localTimeKey(naiveSeconds(Start.addSecs(60 * k + 30))));
                QTest::mouseClick(plot, Qt::LeftButton, modifier,
                                  QPoint(qRound(plot->xAxis->coordToPixel(key)), plot->axisRect()->center().y()));
            }
            double least = qInf(), most = -qInf();
            for (int k = 41; k <= 150; ++k)
                if (!NoReading.contains(pvField(12, k, 0)))
                    least = qMin(least, pvField(12, k, 0).toDouble()), most = qMax(most, pvField(12, k, 0).toDouble());
            for (const char *name : {"cursorA", "cursorB"})
                QVERIFY2(plot->findChild<QCPItemStraightLine *>(name)->visible(), name);
            for (const char *name : {"cursorNameA", "cursorNameB"})
                QVERIFY2(plot->findChild<QCPItemText *>(name)->visible(), name);
            const QStringList figures = page->findChild<QLabel *>("cursorFigures")->text().split('\n');
            QCOMPARE(figures.value(0).left(18), "A " + Start.addSecs(60 * 40).toString("yyyy-MM-dd hh:mm")); // within a pixel
            QVERIFY2(figures.value(1).startsWith("CH1 PV (Boiler 2 outlet): Δ ")
                         && figures.value(1).contains(QString(" · records 110 · min %1 °C · max %2 °C").arg(least).arg(most)),
                     qPrintable(figures.join('\n')));
        }
    }

    // The report of a searched window, from either page, as pdftotext reads
    // it: every figure against the generated records, the pages numbered, the
    // file's SHA-256 as sha256sum gives it, a digest of the records stored
    // that follows every stored value; then printed to a PDF printer.
    void report_data()
    {
        QTest::addColumn<int>("model");
        QTest::addColumn<QString>("view");
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("pageSize"); // as pdfinfo gives it
        QTest::newRow("controller, table, Letter") << 12 << "actionsearch" << "en_US" << "612 x 792 pts (letter)";
        QTest::newRow("temperature and humidity, chart, A4") << 3 << "actioncart" << "de_DE" << "595 x 842 pts (A4)";
    }
    void report()
    {
        QFETCH(int, model);
        QFETCH(QString, view);
        QFETCH(QString, locale);
        QFETCH(QString, pageSize);
        const QLocale before;
        QLocale::setDefault(QLocale(locale));
        const auto restoreLocale = qScopeGuard([before] { QLocale::setDefault(before); });
        const QString file = recordFile(QDir(dir.path()), model, 300);
        runImport({file});
        if (model == 12)
            UserState::setChannelLimits(limitsKey(meterFamily(1), 12, 0, 0), {QString(), QString(), -4, 30, 0.5, 10});
        MainWindow window;
        window.show();
        action(window, view.toLatin1().constData())->trigger();
        QWidget *page = window.currentPage();
        setWindow(page, Start, Start.addSecs(60 * 400));
        setRanges(page, "-99999", "99999");
        tickChannel(page, 0);
        click(page, "pushButton");
        const QString pdf = dir.filePath(QString("report%1.pdf").arg(model));
        saveAs(pdf);
        click(page, "reportButton");
        const QStringList pages = pdfText(pdf).split('\f', Qt::SkipEmptyParts);
        const QString text = QStringList(pages).join(' ').simplified();
        QVERIFY(pages.size() >= 2);
        QProcess info;
        info.start("pdfinfo", {pdf});
        QVERIFY(info.waitForFinished());
        const QString size = QString::fromLatin1(info.readAllStandardOutput()).section("Page size:", 1).section('\n', 0, 0);
        QCOMPARE(size.trimmed(), pageSize);
        for (int i = 0; i < pages.size(); ++i)
            QVERIFY2(pages.at(i).contains(QString("Page %1 of %2").arg(i + 1).arg(pages.size())), qPrintable(pages.at(i)));

        // Each value column's figures, written out from the records.
        const QStringList names = model == 3 ? QStringList{"Temperature", "Humidity"} : QStringList{"CH1 PV"};
        for (int column = 0; column < names.size(); ++column) {
            const QString unit = model == 3 ? QStringList{" °C", " %RH"}.at(column) : QString();
            QStringList values;
            for (int k = 0; k < 300; ++k)
                values << (column == 0 ? pvField(model, k, 0) : humidityField(k));
            double least = qInf(), most = -qInf(), sum = 0, kinetic = 0;
            int numbers = 0, leastAt = 0, mostAt = 0;
            for (int k = 0; k < 300; ++k) {
                if (NoReading.contains(values.at(k)))
                    continue;
                const double x = values.at(k).toDouble();
                if (x < least)
                    least = x, leastAt = k;
                if (x > most)
                    most = x, mostAt = k;
                sum += x, ++numbers, kinetic += std::exp(-10000 / (x + 273.15));
            }
            const auto at = [](int k) { return Start.addSecs(60 * k).toString("yyyy-MM-dd hh:mm:ss"); };
            const QString mkt = unit == " °C" ? QString::number(10000 / -std::log(kinetic / numbers) - 273.15, 'g', 6) + unit + " " : QString();
            const QString row = QString("%1 300 %2%3 %4 %5%3 %6 %7%3 %8%9 %10 %11")
                                    .arg(names.at(column)).arg(least).arg(unit).arg(at(leastAt)).arg(most).arg(at(mostAt))
                                    .arg(QString::number(sum / numbers, 'g', 6), mkt)
                                    .arg(values.count("HH")).arg(values.count("LL"))
                                    .arg(300 - numbers - values.count("HH") - values.count("LL"));
            QVERIFY2(text.contains(row), qPrintable(row + "\n" + text.left(3000)));
        }
        // The source: the file with its SHA-256, and the records of the window.
        QProcess sum;
        sum.start("sha256sum", {file});
        QVERIFY(sum.waitForFinished());
        const QString digest = QString::fromLatin1(sum.readAllStandardOutput()).section(' ', 0, 0);
        QVERIFY2(text.contains("20240301.CSV") && text.contains("SHA-256 " + digest), qPrintable(text.right(2000)));
        QVERIFY(text.contains("Records of the window: 300."));
        QVERIFY(text.contains("Reviewed by") && text.contains("Approved by"));
        const QString limitsLine = model == 12 ? "CH1 PV lower -4, upper 30, dead-band 0.5, delay 10 s"
                                               : "Temperature lower none, upper none, dead-band 0 °C, delay 0 s";
        QVERIFY2(text.contains(limitsLine), qPrintable(text.left(1500)));
        QVERIFY2(text.contains("Written " + QDate::currentDate().toString("yyyy-MM-dd ")), qPrintable(text.left(1500)));

        // The records' digest stays with the records and changes with one value.
        const auto recordsDigest = [&] {
            QString error;
            const QString again = dir.filePath("again.pdf");
            [&] { QVERIFY2(static_cast<RecordPage *>(page)->reportTo(again, PeriodLength::Day, &error), qPrintable(error)); }();
            return pdfText(again).simplified().section("as stored: ", 1).section(' ', 0, 0);
        };
        const QString stored = recordsDigest();
        QCOMPARE(stored.size(), 64);
        QVERIFY(text.contains(stored));
        QCOMPARE(recordsDigest(), stored);
        // The same tables as CSV: a row per value, excursion, period and file.
        QString error;
        const QString csv = dir.filePath("tables.csv");
        QVERIFY2(static_cast<RecordPage *>(page)->reportTo(csv, PeriodLength::Day, &error), qPrintable(error));
        const QStringList tables = readTextFile(csv).split("\r\n");
        QVERIFY(tables.contains(QString("\"20240301.CSV\",\"%1\",\"300\",\"300\",\"%2\",\"none\"").arg(QFileInfo(file).size()).arg(digest)));
        QVERIFY(tables.last().isEmpty() && tables.at(tables.size() - 2).endsWith(QString("\"300\",\"300\",\"%1\",\"\"").arg(stored)));
        for (const QString &name : names)
            QCOMPARE(tables.filter(QRegularExpression(QString("^\"%1\",\"300\",").arg(name))).size(), 1);
        changeDatabase(QString("update %1 set indate = indate where rowid = 5").arg(model == 3 ? "meter4" : "meter12"));
        QCOMPARE(recordsDigest(), stored);
        changeDatabase(QString("update %1 set %2 = '17.5' where rowid = 5").arg(model == 3 ? "meter4" : "meter12", model == 3 ? "H_value" : "sv1"));
        QVERIFY(recordsDigest() != stored);

        // Files imported by a version that kept no SHA-256 say so; an
        // addition to such records keeps the new file's.
        changeDatabase("alter table imported_files drop column sha256; alter table imported_files drop column skipped");
        QVERIFY(recordsDigest().size() == 64);
        QVERIFY(pdfText(dir.filePath("again.pdf")).simplified().contains("SHA-256 not recorded Lines skipped: 0 (reasons not recorded)"));
        QStringList later;
        for (int k = 300; k < 360; ++k)
            later << recordFields(model, k).join(',');
        const QString added = writeRecordFolder(QDir(dir.path()), QString("later%1").arg(model), QString::number(model),
                                                {{"20240302.CSV", later}}) + "/20240302.CSV";
        window.addPaths({added});
        closeModals();
        recordsDigest();
        sum.start("sha256sum", {added});
        QVERIFY(sum.waitForFinished());
        const QString addedText = pdfText(dir.filePath("again.pdf")).simplified();
        QVERIFY2(addedText.contains("SHA-256 not recorded") && addedText.contains(QString("20240302.CSV %1 60 60").arg(QFileInfo(added).size()))
                     && addedText.contains("SHA-256 " + QString::fromLatin1(sum.readAllStandardOutput()).section(' ', 0, 0))
                     && addedText.contains("Records of the window: 360."), qPrintable(addedText.section("Source", -1)));

        // Printed to a file through the print dialog.
        const QString printed = dir.filePath("printed.pdf");
        onNextModal("QPrintDialog", [printed](QWidget *dialog) {
            auto *print = static_cast<QPrintDialog *>(dialog);
            if (auto *name = dialog->findChild<QLineEdit *>("filename"))
                name->setText(printed);
            print->printer()->setOutputFileName(printed);
            print->accept();
        });
        click(page, "printButton");
        QVERIFY(pdfText(printed).contains(QString("Page 1 of")));
    }

    // The alarm meter's own alarms: each run listed with its set value, and
    // drawn on the chart as a band along the bottom, a row per alarm.
    void instrumentAlarms()
    {
        importModel(QDir(dir.path()), 4, 300);
        MainWindow window;
        window.show();
        const auto stamp = [](int minute) { return Start.addSecs(60 * minute).toString("yyyy-MM-dd hh:mm:ss"); };
        QStringList expected;
        for (int k = 0; k < 300; ++k)
            for (int a = 1; a <= 8; ++a)
                if (recordFields(4, k).at(2 * a) == "01") // on for one record at a time
                    expected << QString("ALM%1|%2|%3|set %4").arg(a).arg(stamp(k), stamp(k + 1)).arg(10 * a);
        for (const char *view : {"actionsearch", "actioncart"}) {
            QWidget *page = searchedPage(window, view);
            click(page, "excursionsButton");
            auto *list = page->findChild<QTableView *>("excursionTable");
            QStringList shown;
            for (int r = 0; r < list->model()->rowCount(); ++r)
                if (rowCells(list, r, {1}).constFirst().startsWith("ALM"))
                    shown << rowCells(list, r, {1, 2, 3, 5}).join('|');
            QCOMPARE(shown, expected);
        }
        // A band for each alarm number.
        auto *plot = window.currentPage()->findChild<QCustomPlot *>();
        for (int a = 1; a <= 8; ++a) {
            QList<Span> listed;
            for (const QString &row : expected.filter(QString("ALM%1|").arg(a)))
                listed << spanOfRow(row.section('|', 1, 1), row.section('|', 2, 2));
            const QList<Span> banded = shadeSpans(plot, [a](const QCPItemRect *shade) {
                return qRound((1 - shade->topLeft->coords().y()) / ChartPage::AlarmRowHeight) == a;
            });
            QVERIFY2(shadesAmiss(banded, listed, plot->xAxis->range()).isEmpty(),
                     qPrintable(QString("ALM%1: ").arg(a) + shadesAmiss(banded, listed, plot->xAxis->range())));
        }
    }
};

SUNDREVALE_TEST_MAIN(TestQuestions)
#include "tst_questions.moc"
