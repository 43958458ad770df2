#include <QtTest>
class Testconfig : public QObject { Q_OBJECT private slots: void placeholder() {} };
QTEST_MAIN(Testconfig)
#include "tst_config.moc"
