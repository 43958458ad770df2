#include "testsupport.h"

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
#include "recorddatabase.h"
#include "rowinserter.h"
#include "settings.h"
#include "sqlthread.h"

#include <QAction>
#include <QDateTimeEdit>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <sqlite3.h>

namespace TestSupport {

namespace {

std::atomic_bool g_holding{false};

int waitWhileHeld(void *)
{
    QElapsedTimer clock;
    clock.start();
    while (g_holding && clock.elapsed() < 30000)
        QThread::usleep(200);
    return 0;
}

void writeFiles(const QDir &root, const QString &name, const QByteArray &modelLine, const QMap<QString, QByteArray> &files)
{
    root.mkpath(name);
    QMap<QString, QByteArray> all = files;
    all["VNMETER.INI"] = modelLine;
    for (auto it = all.begin(); it != all.end(); ++it) {
        QFile file(root.filePath(name + "/" + it.key()));
        file.open(QIODevice::WriteOnly);
        file.write(it.value());
    }
}

QString pvText(int k, int channel)
{
    if (k % 17 == 5 || k % 23 == 7)
        return k % 17 == 5 ? "HH" : "LL";
    if (k % 31 == 13)
        return "n/a";
    return QString::number((k * 7 + channel * 3) % 40 - 5 + (k % 4) * 0.25);
}

} // namespace

void setUpFilesBeside()
{
    const QDir beside(QCoreApplication::applicationDirPath());
    for (const QString &name : beside.entryList({"record.db*", "Sundrevale.Config*", "*.csv"}, QDir::AllEntries | QDir::NoDotAndDotDot))
        QFileInfo(beside.filePath(name)).isDir() ? QDir(beside.filePath(name)).removeRecursively()
                                                 : QFile::remove(beside.filePath(name));
    // The remembered places go to a store of the test's own, empty at first.
    QDir(beside.filePath("user-state")).removeRecursively();
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, beside.filePath("user-state"));
    writeConfig();
    freshDatabase();
}

void onNextModal(const char *className, std::function<void(QWidget *)> answer, int timeoutMs)
{
    auto *timer = new QTimer;
    auto clock = std::make_shared<QElapsedTimer>();
    clock->start();
    timer->setInterval(5);
    const QByteArray wanted(className);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && modal->inherits(wanted.constData());
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->deleteLater();
        timer->stop();
        if (found)
            answer(modal);
        else
            qWarning("no modal %s appeared", wanted.constData());
    });
    timer->start();
}

void answerMessage(QString *text, const char *button)
{
    onNextModal("DialogMessage", [text, button](QWidget *dialog) {
        if (text)
            *text = dialog->findChild<QWidget *>("label")->property("text").toString();
        click(dialog, button);
    });
}

void chooseFiles(const QString &folder, const QStringList &names, std::function<void()> then)
{
    onNextModal("QFileDialog", [=](QWidget *w) {
        auto *dialog = static_cast<QFileDialog *>(w);
        QStringList quoted;
        for (const QString &n : names)
            quoted << '"' + n + '"';
        dialog->setDirectory(folder);
        dialog->findChild<QLineEdit *>("fileNameEdit")->setText(quoted.join(' '));
        QMetaObject::invokeMethod(dialog, names.isEmpty() ? "reject" : "accept");
        if (then)
            then();
    });
}

void saveAs(const QString &path)
{
    onNextModal("QFileDialog", [path](QWidget *dialog) {
        dialog->findChild<QLineEdit *>("fileNameEdit")->setText(path);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

void click(QWidget *parent, const char *objectName)
{
    if (auto *button = parent->findChild<QPushButton *>(objectName))
        QTest::mouseClick(button, Qt::LeftButton);
    else
        qWarning("no button %s", objectName);
}

void closeModals()
{
    for (int i = 0; i < 10 && QApplication::activeModalWidget(); ++i) {
        QApplication::activeModalWidget()->close();
        QCoreApplication::processEvents();
    }
}

void holdWorkerJobs()
{
    g_holding = true;
    SQLThread::setConnectionHook([](QSqlDatabase &db) {
        if (sqlite3 *handle = sqliteHandle(db))
            sqlite3_progress_handler(handle, 20, waitWhileHeld, nullptr);
    });
}

void releaseWorkerJobs()
{
    g_holding = false;
}

void writeConfig(const QMap<QString, QString> &values)
{
    QByteArray xml = "<?xml version=\"1.0\"?>\n<config>\n";
    const QMap<QString, QString> defaults{{"Meter", "-1"}, {"YStep", "0"}, {"Tickcount", "10"},
                                          {"PageRcd", "100"}, {"PlotRcd", "500"}, {"LockY", "0"}};
    for (const QString &key : {"Meter", "YStep", "Tickcount", "PageRcd", "PlotRcd", "LockY"})
        xml += QString("  <item key=\"%1\" value=\"%2\"/>\n").arg(key, values.value(key, defaults.value(key))).toUtf8();
    QFile file(settingsPath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(xml + "</config>\n");
}

QString readConfigFile()
{
    QFile file(settingsPath());
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

void freshDatabase()
{
    QDir(recordDatabasePath()).removeRecursively();
    discardNewRecordDatabase();
    QFile::remove(recordDatabasePath() + "-journal");
    QFile::remove(recordDatabasePath());
    QFile::copy(recordTemplatePath(), recordDatabasePath());
    QFile::setPermissions(recordDatabasePath(), QFile::ReadOwner | QFile::WriteOwner);
}

QString writeRecordFolder(const QDir &root, const QString &name, const QString &modelLine,
                          const QMap<QString, QStringList> &files)
{
    QMap<QString, QByteArray> contents;
    for (auto it = files.begin(); it != files.end(); ++it)
        contents[it.key()] = "HEADER,LINE\r\n" + it.value().join("\r\n").toUtf8() + (it.value().isEmpty() ? "" : "\r\n");
    writeFiles(root, name, modelLine.toUtf8() + "\r\n", contents);
    return root.filePath(name);
}

QString writeRawRecordFile(const QDir &root, const QString &name, const QByteArray &modelLine, const QByteArray &content)
{
    writeFiles(root, name, modelLine, {{"20240301.CSV", content}});
    return root.filePath(name + "/20240301.CSV");
}

QStringList queryRows(const QString &statement)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "testrows");
        db.setDatabaseName(recordDatabasePath());
        QSqlQuery q(db.open() ? db : QSqlDatabase());
        q.exec(statement);
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i)
                cells << q.value(i).toString();
            rows << cells.join('|');
        }
    }
    QSqlDatabase::removeDatabase("testrows");
    return rows;
}

QStringList tableRows(const QString &table)
{
    return queryRows(QString("select * from %1 order by rowid").arg(table));
}

QString databaseValue(const QString &statement)
{
    return queryRows(statement).value(0);
}

QStringList runImport(const QStringList &files, QString *reason)
{
    QThread thread;
    auto *worker = new SQLThread;
    worker->moveToThread(&thread);
    thread.start();
    QStringList reports;
    QEventLoop loop;
    QObject::connect(worker, &SQLThread::PostProgress, &loop, [&](QString text, int value) {
        reports << QString("%1|%2").arg(text).arg(value);
        if (value == 100)
            loop.quit();
    });
    QMetaObject::invokeMethod(worker, "dn_importCSV", Qt::QueuedConnection, Q_ARG(QStringList, files));
    QTimer::singleShot(120000, &loop, &QEventLoop::quit);
    loop.exec();
    thread.quit();
    thread.wait();
    if (reason)
        *reason = worker->outcome().done() ? QString() : worker->outcome().reason;
    delete worker;
    return reports;
}

QString samplesDir()
{
    return QStringLiteral(SAMPLES_DIR);
}

const QDateTime Start(QDate(2024, 3, 1), QTime(0, 0));

int familyOfModel(int model)
{
    return model >= 200 ? 2 : (model >= 11 ? 1 : model + 1);
}

int meterOfModel(int model)
{
    return familyOfModel(model) <= 2 ? model : familyOfModel(model);
}

int modelOfFamily(int family)
{
    return QList<int>{0, 12, 208, 2, 3, 4}.at(family);
}

QStringList recordFields(int model, int k)
{
    static const QStringList outs{"45", "45.6", "abc", "12.4", "0"};
    QStringList f;
    if (familyOfModel(model) == 1) {
        for (int c = 0; c < model - 10; ++c)
            f << pvText(k, c) << QString::number(50 + c) << outs.at(k % outs.size());
    } else if (model >= 200) {
        for (int c = 0; c < model - 200; ++c)
            f << pvText(k, c);
    } else if (model == 2 || model == 4) {
        f << pvText(k, 0);
        for (int a = 1; a <= (model == 2 ? 4 : 8); ++a)
            f << QString::number(a * 10) << (k % (a + 1) == 0 ? "01" : "00");
    } else {
        f << pvText(k, 0) << "30" << (k % 2 ? "01" : "00") << humidityField(k) << "80" << (k % 3 ? "00" : "01");
    }
    return f << Start.addSecs(60 * k).toString("yyyy-MM-dd hh:mm:ss");
}

QString pvField(int model, int k, int channel)
{
    const int family = familyOfModel(model);
    return recordFields(model, k).at(family == 1 ? 3 * channel : (family == 2 ? channel : 0));
}

QString humidityField(int k)
{
    return k % 19 == 3 ? "HH" : QString::number((k * 11) % 90 + 0.5);
}

QList<int> matchingRecords(int model, int count, const TableSearch &s)
{
    // HH and LL compare as 0 in a range, as SQLite's cast does.
    const auto marker = [](const QString &v) { return v == "HH" || v == "LL"; };
    const auto inside = [](const QString &v, double low, double high) { return v.toDouble() > low && v.toDouble() < high; };
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

QString recordFile(const QDir &root, int model, int count, int first)
{
    QStringList lines;
    for (int k = first; k < first + count; ++k)
        lines << recordFields(model, k).join(',');
    static int serial = 0;
    return writeRecordFolder(root, QString("m%1_%2").arg(model).arg(++serial), QString::number(model),
                             {{"20240301.CSV", lines}}) + "/20240301.CSV";
}

void importModel(const QDir &root, int model, int count)
{
    freshDatabase();
    runImport({recordFile(root, model, count)});
}

QString shownValue(const QString &field)
{
    bool number = false;
    const double value = field.toDouble(&number);
    return number ? QString::number(value, 'g', 6) : field;
}

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

QString expectedSummary(int model, const QList<int> &ks, int channel)
{
    const auto stamp = [&](int i) { return Start.addSecs(60 * ks.at(i)).toString("yyyy/MM/dd hh:mm:ss"); };
    QStringList parts{QString("Records %1").arg(ks.size())};
    const QStringList names = model == 3 ? QStringList{"Temperature", "Humidity"} : QStringList{"PV"};
    for (int column = 0; column < names.size(); ++column) {
        const QStringList values = summaryColumn(model, ks, channel, column);
        int numbers = 0, unreadable = 0;
        double sum = 0;
        for (const QString &v : values) {
            bool number = false;
            sum += v.toDouble(&number);
            numbers += number;
            unreadable += !number && v != "HH" && v != "LL";
        }
        const int low = firstExtreme(values, false), high = firstExtreme(values, true);
        QString text = names.at(column) + ": ";
        text += numbers == 0 ? QString("no readable value")
                             : QString("min %1 at %2, max %3 at %4, mean %5")
                                   .arg(shownValue(values.value(low)), stamp(low), shownValue(values.value(high)),
                                        stamp(high), QString::number(sum / numbers, 'g', 6));
        text += QString(" · HH %1 · LL %2").arg(values.count("HH")).arg(values.count("LL"));
        parts << text + (unreadable ? QString(" · unreadable %1").arg(unreadable) : QString());
    }
    return parts.join(" · ");
}

QString shownSummary(QWidget *page)
{
    return page->findChild<QLabel *>("summary_label")->text().remove(QRegularExpression("<[^>]*>"));
}

QAction *action(QWidget &window, const char *name)
{
    return window.findChild<QAction *>(name);
}

template<class Page, class... Families> std::unique_ptr<Page> makePage(int family)
{
    std::unique_ptr<Page> page;
    int number = 0;
    ((++number == family ? void(page = std::make_unique<Families>()) : void()), ...);
    return page;
}

std::unique_ptr<DataTablePage> makeDataPage(int family)
{
    return makePage<DataTablePage, Formdata1, Formdata2, Formdata3, Formdata4, Formdata5>(family);
}

std::unique_ptr<ChartPage> makeChartPage(int family)
{
    return makePage<ChartPage, Formcart1, Formcart2, Formcart3, Formcart4, Formcart5>(family);
}

void setWindow(QWidget *page, const QDateTime &st, const QDateTime &en)
{
    page->findChild<QDateTimeEdit *>("dateTimeEdit1")->setDateTime(st);
    page->findChild<QDateTimeEdit *>("dateTimeEdit2")->setDateTime(en);
}

void setRanges(QWidget *page, const QString &low, const QString &high)
{
    for (QLineEdit *edit : page->findChildren<QLineEdit *>(QRegularExpression("^txt(pv|hh)[12]$")))
        edit->setText(edit->objectName().endsWith('1') ? low : high);
}

void pressChannel(QWidget *page, int row)
{
    auto *table = page->findChild<QTableWidget *>("tablechaddr");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, table->visualRect(table->model()->index(row, 1)).center());
}

QString counter(QWidget *page)
{
    return page->findChild<QLabel *>("page_label")->text();
}

QStringList shownRows(QWidget *page)
{
    auto *table = page->findChild<QTableWidget *>("tabled");
    QStringList rows;
    for (int r = 0; r < table->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < table->columnCount(); ++c)
            cells << (table->item(r, c) ? table->item(r, c)->text() : QString());
        rows << cells.join(',');
    }
    return rows;
}

} // namespace TestSupport
