#include <QtTest>
class Testcharts : public QObject { Q_OBJECT private slots: void placeholder() {} };
QTEST_MAIN(Testcharts)
#include "tst_charts.moc"
