#include "dialogmessage.h"
#include "dialogprogress.h"
#include "qroundprogressbar.h"
#include "testsupport.h"

#include <QLabel>
#include <QPushButton>
#include <QtTest>

class TestDialogs : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        TestSupport::closeModals();
        QVERIFY(!QApplication::activeModalWidget());
    }

    void messageButtonsFollowOkOnly()
    {
        QWidget owner;
        DialogMessage box(&owner);
        box.resize(365, 152);
        box.setMessage("Only close", "Close", true, 3);
        box.show();
        auto *ok = box.findChild<QPushButton *>("push_ok");
        auto *cancel = box.findChild<QPushButton *>("push_cancel");
        QVERIFY(ok->isVisible());
        QVERIFY(!cancel->isVisible());
        QCOMPARE(ok->text(), QString("Close"));

        box.setMessage("A question", "OK", false, 2);
        QVERIFY(cancel->isVisible());
        QVERIFY(cancel->geometry().x() < ok->geometry().x());
        QCOMPARE(box.findChild<QLabel *>("label")->text(), QString("A question"));
        box.hide();
    }

    void messageAnswers()
    {
        DialogMessage box;
        QVERIFY(!box.isOk()); // no answer yet counts as Cancel
        box.setMessage("Overwrite?", "OK", false, 2);
        TestSupport::onNextModal("DialogMessage", [](QWidget *d) { TestSupport::click(d, "push_ok"); });
        box.exec();
        QVERIFY(box.isOk());
        TestSupport::onNextModal("DialogMessage", [](QWidget *d) { QTest::keyClick(d, Qt::Key_Escape); });
        box.exec();
        QVERIFY(!box.isOk());
        TestSupport::onNextModal("DialogMessage", [](QWidget *d) { TestSupport::click(d, "push_cancel"); });
        box.exec();
        QVERIFY(!box.isOk());
    }

    void progressClosesAtHundred()
    {
        DialogProgress dialog;
        QSignalSpy finished(&dialog, &DialogProgress::finished);
        QList<int> shown;
        auto *pogress1 = dialog.findChild<QRoundProgressBar *>("pogress1");
        TestSupport::onNextModal("DialogProgress", [&](QWidget *) {
            for (int v : {1, 30, 60, 90}) {
                dialog.setValue(v);
                shown << int(pogress1->getValue());
            }
            QVERIFY(dialog.isTurning());
            dialog.setText("Import file :x");
            dialog.setValue(100);
        });
        dialog.exec();
        QCOMPARE(shown, (QList<int>{1, 30, 60, 90}));
        QCOMPARE(finished.count(), 1);
        QVERIFY(!dialog.isVisible());
        QVERIFY(!dialog.isTurning());
        QCOMPARE(dialog.text(), QString("Import file :x"));
        QCOMPARE(pogress1->formatValue(pogress1->getValue()), QString("100%"));

        dialog.setValue(100); // a second final report changes nothing
        QVERIFY(!dialog.isVisible());
    }

};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
