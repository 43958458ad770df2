#include "mainwindow.h"
#include "settings.h"

#include <QApplication>
#include <QIcon>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    loadSettings();
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/vn.ico")));
    MainWindow window;
    window.show();
    return app.exec();
}
