#include <QtTest>
class Testqueries : public QObject { Q_OBJECT private slots: void placeholder() {} };
QTEST_MAIN(Testqueries)
#include "tst_queries.moc"
