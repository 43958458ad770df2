#ifndef FAMILIES_H
#define FAMILIES_H

#include <QList>
#include <QString>
#include <QStringList>

// The five meter families differ only in data: their tables, columns, field
// counts, headers and filters. Every query, parser and page reads it from here.

enum class RowField {
    Id,        // running number in the whole result
    Channel,   // 1-based channel
    Primary,   // PV or temperature: text in HH/LL mode, number in range mode
    Secondary, // humidity: text in HH/LL mode, number in range mode
    Sv,        // set value, always a number
    Out,       // output, rounded to a whole number
    Al1Value,
    Al2Value,
    Alarm,     // alarm state text, numbered by `alarm`
    Time
};

struct FamilyColumn {
    QString name; // "%1" stands for the channel number
    RowField field;
    int alarm = 0;
};

struct FamilyCell {
    QString header;
    int width; // 0: takes what is left
    RowField field;
    int alarm = 0;
};

struct MeterFamily {
    int number = 0;
    QString instrument;           // what kind of instrument records so ("temperature and humidity meter")
    int channelBase = 0;          // channels = Meter - channelBase; 0 for single-input families
    QString fixedTable;           // empty where the table is named after Meter
    QStringList valueColumns;     // compared in range mode and for HH/LL
    QStringList valueNames{QStringLiteral("PV")}; // of the value columns, in the window summary
    QStringList valueUnits;       // as the instrument records them, where it says; "°C" has a mean kinetic temperature
    QList<QList<int>> valueAlarms; // of each value column: the numbers of the instrument's alarms on it (almN, alNvalue)
    QList<FamilyColumn> tableColumns;
    QList<FamilyColumn> chartColumns;
    bool chartFirstPageDoubleBlank = false;
    bool traceTableRowCount = true;
    bool traceChartRowCount = false;
    bool traceChartCount = false;
    QList<FamilyCell> cells;
    bool tableScrollBarAlwaysOff = false;
    QStringList rangeMessages;    // one per value column, shown when its range is empty
    bool traceSecondRowId = false;
    bool chartFill = false;       // light fill under graph 0
    bool chartSecondGraph = false; // graph 1 draws value2

    bool hasChannels() const { return channelBase != 0; }
    int channelCount(int meter) const { return hasChannels() ? meter - channelBase : 0; }
    QString table(int meter) const;
    // The numbers of the instrument's alarms on value column `column`.
    QList<int> alarmsOf(const QString &column) const { return valueAlarms.value(int(valueColumns.indexOf(column))); }
};

struct ModelChoice {
    int family = 0;    // 0: the code names no model
    int channels = 0;
    int tableCode = 0;
    int code = 0;      // the model code it was chosen by
};

struct ParserTraits {
    const char *entryTrace;  // nullptr: none
    const char *errorLabel;
    bool traceEachField;
};

const MeterFamily &meterFamily(int number);
int familyOfTableCode(int meter); // 0 when the code names no family
ModelChoice modelForCode(int modelCode);
int modelCodeOf(int tableCode); // the code in VNMETER.INI that names the table
QString insertStatement(int tableCode);
int recordFieldCount(int tableCode);
ParserTraits parserTraits(int family);

#endif
