#ifndef PAGETESTING_H
#define PAGETESTING_H

#include "testsupport.h"

#include <QDateTime>
#include <QDateTimeEdit>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>

// Shared steps of the data-table and chart page tests.
namespace PageTesting {

inline const QDateTime Start(QDate(2024, 3, 1), QTime(0, 0));

// Model code and record fields of every family, row k stamped Start + k minutes.
inline int modelOfFamily(int family)
{
    static const int models[] = {0, 12, 208, 2, 3, 4};
    return models[family];
}

inline int meterOfFamily(int family)
{
    return family <= 2 ? modelOfFamily(family) : family;
}

inline QStringList recordFields(int family, int k, const QString &pv)
{
    QStringList f;
    switch (family) {
    case 1: f << pv << "50" << "45.6" << pv << "60" << "12"; break;
    case 2: for (int c = 0; c < 8; ++c) f << pv; break;
    case 3: f << pv << "1" << "01" << "2" << "00" << "3" << "00" << "4" << "01"; break;
    case 4: f << pv << "30" << "01" << QString::number(2 * k + 3) << "80" << "00"; break;
    default: f << pv; for (int a = 1; a <= 8; ++a) f << QString::number(a) << "0" + QString::number(a % 2); break;
    }
    f << Start.addSecs(60 * k).toString("yyyy-MM-dd hh:mm:ss");
    return f;
}

// Imports `count` records of a family into a fresh database; the PV of
// record k is k + 1.5, or the marker that `marker` gives for it.
inline void importRecords(const QDir &root, int family, int count,
                          std::function<QString(int)> marker = {})
{
    TestSupport::freshDatabase();
    QStringList lines;
    for (int k = 0; k < count; ++k) {
        const QString m = marker ? marker(k) : QString();
        lines << recordFields(family, k, m.isEmpty() ? QString::number(k + 1.5) : m).join(',');
    }
    static int serial = 0;
    const QString folder = TestSupport::writeRecordFolder(root, QString("set%1").arg(++serial),
                                                          QString::number(modelOfFamily(family)),
                                                          {{"20240301.CSV", lines}});
    TestSupport::runImport({folder + "/20240301.CSV"});
}

inline void setWindow(QWidget *page, const QDateTime &st, const QDateTime &en)
{
    page->findChild<QDateTimeEdit *>("dateTimeEdit1")->setDateTime(st);
    page->findChild<QDateTimeEdit *>("dateTimeEdit2")->setDateTime(en);
}

// Fills the lower and upper fields of every range a data page has.
inline void setRanges(QWidget *page, const QString &low, const QString &high)
{
    for (const char *name : {"txtpv1", "txthh1"})
        if (auto *edit = page->findChild<QLineEdit *>(name))
            edit->setText(low);
    for (const char *name : {"txtpv2", "txthh2"})
        if (auto *edit = page->findChild<QLineEdit *>(name))
            edit->setText(high);
}

inline void pressChannel(QWidget *page, int row)
{
    auto *table = page->findChild<QTableWidget *>("tablechaddr");
    QTest::mouseClick(table->viewport(), Qt::LeftButton, {},
                      table->visualRect(table->model()->index(row, 1)).center());
}

inline QList<int> checkedChannels(QWidget *page)
{
    QList<int> rows;
    auto *table = page->findChild<QTableWidget *>("tablechaddr");
    for (int r = 0; r < table->rowCount(); ++r)
        if (table->item(r, 0)->checkState() == Qt::Checked)
            rows << r;
    return rows;
}

} // namespace PageTesting

#endif
