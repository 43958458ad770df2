#ifndef SQLTHREAD_H
#define SQLTHREAD_H

#include <QDateTime>
#include <QObject>
#include <QSqlDatabase>
#include <QStringList>
#include <functional>

struct MeterFamily;
struct TableSearch;
struct ChartRequest;

// Does all database work on the thread it is moved to. Each job opens the
// connection "dbnamelog", does its work and removes the connection again.
class SQLThread : public QObject
{
    Q_OBJECT
public:
    explicit SQLThread(QObject *parent = nullptr);
    ~SQLThread() override;

    // Runs on every connection a job opens; tests use it to simulate a full disk.
    static void setConnectionHook(std::function<void(QSqlDatabase &)> hook);

signals:
    void PostProgress(QString str, int setp);
    void Exported(bool ok, QString message);

public slots:
    void dn_Record_Search1(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart1(bool qx, int pageid, int idx, QDateTime st, QDateTime en);
    void dn_Record_Search2(int pageid, int idx, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart2(bool qx, int pageid, int idx, QDateTime st, QDateTime en);
    void dn_Record_Search3(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart3(bool qx, int pageid, QDateTime st, QDateTime en);
    void dn_Record_Search4(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, double th1, double th2, bool ishl);
    void dn_Record_Cart4(bool qx, int pageid, QDateTime st, QDateTime en);
    void dn_Record_Search5(int pageid, QDateTime st, QDateTime en, double pv1, double pv2, bool ishl);
    void dn_Record_Cart5(bool qx, int pageid, QDateTime st, QDateTime en);
    void dn_importCSV(QStringList files);
    // Writes every record of a table search to a CSV file, page by page.
    void dn_exportTable(int family, int idx, QDateTime st, QDateTime en, double pv1, double pv2, double th1,
                        double th2, bool ishl, int total, QString path);

private:
    void openConnection();
    void closeConnection();

    void importFamily1(QStringList files, int channels);
    void importFamily2(QStringList files, int channels);
    void importFamily3(QStringList files);
    void importFamily4(QStringList files);
    void importFamily5(QStringList files);
    void importRecords(int family, int tableCode, const QStringList &files);

    void ensureTimeIndex(const QString &table);
    void choosePageAccess(const QString &table, const QDateTime &st, const QDateTime &en, qint64 offset);
    void runTableSearch(const MeterFamily &family, const TableSearch &search);
    void runChartQuery(const MeterFamily &family, const ChartRequest &request);

    QSqlDatabase db;
};

#endif
