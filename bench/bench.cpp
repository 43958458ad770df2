// Import, search and chart figures on generated records, compared with the
// sqlite3 shell's own .import. One line per figure: median of 5 runs, min, max.
#include "excursionlist.h"
#include "freedmemory.h"
#include "recorddatabase.h"
#include "recordreport.h"
#include "recordtime.h"
#include "recordstore.h"
#include "settings.h"
#include "sqlthread.h"

#include <QApplication>
#include <QDir>
#include <QLoggingCategory>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <functional>
#include <sys/resource.h>

namespace {

const QDateTime Start(QDate(2024, 3, 1), QTime(0, 0));

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

struct Figures {
    QList<double> ms;
    double median() const
    {
        QList<double> sorted = ms;
        std::sort(sorted.begin(), sorted.end());
        return sorted.at(sorted.size() / 2);
    }
    double min() const { return *std::min_element(ms.begin(), ms.end()); }
    double max() const { return *std::max_element(ms.begin(), ms.end()); }
    void print(const char *what, const char *target = "") const
    {
        std::printf("%-52s median %9.2f ms   min %9.2f   max %9.2f   %s\n", what, median(), min(), max(), target);
        std::fflush(stdout);
    }
};

class Bench
{
public:
    // Imports run on the main window's worker, searches on a page's, as in the viewer.
    Bench() : importer(new SQLThread), worker(new SQLThread)
    {
        importer->moveToThread(&importThread);
        importThread.start();
        worker->moveToThread(&thread);
        thread.start();
    }
    ~Bench()
    {
        for (QThread *running : {&importThread, &thread}) {
            running->quit();
            running->wait();
        }
        delete importer;
        delete worker;
    }

    // Runs one import and returns its time in ms.
    double import(const QStringList &files)
    {
        std::swap(importer, worker);
        const double ms = time([this, files] { worker->dn_importCSV(files); });
        std::swap(importer, worker);
        return ms;
    }

    // Runs one addition and returns its time in ms.
    double add(const QStringList &files)
    {
        std::swap(importer, worker);
        const double ms = time([this, files] { worker->dn_addCSV(files); });
        std::swap(importer, worker);
        return ms;
    }

    // Waits until the sums and the overview are built behind an import.
    void waitForImporter() { QMetaObject::invokeMethod(importer, [] {}, Qt::BlockingQueuedConnection); }

    // Runs one job on the worker thread and returns its time in ms.
    double time(std::function<void()> job)
    {
        QEventLoop loop;
        auto connection = QObject::connect(worker, &SQLThread::PostProgress, &loop, [&](QString, int value) {
            if (value == 100)
                loop.quit();
        });
        QElapsedTimer clock;
        clock.start();
        QMetaObject::invokeMethod(worker, job, Qt::QueuedConnection);
        loop.exec();
        const double ms = clock.nsecsElapsed() / 1e6;
        QObject::disconnect(connection);
        takeRecords(); // as the page does, once it has shown them
        // A failed job's time is no figure of the job's work.
        if (!worker->outcome().done())
            std::printf("  (the job did not succeed: %s)\n", qPrintable(worker->outcome().reason));
        return ms;
    }

    Figures repeat(int runs, std::function<void()> job)
    {
        Figures f;
        for (int i = 0; i < runs; ++i)
            f.ms << time(job);
        return f;
    }

    SQLThread *importer;
    SQLThread *worker;
    QThread importThread;
    QThread thread;
};

QString generate(const QString &root, int model, int lines)
{
    const QString folder = QStringLiteral("%1/model%2-%3").arg(root).arg(model).arg(lines);
    if (QFile::exists(folder + "/20240301.CSV"))
        return folder;
    QProcess::execute("python3", {SOURCE_DIR "/scripts/make_samples.py", "--model", QString::number(model),
                                  "--lines", QString::number(lines), "--files", "1", "--interval", "1",
                                  "--out", folder});
    return folder;
}

// Writes out what earlier runs left in the page cache, so that no timed
// import pays for another's writes.
void settle()
{
    QProcess::execute("sync", {});
}

double shellImport(const QString &file, const QString &table)
{
    const QString db = QCoreApplication::applicationDirPath() + "/shell.db";
    QFile::remove(db);
    QFile::copy(recordTemplatePath(), db);
    QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
    QElapsedTimer clock;
    clock.start();
    QProcess shell;
    shell.start("sqlite3", {db, QStringLiteral(".import --csv --skip 1 %1 %2").arg(file, table)});
    shell.waitForFinished(-1);
    const double ms = clock.nsecsElapsed() / 1e6;
    QFile::remove(db);
    return ms;
}

// Ours and the shell run in turns, so that both meet the same load of the
// machine; the ratio is the median of the five paired ratios.
void importFamily(Bench &bench, const QString &root, int model, int lines, const char *table)
{
    const QString folder = generate(root, model, lines);
    const QString file = folder + "/20240301.CSV";
    Figures ours, shell, ratio;
    for (int run = 0; run < 5; ++run) {
        replaceRecordDatabase();
        settle();
        const double oursMs = bench.import({file});
        // The sums and the overview are built behind the import; the shell waits for them.
        bench.waitForImporter();
        settle();
        const double shellMs = shellImport(file, table);
        ours.ms << oursMs;
        shell.ms << shellMs;
        ratio.ms << shellMs / oursMs;
    }
    const auto rate = [lines](double ms) { return lines / (ms / 1000); };
    std::printf("import model %-4d %8d lines: %9.0f rows/s (min %9.0f, max %9.0f)\n", model, lines,
                rate(ours.median()), rate(ours.max()), rate(ours.min()));
    std::printf("  sqlite3 .import  %8d lines: %9.0f rows/s (min %9.0f, max %9.0f)\n", lines, rate(shell.median()),
                rate(shell.max()), rate(shell.min()));
    std::printf("  ratio %.2f (min %.2f, max %.2f)   peak RSS %.0f MB\n", ratio.median(), ratio.min(), ratio.max(),
                peakMegabytes());
    std::fflush(stdout);
}

// A corrupt file whose one "line" is 100 MB long: memory must stay flat.
void longLine(Bench &bench, const QString &root)
{
    const QString folder = root + "/longline";
    QDir().mkpath(folder);
    QFile model(folder + "/VNMETER.INI");
    model.open(QIODevice::WriteOnly);
    model.write("16\r\n");
    model.close();
    QFile file(folder + "/20240301.CSV");
    if (!file.exists() || file.size() < 100 * 1024 * 1024) {
        file.open(QIODevice::WriteOnly);
        file.write("header\r\n");
        const QByteArray chunk(1024 * 1024, '7');
        for (int i = 0; i < 100; ++i)
            file.write(chunk);
        file.write("\r\n");
        file.close();
    }
    const double before = peakMegabytes();
    replaceRecordDatabase();
    const double ms = bench.import({file.fileName()});
    std::printf("import of a 100 MB line without line end: %.0f ms, peak RSS %.0f MB before, %.0f MB after\n", ms,
                before, peakMegabytes());
    std::fflush(stdout);
}

// Overviews of two channels 1,200 px wide: the whole window, 1 %, and a
// step of zoom or pan on the whole (a window a tenth shorter, then moved).
void overviews(Bench &bench, int family, const QDateTime &st, const QDateTime &en, const char *target = "")
{
    const qint64 span = st.secsTo(en);
    const auto draw = [&bench, family](const QDateTime &from, const QDateTime &to) {
        return [=, &bench] { bench.worker->drawOverview(family, {"pv1", "pv2"}, from, to, 1200); };
    };
    bench.repeat(5, draw(st, en)).print("overview all, 2 channels, 1200 px", target);
    bench.repeat(5, draw(st.addSecs(span / 2), st.addSecs(span / 2 + span / 100)))
        .print("overview 1%, 2 channels, 1200 px", target);
    Figures steps;
    for (int i = 0; i < 5; ++i)
        steps.ms << bench.time(draw(st.addSecs(span / 20 + i * span / 50), en.addSecs(-span / 20 + i * span / 50)));
    steps.print("overview zoom or pan step", target);
}

// The excursions of CH1 and CH2 of a window (as the window asks for two
// ticked channels, one after the other) from `limits`; `runs` of them, each
// followed by the way it read the window.
void excursions(Bench &bench, const QDateTime &st, const QDateTime &en, const ChannelLimits (&limits)[2], int runs,
                const QString &what, const QString &target)
{
    qsizetype found = 0;
    QStringList paths;
    Figures f;
    for (int run = 0; run < runs; ++run) {
        found = 0;
        paths.clear();
        double ms = 0;
        for (int channel : {0, 1}) {
            ms += bench.time([&, channel] {
                bench.worker->findWindowExcursions(1, QStringLiteral("pv%1").arg(channel + 1), st, en, limits[channel]);
            });
            found += g_excursions.excursions.size();
            paths << SQLThread::readPathsOfLastJob().filter(QStringLiteral("window"));
        }
        f.ms << ms;
    }
    f.print(qPrintable(QStringLiteral("%1: %2 found").arg(what).arg(found)), qPrintable(target));
    std::printf("  read: %s\n", qPrintable(paths.join("; ")));
}

void periods(Bench &bench, const QDateTime &st, const QDateTime &en, const ChannelLimits &limits, PeriodLength length,
             int runs, const QString &what, const QString &target)
{
    const Figures f = bench.repeat(runs, [&] {
        bench.worker->tabulateWindowPeriods(1, QStringLiteral("pv1"), st, en, limits, length);
    });
    f.print(qPrintable(QStringLiteral("%1: %2 rows").arg(what).arg(g_periods.size())), qPrintable(target));
}

// The least, greatest and mean value of a channel over a window.
ValueSummary channelValues(Bench &bench, int channel, const QDateTime &st, const QDateTime &en)
{
    bench.time([&] { bench.worker->dn_Record_Search1(-1, channel, st, en, -99999, 99999, false); });
    return g_summary.values.value(0);
}

// A QA engineer's questions of a window: the excursions of both channels
// from limits crossed now and then and from a limit inside the noise; CH1's
// periods by day and by hour and its figures between two cursors; `runs` of each.
void questions(Bench &bench, const QDateTime &st, const QDateTime &en, int runs, const QStringList &targets)
{
    ChannelLimits rare[2], noisy[2];
    for (int channel : {0, 1}) {
        const ValueSummary v = channelValues(bench, channel, st, en);
        rare[channel].lower = v.minimum + 0.02 * (v.maximum - v.minimum);
        rare[channel].upper = v.maximum - 0.02 * (v.maximum - v.minimum);
        noisy[channel].upper = v.mean;
    }
    bench.repeat(runs, [&] { bench.worker->measureSpan(1, QStringLiteral("pv1"), st, en, ChannelLimits{}); })
        .print("MKT of the window (cursor figures over all of it)", qPrintable(targets.value(4)));
    excursions(bench, st, en, rare, runs, "excursions, 2 channels, limits near the extremes", targets.value(0));
    excursions(bench, st, en, noisy, runs, "excursions, 2 channels, limits at the mean", targets.value(1));
    periods(bench, st, en, rare[0], PeriodLength::Day, runs, "periods by day", targets.value(2));
    periods(bench, st, en, rare[0], PeriodLength::Hour, runs, "periods by hour", targets.value(2));
    const qint64 span = st.secsTo(en);
    bench.repeat(runs, [&] { bench.worker->measureSpan(1, QStringLiteral("pv1"), st.addSecs(span / 3), en.addSecs(-span / 3), rare[0]); })
        .print("cursor figures over the middle third", qPrintable(targets.value(3)));
}

// The report of CH1 and CH2 of a window by day, limits near the extremes,
// from reading its figures to the PDF written; `runs` of it. A window whose
// excursions would fill thousands of pages is not written.
void report(Bench &bench, const QDateTime &st, const QDateTime &en, const char *what, int runs, const char *target)
{
    QList<ReportColumn> columns;
    for (int channel : {1, 2}) {
        const ValueSummary v = channelValues(bench, channel - 1, st, en);
        ReportColumn column;
        column.column = QStringLiteral("pv%1").arg(channel);
        column.label = QStringLiteral("CH%1 PV").arg(channel);
        column.limits.lower = v.minimum + 0.02 * (v.maximum - v.minimum);
        column.limits.upper = v.maximum - 0.02 * (v.maximum - v.minimum);
        column.colour = channel - 1;
        columns << column;
    }
    const auto run = [&bench](const std::function<void(SQLThread *)> &job) {
        bench.time([&] { job(bench.worker); });
        return bench.worker->outcome().done();
    };
    const QString pdf = QCoreApplication::applicationDirPath() + "/data/report.pdf";
    Figures f;
    qint64 listed = 0;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer clock;
        clock.start();
        ReportContents contents;
        QString error;
        if (!readReport(1, st, en, PeriodLength::Day, columns, bench.worker, run, &contents))
            return (void)std::printf("  report %s: a job did not succeed\n", what);
        const RecordReport written(contents);
        listed = written.listedRows();
        if (listed > RecordReport::LongReportRows)
            return (void)std::printf("  report %s: not written, its %lld excursions and periods would fill "
                                     "thousands of pages (the viewer asks first)\n", what, listed);
        if (!written.writePdf(pdf, &error))
            return (void)std::printf("  report %s: %s\n", what, qPrintable(error));
        f.ms << clock.nsecsElapsed() / 1e6;
    }
    f.print(qPrintable(QStringLiteral("report %1, 2 channels, %2 rows listed, by day: %3 kB")
                           .arg(QLatin1String(what)).arg(listed).arg(QFileInfo(pdf).size() / 1024)),
            target);
}

void searches(Bench &bench, int total)
{
    Meter = 16;
    PageRcd = 100;
    const QDateTime all = Start.addSecs(total);
    const QDateTime onePercent = Start.addSecs(total / 2 + total / 100);
    overviews(bench, 1, Start, all);
    struct Window { const char *name; QDateTime st, en; };
    const Window windows[] = {{"all", Start, all}, {"1%", Start.addSecs(total / 2), onePercent}};
    double newSearch[2][2] = {}; // [range, HH/LL][all, 1 %]
    for (const Window &w : windows) {
        for (bool ishl : {false, true}) {
            const QByteArray label = QByteArray("search ") + (ishl ? "HH/LL " : "range ") + w.name;
            const Figures f = bench.repeat(5, [&] { bench.worker->dn_Record_Search1(-1, 0, w.st, w.en, 20, 60, ishl); });
            f.print(label + " new (count, summary, first page)");
            newSearch[ishl][&w - windows] = f.median();
            const int lastPage = qMax(0, (g_recordCount - 1) / PageRcd);
            bench.repeat(5, [&] { bench.worker->dn_Record_Search1(lastPage, 0, w.st, w.en, 20, 60, ishl); })
                .print(label + " last page");
        }
        for (int plot : {500, 100000}) {
            PlotRcd = plot;
            bench.repeat(5, [&] { bench.worker->dn_Record_Cart1(false, -1, 0, w.st, w.en); })
                .print(QByteArray("chart ") + w.name + " PlotRcd " + QByteArray::number(plot) + " new");
        }
    }
    // The bounds cross the values and HH and LL lie in every block.
    std::printf("noisy 1 M: new search of the whole window against 1 %%: range %.1fx, HH/LL %.1fx   target < 5x\n",
                newSearch[0][0] / newSearch[0][1], newSearch[1][0] / newSearch[1][1]);
    std::printf("the questions of all records (the targets are the year run's)\n");
    questions(bench, Start, all, 3, {});
    report(bench, Start, Start.addSecs(86399), "of a day", 3, "(the year run's target < 500 ms)");
    report(bench, Start, all, "of all records", 3, "");
}

// The bench's years of one-second records of a 2-channel controller, in
// daily files (generated once, then reused): "smooth", a daily swing whose
// HH and LL come in rare runs; "noisy", a set point held in noise of about
// 1 % of the range, with rare spikes, HH and LL in every block, and gaps.
QStringList yearFiles(const QString &root, const QString &kind = QStringLiteral("smooth"))
{
    const QString folder = root + "/year-" + kind + "-model12";
    if (!QFile::exists(folder + "/.complete")) {
        QDir(folder).removeRecursively();
        QProcess::execute("python3", {SOURCE_DIR "/scripts/make_samples.py", "--model", "12", "--lines", "86400",
                                      "--files", "365", "--interval", "1", "--kind", kind, "--out", folder});
        QFile(folder + "/.complete").open(QIODevice::WriteOnly);
    }
    QStringList files;
    for (const QString &name : QDir(folder).entryList({"*.CSV"}, QDir::Files, QDir::Name))
        files << folder + "/" + name;
    return files;
}

// The record lines of `files` (a header line each).
qint64 recordLines(const QStringList &files)
{
    qint64 lines = 0;
    for (const QString &path : files) {
        QFile file(path);
        file.open(QIODevice::ReadOnly);
        while (!file.atEnd())
            lines += file.read(1 << 20).count('\n');
        --lines;
    }
    return lines;
}

// The shell's .import of every file into one database; its size in `bytes`.
double shellImportAll(const QStringList &files, const QString &table, qint64 *bytes)
{
    const QString db = QCoreApplication::applicationDirPath() + "/shell.db";
    const QString commands = db + ".commands";
    QFile::remove(db);
    QFile::copy(recordTemplatePath(), db);
    QFile::setPermissions(db, QFile::ReadOwner | QFile::WriteOwner);
    QFile script(commands);
    script.open(QIODevice::WriteOnly);
    for (const QString &file : files)
        script.write(QStringLiteral(".import --csv --skip 1 %1 %2\n").arg(file, table).toUtf8());
    script.close();
    QElapsedTimer clock;
    clock.start();
    QProcess shell;
    shell.setStandardInputFile(commands);
    shell.start("sqlite3", {db});
    shell.waitForFinished(-1);
    const double ms = clock.nsecsElapsed() / 1e6;
    *bytes = QFileInfo(db).size();
    QFile::remove(db);
    QFile::remove(commands);
    return ms;
}

// Day `day` after the year's first, written as the first day's file with its
// dates moved, into a folder of its own with the model file; `clockReset`:
// its first record stamped 2000-01-01, as a logger writes after a flat battery.
QString laterDay(const QString &root, const QStringList &year, int day, bool clockReset = false)
{
    const QString folder = root + "/later-days";
    QDir().mkpath(folder);
    QFile::remove(folder + "/VNMETER.INI");
    QFile::copy(QFileInfo(year.first()).path() + "/VNMETER.INI", folder + "/VNMETER.INI");
    const QDate date = Start.date().addDays(day);
    const QString path = folder + "/" + date.toString("yyyyMMdd") + ".CSV";
    if (!QFile::exists(path)) {
        QFile first(year.first()), copy(path);
        first.open(QIODevice::ReadOnly);
        copy.open(QIODevice::WriteOnly);
        QByteArray content = first.readAll().replace(Start.date().toString(Qt::ISODate).toLatin1(),
                                                     date.toString(Qt::ISODate).toLatin1());
        if (clockReset) {
            const qsizetype at = content.indexOf(date.toString(Qt::ISODate).toLatin1());
            content.replace(at, 10, "2000-01-01");
        }
        copy.write(content);
    }
    return path;
}

// Days added to the year's records, a month of files already there, and a
// month added to an empty database (the year's database is set aside meanwhile).
void additions(Bench &bench, const QString &root, const QStringList &yearFiles)
{
    Figures addDay, already, month, shell, ratio;
    // Each run adds days it has not added before (a later run finds the earlier ones there).
    QFile counter(root + "/later-days.next");
    counter.open(QIODevice::ReadWrite);
    const int days = qMax(int(yearFiles.size()), counter.readAll().trimmed().toInt());
    counter.seek(0);
    counter.write(QByteArray::number(days + 6) + "\n");
    counter.close();
    for (int run = 0; run < 3; ++run) {
        const QDate date = Start.date().addDays(days + run);
        const QString file = laterDay(root, yearFiles, days + run);
        // The year's import leaves gigabytes to be written; an addition's commit would wait for them.
        settle();
        double ms = bench.add({file});
        ms += bench.time([&bench, date] {
            bench.worker->dn_Record_Search1(-1, 0, QDateTime(date, QTime(6, 0)), QDateTime(date, QTime(7, 0)), -99999,
                                            99999, false);
        });
        addDay.ms << ms;
        bench.waitForImporter();
    }
    addDay.print("  add a day to the year, to a window's first page", "target < 1500 ms");
    Figures resetDay;
    for (int run = 3; run < 6; ++run) {
        const QString file = laterDay(root, yearFiles, days + run, true);
        settle();
        resetDay.ms << bench.add({file});
        bench.waitForImporter();
    }
    resetDay.print("  add a day with one record stamped 2000-01-01", "target within 1.5x of a plain day's addition");
    const QStringList firstMonth = yearFiles.mid(0, 30);
    for (int run = 0; run < 5; ++run)
        already.ms << bench.add(firstMonth);
    already.print("  add 30 days already there", "target < 500 ms");

    const QString yearDb = recordDatabasePath() + ".year";
    QFile::remove(yearDb); // one left by a run that stopped would keep the year from moving aside
    if (!QFile::rename(recordDatabasePath(), yearDb))
        return (void)std::printf("  add a month to an empty database: the year's records could not be moved aside\n");
    qint64 bytes = 0;
    for (int run = 0; run < 3; ++run) {
        replaceRecordDatabase();
        Meter = -1;
        settle();
        month.ms << bench.add(firstMonth);
        bench.waitForImporter();
        settle();
        shell.ms << shellImportAll(firstMonth, "meter12", &bytes);
        ratio.ms << shell.ms.last() / month.ms.last();
    }
    std::printf("  add a month to an empty database: median %.0f ms, sqlite3 .import %.0f ms, ratio %.2f (min %.2f, max %.2f)   target >= 2.0\n",
                month.median(), shell.median(), ratio.median(), ratio.min(), ratio.max());
    std::fflush(stdout);
    // In one step: a job that opens record.db between a removal and a rename would keep the year aside.
    if (std::rename(QFile::encodeName(yearDb).constData(), QFile::encodeName(recordDatabasePath()).constData()) != 0)
        std::printf("  the year's records could not be put back: they are in %s\n", qPrintable(yearDb));
    Meter = 12;
}

// The noisy year's figures on a database of its own, kept beside the smooth
// year's between runs; `reuse`: its records of the last run.
void noisyYear(Bench &bench, const QString &root, bool reuse)
{
    const QStringList files = yearFiles(root, QStringLiteral("noisy"));
    const QString smoothDb = recordDatabasePath() + ".smooth", noisyDb = recordDatabasePath() + ".noisy";
    QFile::remove(smoothDb);
    QFile::rename(recordDatabasePath(), smoothDb);
    const qint64 lines = recordLines(files);
    std::printf("noisy year of model 12: %d files, %lld lines\n", int(files.size()), lines);
    if (!(reuse && QFile::rename(noisyDb, recordDatabasePath()))) {
        replaceRecordDatabase();
        settle();
        QElapsedTimer clock;
        clock.start();
        const double importMs = bench.import(files);
        bench.waitForImporter();
        const double readyMs = clock.nsecsElapsed() / 1e6;
        const qint64 ourBytes = QFileInfo(recordDatabasePath()).size();
        settle();
        qint64 shellBytes = 0;
        const double shellMs = shellImportAll(files, "meter12", &shellBytes);
        std::printf("noisy year: import %.0f rows/s, sqlite3 .import %.0f rows/s: ratio %.2f; files to every figure "
                    "ready: ratio %.2f (target >= 1.5); record.db %.1f bytes a record (target < 100)\n",
                    lines / (importMs / 1000), lines / (shellMs / 1000), shellMs / importMs, shellMs / readyMs,
                    double(ourBytes) / lines);
    }
    Meter = 12;
    const QDateTime end = Start.addDays(files.size()).addSecs(-1), day = Start.addDays(200), dayEnd = day.addSecs(86399);
    const ValueSummary v = channelValues(bench, 0, Start, end);
    // Bounds and limits half a standard deviation of the noise either side of the set point.
    const double low = v.mean - 0.25, high = v.mean + 0.25;
    const auto search = [&bench](int page, const QDateTime &st, const QDateTime &en, double pv1, double pv2, bool ishl) {
        return [=, &bench] { bench.worker->dn_Record_Search1(page, 0, st, en, pv1, pv2, ishl); };
    };
    const char *yearTarget = "target < 300 ms";
    bench.repeat(3, search(-1, Start, end, low, high, false))
        .print("noisy year: range inside the noise, new", yearTarget);
    bench.repeat(3, search(-1, Start, end, v.mean, qInf(), false))
        .print("noisy year: one-sided bound inside the noise, new", yearTarget);
    bench.repeat(3, search(-1, Start, end, 0, 0, true)).print("noisy year: HH/LL new", yearTarget);
    const int pages = qMax(1, (g_recordCount + PageRcd - 1) / PageRcd);
    bench.repeat(3, search(pages / 2, Start, end, 0, 0, true)).print("noisy year: HH/LL a middle page", "target < 100 ms");
    bench.repeat(3, search(pages - 1, Start, end, 0, 0, true)).print("noisy year: HH/LL last page", "target < 100 ms");
    bench.repeat(3, [&] { bench.worker->dn_Record_Cart1(false, -1, 0, Start, end); })
        .print("noisy year: chart of 500", "target < 100 ms");
    bench.repeat(5, search(-1, day, dayEnd, low, high, false)).print("noisy a day: range inside the noise, new", "target < 30 ms");
    bench.repeat(5, search(-1, day, dayEnd, 0, 0, true)).print("noisy a day: HH/LL new", "target < 30 ms");
    // Limits three standard deviations of the noise from the set point: inside
    // the band the noise reaches, crossed every few minutes.
    ChannelLimits inside[2];
    for (int channel : {0, 1}) {
        const ValueSummary c = channelValues(bench, channel, Start, end);
        inside[channel].lower = c.mean - 1.5;
        inside[channel].upper = c.mean + 1.5;
    }
    excursions(bench, Start, end, inside, 3, "noisy year: excursions, 2 channels, limits inside the noise",
               "target < 500 ms");
    periods(bench, Start, end, inside[0], PeriodLength::Day, 3, "noisy year: periods by day", "target < 150 ms");
    std::printf("  peak RSS %.0f MB (target < 60)\n", peakMegabytes());
    QFile::remove(noisyDb);
    QFile::rename(recordDatabasePath(), noisyDb);
    QFile::rename(smoothDb, recordDatabasePath());
}

// The reports of a day and of the whole year, 2 channels, by day.
void yearReports(Bench &bench, qsizetype days)
{
    Meter = 12;
    const QDateTime day = Start.addDays(200);
    report(bench, day, day.addSecs(86399), "of a day", 3, "target < 500 ms");
    report(bench, Start, Start.addDays(days).addSecs(-1), "of the year", 3, "target < 3000 ms, < 2 MB");
}

void year(Bench &bench, const QString &root, bool searchOnly, bool questionsOnly, bool profileDay)
{
    const QStringList files = yearFiles(root);
    const double lines = 86400.0 * files.size();
    Meter = 12;
    PageRcd = 100;
    PlotRcd = 500;
    const QDateTime mid = Start.addDays(182), end = Start.addDays(files.size()).addSecs(-1);
    if (questionsOnly)
        return questions(bench, Start, end, 3, {"target < 300 ms", "target < 2000 ms", "target < 150 / < 400 ms",
                                                "target < 100 ms", "target < 100 ms"});
    const auto search = [&](int page, const QDateTime &st, const QDateTime &en) {
        return [=, &bench] { bench.worker->dn_Record_Search1(page, 0, st, en, -99999, 99999, false); };
    };
    Figures ours, shell, ratio, toFirstPage, readyRatio;
    qint64 shellBytes = 0, ourBytes = 0;
    for (int run = 0; run < (searchOnly ? 0 : 3); ++run) {
        replaceRecordDatabase();
        settle();
        QElapsedTimer clock;
        clock.start();
        ours.ms << bench.import(files);
        // The sums are built right behind the import; a search waits for them.
        toFirstPage.ms << bench.time(search(-1, mid, mid.addSecs(int(lines / 100))));
        bench.waitForImporter(); // and for the sums and the overview
        const double readyMs = clock.nsecsElapsed() / 1e6;
        ourBytes = QFileInfo(recordDatabasePath()).size();
        settle();
        shell.ms << shellImportAll(files, "meter12", &shellBytes);
        ratio.ms << shell.ms.last() / ours.ms.last();
        readyRatio.ms << shell.ms.last() / readyMs;
    }
    const auto rate = [lines](double ms) { return lines / (ms / 1000); };
    std::printf("year of model 12: %d files, %.0f lines\n", int(files.size()), lines);
    if (!searchOnly) {
        std::printf("  import (medians of 3 paired runs) %9.0f rows/s   sqlite3 .import %9.0f rows/s   ratio %.2f (min %.2f, max %.2f)   target >= 2.0\n",
                    rate(ours.median()), rate(shell.median()), ratio.median(), ratio.min(), ratio.max());
        std::printf("  peak RSS %.0f MB (target < 50); record.db %.1f bytes a record with the sums, packed values and overview (target < 100), the shell's %.1f without\n",
                    peakMegabytes(), ourBytes / lines, shellBytes / lines);
        toFirstPage.print("  import's end to a 1% window's first page", "target < 15000 ms");
        std::printf("  files to every figure ready (import, sums and packed values, overview) against sqlite3 .import: "
                    "ratio %.2f (min %.2f, max %.2f)   target >= 1.5\n",
                    readyRatio.median(), readyRatio.min(), readyRatio.max());
    }
    const QDateTime day = Start.addDays(200), dayEnd = day.addSecs(86399);
    const int dayRuns = profileDay ? 20 : 5;
    bench.repeat(dayRuns, search(-1, day, dayEnd)).print("  a day: count, summary and first page", "target < 30 ms");
    bench.repeat(5, search(500, day, dayEnd)).print("  a day: a later page", "target < 30 ms");
    bench.repeat(dayRuns, [&] { bench.worker->dn_Record_Cart1(false, -1, 0, day, dayEnd); }).print("  a day: chart of 500", "target < 30 ms");
    if (profileDay)
        return;
    bench.repeat(5, search(-1, Start, end)).print("  the year: count, summary and first page", "target < 300 ms");
    const int lastPage = qMax(0, (g_recordCount - 1) / PageRcd);
    bench.repeat(5, search(lastPage, Start, end)).print("  the year: last page", "target < 300 ms");
    bench.repeat(5, [&] { bench.worker->dn_Record_Cart1(false, -1, 0, Start, end); }).print("  the year: chart of 500", "target < 300 ms");
    overviews(bench, 1, Start, end, "target < 200 / < 100 ms");
    questions(bench, Start, end, 3,
              {"target < 300 ms", "target < 2000 ms", "target < 150 / < 400 ms", "target < 100 ms", "target < 100 ms"});
    bench.repeat(5, [&] { bench.worker->drawOverview(1, {"pv1", "pv2"}, day, dayEnd, 1200); })
        .print("overview a day, 2 channels, 1200 px", "target < 50 ms");
    yearReports(bench, files.size());
    std::printf("  peak RSS %.0f MB (target < 60 while drawing the year)\n", peakMegabytes());
    additions(bench, root, files);
    noisyYear(bench, root, searchOnly);
}

} // namespace

int main(int argc, char **argv)
{
    keepLocalZoneLoaded(); // as the viewer does
    setAllocatorLimits();
    // The report's chart is a widget, drawn off any screen.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The jobs' debug traces would stand between the figures.
    QLoggingCategory::setFilterRules(QStringLiteral("*.debug=false"));
    const bool wholeYear = argc > 1 && qstrcmp(argv[1], "year") == 0;
    const int lines = argc > 1 ? QString(argv[1]).toInt() : 1000000;
    const QString root = QCoreApplication::applicationDirPath() + "/data";
    QDir().mkpath(root);
    QFile::copy(settingsPath(), settingsPath() + ".bench");
    Bench bench;
    // "import" stops after the imports; "search" reuses the records of the last run.
    const QByteArray mode = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    if (wholeYear) {
        if (mode == "noisy" || mode == "noisy-import")
            noisyYear(bench, root, mode == "noisy");
        else if (mode == "report")
            yearReports(bench, yearFiles(root).size());
        else if (mode == "add")
            additions(bench, root, yearFiles(root));
        else
            year(bench, root, mode == "search" || mode == "day", mode == "questions", mode == "day");
    } else if (mode != "search" && mode != "report") {
        longLine(bench, root);
        std::printf("records per family: %d (family 4: %d)\n", lines, lines * 3 / 10);
        importFamily(bench, root, 216, lines, "meter216");
        importFamily(bench, root, 3, lines * 3 / 10, "meter4");
        importFamily(bench, root, 16, lines, "meter16");
    }
    if (mode == "report" && !wholeYear) {
        Meter = 16;
        report(bench, Start, Start.addSecs(86399), "of a day", 1, "");
    } else if (mode != "import" && !wholeYear)
        searches(bench, lines);
    std::printf("peak RSS of the whole run: %.0f MB\n", peakMegabytes());
    QFile::remove(settingsPath());
    QFile::rename(settingsPath() + ".bench", settingsPath());
    return 0;
}
