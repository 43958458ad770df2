// Drives the real main window with a seeded random sequence of user actions
// and checks after each one what must always hold. On a failure it prints
// the seed and the shortest action list that still fails, and writes it to a
// file that --replay runs again.
//
//   monkey [ACTIONS] [SEED]     monkey --replay FILE
#include "dialogprogress.h"
#include "families.h"
#include "mainwindow.h"
#include "testsupport.h"
#include "recorddatabase.h"
#include "settings.h"

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QDomDocument>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <qcustomplot.h>
#include <cstdio>
#include <memory>

using namespace TestSupport;

namespace {

struct Step {
    QString action;
    quint32 seed = 0;
};

struct Sample {
    QString folder;
    int meter;
};

// Sample folders and the table code their model names.
const QList<Sample> Samples{{"controller-2ch", 12}, {"level-meter", 3}, {"temp-humidity", 4}};

class Monkey;

// What a user can do, and when.
struct Action {
    const char *name;
    bool (*possible)(Monkey &);
    void (*run)(Monkey &);
    int weight = 1; // how often a user does it, against the others
};

class Monkey
{
public:
    explicit Monkey(const QString &scratch) : scratch(scratch)
    {
        const QString source = samplesDir() + "/controller-2ch";
        QDir(scratch).mkpath("no-model");
        for (const QString &name : QDir(source).entryList({"*.CSV"}))
            QFile::copy(source + "/" + name, scratch + "/no-model/" + name);
        QImage image(64, 64, QImage::Format_RGB32);
        image.fill(Qt::darkCyan);
        QBuffer png;
        png.open(QIODevice::WriteOnly);
        image.save(&png, "PNG");
        writeRawRecordFile(QDir(scratch), "picture", "216\r\n", png.data());
        answerer.setInterval(2);
        QObject::connect(&answerer, &QTimer::timeout, [this] { answerModal(); });
    }

    // Runs the steps from a fresh start: the first failure, or nothing.
    QString run(const QList<Step> &steps, int *failedAt);
    // Draws `count` steps, each among the actions possible at that moment.
    QString explore(quint32 seed, int count, QList<Step> *steps);

    static const QList<Action> &actions();


    // For the actions.
    std::unique_ptr<MainWindow> window;
    QRandomGenerator random;
    QStringList fileChoice; // what the next file dialog chooses: folder, then names; empty: Cancel
    QString scratch;
    QWidget *page() const { return window ? window->currentPage() : nullptr; }
    template <class T> T *onPage(const char *name) const
    {
        return page() ? page()->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    }

private:
    void start();
    QString runStep(const Step &step);
    QString check();
    QString checkPage() const;
    QString checkRecords();
    void answerModal();
    void answer(QWidget *modal, quint32 seed);

    QTimer answerer;
    QPointer<QWidget> answering; // the dialog an answer is queued for
    QString violation;
    int previousMeter = -1;
    int chosenMeter = -1;
    int records = 0;       // what the last successful import stored
    int chosenRecords = 0; // what the import under way would store
    quint32 answerSeed = 0;
    int answers = 0;
};

void print(const QString &text)
{
    std::fprintf(stdout, "%s\n", qPrintable(text));
    std::fflush(stdout);
}

int pick(QRandomGenerator &r, int n)
{
    return int(r.bounded(n));
}

bool always(Monkey &)
{
    return true;
}

bool onAPage(Monkey &m)
{
    return m.page() != nullptr;
}

bool onADataPage(Monkey &m)
{
    return m.onPage<QTableWidget>("tabled") != nullptr;
}

bool onAChartPage(Monkey &m)
{
    return m.onPage<QCustomPlot>("plot") != nullptr;
}

bool withChannels(Monkey &m)
{
    return m.onPage<QTableWidget>("tablechaddr") != nullptr;
}

void trigger(Monkey &m, const char *name)
{
    m.window->findChild<QAction *>(QString::fromLatin1(name))->trigger();
}

void importFrom(Monkey &m, const QString &folder)
{
    QStringList names = QDir(folder).entryList({"*.CSV"}, QDir::Files, QDir::Name);
    if (pick(m.random, 3) == 0)
        names = names.mid(0, 1);
    m.fileChoice = pick(m.random, 8) == 0 ? QStringList() : QStringList{folder} + names;
    trigger(m, "actionopendb");
}

void clickOnPage(Monkey &m, const char *button)
{
    if (auto *b = m.onPage<QPushButton>(button))
        QTest::mouseClick(b, Qt::LeftButton);
}

QDateTime randomTime(QRandomGenerator &r)
{
    return QDateTime(QDate(2024, 2, 29), QTime(0, 0)).addSecs(60 * pick(r, 4 * 24 * 60)).addSecs(pick(r, 60));
}

const QList<Action> &Monkey::actions()
{
    static const QList<Action> list{
        {"import samples", always, [](Monkey &m) {
             importFrom(m, samplesDir() + "/" + Samples.at(pick(m.random, int(Samples.size()))).folder);
         }, 2},
        {"import folder without model file", always, [](Monkey &m) { importFrom(m, m.scratch + "/no-model"); }},
        {"import a picture", always, [](Monkey &m) { importFrom(m, m.scratch + "/picture"); }},
        {"table view", always, [](Monkey &m) { trigger(m, "actionsearch"); }, 2},
        {"chart view", always, [](Monkey &m) { trigger(m, "actioncart"); }, 2},
        {"configuration", always, [](Monkey &m) { trigger(m, "actionsoftconfig"); }},
        {"resize", always, [](Monkey &m) { m.window->resize(300 + pick(m.random, 1200), 200 + pick(m.random, 900)); }},
        {"set window", onAPage, [](Monkey &m) {
             QDateTime from = randomTime(m.random), to = randomTime(m.random);
             const int kind = pick(m.random, 6);
             if (kind == 0)
                 to = from;                                   // empty
             else if (kind == 1 && from < to)
                 std::swap(from, to);                         // reversed
             else if (kind >= 2 && kind <= 4)                 // the records' days, or part of them
                 from = QDateTime(QDate(2024, 3, 1), QTime(0, 0)).addSecs(kind == 4 ? pick(m.random, 86400) : 0),
                 to = from.addDays(2);
             setWindow(m.page(), from, to);
         }, 3},
        {"tick a channel", withChannels, [](Monkey &m) {
             auto *table = m.onPage<QTableWidget>("tablechaddr");
             pressChannel(m.page(), pick(m.random, table->rowCount()));
         }, 3},
        {"type bounds", onADataPage, [](Monkey &m) {
             static const QStringList lows{"", "0", "-1", "12.5", "-5.25", "abc", "50"};
             static const QStringList highs{"99999", "60", "50", "", "40", "12.5"};
             for (QLineEdit *edit : m.page()->findChildren<QLineEdit *>(QRegularExpression("^txt"))) {
                 const QStringList &texts = edit->objectName().endsWith('1') ? lows : highs;
                 edit->clear();
                 QTest::keyClicks(edit, texts.at(pick(m.random, int(texts.size()))));
             }
         }, 2},
        {"HH/LL box", onADataPage, [](Monkey &m) { m.onPage<QCheckBox>("checkBox")->click(); }},
        {"search", onAPage, [](Monkey &m) { clickOnPage(m, "pushButton"); }, 5},
        {"first", onAPage, [](Monkey &m) { clickOnPage(m, "page_home"); }, 2},
        {"previous", onAPage, [](Monkey &m) { clickOnPage(m, "page_up"); }, 2},
        {"next", onAPage, [](Monkey &m) { clickOnPage(m, "page_down"); }, 3},
        {"last", onAPage, [](Monkey &m) { clickOnPage(m, "page_end"); }, 2},
        {"export", onADataPage, [](Monkey &m) {
             m.fileChoice = pick(m.random, 5) == 0 ? QStringList() : QStringList{m.scratch, "export.csv"};
             clickOnPage(m, "page_export");
         }},
        {"save image", onAChartPage, [](Monkey &m) {
             m.fileChoice = QStringList{m.scratch, pick(m.random, 2) ? "chart.png" : "chart.pdf"};
             clickOnPage(m, "page_image");
         }},
        {"other value", onAChartPage, [](Monkey &m) {
             if (auto *radio = m.onPage<QRadioButton>(pick(m.random, 2) ? "radioButton" : "radioButton_2"))
                 radio->click();
         }},
        {"wheel or drag", onAChartPage, [](Monkey &m) {
             QWidget *plot = m.onPage<QCustomPlot>("plot");
             const QPoint at(pick(m.random, qMax(1, plot->width())), pick(m.random, qMax(1, plot->height())));
             if (pick(m.random, 2)) {
                 QWheelEvent wheel(at, plot->mapToGlobal(at), {}, QPoint(0, pick(m.random, 2) ? 120 : -120),
                                   Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
                 QCoreApplication::sendEvent(plot, &wheel);
             } else {
                 QTest::mousePress(plot, Qt::LeftButton, {}, at);
                 QTest::mouseMove(plot, at + QPoint(pick(m.random, 200) - 100, pick(m.random, 200) - 100));
                 QTest::mouseRelease(plot, Qt::LeftButton, {}, at + QPoint(30, 10));
             }
         }, 2},
    };
    return list;
}

void Monkey::start()
{
    window.reset();
    closeModals();
    freshDatabase();
    QFile::remove(newRecordDatabasePath());
    writeConfig();
    loadSettings();
    window = std::make_unique<MainWindow>();
    window->show();
    previousMeter = chosenMeter = -1;
    records = chosenRecords = 0;
}

QString Monkey::run(const QList<Step> &steps, int *failedAt)
{
    start();
    for (int i = 0; i < steps.size(); ++i) {
        const QString failure = runStep(steps.at(i));
        if (!failure.isEmpty()) {
            if (failedAt)
                *failedAt = i;
            return failure;
        }
    }
    return QString();
}

QString Monkey::explore(quint32 seed, int count, QList<Step> *steps)
{
    start();
    QRandomGenerator chooser(seed);
    for (int i = 0; i < count; ++i) {
        QList<const Action *> possible;
        for (const Action &a : actions())
            if (a.possible(*this))
                for (int w = 0; w < a.weight; ++w)
                    possible << &a;
        const Step step{QString::fromLatin1(possible.at(pick(chooser, int(possible.size())))->name), chooser.generate()};
        steps->append(step);
        if (count >= 20000 && (i + 1) % 10000 == 0)
            print(QStringLiteral("%1 actions").arg(i + 1));
        const QString failure = runStep(step);
        if (!failure.isEmpty())
            return failure;
    }
    return QString();
}

QString Monkey::runStep(const Step &step)
{
    const Action *action = nullptr;
    for (const Action &a : actions())
        if (step.action == QLatin1String(a.name))
            action = &a;
    if (!action || !action->possible(*this))
        return QString(); // a replayed step the state no longer allows
    random.seed(step.seed);
    answerSeed = step.seed;
    answers = 0;
    violation.clear();
    fileChoice.clear();
    previousMeter = Meter;
    chosenMeter = -1;
    chosenRecords = 0;
    answerer.start();
    action->run(*this);
    // What the action left queued (a drop, a close) runs before the checks.
    QElapsedTimer clock;
    clock.start();
    while (QApplication::activeModalWidget() && clock.elapsed() < 20000)
        QTest::qWait(5);
    QCoreApplication::processEvents();
    answerer.stop();
    if (!violation.isEmpty())
        return violation;
    return check();
}

// Answers whatever modal dialog is up, as a user might. The answer runs from
// the event loop, not from the timer: an answer may open a dialog of its own.
void Monkey::answerModal()
{
    QWidget *modal = QApplication::activeModalWidget();
    if (!modal || !modal->isVisible() || answering == modal)
        return;
    int jobDialogs = 0;
    for (QWidget *w : QApplication::topLevelWidgets())
        jobDialogs += w->isVisible() && w->inherits("DialogProgress");
    if (jobDialogs > 1)
        violation = QStringLiteral("two progress dialogs at once");
    answering = modal;
    const quint32 seed = answerSeed + quint32(++answers) * 7919u;
    QMetaObject::invokeMethod(modal, [this, modal, seed] {
        answering = nullptr;
        if (modal->isVisible())
            answer(modal, seed);
    }, Qt::QueuedConnection);
}

void Monkey::answer(QWidget *modal, quint32 seed)
{
    QRandomGenerator r(seed);
    if (auto *progress = qobject_cast<DialogProgress *>(modal)) {
        // Mostly wait; now and then press Escape or ask the dialog to close.
        const int choice = pick(r, 40);
        if (choice == 0)
            QTest::keyClick(progress, Qt::Key_Escape);
        else if (choice == 1)
            progress->close();
        if (choice <= 1 && !progress->isVisible() && progress->isRunning())
            violation = QStringLiteral("the progress dialog closed while its job ran");
        return;
    }
    if (auto *files = qobject_cast<QFileDialog *>(modal)) {
        if (fileChoice.isEmpty()) {
            files->reject();
            return;
        }
        if (files->acceptMode() == QFileDialog::AcceptOpen) {
            for (const Sample &s : Samples)
                if (fileChoice.first().endsWith("/" + s.folder))
                    chosenMeter = s.meter;
            chosenRecords = 0;
            for (const QString &name : fileChoice.mid(1)) {
                QFile chosen(fileChoice.first() + "/" + name);
                chosen.open(QIODevice::ReadOnly);
                chosenRecords += int(chosen.readAll().count('\n')) - 1; // all but the header
            }
        }
        files->setDirectory(fileChoice.first());
        QStringList quoted;
        for (const QString &name : fileChoice.mid(1))
            quoted << '"' + name + '"';
        files->findChild<QLineEdit *>("fileNameEdit")->setText(quoted.join(' '));
        fileChoice.clear();
        QMetaObject::invokeMethod(files, "accept");
        return;
    }
    if (modal->inherits("Dialogconfig")) {
        static const QStringList texts{"", "0", "1", "7", "100", "500", "5", "50", "0.5", "12.5", "abc", "100000"};
        for (QLineEdit *edit : modal->findChildren<QLineEdit *>()) {
            edit->clear();
            QTest::keyClicks(edit, texts.at(pick(r, int(texts.size()))));
        }
    }
    switch (pick(r, 5)) {
    case 0: QTest::keyClick(modal, Qt::Key_Escape); break;
    case 1: modal->close(); break;
    case 2: QTest::keyClick(modal, Qt::Key_Return); break;
    default: {
        const QList<QPushButton *> buttons = modal->findChildren<QPushButton *>();
        QList<QPushButton *> shown;
        for (QPushButton *b : buttons)
            if (b->isVisible() && b->isEnabled())
                shown << b;
        if (shown.isEmpty())
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            QTest::mouseClick(shown.at(pick(r, int(shown.size()))), Qt::LeftButton);
    }
    }
}

QString Monkey::check()
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return QStringLiteral("a %1 stayed up").arg(QString::fromLatin1(modal->metaObject()->className()));
    if (DialogProgress::runningDialog())
        return QStringLiteral("a job still runs after its action");
    if (QSqlDatabase::contains(QStringLiteral("dbnamelog")))
        return QStringLiteral("the connection \"dbnamelog\" is left while no job runs");
    QString failure = checkPage();
    if (failure.isEmpty())
        failure = checkRecords();
    return failure;
}

// The counter agrees with the rows or points shown.
QString Monkey::checkPage() const
{
    auto *panel = onPage<QWidget>("widget_page");
    if (!panel || !panel->isVisible())
        return QString();
    const QString label = onPage<QLabel>("page_label")->text();
    const QRegularExpressionMatch m = QRegularExpression("^Record：(\\d+) ,Pages：(\\d+) of (\\d+)$").match(label);
    if (!m.hasMatch())
        return QStringLiteral("the counter reads \"%1\"").arg(label);
    const int records = m.captured(1).toInt(), shownPage = m.captured(2).toInt(), pages = m.captured(3).toInt();
    auto *table = onPage<QTableWidget>("tabled");
    auto *plot = onPage<QCustomPlot>("plot");
    const int perPage = table ? safePageRcd() : safePlotRcd();
    const int rows = table ? table->rowCount() : plot->graph(0)->dataCount();
    const int expectedPages = (records + perPage - 1) / perPage;
    const int expectedRows = qBound(0, records - (shownPage - 1) * perPage, perPage);
    if (pages != expectedPages || shownPage < 1 || shownPage > pages || rows != expectedRows)
        return QStringLiteral("the counter \"%1\" does not match the %2 rows shown (%3 a page)")
            .arg(label).arg(rows).arg(perPage);
    return QString();
}

// The database holds the last successful import's records, or none before
// any; Meter and the settings file agree with it.
QString Monkey::checkRecords()
{
    if (Meter != previousMeter && Meter != chosenMeter)
        return QStringLiteral("Meter became %1 (was %2, chosen %3)").arg(Meter).arg(previousMeter).arg(chosenMeter);
    QFile file(settingsPath());
    QDomDocument settings;
    if (!file.open(QIODevice::ReadOnly) || !settings.setContent(&file))
        return QStringLiteral("the settings file does not parse");
    for (const char *key : {"Meter", "YStep", "Tickcount", "PageRcd", "PlotRcd", "LockY"})
        if (settingValue(settings, QString::fromLatin1(key)).isNull())
            return QStringLiteral("the settings file lost %1").arg(QString::fromLatin1(key));
    if (settingValue(settings, "Meter").toInt() != Meter)
        return QStringLiteral("the settings file says Meter %1, the program %2")
            .arg(settingValue(settings, "Meter")).arg(Meter);
    QString failure;
    int found = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "monkeyreader");
        db.setDatabaseName(recordDatabasePath());
        db.open();
        QSqlQuery tables(db);
        tables.exec("select name from sqlite_master where type = 'table'");
        const QString expectedTable = Meter == -1 ? QString() : meterFamily(familyOfTableCode(Meter)).table(Meter);
        while (tables.next() && failure.isEmpty()) {
            const QString table = tables.value(0).toString();
            QSqlQuery count(db);
            count.exec("select count(*) from " + table);
            count.next();
            const int rows = count.value(0).toInt();
            if (table == expectedTable)
                found = rows;
            else if (rows != 0)
                failure = QStringLiteral("%1 holds %2 records while Meter is %3").arg(table).arg(rows).arg(Meter);
        }
    }
    QSqlDatabase::removeDatabase("monkeyreader");
    if (!failure.isEmpty())
        return failure;
    const bool kept = Meter == previousMeter && found == records;
    const bool replaced = Meter == chosenMeter && found == chosenRecords;
    if (!kept && !replaced)
        return QStringLiteral("the database holds %1 records of meter %2: neither the %3 of meter %4 before nor the %5 "
                              "of meter %6 chosen")
            .arg(found).arg(Meter).arg(records).arg(previousMeter).arg(chosenRecords).arg(chosenMeter);
    records = found;
    return QString();
}


QList<Step> readSteps(const QString &path)
{
    QList<Step> steps;
    QFile file(path);
    file.open(QIODevice::ReadOnly | QIODevice::Text);
    while (!file.atEnd()) {
        const QString line = QString::fromUtf8(file.readLine()).trimmed();
        const qsizetype tab = line.lastIndexOf('\t');
        if (tab > 0)
            steps.append({line.left(tab), line.mid(tab + 1).toUInt()});
    }
    return steps;
}

QString describe(const QList<Step> &steps)
{
    QStringList lines;
    for (const Step &s : steps)
        lines << s.action + '\t' + QString::number(s.seed);
    return lines.join('\n');
}

// Drops steps one by one while the run still fails.
QList<Step> shortened(Monkey &monkey, QList<Step> steps)
{
    for (qsizetype i = steps.size() - 2; i >= 0; --i) {
        QList<Step> fewer = steps;
        fewer.removeAt(i);
        int at = -1;
        if (!monkey.run(fewer, &at).isEmpty())
            steps = fewer.mid(0, at + 1);
    }
    return steps;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QTemporaryDir scratch;
    Monkey monkey(scratch.path());
    QList<Step> steps;
    QString failure;
    quint32 seed = 0;
    QElapsedTimer clock;
    clock.start();
    if (argc > 2 && qstrcmp(argv[1], "--replay") == 0) {
        steps = readSteps(QString::fromLocal8Bit(argv[2]));
        int at = -1;
        failure = monkey.run(steps, &at);
        if (!failure.isEmpty())
            steps = steps.mid(0, at + 1);
    } else {
        const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 2000;
        seed = argc > 2 ? QByteArray(argv[2]).toUInt() : 20241206u;
        failure = monkey.explore(seed, count, &steps);
    }
    const double seconds = clock.elapsed() / 1000.0;
    if (failure.isEmpty()) {
        print(QStringLiteral("%1 actions in %2 s (%3 a second), seed %4: every check held")
                  .arg(steps.size()).arg(seconds, 0, 'f', 1).arg(steps.size() / qMax(seconds, 0.001), 0, 'f', 0).arg(seed));
        print(QStringLiteral("1 passed, 0 failed"));
        return 0;
    }
    print(QStringLiteral("seed %1, after %2 actions: %3").arg(seed).arg(steps.size()).arg(failure));
    const QList<Step> shortest = shortened(monkey, steps);
    const QString path = QDir::current().filePath(QStringLiteral("monkey-failure.txt"));
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Text))
        out.write(describe(shortest).toUtf8() + '\n');
    print(QStringLiteral("shortest sequence that still fails (%1, replay with --replay %2):\n%3")
              .arg(monkey.run(shortest, nullptr)).arg(path, describe(shortest)));
    print(QStringLiteral("0 passed, 1 failed"));
    return 1;
}
