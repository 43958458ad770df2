#ifndef INSTRUMENTMENU_H
#define INSTRUMENTMENU_H

#include <QObject>

class QAction;
class QMenu;
class QWidget;

// The instruments in the Datebase menu: Open instrument... (a data folder,
// made empty when new), Recent instruments (greyed, with the reason, where
// the folder is gone) and a name for the instrument in use.
class InstrumentMenu : public QObject
{
    Q_OBJECT
public:
    InstrumentMenu(QMenu *menu, QWidget *window);
    // Why a recent instrument's folder cannot be opened; empty: it can.
    static QString unusableReason(const QString &folder);

signals:
    void instrumentChosen(const QString &folder);
    void renamed();

private:
    void fillRecent();
    void chooseFolder();
    void askName();

    QWidget *window;
    QMenu *recent;
};

#endif
