#ifndef STARTPAGE_H
#define STARTPAGE_H

#include <QWidget>

struct RecordFacts;
class QLabel;
class QPushButton;
class QThread;

// What the content area shows while no page is: the instrument and the
// records loaded, with the ways on; before the first import, how to begin.
class StartPage : public QWidget
{
    Q_OBJECT
public:
    explicit StartPage(QWidget *parent);
    ~StartPage() override;
    // Reads what is loaded again (the records are read on a thread of their own).
    void refresh();
    // Until the records read now are read: before another instrument is opened.
    void waitForReader();

signals:
    void tableAsked();
    void chartAsked();
    void addAsked();
    void importAsked();

private:
    void showFacts(const RecordFacts &facts);
    QPushButton *addButton(const QString &name, const QString &text, void (StartPage::*asked)());

    QLabel *title;
    QLabel *details;
    QList<QPushButton *> recordButtons; // table, chart, addition: once records are there
    QPushButton *importButton;
    QThread *reader = nullptr;
    bool readAgain = false;
    int reading = 0; // the last read asked for: an earlier one's facts are dropped
};

#endif
