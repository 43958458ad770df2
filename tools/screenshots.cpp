// Renders the main window, every page after a search or chart on the sample
// records, and the dialogs, to PNG files in the folder given.
#include "dialogconfig.h"
#include "dialogmessage.h"
#include "dialogprogress.h"
#include "importreportdialog.h"
#include "limitsdialog.h"
#include "mainwindow.h"
#include "recordpage.h"
#include "testsupport.h"
#include "settings.h"
#include "datafolder.h"
#include "userstate.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QTemporaryDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <qcustomplot.h>
#include <QTimer>
#include <cmath>

using namespace TestSupport;

namespace {

QDir out;

void save(QWidget *w, const QString &name)
{
    QCoreApplication::processEvents();
    w->grab().save(out.filePath(name + ".png"));
}

void fillCriteria(QWidget *page)
{
    setWindow(page, QDateTime(QDate(2024, 3, 1), QTime(0, 0)), QDateTime(QDate(2024, 3, 2), QTime(6, 0)));
    setRanges(page, "-1", "99999");
    tickChannel(page, 0); // the table's channel stays ticked on the chart
}

void shootFamily(const QString &folder, int family)
{
    const QString dirPath = QStringLiteral(SAMPLES_DIR) + "/" + folder;
    const QStringList files = QDir(dirPath).entryList({"*.CSV"}, QDir::Files, QDir::Name);
    QStringList paths;
    for (const QString &f : files)
        paths << dirPath + "/" + f;
    freshDatabase();
    runImport(paths);
    MainWindow window;
    window.show();
    if (family == 1) { // what is loaded, before any page
        auto *details = window.findChild<QLabel *>("startDetails");
        if (!QTest::qWaitFor([details] { return details->text().startsWith("Model"); }))
            qWarning("the start page did not read the records");
        save(&window, "start-page");
    }
    window.findChild<QAction *>("actionsearch")->trigger();
    fillCriteria(window.currentPage());
    click(window.currentPage(), "pushButton");
    save(&window, QString("data%1-%2").arg(family).arg(folder));
    if (family == 1) { // the named windows, opened
        auto *presets = window.currentPage()->findChild<QComboBox *>("timePresets");
        presets->showPopup();
        if (QWidget *popup = QApplication::activePopupWidget())
            save(popup, "time-presets");
        presets->hidePopup();
    }
    window.findChild<QAction *>("actioncart")->trigger();
    fillCriteria(window.currentPage());
    click(window.currentPage(), "pushButton");
    save(&window, QString("chart%1-%2").arg(family).arg(folder));
    if (family == 5) { // the instrument's alarms, as a band under the curve
        click(window.currentPage(), "excursionsButton");
        save(&window, QStringLiteral("alarms-chart5"));
    }
    if (family == 2) {
        // What the status bar shows while the sums and the overview are built after an import.
        window.findChild<QWidget *>("preparingLabel")->show();
        save(&window, "summing-up-after-import");
        window.findChild<QWidget *>("preparingLabel")->hide();
    }
    if (family != 2 && family != 4) // the most channels, the most criteria
        return;
    // The smallest window (asked for 500 x 400, it stays at its minimum),
    // with the counter of a year of one-second records.
    const auto yearCounter = [&window] {
        window.currentPage()->findChild<QLabel *>("page_label")->setText(
            QStringLiteral("Record：31536000 ,Pages：63072 of 63072"));
    };
    window.resize(500, 400);
    yearCounter();
    save(&window, QString("minimum-chart%1").arg(family));
    window.findChild<QAction *>("actionsearch")->trigger();
    fillCriteria(window.currentPage());
    click(window.currentPage(), "pushButton");
    yearCounter();
    save(&window, QString("minimum-data%1").arg(family));
}

// Two days of the temperature/humidity meter, both values with limits.
const MeterFamily &importTwoDaysWithLimits()
{
    const QString folder = QStringLiteral(SAMPLES_DIR) + "/temp-humidity";
    freshDatabase();
    runImport({folder + "/20240301.CSV", folder + "/20240302.CSV"});
    const MeterFamily &family = meterFamily(4);
    UserState::setChannelLimits(limitsKey(family, Meter, -1, 0), {"Store room 3", {}, 20, 27, 0.2, 600});
    UserState::setChannelLimits(limitsKey(family, Meter, -1, 1), {"Store room 3", {}, 45, 65, 1, 600});
    return family;
}

// Limits on the temperature/humidity meter's records: the dialog, the
// excursions listed under the table, the limit lines on the chart.
void shootLimits()
{
    const MeterFamily &family = importTwoDaysWithLimits();
    MainWindow window;
    window.resize(1180, 900);
    window.show();
    {
        LimitsDialog dialog(limitedColumns(family, Meter), &window);
        dialog.show();
        save(&dialog, "limits-dialog");
    }
    window.findChild<QAction *>("actionsearch")->trigger();
    fillCriteria(window.currentPage());
    setRanges(window.currentPage(), "", "");
    click(window.currentPage(), "pushButton");
    click(window.currentPage(), "excursionsButton");
    save(&window, "excursions-data4");
    click(window.currentPage(), "periodsButton");
    save(&window, "periods-data4");
    window.findChild<QAction *>("actioncart")->trigger();
    fillCriteria(window.currentPage());
    click(window.currentPage(), "pushButton");
    click(window.currentPage(), "excursionsButton");
    save(&window, "limits-chart4");
    auto *plot = window.currentPage()->findChild<QCustomPlot *>();
    const int middle = plot->axisRect()->center().y();
    QTest::mouseClick(plot, Qt::LeftButton, Qt::ShiftModifier, QPoint(plot->axisRect()->left() + 200, middle));
    QTest::mouseClick(plot, Qt::LeftButton, Qt::ControlModifier, QPoint(plot->axisRect()->left() + 420, middle));
    save(&window, "cursors-chart4");
    for (int value : {0, 1})
        UserState::setChannelLimits(limitsKey(family, Meter, -1, value), {});
}

// A year of the temperature/humidity meter, a record every ten minutes,
// tabulated by day with limits on the temperature.
void shootYearPeriods()
{
    QTemporaryDir root;
    QStringList lines;
    constexpr double Pi = 3.14159265358979;
    for (int k = 0; k < 365 * 144; ++k) {
        QStringList fields = recordFields(3, k);
        const double day = k / 144.0;
        fields[0] = QString::number(23 + 3.5 * std::sin(2 * Pi * day / 365) + 1.5 * std::sin(2 * Pi * day), 'f', 1);
        fields[3] = QString::number(55 + 8 * std::sin(2 * Pi * day / 30), 'f', 1);
        fields.last() = Start.addSecs(600 * k).toString("yyyy-MM-dd hh:mm:ss");
        lines << fields.join(',');
    }
    freshDatabase();
    runImport({writeRecordFolder(QDir(root.path()), "year", "3", {{"20240301.CSV", lines}}) + "/20240301.CSV"});
    const MeterFamily &family = meterFamily(4);
    UserState::setChannelLimits(limitsKey(family, Meter, -1, 0), {"Store room 3", {}, 20, 27, 0.2, 1800});
    MainWindow window;
    window.resize(1180, 900);
    window.show();
    window.findChild<QAction *>("actionsearch")->trigger();
    setWindow(window.currentPage(), Start, Start.addDays(365).addSecs(-1));
    setRanges(window.currentPage(), "", "");
    click(window.currentPage(), "pushButton");
    click(window.currentPage(), "periodsButton");
    save(&window, "periods-year4");
    UserState::setChannelLimits(limitsKey(family, Meter, -1, 0), {});
}

// Two instruments: the imported files of one with the days no file holds,
// the recent list with both named, the start page of a new, empty one.
void shootInstruments()
{
    const QString level = QStringLiteral(SAMPLES_DIR) + "/level-meter";
    QStringList paths;
    for (const QString &name : QDir(level).entryList({"*.CSV"}, QDir::Files, QDir::Name))
        paths << level + "/" + name;
    freshDatabase();
    runImport(paths);
    const QString home = dataFolder();
    UserState::setInstrumentName(home, QStringLiteral("Tank farm level, tank 4"));
    QTemporaryDir other;
    MainWindow window;
    window.show();
    window.showInstrumentTitle();
    onNextModal("ImportedFilesDialog", [](QWidget *dialog) {
        save(dialog, "imported-files");
        QMetaObject::invokeMethod(dialog, "reject", Qt::QueuedConnection);
    });
    window.findChild<QAction *>("actionimportedfiles")->trigger();
    window.openInstrument(other.filePath("cold-room-3"));
    UserState::setInstrumentName(dataFolder(), QStringLiteral("Cold room 3"));
    window.showInstrumentTitle();
    save(&window, "start-empty");
    window.openInstrument(home);
    auto *recent = window.findChild<QMenu *>("menuRecentInstruments");
    recent->popup(window.mapToGlobal(QPoint(40, 40)));
    QTest::qWait(50);
    save(recent, "recent-instruments");
    recent->hide();
    UserState::setInstrumentName(home, QString());
}

// The 2-channel controller's CH1 in the whole window with the cold room's
// temperature and humidity of another data folder laid over it: the shared
// axis, then an axis per channel.
void shootTwoInstruments()
{
    const auto filesOf = [](const QString &folder) {
        const QString dir = QStringLiteral(SAMPLES_DIR) + "/" + folder;
        QStringList paths;
        for (const QString &name : QDir(dir).entryList({"*.CSV"}, QDir::Files, QDir::Name))
            paths << dir + "/" + name;
        return paths;
    };
    freshDatabase();
    runImport(filesOf("controller-2ch"));
    const QString home = dataFolder();
    UserState::setInstrumentName(home, QStringLiteral("Boiler house"));
    QTemporaryDir other;
    const QString cold = other.filePath("cold-room-3");
    MainWindow window;
    window.resize(1180, 900);
    window.show();
    window.openInstrument(cold);
    runImport(filesOf("temp-humidity"));
    UserState::setInstrumentName(cold, QStringLiteral("Cold room 3"));
    window.openInstrument(home);
    window.showInstrumentTitle();
    window.findChild<QAction *>("actioncart")->trigger();
    QWidget *page = window.currentPage();
    page->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
    fillCriteria(page);
    click(page, "pushButton");
    auto *axes = page->findChild<QComboBox *>("valueAxes");
    axes->setCurrentIndex(0);
    emit axes->activated(0);
    for (int column : {0, 1}) {
        onNextModal("OtherChannelDialog", [cold, column](QWidget *dialog) {
            auto *instruments = dialog->findChild<QComboBox *>("otherInstrument");
            instruments->setCurrentIndex(instruments->findData(cold));
            dialog->findChild<QComboBox *>("otherColumn")->setCurrentIndex(column);
            static_cast<QDialog *>(dialog)->accept();
        });
        page->findChild<QAction *>("actionaddotherchannel")->trigger();
        QTest::qWait(500); // read beside the window
    }
    save(&window, "two-instruments");
    axes->setCurrentIndex(1);
    emit axes->activated(1);
    save(&window, "two-instruments-axes");
    axes->setCurrentIndex(0);
    emit axes->activated(0);
    UserState::setInstrumentName(home, QString());
}

// An addition to the level meter's records: the chooser with its "Whole
// folder" button, the report (two days already there, a new one with lines
// skipped), and the question a drop asks.
void shootAddition()
{
    QTemporaryDir days;
    const QString level = QStringLiteral(SAMPLES_DIR) + "/level-meter";
    QStringList paths;
    for (const QString &name : QDir(level).entryList({"*.CSV", "VNMETER.INI"}, QDir::Files, QDir::Name)) {
        QFile::copy(level + "/" + name, days.filePath(name));
        if (name.endsWith(".CSV"))
            paths << level + "/" + name;
    }
    QStringList lines;
    for (int k = 0; k < 300; ++k)
        lines << recordFields(2, 2880 + k).join(',');
    lines.insert(40, "1,2,3");
    lines.insert(41, QString(70000, '9'));
    writeRecordFolder(QDir(days.path()), ".", "2", {{"20240303.CSV", lines}});
    freshDatabase();
    runImport(paths);
    MainWindow window;
    window.show();
    onNextModal("QFileDialog", [&days](QWidget *dialog) {
        static_cast<QFileDialog *>(dialog)->setDirectory(days.path());
        save(dialog, "add-dialog");
        click(dialog, "wholeFolderButton");
    });
    window.findChild<QAction *>("actionaddfiles")->trigger();
    save(window.findChild<ImportReportDialog *>(), "add-report");
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(level)});
    QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    onNextModal("QMessageBox", [](QWidget *box) {
        save(box, "drop-replace-or-add");
        static_cast<QMessageBox *>(box)->button(QMessageBox::Cancel)->click();
    });
    static_cast<QObject *>(&window)->event(&drop);
    QTest::qWait(300);
}

// A year of records a minute apart, both channels of a controller over each
// other in the whole window, with the HH and LL markers.
void shootYearOverview()
{
    QTemporaryDir year;
    QStringList lines;
    const QDateTime start(QDate(2024, 3, 1), QTime(0, 0));
    for (int k = 0; k < 365 * 1440; ++k) {
        if (k / 1440 >= 100 && k / 1440 < 105)
            continue; // five days without records
        // A daily swing over a seasonal drift, a rare overrange, a rare spike.
        const double day = k / 1440.0, season = 8 * std::sin(2 * M_PI * day / 365);
        const double pv1 = 50 + season + 6 * std::sin(2 * M_PI * day), pv2 = 35 + season / 2 + 4 * std::cos(2 * M_PI * day);
        const QString first = k % 20011 == 7 ? "HH" : k % 17713 == 9 ? "LL" : QString::number(k % 9973 == 5 ? pv1 + 15 : pv1, 'f', 1);
        const QString second = k % 23003 == 11 ? "LL" : k % 19001 == 3 ? "HH" : QString::number(pv2, 'f', 1);
        lines << QStringList{first, "50", "40", second, "35", "40",
                             start.addSecs(60LL * k).toString("yyyy-MM-dd hh:mm:ss")}.join(',');
    }
    freshDatabase();
    runImport({writeRecordFolder(QDir(year.path()), "year", "12", {{"20240301.CSV", lines}}) + "/20240301.CSV"});
    MainWindow window;
    window.show();
    window.findChild<QAction *>("actioncart")->trigger();
    QWidget *page = window.currentPage();
    setWindow(page, QDateTime(QDate(2024, 3, 1), QTime(0, 0)), QDateTime(QDate(2025, 2, 28), QTime(23, 59)));
    page->findChild<QCheckBox *>("wholeWindow")->setChecked(true);
    tickChannel(page, 0);
    tickChannel(page, 1);
    click(page, "pushButton");
    save(&window, "overview-year");
}

// The report of two days of the temperature/humidity meter with limits,
// from the chart page, its pages rendered as a printer would show them.
void shootReport()
{
    const MeterFamily &family = importTwoDaysWithLimits();
    MainWindow window;
    window.show();
    window.findChild<QAction *>("actioncart")->trigger();
    auto *page = static_cast<RecordPage *>(window.currentPage());
    fillCriteria(page);
    click(page, "pushButton");
    const QString pdf = out.filePath("report.pdf");
    QString error;
    if (!page->reportTo(pdf, PeriodLength::Day, &error))
        qWarning("no report: %s", qPrintable(error));
    QProcess::execute("pdftoppm", {"-r", "80", "-png", pdf, out.filePath("report-page")});
    for (int value : {0, 1})
        UserState::setChannelLimits(limitsKey(family, Meter, -1, value), {});
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    out = QDir(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("screenshots"));
    out.mkpath(".");
    setUpFilesBeside();
    loadSettings();
    if (argc > 2 && QByteArray(argv[2]) == "report") {
        shootReport();
        return 0;
    }
    {
        MainWindow window;
        window.show();
        save(&window, "mainwindow");
        onNextModal("QFileDialog", [](QWidget *dialog) {
            save(dialog, "import-dialog");
            answerMessage(nullptr);
            QMetaObject::invokeMethod(dialog, "reject");
        });
        window.findChild<QAction *>("actionopendb")->trigger();
    }
    const QList<QPair<QString, int>> sets{{"controller-2ch", 1}, {"recorder-16ch", 2}, {"level-meter", 3},
                                          {"temp-humidity", 4}, {"alarm-meter-8", 5}};
    for (const auto &set : sets)
        shootFamily(set.first, set.second);
    shootAddition();
    shootInstruments();
    shootTwoInstruments();
    shootLimits();
    shootYearPeriods();
    shootYearOverview();
    shootReport();

    for (int percent : {0, 37, 90}) {
        DialogProgress progress;
        progress.setText(QStringLiteral("Import file :/home/user/records/20240301.CSV"));
        progress.setValue(percent);
        progress.show();
        QTimer::singleShot(percent == 0 ? 0 : 700, [] {});
        QTest::qWait(percent == 0 ? 10 : 700);
        save(&progress, QString("progress-%1").arg(percent));
        if (percent == 37) {
            QTest::keyClick(&progress, Qt::Key_Escape); // the job is asked to stop; the dialog stays
            save(&progress, QStringLiteral("progress-cancelling"));
        }
    }
    DialogMessage message;
    message.setMessage(QStringLiteral("If the data already exists, it will be overwritten"), "OK", false, 2);
    message.show();
    save(&message, "message-question");
    message.setMessage(QStringLiteral("There are no result to display."), "Close", true, 4);
    save(&message, "message-noresult");
    message.setMessage(QStringLiteral("1771840 excursions exported to /home/qa/reports/cold-room-3/excursions-2024-03.csv"),
                       "Close", true, 1);
    message.adjustSize();
    save(&message, "message-exported");
    Dialogconfig config;
    config.show();
    save(&config, "configuration");
    return 0;
}
