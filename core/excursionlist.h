#ifndef EXCURSIONLIST_H
#define EXCURSIONLIST_H

#include "excursions.h"

#include <QByteArray>
#include <QList>

#include <iterator>

// Excursions in the order found, packed: a noisy year holds about a million
// of them, 64 bytes each as Excursions and about 8 here. Each is read back
// as it was appended, in order or one at a time.
class ExcursionList
{
public:
    class const_iterator
    {
    public:
        using iterator_category = std::forward_iterator_tag;
        using value_type = Excursion;
        using difference_type = qsizetype;
        using pointer = const Excursion *;
        using reference = Excursion;

        const_iterator() = default;
        Excursion operator*() const { return current; }
        const Excursion *operator->() const { return &current; }
        const_iterator &operator++();
        const_iterator operator++(int);
        bool operator==(const const_iterator &other) const { return index == other.index; }
        bool operator!=(const const_iterator &other) const { return index != other.index; }

    private:
        friend class ExcursionList;
        const ExcursionList *list = nullptr;
        qsizetype index = 0, offset = 0;
        Excursion current;
    };
    using value_type = Excursion;

    ExcursionList() = default;
    explicit ExcursionList(const QList<Excursion> &excursions);

    void append(const Excursion &excursion);
    void push_back(const Excursion &excursion) { append(excursion); }
    void clear();
    qsizetype size() const { return count; }
    bool isEmpty() const { return count == 0; }
    Excursion at(qsizetype i) const;
    // Of an alarm: its set value, read after it was found.
    void setSetValue(qsizetype i, double value);
    const_iterator begin() const;
    const_iterator end() const;
    const_iterator cbegin() const { return begin(); }
    const_iterator cend() const { return end(); }
    QList<Excursion> toList() const;
    // This list and `others`, both in order of their starts, as one: at
    // the same start, this list's first.
    ExcursionList mergedWith(const QList<Excursion> &others) const;

private:
    // Where an excursion starts, and the start and rowid its deltas count from.
    struct Checkpoint {
        qsizetype offset;
        qint64 start, firstRowid;
    };
    static constexpr qsizetype CheckpointEvery = 64;
    // The bytes lie in pages: a list grown in one piece took up to twice its
    // size, and held both pieces while it grew (a noisy year's two channels:
    // 7 MB of excursions in 8.4 MB, 10.5 MB at the step). A checkpoint's run
    // of excursions, at most 64 bytes each, lies in one page.
    static constexpr qsizetype PageBytes = 256 * 1024;
    static constexpr qsizetype RunBytes = CheckpointEvery * 64;
    // Decodes the excursion at `offset` after `previous` into `to`; the next one's offset.
    qsizetype decode(qsizetype offset, const Excursion &previous, Excursion *to) const;
    const_iterator iteratorAt(qsizetype i) const;

    QList<QByteArray> pages;
    QList<Checkpoint> checkpoints; // offsets count PageBytes a page
    qsizetype count = 0;
    qint64 lastStart = 0, lastRowid = 0;
};

// The excursions of the last window a job looked at, written before its
// final report, read by its page after it.
struct WindowExcursions {
    ExcursionList excursions;
    ExcursionTotals totals;
    qint64 gapSeconds = 0;
};
extern WindowExcursions g_excursions;

#endif
