#include "mainwindow.h"
#include "recordtime.h"
#include "settings.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    keepLocalZoneLoaded();
    QApplication app(argc, argv);
    loadSettings();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vn.ico")));
    MainWindow window;
    window.show();
    return app.exec();
}
