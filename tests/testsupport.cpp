#include "testsupport.h"

#include "recorddatabase.h"
#include "rowinserter.h"
#include "settings.h"
#include "sqlthread.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <sqlite3.h>

namespace TestSupport {

void onNextModal(const char *className, std::function<void(QWidget *)> answer, int timeoutMs)
{
    auto *timer = new QTimer;
    auto *clock = new QElapsedTimer;
    clock->start();
    timer->setInterval(5);
    const QByteArray wanted(className);
    QObject::connect(timer, &QTimer::timeout, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        const bool found = modal && modal->isVisible() && modal->inherits(wanted.constData());
        if (!found && clock->elapsed() < timeoutMs)
            return;
        timer->stop();
        timer->deleteLater();
        delete clock;
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
        if (text) {
            auto *label = dialog->findChild<QWidget *>(QStringLiteral("label"));
            *text = label ? label->property("text").toString() : QString();
        }
        click(dialog, button);
    });
}

void chooseFiles(const QString &folder, const QStringList &names, QStringList *listed, std::function<void()> then)
{
    onNextModal("QFileDialog", [=](QWidget *w) {
        auto *dialog = static_cast<QFileDialog *>(w);
        if (listed) {
            dialog->setDirectory(folder);
            auto *model = dialog->findChild<QFileSystemModel *>();
            const QModelIndex root = model->index(folder);
            if (!QTest::qWaitFor([&] { return model->rowCount(root) > 0; }, 5000))
                qWarning("the file dialog listed nothing in %s", qPrintable(folder));
            for (int r = 0; r < model->rowCount(root); ++r)
                *listed << model->index(r, 0, root).data().toString();
        }
        if (names.isEmpty()) {
            dialog->reject();
        } else {
            dialog->setDirectory(folder);
            QStringList quoted;
            for (const QString &n : names)
                quoted << QLatin1Char('"') + n + QLatin1Char('"');
            dialog->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(quoted.join(QLatin1Char(' ')));
            QMetaObject::invokeMethod(dialog, "accept");
        }
        if (then)
            then();
    });
}

void saveAs(const QString &path)
{
    onNextModal("QFileDialog", [path](QWidget *w) {
        w->findChild<QLineEdit *>(QStringLiteral("fileNameEdit"))->setText(path);
        QMetaObject::invokeMethod(w, "accept");
    });
}

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
} // namespace

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

void click(QWidget *parent, const char *objectName)
{
    auto *button = parent->findChild<QPushButton *>(QString::fromLatin1(objectName));
    if (!button) {
        qWarning("no button %s", objectName);
        return;
    }
    QTest::mouseClick(button, Qt::LeftButton);
}

void writeConfig(const QMap<QString, QString> &values)
{
    QMap<QString, QString> all{{"Meter", "-1"}, {"YStep", "0"}, {"Tickcount", "10"},
                               {"PageRcd", "100"}, {"PlotRcd", "500"}, {"LockY", "0"}};
    for (auto it = values.begin(); it != values.end(); ++it)
        all[it.key()] = it.value();
    QByteArray xml = "<?xml version=\"1.0\"?>\n<config>\n";
    for (const QString &key : {"Meter", "YStep", "Tickcount", "PageRcd", "PlotRcd", "LockY"})
        xml += QStringLiteral("  <item key=\"%1\" value=\"%2\"/>\n").arg(key, all.value(key)).toUtf8();
    xml += "</config>\n";
    QFile file(settingsPath());
    file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    file.write(xml);
}

QString readConfigFile()
{
    QFile file(settingsPath());
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

void freshDatabase()
{
    // Whatever a killed earlier run left beside the executable goes first.
    QDir(recordDatabasePath()).removeRecursively();
    discardNewRecordDatabase();
    QFile::remove(recordDatabasePath() + QStringLiteral("-journal"));
    QFile::remove(recordDatabasePath());
    QFile::copy(recordTemplatePath(), recordDatabasePath());
    QFile::setPermissions(recordDatabasePath(), QFile::ReadOwner | QFile::WriteOwner);
}

QString writeRecordFolder(const QDir &root, const QString &name, const QString &modelLine,
                          const QMap<QString, QStringList> &files, const QByteArray &lineEnd)
{
    root.mkpath(name);
    const QString folder = root.filePath(name);
    QFile model(folder + QStringLiteral("/VNMETER.INI"));
    model.open(QIODevice::WriteOnly);
    model.write(modelLine.toUtf8() + "\r\n");
    for (auto it = files.begin(); it != files.end(); ++it) {
        QFile file(folder + QLatin1Char('/') + it.key());
        file.open(QIODevice::WriteOnly);
        file.write("HEADER,LINE" + lineEnd);
        for (const QString &line : it.value())
            file.write(line.toUtf8() + lineEnd);
    }
    return folder;
}

QString writeRawRecordFile(const QDir &root, const QString &name, const QByteArray &modelLine,
                           const QByteArray &content)
{
    root.mkpath(name);
    const QString folder = root.filePath(name);
    QFile model(folder + QStringLiteral("/VNMETER.INI"));
    model.open(QIODevice::WriteOnly);
    model.write(modelLine);
    QFile file(folder + QStringLiteral("/20240301.CSV"));
    file.open(QIODevice::WriteOnly);
    file.write(content);
    return file.fileName();
}

QStringList tableRows(const QString &table)
{
    QStringList rows;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("testreader"));
        db.setDatabaseName(recordDatabasePath());
        db.open();
        QSqlQuery q(db);
        q.exec(QStringLiteral("select * from %1 order by rowid").arg(table));
        while (q.next()) {
            QStringList cells;
            for (int i = 0; i < q.record().count(); ++i)
                cells << q.value(i).toString();
            rows << cells.join(QLatin1Char('|'));
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("testreader"));
    return rows;
}

QStringList runImport(const QStringList &files)
{
    QThread thread;
    auto *worker = new SQLThread;
    worker->moveToThread(&thread);
    thread.start();
    QStringList reports;
    bool done = false;
    QObject::connect(worker, &SQLThread::PostProgress, qApp, [&](QString text, int value) {
        reports << QStringLiteral("%1|%2").arg(text).arg(value);
        if (value == 100)
            done = true;
    });
    QMetaObject::invokeMethod(worker, "dn_importCSV", Qt::QueuedConnection, Q_ARG(QStringList, files));
    QElapsedTimer clock;
    clock.start();
    while (!done && clock.elapsed() < 120000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    thread.quit();
    thread.wait();
    delete worker;
    return reports;
}

void closeModals()
{
    for (int i = 0; i < 10; ++i) {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        modal->close();
        QCoreApplication::processEvents();
    }
}

QString samplesDir()
{
    return QStringLiteral(SAMPLES_DIR);
}

} // namespace TestSupport
