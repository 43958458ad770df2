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

private:
    static QImage render(int style, double value, double minimum = 0)
    {
        QRoundProgressBar bar;
        bar.resize(100, 100);
        QPalette pal = bar.palette();
        pal.setColor(QPalette::Window, Qt::white);
        pal.setColor(QPalette::Base, Qt::white);
        pal.setColor(QPalette::AlternateBase, Qt::white);
        pal.setColor(QPalette::Highlight, Qt::red);
        pal.setColor(QPalette::Shadow, Qt::white);
        bar.setPalette(pal);
        bar.setRingStyle(style);
        bar.setRange(minimum, 100);
        bar.setValue(value);
        bar.clearTextFormat();
        return bar.grab().toImage();
    }
    static bool isRed(const QImage &image, int x, int y)
    {
        const QColor c = image.pixelColor(x, y);
        return c.red() > 200 && c.green() < 80 && c.blue() < 80;
    }

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

    void messageIcons_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<bool>("hasIcon");
        for (int kind = 1; kind <= 4; ++kind)
            QTest::addRow("kind %d", kind) << kind << true;
        QTest::newRow("unknown kind") << 7 << false;
    }

    void messageIcons()
    {
        QFETCH(int, kind);
        DialogMessage box;
        box.setMessage("x", "OK", true, 1);
        box.setMessage("x", "OK", true, kind);
        const QPixmap icon = box.findChild<QLabel *>("label_2")->pixmap();
        QFETCH(bool, hasIcon);
        QCOMPARE(!icon.isNull(), hasIcon);
        if (!icon.isNull())
            QCOMPARE(icon.size(), QSize(36, 36));
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

    void progressClamps()
    {
        DialogProgress dialog;
        dialog.setValue(-5);
        QCOMPARE(dialog.currentValue(), 0);
        TestSupport::onNextModal("DialogProgress", [&](QWidget *) { dialog.setValue(120); });
        dialog.exec();
        QCOMPARE(dialog.currentValue(), 100);
        QVERIFY(!dialog.isVisible());
    }

    void turningBarAdvancesWhileRunning()
    {
        DialogProgress dialog;
        dialog.setValue(10);
        QVERIFY(dialog.isTurning());
        QTRY_VERIFY_WITH_TIMEOUT(dialog.turningValue() >= 3, 5000);
        dialog.setValue(100);
        const int stopped = dialog.turningValue();
        QTest::qWait(150);
        QCOMPARE(dialog.turningValue(), stopped);
    }

    void formatValue()
    {
        QRoundProgressBar bar;
        QCOMPARE(bar.formatValue(25), QString("25.0%"));
        bar.setDecimals(0);
        QCOMPARE(bar.formatValue(25), QString("25%"));
        bar.setTextFormat("%v of %m (%p%)");
        bar.setRange(0, 200);
        QCOMPARE(bar.formatValue(50), QString("50 of 201 (25%)"));
        bar.setRange(100, 0);
        QCOMPARE(bar.getMinimum(), 0.0);
        QCOMPARE(bar.getMaximum(), 100.0);
    }

    void valueSegmentPixels_data()
    {
        QTest::addColumn<int>("style");
        QTest::newRow("ring") << int(QRoundProgressBar::Ring);
        QTest::newRow("pie") << int(QRoundProgressBar::Pie);
    }

    void valueSegmentPixels()
    {
        QFETCH(int, style);
        const QImage half = render(style, 50);
        const int dpr = int(half.devicePixelRatio());
        // three o'clock, in the ring's band (between 75% and 100% of the radius)
        QVERIFY(isRed(half, 92 * dpr, 50 * dpr));
        QVERIFY(!isRed(half, 8 * dpr, 50 * dpr));
        const QImage empty = render(style, 0);
        for (int x = 2; x < 98; x += 4)
            QVERIFY(!isRed(empty, x * dpr, 50 * dpr) && !isRed(empty, 50 * dpr, x * dpr));
    }

    void emptyFormatDrawsNoText()
    {
        QRoundProgressBar withText, withoutText;
        for (QRoundProgressBar *bar : {&withText, &withoutText}) {
            bar->resize(100, 100);
            bar->setValue(0.0);
            bar->setRange(0, 100);
        }
        withoutText.clearTextFormat();
        QRoundProgressBar plain;
        plain.resize(100, 100);
        plain.setValue(0.0);
        plain.clearTextFormat();
        QCOMPARE(withoutText.grab().toImage(), plain.grab().toImage());
        QVERIFY(withText.grab().toImage() != plain.grab().toImage());
    }
};

QTEST_MAIN(TestDialogs)
#include "tst_dialogs.moc"
