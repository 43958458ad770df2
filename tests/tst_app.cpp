#include "commandline.h"
#include "settings.h"
#include "testsupport.h"

#include <QDomDocument>

using namespace TestSupport;

namespace {

QString meterIn(const QString &folder)
{
    QDomDocument settings;
    return parseSettingsContent(readTextFile(folder + "/Sundrevale.Config").toUtf8(), settings) ? settingValue(settings, "Meter") : QString();
}

// Offscreen, with a home of its own: no remembered places of the user.
QProcessEnvironment viewerEnvironment(const QString &home)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"XDG_DATA_HOME", "XDG_CONFIG_HOME"})
        env.remove(name);
    env.insert("HOME", home);
    env.insert("QT_QPA_PLATFORM", "offscreen");
    return env;
}

// Waits until `folder`'s record.db holds `rows` rows of `meter` and its
// settings say so, then ends the viewer (its window would stay open).
void runUntilImported(const QString &program, const QStringList &arguments, const QString &home,
                      const QString &folder, const QString &meter, const QString &rows)
{
    QProcess viewer;
    viewer.setProcessEnvironment(viewerEnvironment(home));
    viewer.start(program, arguments);
    QVERIFY(viewer.waitForStarted());
    QTRY_COMPARE_WITH_TIMEOUT(databaseValue("select count(*) from meter" + meter, folder + "/record.db"), rows, 30000);
    QTRY_COMPARE(meterIn(folder), meter);
    viewer.kill();
    viewer.waitForFinished();
}

} // namespace

class TestApp : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void arguments_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("output"); // the start of what it prints
        QTest::newRow("version") << QStringList{"--version"} << 0 << versionText();
        QTest::newRow("help") << QStringList{"--help"} << 0 << "Usage: SundrevaleReader [options]";
        QTest::newRow("unknown option") << QStringList{"--bogus"} << 2 << "Unknown option 'bogus'.";
        QTest::newRow("data without folder") << QStringList{"--data"} << 2 << "Missing value after '--data'.";
        QTest::newRow("import of nothing") << QStringList{"--import", "/no/such/folder"} << 2
                                           << "No record file or folder at \"/no/such/folder\".";
        QTest::newRow("addition of nothing") << QStringList{"--add", "/no/such/folder"} << 2
                                             << "No record file or folder at \"/no/such/folder\".";
        QTest::newRow("a path that is not there") << QStringList{"20240301.CSV"} << 2
                                                  << "No record file or folder at \"20240301.CSV\".";
        // Qt's own options are Qt's: with one dash or two, with their values.
        QTest::newRow("Qt's options") << QStringList{"-platform", "offscreen", "-style", "fusion", "-reverse",
                                                     "--qwindowgeometry", "800x600+0+0", "-style=fusion", "--version"}
                                      << 0 << versionText();
        QTest::newRow("Qt's options and a wrong one") << QStringList{"-platform", "offscreen", "--bogus"} << 2
                                                      << "Unknown option 'bogus'.";
        QTest::newRow("a Qt option without its value") << QStringList{"--version", "-display"} << 2
                                                       << "Unknown options: d, i, s, p, l, a, y.";
        QTest::newRow("an addition after a failed import") << QStringList{"--data", dir.filePath("failed"), "--import",
            writeRecordFolder(QDir(dir.path()), "unknown", "17", {{"20240301.CSV", {}}}), "--add", QFileInfo(recordFile(QDir(dir.path()), 2, 2)).path()}
            << 1 << "The import failed, so nothing was added: The model code 17 in VNMETER.INI names no known meter.";
        const QString controller = QStringLiteral(SAMPLES_DIR) + "/controller-2ch";
        QTest::newRow("a report's window that is no time") << QStringList{"--report", "r.pdf", "--from", "yesterday"} << 2
                                                           << "\"yesterday\" is no time: write it as 2024-03-01 06:00.";
        QTest::newRow("a report of channel 0") << QStringList{"--report", "r.pdf", "--channel", "1,0"} << 2
                                               << "\"1,0\" names no channel";
        QTest::newRow("a window without a report") << QStringList{"--from", "2024-03-01"} << 2
                                                   << "--from, --to, --channel and --period belong to --report.";
        QTest::newRow("a report of a channel the instrument lacks")
            << QStringList{"--data", dir.filePath("report3"), "--import", controller, "--report", dir.filePath("r.pdf"), "--channel", "3"}
            << 1 << "The report could not be written: The instrument has channels 1 to 2 only.";
        // Nobody answers a message on a scheduled run: the reason goes to standard error.
        QTest::newRow("an addition of another instrument's files before a report")
            << QStringList{"--data", dir.filePath("report3"), "--add", QStringLiteral(SAMPLES_DIR) + "/recorder-16ch", "--report", dir.filePath("r.pdf")}
            << 1 << "The addition failed, so no report was written: These record files are of another instrument";
        QTest::newRow("a report where no file can be")
            << QStringList{"--data", dir.filePath("report3"), "--report", "/no/such/folder/r.pdf"}
            << 1 << "The report could not be written: ";
        QTest::newRow("a report of a window without records")
            << QStringList{"--data", dir.filePath("report3"), "--report", dir.filePath("r.pdf"), "--from", "2020-01-01", "--to", "2020-01-02"}
            << 1 << "The report could not be written: There are no result to display.";
    }

    // A scheduled job: the day's files imported, the report of chosen
    // channels and window written, the viewer gone with status 0.
    void reportOnSchedule()
    {
        const QString folder = dir.filePath("scheduled"), pdf = dir.filePath("scheduled.pdf");
        QProcess viewer;
        viewer.setProcessEnvironment(viewerEnvironment(dir.path()));
        viewer.start(VIEWER, {"--data", folder, "--import", QStringLiteral(SAMPLES_DIR) + "/controller-2ch", "--report", pdf,
                              "--from", "2024-03-01 06:00", "--to", "2024-03-01 12:00", "--channel", "1,2", "--period", "hour"});
        QVERIFY(viewer.waitForFinished(60000));
        QCOMPARE(viewer.exitCode(), 0);
        QCOMPARE(QString::fromLocal8Bit(viewer.readAllStandardOutput()).trimmed(), "Report written to " + pdf);
        QProcess text;
        text.start("pdftotext", {"-raw", pdf, "-"});
        QVERIFY(text.waitForFinished());
        const QString report = QString::fromUtf8(text.readAllStandardOutput()).simplified();
        for (const char *part : {"Window 2024-03-01 06:00:00 to 2024-03-01 12:00:59", "CH1 PV", "CH2 PV", "By hour",
                                    "2024-03-01 11:00", "Page 1 of"})
            QVERIFY2(report.contains(QString::fromUtf8(part)), qPrintable(part + ("\n" + report.left(1500))));
    }

    void arguments()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, output);
        QProcess viewer;
        QProcessEnvironment env = viewerEnvironment(dir.path());
        env.insert("QT_LOGGING_RULES", "*=false"); // only what the program prints itself
        viewer.setProcessEnvironment(env);
        viewer.start(VIEWER, arguments);
        QVERIFY(viewer.waitForFinished(20000));
        QCOMPARE(viewer.exitCode(), status);
        const QString printed = QString::fromLocal8Bit(status == 0 ? viewer.readAllStandardOutput()
                                                                   : viewer.readAllStandardError());
        QVERIFY2(printed.startsWith(output), qPrintable(printed));
    }

    void installedCopy()
    {
        // Installed under a prefix the user cannot write: records and settings
        // go to the user's data folder.
        const QString prefix = dir.filePath("prefix");
        QCOMPARE(QProcess::execute("cmake", {"--install", BUILD_DIR, "--prefix", prefix}), 0);
        QCOMPARE(QProcess::execute("chmod", {"-R", "a-w", prefix}), 0);
        const QString home = dir.filePath("home");
        QDir().mkpath(home);
        const QString data = home + "/.local/share/Sundrevale/SundrevaleReader";
        runUntilImported(prefix + "/bin/SundrevaleReader", {"--import", QStringLiteral(SAMPLES_DIR) + "/level-meter"}, home, data, "3",
                         "720");
        QVERIFY(!QFile::exists(prefix + "/bin/record.db"));
        QCOMPARE(QProcess::execute("chmod", {"-R", "u+w", prefix}), 0);
        // The menu entry and the metainfo as the desktop reads them.
        QCOMPARE(QProcess::execute("desktop-file-validate",
                                   {prefix + "/share/applications/com.sundrevale.SundrevaleReader.desktop"}), 0);
        QCOMPARE(QProcess::execute("appstreamcli", {"validate", "--no-net",
                                   prefix + "/share/metainfo/com.sundrevale.SundrevaleReader.metainfo.xml"}), 0);
        QVERIFY(QFile::exists(prefix + "/share/icons/hicolor/256x256/apps/sundrevale-reader.png"));
    }

    void oneDataFolderPerInstrument()
    {
        const QString level = dir.filePath("level"), controller = dir.filePath("controller");
        runUntilImported(VIEWER, {"--data", level, "--import", QStringLiteral(SAMPLES_DIR) + "/level-meter"}, dir.path(), level,
                         "3", "720");
        runUntilImported(VIEWER, {"--data", controller, QStringLiteral(SAMPLES_DIR) + "/controller-2ch"}, dir.path(), controller,
                         "12", "720");
        // A new day added to the level meter's records.
        const QString newDay = writeRecordFolder(QDir(dir.path()), "newday", "2", {{"20240401.CSV", {recordFields(2, 0).join(','), recordFields(2, 1).join(',')}}});
        runUntilImported(VIEWER, {"--data", level, "--add", newDay}, dir.path(), level, "3", "722");
        QCOMPARE(databaseValue("select count(*) from meter12", level + "/record.db"), QString("0"));
    }
};

SUNDREVALE_TEST_MAIN(TestApp)
#include "tst_app.moc"
