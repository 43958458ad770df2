#include <QtTest>
class Testmainwindow : public QObject { Q_OBJECT private slots: void placeholder() {} };
QTEST_MAIN(Testmainwindow)
#include "tst_mainwindow.moc"
