// Drives the real main window with a seeded random sequence of user actions
// and checks after each one what must always hold. On a failure it prints
// the shortest action list that still fails and writes it for --replay.
//
//   monkey [ACTIONS] [SEED]     monkey --replay FILE
#include "dialogprogress.h"
#include "mainwindow.h"
#include "settings.h"
#include "testsupport.h"

#include <QSqlQuery>
#include <qcustomplot.h>

using namespace TestSupport;

namespace {

using Step = QPair<QString, quint32>; // an action's name and its seed

// Sample folders and the table code their model names.
const QList<QPair<QString, int>> Samples{{"controller-2ch", 12}, {"level-meter", 3}, {"temp-humidity", 4}};

int pick(QRandomGenerator &r, int n)
{
    return int(r.bounded(n));
}

void print(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

struct Monkey;

// What a user can do, and when; `weight` is how often, against the others.
struct Action {
    const char *name;
    bool (*possible)(Monkey &);
    void (*run)(Monkey &);
    int weight = 1;
};
extern const QList<Action> Actions;

// The files one action chose in its dialogs, and what they would store.
struct Choice {
    QStringList files;   // the next file dialog's folder, then names; empty: Cancel
    bool adding = false; // added, not imported
    int meter = -1;
    QMap<QString, int> records; // file name: the records it holds
};

struct Monkey {
    std::unique_ptr<MainWindow> window;
    QRandomGenerator random;
    Choice chosen;
    QString scratch, violation;
    int previousMeter = -1;
    QMap<QString, int> stored; // the files whose records are there, and their records
    quint32 answerSeed = 0;
    int answers = 0;
    QTimer answerer;
    QPointer<QWidget> answering; // the dialog an answer is queued for

    explicit Monkey(const QString &scratch) : scratch(scratch)
    {
        const QString source = QStringLiteral(SAMPLES_DIR) + "/controller-2ch";
        QDir(scratch).mkpath("no-model");
        for (const QString &name : QDir(source).entryList({"*.CSV"}))
            QFile::copy(source + "/" + name, scratch + "/no-model/" + name);
        QByteArray picture("\x89PNG\r\n\x1a\n", 8);
        for (int i = 0; i < 4096; ++i)
            picture += char(i * 37 % 251);
        writeRawRecordFile(QDir(scratch), "picture", "216\r\n", picture);
        answerer.setInterval(2);
        QObject::connect(&answerer, &QTimer::timeout, [this] { answerModal(); });
    }

    QWidget *page() const { return window ? window->currentPage() : nullptr; }
    template<class T> T *onPage(const char *name) const
    {
        return page() ? page()->findChild<T *>(QString::fromLatin1(name)) : nullptr;
    }

    void start()
    {
        window.reset();
        closeModals();
        setUpFilesBeside();
        loadSettings();
        window = std::make_unique<MainWindow>();
        window->show();
        previousMeter = -1;
        stored.clear();
    }

    // Runs the steps, then new ones drawn from `seed` up to `count`; after a
    // failure, the steps end with the one that failed.
    QString run(QList<Step> &steps, int count = 0, quint32 seed = 0)
    {
        start();
        QRandomGenerator chooser(seed);
        for (int i = 0; i < qMax(count, int(steps.size())); ++i) {
            if (i == steps.size()) {
                QList<const Action *> possible;
                for (const Action &a : Actions)
                    for (int w = 0; a.possible(*this) && w < a.weight; ++w)
                        possible << &a;
                steps.append({QString::fromLatin1(possible.at(pick(chooser, int(possible.size())))->name), chooser.generate()});
            }
            if (count >= 20000 && (i + 1) % 10000 == 0)
                print(QStringLiteral("%1 actions").arg(i + 1));
            if (const QString failure = runStep(steps.at(i)); !failure.isEmpty()) {
                steps.resize(i + 1);
                return failure;
            }
        }
        return QString();
    }

    QString runStep(const Step &step)
    {
        const auto found = std::find_if(Actions.begin(), Actions.end(),
                                        [&](const Action &a) { return step.first == QLatin1String(a.name); });
        if (found == Actions.end() || !found->possible(*this))
            return QString(); // a replayed step the state no longer allows
        random.seed(step.second);
        answerSeed = step.second;
        answers = 0;
        violation.clear();
        chosen = {};
        previousMeter = Meter;
        answerer.start();
        found->run(*this);
        // What the action left queued (a drop, a close) runs before the checks.
        QElapsedTimer clock;
        clock.start();
        while (QApplication::activeModalWidget() && clock.elapsed() < 20000)
            QTest::qWait(5);
        QCoreApplication::processEvents();
        answerer.stop();
        return violation.isEmpty() ? check() : violation;
    }

    // Answers whatever modal dialog is up, as a user might, from the event loop
    // rather than the timer: an answer may open a dialog of its own.
    void answerModal()
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

    void answer(QWidget *modal, quint32 seed)
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
            if (chosen.files.isEmpty())
                return files->reject();
            if (files->acceptMode() == QFileDialog::AcceptOpen) {
                for (const auto &[folder, meter] : Samples)
                    chosen.meter = chosen.files.first().endsWith("/" + folder) ? meter : chosen.meter;
                for (const QString &name : chosen.files.mid(1)) {
                    QFile file(chosen.files.first() + "/" + name);
                    file.open(QIODevice::ReadOnly);
                    chosen.records[name] = int(file.readAll().count('\n')) - 1; // all but the header
                }
            }
            chooseInDialog(files, std::exchange(chosen.files, {}));
            return;
        }
        if (modal->inherits("Dialogconfig")) {
            static const QStringList texts{"", "0", "1", "7", "100", "500", "5", "50", "0.5", "12.5", "abc", "100000"};
            for (QLineEdit *edit : modal->findChildren<QLineEdit *>()) {
                edit->clear();
                QTest::keyClicks(edit, texts.at(pick(r, int(texts.size()))));
            }
        }
        QList<QPushButton *> buttons;
        for (QPushButton *b : modal->findChildren<QPushButton *>())
            if (b->isVisible() && b->isEnabled())
                buttons << b;
        const int choice = pick(r, 5);
        if (choice == 1)
            modal->close();
        else if (choice == 2)
            QTest::keyClick(modal, Qt::Key_Return);
        else if (choice == 0 || buttons.isEmpty())
            QTest::keyClick(modal, Qt::Key_Escape);
        else
            QTest::mouseClick(buttons.at(pick(r, int(buttons.size()))), Qt::LeftButton);
    }

    QString check()
    {
        if (QWidget *modal = QApplication::activeModalWidget())
            return QStringLiteral("a %1 stayed up").arg(QString::fromLatin1(modal->metaObject()->className()));
        if (DialogProgress::runningDialog())
            return QStringLiteral("a job still runs after its action");
        if (QSqlDatabase::contains(QStringLiteral("dbnamelog")))
            return QStringLiteral("the connection \"dbnamelog\" is left while no job runs");
        const QString failure = checkPage();
        return failure.isEmpty() ? checkRecords() : failure;
    }

    // The counter agrees with the rows or points shown.
    QString checkPage() const
    {
        auto *panel = onPage<QWidget>("widget_page");
        if (!panel || !panel->isVisible())
            return QString();
        const QString label = counter(page());
        if (auto *whole = onPage<QCheckBox>("wholeWindow"); whole && whole->isChecked())
            return QRegularExpression("^Record：\\d+ drawn$").match(label).hasMatch()
                ? QString()
                : QStringLiteral("the whole window's counter reads \"%1\"").arg(label);
        const auto m = QRegularExpression("^Record：(\\d+) ,Pages：(\\d+) of (\\d+)$").match(label);
        if (!m.hasMatch())
            return QStringLiteral("the counter reads \"%1\"").arg(label);
        const int records = m.captured(1).toInt(), shownPage = m.captured(2).toInt(), pages = m.captured(3).toInt();
        auto *table = onPage<QTableWidget>("tabled");
        const int perPage = table ? safePageRcd() : safePlotRcd();
        const int rows = table ? table->rowCount() : onPage<QCustomPlot>("plot")->graph(0)->dataCount();
        if (pages != (records + perPage - 1) / perPage || shownPage < 1 || shownPage > pages
            || rows != qBound(0, records - (shownPage - 1) * perPage, perPage))
            return QStringLiteral("the counter \"%1\" does not match the %2 rows shown (%3 a page)")
                .arg(label).arg(rows).arg(perPage);
        return QString();
    }

    // The files in the record of imported files are those before the action,
    // those chosen (an import, or an addition onto nothing) or both (an
    // addition), and the table holds their records; Meter and the settings
    // file agree with it.
    QString checkRecords()
    {
        if (Meter != previousMeter && Meter != chosen.meter)
            return QStringLiteral("Meter became %1 (was %2, chosen %3)").arg(Meter).arg(previousMeter).arg(chosen.meter);
        for (const char *key : {"Meter", "YStep", "Tickcount", "PageRcd", "PlotRcd", "LockY"})
            if (readSetting(QString::fromLatin1(key)).isNull())
                return QStringLiteral("the settings file lost %1 or does not parse").arg(QString::fromLatin1(key));
        if (readSetting("Meter").toInt() != Meter)
            return QStringLiteral("the settings file says Meter %1, the program %2").arg(readSetting("Meter")).arg(Meter);
        const QString table = Meter == -1 ? QString() : meterFamily(familyOfTableCode(Meter)).table(Meter);
        QStringList counts;
        for (const QString &name : databaseValue("select group_concat(name) from sqlite_master where type = 'table' "
                                                 "and name like 'meter%'").split(','))
            counts << QStringLiteral("(select count(*) from %1 where '%1' != '%2')").arg(name, table);
        if (const int others = databaseValue("select " + counts.join('+')).toInt())
            return QStringLiteral("%1 records in other tables than the one of Meter %2").arg(others).arg(Meter);
        // The sums are replaced with the records.
        const QString summed = databaseValue("select group_concat(tbl) from record_sums_state");
        if (!summed.isEmpty() && summed != table)
            return QStringLiteral("sums of %1 beside the records of %2").arg(summed, table);
        QStringList there = table.isEmpty() ? QStringList()
            : databaseValue("select group_concat(name, '/') from (select name from imported_files order by name)")
                  .split('/', Qt::SkipEmptyParts);
        QMap<QString, int> expected = stored;
        const bool kept = Meter == previousMeter && there == QStringList(stored.keys());
        if (!kept && chosen.adding && previousMeter != -1 && Meter == previousMeter && Meter == chosen.meter)
            expected.insert(chosen.records);
        else if (!kept && Meter == chosen.meter)
            expected = chosen.records;
        const QString files = QStringList(expected.keys()).join('/');
        if (there != QStringList(expected.keys()))
            return QStringLiteral("the record of imported files holds \"%1\": neither \"%2\" of meter %3 before nor what "
                                  "\"%4\" of meter %5 %6 leaves")
                .arg(there.join('/'), QStringList(stored.keys()).join('/')).arg(previousMeter)
                .arg(QStringList(chosen.records.keys()).join('/')).arg(chosen.meter)
                .arg(chosen.adding ? "added" : "imported");
        int records = 0;
        for (int n : expected)
            records += n;
        if (const int found = table.isEmpty() ? 0 : databaseValue("select count(*) from " + table).toInt(); found != records)
            return QStringLiteral("the database holds %1 records of meter %2, the files \"%3\" %4")
                .arg(found).arg(Meter).arg(files).arg(records);
        stored = expected;
        return QString();
    }
};

bool always(Monkey &) { return true; }
bool onAPage(Monkey &m) { return m.page(); }
bool onADataPage(Monkey &m) { return m.onPage<QTableWidget>("tabled"); }
bool onAChartPage(Monkey &m) { return m.onPage<QCustomPlot>("plot"); }
bool withChannels(Monkey &m) { return m.onPage<QTableWidget>("tablechaddr"); }

void importFrom(Monkey &m, const QString &folder, bool adding = false)
{
    QStringList names = QDir(folder).entryList({"*.CSV"}, QDir::Files, QDir::Name);
    if (pick(m.random, 3) == 0)
        names = names.mid(pick(m.random, 2), 1);
    m.chosen.files = pick(m.random, 8) == 0 ? QStringList() : QStringList{folder} + names;
    m.chosen.adding = adding;
    action(*m.window, adding ? "actionaddfiles" : "actionopendb")->trigger();
}

void importSample(Monkey &m, bool adding = false)
{
    importFrom(m, QStringLiteral(SAMPLES_DIR) + "/" + Samples.at(pick(m.random, int(Samples.size()))).first, adding);
}

const QList<Action> Actions{
    {"import samples", always, [](Monkey &m) { importSample(m); }, 2},
    {"add samples", always, [](Monkey &m) { importSample(m, true); }, 2},
    {"whole window", onAChartPage, [](Monkey &m) { m.onPage<QCheckBox>("wholeWindow")->click(); }},
    {"import folder without model file", always, [](Monkey &m) { importFrom(m, m.scratch + "/no-model"); }},
    {"import a picture", always, [](Monkey &m) { importFrom(m, m.scratch + "/picture"); }},
    {"table view", always, [](Monkey &m) { action(*m.window, "actionsearch")->trigger(); }, 2},
    {"chart view", always, [](Monkey &m) { action(*m.window, "actioncart")->trigger(); }, 2},
    {"configuration", always, [](Monkey &m) { action(*m.window, "actionsoftconfig")->trigger(); }},
    {"resize", always, [](Monkey &m) { m.window->resize(300 + pick(m.random, 1200), 200 + pick(m.random, 900)); }},
    {"set window", onAPage, [](Monkey &m) {
         // Empty, reversed, the records' days or part of them, or anywhere.
         QDateTime from = QDateTime(QDate(2024, 2, 29), QTime(0, 0)).addSecs(pick(m.random, 4 * 86400));
         QDateTime to = QDateTime(QDate(2024, 2, 29), QTime(0, 0)).addSecs(pick(m.random, 4 * 86400));
         const int kind = pick(m.random, 6);
         if (kind == 0)
             to = from;
         else if (kind == 1 && from < to)
             std::swap(from, to);
         else if (kind >= 2 && kind <= 4)
             from = Start.addSecs(kind == 4 ? pick(m.random, 86400) : 0), to = from.addDays(2);
         setWindow(m.page(), from, to);
     }, 3},
    {"tick a channel", withChannels, [](Monkey &m) {
         pressChannel(m.page(), pick(m.random, m.onPage<QTableWidget>("tablechaddr")->rowCount()));
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
    {"search", onAPage, [](Monkey &m) { click(m.page(), "pushButton"); }, 5},
    {"all records", onAPage, [](Monkey &m) { click(m.page(), "allRecords"); }},
    {"first", onAPage, [](Monkey &m) { click(m.page(), "page_home"); }, 2},
    {"previous", onAPage, [](Monkey &m) { click(m.page(), "page_up"); }, 2},
    {"next", onAPage, [](Monkey &m) { click(m.page(), "page_down"); }, 3},
    {"last", onAPage, [](Monkey &m) { click(m.page(), "page_end"); }, 2},
    {"export", onADataPage, [](Monkey &m) {
         m.chosen.files = QStringList{m.scratch, "export.csv"};
         if (pick(m.random, 5) == 0)
             m.chosen.files.clear();
         click(m.page(), "page_export");
     }},
    {"save image", onAChartPage, [](Monkey &m) {
         m.chosen.files = QStringList{m.scratch, pick(m.random, 2) ? "chart.png" : "chart.pdf"};
         click(m.page(), "page_image");
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

QString describe(const QList<Step> &steps)
{
    QStringList lines;
    for (const Step &s : steps)
        lines << s.first + '\t' + QString::number(s.second);
    return lines.join('\n');
}

QList<Step> readSteps(const QString &path)
{
    QList<Step> steps;
    for (const QString &line : readTextFile(path).split('\n', Qt::SkipEmptyParts))
        steps.append({line.section('\t', 0, -2), line.section('\t', -1).toUInt()});
    return steps;
}

// Drops ever smaller runs of steps, the failing last one kept, while the run
// still fails: a failing run ends at its failure, so the list may shrink by
// more than the steps dropped.
QList<Step> shortened(Monkey &monkey, QList<Step> steps)
{
    for (qsizetype chunk = qMax<qsizetype>(1, (steps.size() - 1) / 2); chunk >= 1; chunk /= 2) {
        for (qsizetype end = steps.size() - 1; end > 0; end -= chunk) {
            end = qMin(end, steps.size() - 1);
            const qsizetype begin = qMax<qsizetype>(0, end - chunk);
            QList<Step> fewer = steps.mid(0, begin) + steps.mid(end);
            if (!monkey.run(fewer).isEmpty())
                steps = fewer;
        }
    }
    return steps;
}

} // namespace

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setUpFilesBeside();
    QTemporaryDir scratch;
    Monkey monkey(scratch.path());
    const bool replay = argc > 2 && qstrcmp(argv[1], "--replay") == 0;
    QList<Step> steps = replay ? readSteps(QString::fromLocal8Bit(argv[2])) : QList<Step>();
    const quint32 seed = replay ? 0 : argc > 2 ? QByteArray(argv[2]).toUInt() : 20241206u;
    QElapsedTimer clock;
    clock.start();
    const QString failure = monkey.run(steps, replay ? 0 : argc > 1 ? QByteArray(argv[1]).toInt() : 2000, seed);
    const double seconds = clock.elapsed() / 1000.0;
    if (failure.isEmpty()) {
        print(QStringLiteral("%1 actions in %2 s (%3 a second), seed %4: every check held")
                  .arg(steps.size()).arg(seconds, 0, 'f', 1).arg(steps.size() / qMax(seconds, 0.001), 0, 'f', 0).arg(seed));
        return 0;
    }
    print(QStringLiteral("seed %1, after %2 actions: %3").arg(seed).arg(steps.size()).arg(failure));
    QList<Step> shortest = shortened(monkey, steps);
    const QString path = QDir::current().filePath(QStringLiteral("monkey-failure.txt")), listing = describe(shortest);
    QFile out(path);
    if (out.open(QIODevice::WriteOnly | QIODevice::Text))
        out.write(listing.toUtf8() + '\n');
    print(QStringLiteral("shortest sequence that still fails (%1, replay with --replay %2):\n%3")
              .arg(monkey.run(shortest)).arg(path, listing));
    return 1;
}
