#include "formcart4.h"
#include "formdata1.h"
#include "formdata4.h"
#include "mainwindow.h"
#include "recorddatabase.h"
#include "settings.h"
#include "testsupport.h"

#include <QAction>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QtTest>
#include <QSqlDatabase>
#include <QSqlQuery>

using namespace TestSupport;

namespace {

QAction *action(QWidget &window, const char *name)
{
    return window.findChild<QAction *>(QString::fromLatin1(name));
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init()
    {
        writeConfig();
        loadSettings();
        freshDatabase();
    }

    void cleanup()
    {
        closeModals();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void nothingImportedYet()
    {
        MainWindow window;
        for (const char *name : {"actionsearch", "actioncart"}) {
            QString text;
            answerMessage(&text);
            action(window, name)->trigger();
            QCOMPARE(text, QString("Import Record files(.CSV) first"));
            QVERIFY(!window.currentPage());
            QCOMPARE(window.currentViewMode(), -1);
        }
    }

    void viewsFollowMeter()
    {
        Meter = 4;
        MainWindow window;
        window.show();
        auto hintLabel = [&] {
            for (QLabel *l : window.findChildren<QLabel *>())
                if (l->text() == "If rotate the mouse wheel,the X-axis will scale")
                    return l;
            return static_cast<QLabel *>(nullptr);
        };
        action(window, "actionsearch")->trigger();
        QWidget *tablePage = window.currentPage();
        QVERIFY(qobject_cast<Formdata4 *>(tablePage));
        QVERIFY(!hintLabel()->isVisible());
        action(window, "actionsearch")->trigger();
        QCOMPARE(window.currentPage(), tablePage); // no rebuild
        action(window, "actioncart")->trigger();
        QVERIFY(qobject_cast<Formcart4 *>(window.currentPage()));
        QVERIFY(hintLabel()->isVisible());
        action(window, "actionsearch")->trigger();
        QVERIFY(!hintLabel()->isVisible());
        QCOMPARE(window.currentViewMode(), 1);
    }

    void meterNamingNoFamily()
    {
        Meter = 0;
        MainWindow window;
        action(window, "actionsearch")->trigger();
        QVERIFY(!window.currentPage());
        QCOMPARE(window.currentViewMode(), 1);
        bool named = false;
        for (QLabel *l : window.findChildren<QLabel *>())
            named = named || l->text() == "Data Table View";
        QVERIFY(named);
    }

    void importThroughTheMenu()
    {
        const QString folder = writeRecordFolder(QDir(dir.path()), "import", "3",
            {{"20240302.CSV", {"21.5,30,00,55.5,80,00,2024-03-02 00:00:00"}},
             {"20240301.CSV", {"20.5,30,00,50.5,80,00,2024-03-01 00:00:00", "HH,30,01,LL,80,01,2024-03-01 00:01:00"}}});
        MainWindow window;
        QStringList listed;
        chooseFiles(folder, {"20240302.CSV", "20240301.CSV"}, &listed);
        action(window, "actionopendb")->trigger();
        QVERIFY(listed.contains("20240301.CSV")); // upper-case names pass the *.csv filter
        QVERIFY(qobject_cast<Formdata4 *>(window.currentPage()));
        QCOMPARE(Meter, 4);
        QCOMPARE(readSetting("Meter"), QString("4"));
        QCOMPARE(tableRows("meter4").size(), 3);
        QVERIFY(tableRows("meter4").first().startsWith("20.5|"));
        QCOMPARE(window.statusBar()->currentMessage(), QString("2 files to be imported"));

        // Cancel at the warning keeps the page and the records.
        QWidget *page = window.currentPage();
        QString warning;
        answerMessage(&warning, "push_cancel");
        action(window, "actionopendb")->trigger();
        QCOMPARE(warning, QString("If the data already exists, it will be overwritten"));
        QCOMPARE(window.currentPage(), page);

        // OK, then a cancelled file dialog: no page, database untouched.
        answerMessage(nullptr, "push_ok");
        QString noFiles;
        chooseFiles(folder, {}, nullptr, [&] { answerMessage(&noFiles); });
        action(window, "actionopendb")->trigger();
        QCOMPARE(noFiles, QString("There is no right record file to be choosed"));
        QVERIFY(!window.currentPage());
        QCOMPARE(tableRows("meter4").size(), 3);
    }

    void importOfAnotherFamilyEndsOnItsPage()
    {
        Meter = 4;
        MainWindow window;
        window.findChild<QAction *>("actionsearch")->trigger();
        answerMessage(nullptr, "push_ok");
        chooseFiles(samplesDir() + "/controller-2ch", {"20240301.CSV", "20240302.CSV"});
        action(window, "actionopendb")->trigger();
        QVERIFY(qobject_cast<Formdata1 *>(window.currentPage()));
        QCOMPARE(Meter, 12);
        QCOMPARE(tableRows("meter12").size(), 720);
        QCOMPARE(tableRows("meter4").size(), 0);
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
        QVERIFY(dragAccepted(QUrl::fromLocalFile(samplesDir() + "/level-meter/20240301.CSV")));

        QMimeData mime;
        mime.setUrls({QUrl::fromLocalFile(samplesDir() + "/level-meter")});
        QDropEvent drop(QPointF(100, 100), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Delivered straight to the window: the application only routes drops
        // that a real drag started.
        static_cast<QObject *>(&window)->event(&drop);
        QVERIFY(drop.isAccepted());
        QTRY_COMPARE(Meter, 3); // the import starts once the drop has returned
        QCOMPARE(tableRows("meter3").size(), 720); // both files of the folder
        QVERIFY(window.currentPage() && window.currentPage()->inherits("Formdata3"));
    }

    void closesCleanly()
    {
        auto *window = new MainWindow;
        QThread *thread = window->findChild<QThread *>();
        QVERIFY(thread && thread->isRunning());
        QPointer<QThread> watch(thread);
        delete window;
        QVERIFY(!watch);
    }
};

QTEST_MAIN(TestMainWindow)
#include "tst_mainwindow.moc"
