#ifndef LISTMODEL_H
#define LISTMODEL_H

#include <QAbstractTableModel>
#include <QStringList>

#include <functional>

// The rows of a read-only list (excursions, periods), made into text only
// when they are shown or exported: a noisy year lists a million excursions.
// The rows come in parts, one a value column, each telling its rows' texts.
class ListModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    using RowText = std::function<QStringList(qsizetype)>;

    explicit ListModel(const QStringList &headers, QObject *parent = nullptr);

    void clear();
    void appendPart(qsizetype rows, RowText rowText);
    // The part a row is in and its index there.
    std::pair<int, qsizetype> partOf(int row) const;
    QStringList rowText(int row) const;

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    struct Part {
        qsizetype first; // its first row in the list
        qsizetype rows;
        RowText rowText;
    };
    QStringList headers;
    QList<Part> parts;
    qsizetype rows = 0;
    // A view asks for the cells of a row one by one.
    mutable int cachedRow = -1;
    mutable QStringList cachedText;
};

#endif
