#include "instrumentmenu.h"

#include "datafolder.h"
#include "filedialogs.h"
#include "userstate.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QInputDialog>
#include <QMenu>

InstrumentMenu::InstrumentMenu(QMenu *menu, QWidget *window) : QObject(window), window(window)
{
    QAction *first = menu->actions().value(0);
    auto *open = new QAction(tr("Open instrument..."), menu);
    open->setObjectName(QStringLiteral("actionopeninstrument"));
    open->setToolTip(tr("Opens the data folder of another instrument; a new folder starts empty"));
    connect(open, &QAction::triggered, this, &InstrumentMenu::chooseFolder);
    recent = new QMenu(tr("Recent instruments"), menu);
    recent->setObjectName(QStringLiteral("menuRecentInstruments"));
    connect(recent, &QMenu::aboutToShow, this, &InstrumentMenu::fillRecent);
    auto *name = new QAction(tr("Name this instrument..."), menu);
    name->setObjectName(QStringLiteral("actionnameinstrument"));
    connect(name, &QAction::triggered, this, &InstrumentMenu::askName);
    menu->insertAction(first, open);
    menu->insertMenu(first, recent);
    menu->insertAction(first, name);
    menu->insertSeparator(first);
    fillRecent();
}

QString InstrumentMenu::unusableReason(const QString &folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return tr("the folder is gone");
    if (!info.isDir())
        return tr("not a folder");
    if (!info.isWritable())
        return tr("the folder cannot be written");
    return QString();
}

void InstrumentMenu::fillRecent()
{
    recent->clear();
    for (const QString &folder : UserState::recentInstruments()) {
        const QString name = UserState::instrumentName(folder);
        const QString shown = QDir::toNativeSeparators(folder);
        const QString reason = unusableReason(folder);
        QString text = name.isEmpty() ? shown : QStringLiteral("%1 (%2)").arg(name, shown);
        if (!reason.isEmpty())
            text += QStringLiteral(": ") + reason;
        QAction *entry = recent->addAction(text);
        entry->setEnabled(reason.isEmpty() && folder != dataFolder());
        entry->setCheckable(true);
        entry->setChecked(folder == dataFolder());
        connect(entry, &QAction::triggered, this, [this, folder] { emit instrumentChosen(folder); });
    }
    recent->setEnabled(!recent->isEmpty());
}

void InstrumentMenu::chooseFolder()
{
    const QString folder = ::chooseFolder(window, tr("Open instrument"), QFileInfo(dataFolder()).path());
    if (!folder.isEmpty())
        emit instrumentChosen(folder);
}

void InstrumentMenu::askName()
{
    QInputDialog dialog(window);
    dialog.setObjectName(QStringLiteral("instrumentNameDialog"));
    dialog.setWindowTitle(tr("Name this instrument"));
    dialog.setLabelText(tr("The name of the instrument whose records are in %1:").arg(QDir::toNativeSeparators(dataFolder())));
    dialog.setTextValue(UserState::instrumentName(dataFolder()));
    if (dialog.exec() != QDialog::Accepted)
        return;
    UserState::setInstrumentName(dataFolder(), dialog.textValue());
    emit renamed();
}
