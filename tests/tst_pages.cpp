#include <QtTest>
class Testpages : public QObject { Q_OBJECT private slots: void placeholder() {} };
QTEST_MAIN(Testpages)
#include "tst_pages.moc"
