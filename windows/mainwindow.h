#ifndef MAINWINDOW_H
#define MAINWINDOW_H

#include "joboutcome.h"
#include "recordpage.h"

#include <QMainWindow>
#include <QPointer>
#include <QStringList>
#include <memory>
#include <optional>

namespace Ui {
class MainWindow;
}
class DialogProgress;
class DialogMessage;
class Dialogconfig;
class SQLThread;
class QThread;
class QLabel;
class DesktopCloseFilter;
class StartPage;

struct ImportReport;
struct ReportRequest;

class MainWindow : public QMainWindow
{
    Q_OBJECT
public:
    // The smallest window that shows every page whole.
    static constexpr int MinimumWidth = 1100;
    static constexpr int MinimumHeight = 600;

    explicit MainWindow(QWidget *parent = nullptr);
    ~MainWindow() override;

    int currentViewMode() const { return viewMode; }
    // Imports record files, or the record files of folders, as the menu does
    // but without asking first (the command line's --import); how it ended.
    // `quiet`: a failure is left to the caller to tell.
    JobOutcome importPaths(const QStringList &paths, bool quiet = false);
    // Adds record files, or those of folders, to the records there (--add); how it ended.
    JobOutcome addPaths(const QStringList &paths, bool quiet = false);
    // Writes the report the command line asks for from the whole-window
    // chart; the reason when it could not be written.
    QString writeReport(const ReportRequest &request);
    QWidget *currentPage() const { return page; }
    // Switches to the instrument whose records and settings are in `folder`
    // (made, empty, when new); false, told, when it cannot be opened.
    bool openInstrument(const QString &folder);
    // The title names the instrument in use.
    void showInstrumentTitle();

signals:
    void ImportData(QStringList files);
    void AddData(QStringList files);

protected:
    void dragEnterEvent(QDragEnterEvent *event) override;
    void dropEvent(QDropEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private slots:
    void dn_ThreadFinsh();
    void dn_GetProgress(QString str, int value);
    void on_actionsearch_triggered();
    void on_actioncart_triggered();
    void clearWindow();
    void postmsg(QString str);
    void on_actionopendb_triggered();
    void on_actionaddfiles_triggered();
    void on_actionsoftconfig_triggered();
    void on_actionlimits_triggered();
    // The record of imported files, and the removal of one file's records.
    void showImportedFiles();

private:
    static QString chooserFolder();
    void showView(int mode);
    // What is loaded, while no page is shown.
    void showStartPage();
    // Asks before the records are overwritten; false on Cancel.
    bool confirmImport();
    void showMessage(const QString &text, const QString &okText, bool okOnly, int kind);
    void importFiles(const QStringList &files);
    // Runs an import or an addition of the files, then shows what it did;
    // `interactive`: the user is there to be asked; `quiet`: a failure is
    // left to the caller to tell.
    JobOutcome runRecordFilesJob(const QStringList &files, bool adding, bool interactive, bool quiet = false);
    // The files of an addition whose records the user lets be replaced by others.
    QStringList replacementsAgreed(const ImportReport &report);
    // Replace (true) or add: asked for dropped files when records are there.
    enum class DropChoice { Replace, Add, Cancel };
    DropChoice askReplaceOrAdd();

    Ui::MainWindow *ui;
    DialogProgress *progress;
    DialogMessage *msgbox;
    QPointer<Dialogconfig> config;
    QPointer<QWidget> report; // the last import's report, while it is open
    SQLThread *worker;
    QThread *thread;
    QPointer<QWidget> page; // the one page in the content area
    StartPage *startPage;   // in its place while there is none
    QString baseTitle;
    std::optional<PageChoices> chosenOnPage; // carried from one page to the next
    int viewMode;
    QLabel *locationLabel1;
    QLabel *locationLabel2;
    QLabel *locationLabel3;
    QLabel *preparingLabel; // shown while the sums and the overview are built after an import
    QLabel *functionsNote = nullptr; // why searches are read by the statements alone, once found
    std::unique_ptr<DesktopCloseFilter> desktopClose;
    bool closeAsked = false; // during a job: the window closes once it has ended
};

#endif
