#include "mainwindow.h"
#include "ui_mainwindow.h"

#include "dialogconfig.h"
#include "dialogmessage.h"
#include "dialogprogress.h"
#include "commandline.h"
#include "datafolder.h"
#include "desktopclose.h"
#include "families.h"
#include "filedialogs.h"
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
#include "importedfilesdialog.h"
#include "importreportdialog.h"
#include "instrumentmenu.h"
#include "limitsdialog.h"
#include "recordpage.h"
#include "settings.h"
#include "sqlthread.h"
#include "startpage.h"
#include "userstate.h"
#include "workerjob.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPushButton>
#include <QThread>

namespace {

enum ViewMode { NoView = -1, ChartView = 0, TableView = 1 };

bool isRecordFileName(const QString &path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

// The record files among paths: .csv files, and the .csv files directly
// inside a folder.
QStringList recordFilesIn(const QStringList &paths)
{
    QStringList files;
    for (const QString &path : paths) {
        const QFileInfo info(path);
        if (info.isDir()) {
            const QDir folder(info.filePath());
            for (const QString &name : folder.entryList(QDir::Files, QDir::Name)) {
                if (isRecordFileName(name))
                    files << folder.filePath(name);
            }
        } else if (info.isFile() && isRecordFileName(info.fileName())) {
            files << info.filePath();
        }
    }
    return files;
}

QStringList droppedRecordFiles(const QList<QUrl> &urls)
{
    QStringList paths;
    for (const QUrl &url : urls) {
        if (url.isLocalFile())
            paths << url.toLocalFile();
    }
    return recordFilesIn(paths);
}

QWidget *createPage(int family, int mode)
{
    if (mode == TableView) {
        switch (family) {
        case 1: return new Formdata1;
        case 2: return new Formdata2;
        case 3: return new Formdata3;
        case 4: return new Formdata4;
        case 5: return new Formdata5;
        }
    } else {
        switch (family) {
        case 1: return new Formcart1;
        case 2: return new Formcart2;
        case 3: return new Formcart3;
        case 4: return new Formcart4;
        case 5: return new Formcart5;
        }
    }
    return nullptr;
}

} // namespace

MainWindow::MainWindow(QWidget *parent) : QMainWindow(parent), ui(new Ui::MainWindow)
{
    ui->setupUi(this);
    viewMode = NoView;

    worker = new SQLThread;
    connect(this, &MainWindow::ImportData, worker, &SQLThread::dn_importCSV);
    connect(this, &MainWindow::AddData, worker, &SQLThread::dn_addCSV);
    connect(worker, &SQLThread::PostProgress, this, &MainWindow::dn_GetProgress);
    thread = startWorkerThread(this, worker);

    locationLabel1 = new QLabel(this);
    locationLabel1->setMinimumSize(300, 25);
    ui->statusBar->addWidget(locationLabel1);
    locationLabel2 = new QLabel(versionText(), this);
    locationLabel2->setMinimumSize(350, 25);
    ui->statusBar->addWidget(locationLabel2);
    locationLabel3 = new QLabel(tr("If rotate the mouse wheel,the X-axis will scale"), this);
    ui->statusBar->addWidget(locationLabel3);
    preparingLabel = new QLabel(tr("Summing up the records…"), this);
    preparingLabel->setObjectName(QStringLiteral("preparingLabel"));
    preparingLabel->hide();
    ui->statusBar->addPermanentWidget(preparingLabel);
    connect(worker, &SQLThread::FiguresPreparing, preparingLabel, &QWidget::setVisible);

    progress = new DialogProgress(this);
    connect(progress, &DialogProgress::finished, this, &MainWindow::dn_ThreadFinsh);
    connectCancel(progress, worker);
    msgbox = new DialogMessage(this);
    locationLabel3->hide();
    setAcceptDrops(true);
    desktopClose = std::make_unique<DesktopCloseFilter>(this);
    // One minimum for every page, so that showing a page, a search or a
    // longer counter never resizes the window: every page fits it whole.
    setMinimumSize(MinimumWidth, MinimumHeight);
    restoreGeometry(UserState::windowGeometry());

    startPage = new StartPage(this);
    connect(startPage, &StartPage::tableAsked, this, &MainWindow::on_actionsearch_triggered);
    connect(startPage, &StartPage::chartAsked, this, &MainWindow::on_actioncart_triggered);
    connect(startPage, &StartPage::addAsked, this, &MainWindow::on_actionaddfiles_triggered);
    connect(startPage, &StartPage::importAsked, this, &MainWindow::on_actionopendb_triggered);
    ui->body->addWidget(startPage);
    showStartPage();

    auto *files = new QAction(tr("Imported files..."), this);
    files->setObjectName(QStringLiteral("actionimportedfiles"));
    connect(files, &QAction::triggered, this, &MainWindow::showImportedFiles);
    ui->menu->insertAction(ui->menu->actions().value(ui->menu->actions().indexOf(ui->actionaddfiles) + 1), files);

    baseTitle = windowTitle();
    UserState::noteInstrumentOpened(dataFolder());
    auto *instruments = new InstrumentMenu(ui->menu, this);
    connect(instruments, &InstrumentMenu::instrumentChosen, this, &MainWindow::openInstrument);
    connect(instruments, &InstrumentMenu::renamed, this, [this] {
        showInstrumentTitle();
        if (startPage->isVisible())
            startPage->refresh();
    });
}

void MainWindow::showImportedFiles()
{
    if (Meter == -1) {
        showMessage(tr("Import Record files(.CSV) first"), tr("Close"), true, 3);
        return;
    }
    const auto list = [this] { return runJob(worker, progress, [this] {
        QMetaObject::invokeMethod(worker, [job = worker] { job->listImportedFiles(); }, Qt::QueuedConnection);
    }); };
    const JobOutcome listed = list();
    if (!listed.done()) {
        if (listed.status == JobOutcome::Failed)
            showMessage(tr("The imported files could not be read: %1").arg(listed.reason), tr("Close"), true, 3);
        return;
    }
    ImportedFilesDialog dialog(this);
    dialog.setFiles(worker->importedFiles());
    connect(&dialog, &ImportedFilesDialog::removeAsked, this, [&](const QString &name, qint64 records) {
        QMessageBox ask(QMessageBox::Question, tr("Remove a file's records"),
                        tr("Remove the %1 records of %2 from the records? Its entry goes with them; the file itself stays.")
                            .arg(QLocale::c().toString(records), name),
                        QMessageBox::Yes | QMessageBox::No, &dialog);
        ask.setObjectName(QStringLiteral("removeFile"));
        ask.setDefaultButton(QMessageBox::No);
        if (ask.exec() != QMessageBox::Yes)
            return;
        const JobOutcome removed = runJob(worker, progress, [this, name] {
            QMetaObject::invokeMethod(worker, [job = worker, name] { job->removeImportedFile(name); }, Qt::QueuedConnection);
        });
        if (removed.status == JobOutcome::Failed)
            showMessage(removed.reason, tr("Close"), true, 3);
        if (!removed.done())
            return;
        // The page may show records that are gone: what is left is told instead.
        clearWindow();
        viewMode = NoView;
        showStartPage();
        if (list().done())
            dialog.setFiles(worker->importedFiles());
    });
    dialog.exec();
    if (startPage->isVisible())
        startPage->refresh();
}

void MainWindow::showInstrumentTitle()
{
    setWindowTitle(QStringLiteral("%1 - %2").arg(UserState::instrumentTitle(), baseTitle));
}

bool MainWindow::openInstrument(const QString &folder)
{
    if (DialogProgress::runningDialog())
        return false;
    const QString reason = InstrumentMenu::unusableReason(folder);
    if (!reason.isEmpty() && QFileInfo::exists(folder)) {
        showMessage(tr("The instrument in %1 cannot be opened: %2.").arg(QDir::toNativeSeparators(folder), reason),
                    tr("Close"), true, 3);
        return false;
    }
    // What was built behind the last import of this folder stops first: it
    // writes there. The page's threads and the start page's reader stop too,
    // before the folder and the settings they read change.
    worker->stopPreparing();
    QMetaObject::invokeMethod(worker, [] {}, Qt::BlockingQueuedConnection);
    QWidget *shownPage = page;
    clearWindow();
    delete shownPage;
    startPage->waitForReader();
    viewMode = NoView;
    chosenOnPage.reset();
    delete report;
    QString error;
    if (!chooseDataFolder(folder, &error)) {
        showStartPage(); // the instrument before stays
        showMessage(error, tr("Close"), true, 3);
        return false;
    }
    loadSettings();
    UserState::noteInstrumentOpened(dataFolder());
    showInstrumentTitle();
    showStartPage();
    return true;
}

void MainWindow::showStartPage()
{
    startPage->refresh();
    startPage->show();
}

MainWindow::~MainWindow()
{
    // The page and the worker stop their threads before the children go.
    delete page;
    stopWorkerThread(thread, worker);
    delete ui;
}

void MainWindow::dn_ThreadFinsh() {}

void MainWindow::dn_GetProgress(QString str, int value)
{
    ui->statusBar->showMessage(str);
    progress->setText(str);
    progress->setValue(value);
    // Found by the first job: searches are slower from then on, for a reason outside the program.
    if (value == 100 && !SQLThread::recordFunctionsUsable() && !functionsNote) {
        functionsNote = new QLabel(SQLThread::recordFunctionsNote(), this);
        functionsNote->setObjectName(QStringLiteral("functionsNote"));
        ui->statusBar->addPermanentWidget(functionsNote);
    }
}

void MainWindow::showMessage(const QString &text, const QString &okText, bool okOnly, int kind)
{
    msgbox->setMessage(text, okText, okOnly, kind);
    msgbox->exec();
}

void MainWindow::showView(int mode)
{
    if (Meter == -1) {
        showStartPage();
        showMessage(tr("Import Record files(.CSV) first"), tr("Close"), true, 3);
        return;
    }
    if (viewMode == mode)
        return;
    clearWindow();
    page = createPage(familyOfTableCode(Meter), mode);
    startPage->setVisible(!page);
    if (auto *shown = qobject_cast<RecordPage *>(page.data()); shown && chosenOnPage)
        shown->applyChoices(*chosenOnPage);
    if (page) {
        connect(page, SIGNAL(pmessagebox(QString)), this, SLOT(postmsg(QString)));
        ui->body->addWidget(page);
    }
    viewMode = mode;
    if (mode == TableView) {
        locationLabel1->setText(tr("Data Table View"));
    } else {
        locationLabel1->setText(tr("Graph View"));
        locationLabel3->show();
    }
}

void MainWindow::on_actionsearch_triggered()
{
    showView(TableView);
}

void MainWindow::on_actioncart_triggered()
{
    showView(ChartView);
}

void MainWindow::clearWindow()
{
    if (viewMode == NoView)
        return;
    if (auto *shown = qobject_cast<RecordPage *>(page.data()))
        chosenOnPage = shown->choices(); // the next page starts from them
    if (page) {
        ui->body->removeWidget(page);
        page->hide();
        page->deleteLater();
        page = nullptr;
    }
    locationLabel1->setText(QString());
    if (viewMode == ChartView)
        locationLabel3->hide();
}

void MainWindow::postmsg(QString str)
{
    ui->statusBar->showMessage(str, 4000);
}

bool MainWindow::confirmImport()
{
    if (Meter != -1) {
        showMessage(tr("If the data already exists, it will be overwritten"), tr("OK"), false, 2);
        if (!msgbox->isOk())
            return false;
    }
    return true;
}

// The folder of the last import or addition, while it is there (a card may be out).
QString MainWindow::chooserFolder()
{
    const QString folder = UserState::importFolder();
    return !folder.isEmpty() && QFileInfo(folder).isDir() ? folder : QDir::homePath();
}

void MainWindow::on_actionopendb_triggered()
{
    if (!confirmImport())
        return;
    importFiles(chooseOpenFiles(this, tr("Import CSV files"), chooserFolder(), tr("Record file(*.csv)")));
}

void MainWindow::on_actionaddfiles_triggered()
{
    const QStringList chosen = chooseFilesOrFolder(this, tr("Add record files"), chooserFolder(), tr("Record file(*.csv)"));
    if (chosen.isEmpty())
        return; // the chooser was cancelled: nothing to say
    const QStringList files = recordFilesIn(chosen);
    if (files.isEmpty() && chosen.size() == 1 && QFileInfo(chosen.first()).isDir()) {
        showMessage(tr("There is no record file in %1.").arg(QDir::toNativeSeparators(chosen.first())), tr("Close"),
                    true, 3);
        return;
    }
    runRecordFilesJob(files, true, true);
}

JobOutcome MainWindow::importPaths(const QStringList &paths, bool quiet)
{
    return runRecordFilesJob(recordFilesIn(paths), false, false, quiet);
}

JobOutcome MainWindow::addPaths(const QStringList &paths, bool quiet)
{
    // Nobody to ask: a file that would replace records by others is skipped.
    return runRecordFilesJob(recordFilesIn(paths), true, false, quiet);
}

QString MainWindow::writeReport(const ReportRequest &request)
{
    if (familyOfTableCode(Meter) == 0)
        return tr("No records are imported.");
    showView(ChartView);
    auto *chart = qobject_cast<RecordPage *>(page.data());
    return chart ? chart->reportWindow(request) : tr("No records are imported.");
}

void MainWindow::importFiles(const QStringList &files)
{
    runRecordFilesJob(files, false, true);
}

QStringList MainWindow::replacementsAgreed(const ImportReport &report)
{
    QStringList agreed;
    for (const FileReport &file : report.files) {
        if (file.outcome != FileReport::Unconfirmed)
            continue;
        QMessageBox box(QMessageBox::Question, tr("Replace records"),
                        tr("Replace the %1 records of %2 by %3?")
                            .arg(QLocale::c().toString(file.previousRecords), file.name(),
                                 QLocale::c().toString(file.records)),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setObjectName(QStringLiteral("replaceRecords"));
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() == QMessageBox::Yes)
            agreed << file.path;
    }
    return agreed;
}

JobOutcome MainWindow::runRecordFilesJob(const QStringList &files, bool adding, bool interactive, bool quiet)
{
    // Until files are chosen nothing has changed: the page keeps its search.
    if (files.isEmpty()) {
        const JobOutcome none{JobOutcome::Failed, tr("There is no right record file to be choosed")};
        if (!quiet)
            showMessage(none.reason, tr("Close"), true, 3);
        return none;
    }
    // An addition keeps the page: once the records are added its search
    // runs again. An import replaces them, and the family may change.
    QPointer<RecordPage> kept = adding && Meter != -1 ? qobject_cast<RecordPage *>(page.data()) : nullptr;
    if (!kept) {
        clearWindow();
        viewMode = NoView;
        if (!adding)
            chosenOnPage.reset(); // other records: other channels, another span
    }
    delete report;
    UserState::setImportFolder(QFileInfo(files.constFirst()).absolutePath());
    // An import replaces the database the sums and the overview are built in;
    // an addition waits for them, as it brings them up to date.
    if (!adding)
        worker->stopPreparing();
    const JobOutcome outcome = runJob(worker, progress, [&] {
        if (adding)
            emit AddData(files);
        else
            emit ImportData(files);
    });
    if (closeAsked)
        return outcome; // the window closes now; nothing more to tell
    if (!outcome.done()) {
        // The previous records are still there: say why, then show them again.
        const QString reason = outcome.status != JobOutcome::Cancelled ? outcome.reason
            : adding ? tr("The addition was cancelled. The records are as they were.")
                     : tr("The import was cancelled. The previous records are kept.");
        if (quiet)
            return {outcome.status, reason};
        showMessage(reason, tr("Close"), true, 3);
    } else {
        const ImportReport done = worker->importReport();
        const QStringList agreed = adding && interactive ? replacementsAgreed(done) : QStringList();
        if (!agreed.isEmpty()) {
            worker->allowReplacing(agreed);
            const JobOutcome replaced = runRecordFilesJob(agreed, true, false);
            worker->allowReplacing({});
            return replaced;
        }
        auto *shown = new ImportReportDialog(done, this);
        report = shown;
        shown->show();
        if (kept) {
            kept->searchAgain(worker->lastRecordAroundAddition().first, worker->lastRecordAroundAddition().second);
            postmsg(done.headline()); // over the search's own word
        }
    }
    if (!kept) {
        on_actionsearch_triggered();
        // The import's last progress word ("... files to be imported") would outlive it.
        if (outcome.done())
            ui->statusBar->showMessage(worker->importReport().headline());
    }
    return outcome;
}

MainWindow::DropChoice MainWindow::askReplaceOrAdd()
{
    QMessageBox box(QMessageBox::Question, tr("Record files dropped"),
                    tr("Records are already there. Replace them with the dropped record files, or add the files to "
                       "them?"),
                    QMessageBox::Cancel, this);
    box.setObjectName(QStringLiteral("replaceOrAdd"));
    QPushButton *add = box.addButton(tr("Add to them"), QMessageBox::AcceptRole);
    add->setObjectName(QStringLiteral("addButton"));
    QPushButton *replace = box.addButton(tr("Replace them"), QMessageBox::DestructiveRole);
    replace->setObjectName(QStringLiteral("replaceButton"));
    box.setDefaultButton(add);
    box.exec();
    return box.clickedButton() == add ? DropChoice::Add
        : box.clickedButton() == replace ? DropChoice::Replace
                                         : DropChoice::Cancel;
}

void MainWindow::dragEnterEvent(QDragEnterEvent *event)
{
    if (!DialogProgress::runningDialog() && !droppedRecordFiles(event->mimeData()->urls()).isEmpty())
        event->acceptProposedAction();
    else
        event->ignore();
}

void MainWindow::dropEvent(QDropEvent *event)
{
    const QStringList files = droppedRecordFiles(event->mimeData()->urls());
    if (files.isEmpty() || DialogProgress::runningDialog()) {
        event->ignore();
        return;
    }
    event->acceptProposedAction();
    // The job runs after the drop has returned, so the drag source is not
    // held until it ends.
    QMetaObject::invokeMethod(this, [this, files] {
        if (DialogProgress::runningDialog())
            return;
        const DropChoice choice = Meter == -1 ? DropChoice::Replace : askReplaceOrAdd();
        if (choice != DropChoice::Cancel)
            runRecordFilesJob(files, choice == DropChoice::Add, true);
    }, Qt::QueuedConnection);
}

void MainWindow::closeEvent(QCloseEvent *event)
{
    // A running job is asked to stop; the window closes once it has ended.
    if (DialogProgress *running = DialogProgress::runningDialog()) {
        event->ignore();
        closeAsked = true;
        running->requestCancel();
        connect(running, &DialogProgress::finished, this, &QWidget::close,
                Qt::ConnectionType(Qt::QueuedConnection | Qt::SingleShotConnection));
        return;
    }
    UserState::setWindowGeometry(saveGeometry());
    QMainWindow::closeEvent(event);
}

void MainWindow::on_actionlimits_triggered()
{
    if (Meter == -1) {
        showMessage(tr("Import Record files(.CSV) first"), tr("Close"), true, 3);
        return;
    }
    const MeterFamily &family = meterFamily(familyOfTableCode(Meter));
    LimitsDialog dialog(limitedColumns(family, Meter), this);
    auto *shown = qobject_cast<RecordPage *>(currentPage());
    if (dialog.exec() == QDialog::Accepted && dialog.isChanged() && shown)
        shown->showLimits();
}

void MainWindow::on_actionsoftconfig_triggered()
{
    delete config; // only the newest dialog is kept
    config = new Dialogconfig(this);
    config->exec();
    if (config->isChanged()) {
        clearWindow();
        viewMode = NoView;
        showStartPage();
    }
}
