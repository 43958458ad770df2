// The viewer on a real X server (run under Xvfb): what a desktop does and an
// offscreen test cannot, such as a window manager's close request.
#include "mainwindow.h"
#include "settings.h"
#include "sqlthread.h"
#include "testsupport.h"

#include <QLabel>
#include <QTimer>
#include <xcb/xcb.h>

using namespace TestSupport;

namespace {

// Sends WM_DELETE_WINDOW to the window through the X server, as a window
// manager's close button does.
void sendWindowManagerClose(QWidget *window)
{
    auto *x11 = qApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t *connection = x11->connection();
    const auto atom = [connection](const char *name) {
        xcb_intern_atom_reply_t *reply =
            xcb_intern_atom_reply(connection, xcb_intern_atom(connection, 0, quint16(qstrlen(name)), name), nullptr);
        const xcb_atom_t found = reply->atom;
        free(reply);
        return found;
    };
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = xcb_window_t(window->winId());
    event.type = atom("WM_PROTOCOLS");
    event.data.data32[0] = atom("WM_DELETE_WINDOW");
    event.data.data32[1] = XCB_CURRENT_TIME;
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char *>(&event));
    xcb_flush(connection);
}

} // namespace

class TestDesktop : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void cleanup()
    {
        SQLThread::restoreDefaults();
        closeModals();
    }

    // Closing the window during an import stops it as Escape does, and the
    // program quits once it has stopped, the previous records kept.
    void windowManagerCloseDuringAnImport()
    {
        QCOMPARE(QGuiApplication::platformName(), QString("xcb"));
        QCOMPARE(runImport({recordFile(QDir(dir.path()), 11, 300)}).last(), QString("1 files to be imported|100"));
        const QString settings = readTextFile();
        MainWindow window;
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        holdWorkerJobs();
        answerMessage(nullptr, "push_ok"); // the records will be replaced: OK
        QString cancelling;
        chooseFiles(QFileInfo(recordFile(QDir(dir.path()), 208, 3000)).path(), {"20240301.CSV"}, [&] {
            onNextModal("DialogProgress", [&](QWidget *dialog) {
                sendWindowManagerClose(&window);
                auto *label = dialog->findChild<QLabel *>("label");
                QTRY_COMPARE_WITH_TIMEOUT(label->text(), QString("Cancelling..."), 2000);
                cancelling = label->text();
                releaseWorkerJobs();
            });
        });
        // As the program runs: the application quits when its window has closed.
        QTimer::singleShot(0, &window, [&] { action(window, "actionopendb")->trigger(); });
        bool quitByItself = true;
        QTimer::singleShot(30000, &window, [&] { quitByItself = false; QCoreApplication::quit(); });
        QCOMPARE(QApplication::exec(), 0);
        releaseWorkerJobs();
        QVERIFY(quitByItself);
        QCOMPARE(cancelling, QString("Cancelling..."));
        QVERIFY(!window.isVisible());
        QVERIFY(!QApplication::activeModalWidget());
        QCOMPARE(Meter, 11);
        QCOMPARE(tableRows("meter11").size(), 300);
        QCOMPARE(tableRows("meter208").size(), 0);
        QCOMPARE(readTextFile(), settings);
    }
};

SUNDREVALE_TEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
