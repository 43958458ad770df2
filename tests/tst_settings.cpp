#include "settings.h"
#include "testsupport.h"

#include <QFile>
#include <QtTest>

class TestSettings : public QObject
{
    Q_OBJECT

private:
    void writeFile(const QByteArray &content)
    {
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
    }

private slots:
    void readsAnyRootAndTagNames()
    {
        writeFile("<a><b key=\"PageRcd\" value=\"42\"/><!-- c --><zz key=\"Meter\" value=\"216\"/>text</a>");
        QCOMPARE(readSetting("PageRcd"), QString("42"));
        QCOMPARE(readSetting("Meter"), QString("216"));
        QCOMPARE(readSetting("pagercd"), QString()); // keys are case-sensitive
        QCOMPARE(readSetting("Missing"), QString());
    }

    void firstDuplicateIsReadAndWritten()
    {
        writeFile("<r><s key=\"PlotRcd\" value=\"1\"/><s key=\"PlotRcd\" value=\"2\"/></r>");
        QCOMPARE(readSetting("PlotRcd"), QString("1"));
        writeSetting("PlotRcd", "77");
        const QString text = TestSupport::readConfigFile();
        QVERIFY(text.contains("value=\"77\""));
        QVERIFY(text.contains("value=\"2\""));
        QVERIFY(!text.contains("value=\"1\""));
    }

    void conversions_data()
    {
        QTest::addColumn<QString>("lockY");
        QTest::addColumn<QString>("yStep");
        QTest::addColumn<bool>("expectedLock");
        QTest::addColumn<double>("expectedStep");
        QTest::newRow("lock 2, step 0.5") << "2" << "0.5" << true << 0.5;
        QTest::newRow("lock x, step abc") << "x" << "abc" << false << 0.0;
        QTest::newRow("lock empty, step empty") << "" << "" << false << 0.0;
        QTest::newRow("lock 1, step 12.125") << "1" << "12.125" << true << 12.125;
    }

    void conversions()
    {
        QFETCH(QString, lockY);
        QFETCH(QString, yStep);
        TestSupport::writeConfig({{"LockY", lockY}, {"YStep", yStep}, {"Meter", "12"}, {"PageRcd", "abc"}});
        loadSettings();
        QFETCH(bool, expectedLock);
        QFETCH(double, expectedStep);
        QCOMPARE(LockY, expectedLock);
        QCOMPARE(YStep, expectedStep);
        QCOMPARE(Meter, 12);
        QCOMPARE(PageRcd, 0);
        QCOMPARE(PlotRcd, 500);
        QCOMPARE(Tickcount, 10);
    }

    void missingKeyIsNotAdded()
    {
        writeFile("<r><s key=\"Meter\" value=\"3\"/></r>");
        writeSetting("PageRcd", "10");
        QCOMPARE(readSetting("PageRcd"), QString());
        QCOMPARE(readSetting("Meter"), QString("3"));
    }

    void deletedFileIsNotCreated()
    {
        QFile::remove(settingsPath());
        writeSetting("Meter", "12");
        QVERIFY(!QFile::exists(settingsPath()));
        loadSettings();
        QCOMPARE(Meter, 0);
        QCOMPARE(PageRcd, 0);
    }

    void unreadableFilesReadEmptyAndAreNeverRewritten_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("not xml") << QByteArray("Meter=12\n");
        QTest::newRow("doctype") << QByteArray("<!DOCTYPE r [<!ENTITY a \"aaaa\">]><r><s key=\"Meter\" value=\"&a;\"/></r>");
        QByteArray huge = "<r><s key=\"Meter\" value=\"12\"/>";
        huge += QByteArray(1100 * 1024, ' ');
        huge += "</r>";
        QTest::newRow("over 1 MiB") << huge;
    }

    void unreadableFilesReadEmptyAndAreNeverRewritten()
    {
        QFETCH(QByteArray, content);
        writeFile(content);
        QCOMPARE(readSetting("Meter"), QString());
        writeSetting("Meter", "5");
        QFile file(settingsPath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), content);
    }

    void writeReplacesTheFileWhole()
    {
        TestSupport::writeConfig();
        writeSetting("Meter", "216");
        QCOMPARE(readSetting("Meter"), QString("216"));
        QCOMPARE(readSetting("PlotRcd"), QString("500"));
        // The new content goes through a temporary file; none is left over.
        const QStringList leftovers = QDir(QCoreApplication::applicationDirPath())
                                          .entryList({"Sundrevale.Config*"}, QDir::Files);
        QCOMPARE(leftovers, QStringList{"Sundrevale.Config"});
    }
};

QTEST_MAIN(TestSettings)
#include "tst_settings.moc"
