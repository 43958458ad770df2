#include "startpage.h"

#include "userstate.h"
#include "families.h"
#include "recorddatabase.h"
#include "recordfacts.h"
#include "settings.h"

#include <QBoxLayout>
#include <QFileInfo>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QThread>

StartPage::StartPage(QWidget *parent) : QWidget(parent), title(new QLabel(this)), details(new QLabel(this))
{
    setObjectName(QStringLiteral("startPage"));
    title->setObjectName(QStringLiteral("startTitle"));
    QFont big = title->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    title->setFont(big);
    details->setObjectName(QStringLiteral("startDetails"));
    details->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto *buttons = new QHBoxLayout;
    recordButtons << addButton(QStringLiteral("startTable"), tr("Table view"), &StartPage::tableAsked)
                  << addButton(QStringLiteral("startChart"), tr("Generate chart"), &StartPage::chartAsked)
                  << addButton(QStringLiteral("startAdd"), tr("Add record files..."), &StartPage::addAsked);
    importButton = addButton(QStringLiteral("startImport"), tr("Import record files..."), &StartPage::importAsked);
    for (QPushButton *button : recordButtons + QList<QPushButton *>{importButton})
        buttons->addWidget(button);
    buttons->addStretch();
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(40, 40, 40, 40);
    layout->addWidget(title);
    layout->addWidget(details);
    layout->addSpacing(20);
    layout->addLayout(buttons);
    layout->addStretch();
}

StartPage::~StartPage()
{
    waitForReader();
    delete reader;
}

void StartPage::waitForReader()
{
    if (reader)
        reader->wait();
}

QPushButton *StartPage::addButton(const QString &name, const QString &text, void (StartPage::*asked)())
{
    auto *button = new QPushButton(text, this);
    button->setObjectName(name);
    connect(button, &QPushButton::clicked, this, asked);
    return button;
}

void StartPage::refresh()
{
    const bool imported = Meter != -1;
    for (QPushButton *button : std::as_const(recordButtons))
        button->setVisible(imported);
    importButton->setVisible(!imported);
    if (!imported) {
        title->setText(tr("Import Record files(.CSV) first"));
        details->setText(tr("Choose the record files an instrument wrote, or drop them on this window."));
        return;
    }
    const MeterFamily &family = meterFamily(familyOfTableCode(Meter));
    title->setText(UserState::instrumentTitle());
    details->setText(tr("Reading the records…"));
    ++reading;
    if (reader) {
        readAgain = true;
        return;
    }
    const int number = family.number, meter = Meter, generation = reading;
    const QString path = recordDatabasePath();
    reader = QThread::create([this, path, number, meter, generation] {
        const RecordFacts facts = readRecordFacts(path, number, meter);
        QMetaObject::invokeMethod(this, [this, facts, generation] {
            if (generation == reading) // else the records were asked for again meanwhile
                showFacts(facts);
        }, Qt::QueuedConnection);
    });
    connect(reader, &QThread::finished, this, [this] {
        reader->deleteLater();
        reader = nullptr;
        if (std::exchange(readAgain, false))
            refresh();
    });
    reader->start();
}

void StartPage::showFacts(const RecordFacts &facts)
{
    if (Meter == -1)
        return;
    const MeterFamily &family = meterFamily(familyOfTableCode(Meter));
    QStringList lines;
    lines << (family.hasChannels() ? tr("Model %1, %2, %3 channels").arg(modelCodeOf(Meter)).arg(family.instrument).arg(family.channelCount(Meter))
                                   : tr("Model %1, %2").arg(modelCodeOf(Meter)).arg(family.instrument));
    if (!facts.error.isEmpty()) {
        lines << tr("The records could not be read: %1").arg(facts.error);
    } else {
        const QString format = QStringLiteral("yyyy-MM-dd hh:mm:ss");
        lines << tr("Records: %1").arg(QLocale::c().toString(facts.records));
        if (facts.first.isValid())
            lines << tr("From %1 to %2").arg(facts.first.toString(format), facts.last.toString(format));
        if (facts.files > 0)
            lines << (facts.lastAdded.isEmpty() ? tr("Files imported: %1 · the last: %2").arg(facts.files).arg(facts.lastFile)
                                                : tr("Files imported: %1 · the last: %2, on %3").arg(facts.files).arg(facts.lastFile, facts.lastAdded));
    }
    details->setText(lines.join(QLatin1Char('\n')));
}
