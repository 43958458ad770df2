#include "families.h"

#include <QHash>

namespace {

QList<FamilyColumn> alarmColumns(int count)
{
    QList<FamilyColumn> columns;
    for (int a = 1; a <= count; ++a)
        columns.append({QStringLiteral("alm%1").arg(a), RowField::Alarm, a});
    return columns;
}

QList<FamilyCell> alarmCells(int count, int width)
{
    QList<FamilyCell> cells;
    for (int a = 1; a <= count; ++a)
        cells.append({QStringLiteral("ALM%1").arg(a), width, RowField::Alarm, a});
    return cells;
}

const FamilyColumn TimeColumn{QStringLiteral("indate"), RowField::Time};

QList<MeterFamily> buildFamilies()
{
    MeterFamily f1;
    f1.number = 1;
    f1.instrument = QStringLiteral("multi-channel controller");
    f1.channelBase = 10;
    f1.valueColumns = {QStringLiteral("pv%1")};
    f1.tableColumns = {{QStringLiteral("pv%1"), RowField::Primary},
                       {QStringLiteral("sv%1"), RowField::Sv},
                       {QStringLiteral("out%1"), RowField::Out},
                       TimeColumn};
    f1.chartColumns = {{QStringLiteral("pv%1"), RowField::Primary},
                       {QStringLiteral("sv%1"), RowField::Sv},
                       TimeColumn};
    f1.traceChartCount = true;
    f1.cells = {{QStringLiteral("ID"), 80, RowField::Id},
                {QStringLiteral("PV"), 80, RowField::Primary},
                {QStringLiteral("SV"), 80, RowField::Sv},
                {QStringLiteral("OUT%"), 80, RowField::Out},
                {QStringLiteral("Time"), 0, RowField::Time}};
    f1.tableScrollBarAlwaysOff = true;
    f1.rangeMessages = {QStringLiteral(" Set the right range of the pv values.")};
    f1.chartFill = true;
    f1.chartSecondGraph = true;

    MeterFamily f2;
    f2.number = 2;
    f2.instrument = QStringLiteral("multi-channel scanning recorder");
    f2.channelBase = 200;
    f2.valueColumns = {QStringLiteral("pv%1")};
    f2.tableColumns = {{QStringLiteral("pv%1"), RowField::Primary}, TimeColumn};
    f2.chartColumns = f2.tableColumns;
    f2.chartFirstPageDoubleBlank = true;
    f2.rangeMessages = f1.rangeMessages;
    f2.cells = {{QStringLiteral("ID"), 80, RowField::Id},
                {QStringLiteral("Channels"), 80, RowField::Channel},
                {QStringLiteral("PV"), 80, RowField::Primary},
                {QStringLiteral("Time"), 0, RowField::Time}};

    MeterFamily f3;
    f3.number = 3;
    f3.instrument = QStringLiteral("single-input meter with four alarms (liquid level)");
    f3.fixedTable = QStringLiteral("meter3");
    f3.valueColumns = {QStringLiteral("pv_value")};
    f3.tableColumns = QList<FamilyColumn>{{QStringLiteral("pv_value"), RowField::Primary}}
                      + alarmColumns(4) + QList<FamilyColumn>{TimeColumn};
    f3.chartColumns = {{QStringLiteral("pv_value"), RowField::Primary}, TimeColumn};
    f3.valueAlarms = {{1, 2, 3, 4}};
    f3.traceChartRowCount = true;
    f3.rangeMessages = f1.rangeMessages;
    f3.cells = QList<FamilyCell>{{QStringLiteral("ID"), 80, RowField::Id},
                                 {QStringLiteral("PV"), 70, RowField::Primary}}
               + alarmCells(4, 60) + QList<FamilyCell>{{QStringLiteral("Time"), 150, RowField::Time}};

    MeterFamily f4;
    f4.number = 4;
    f4.instrument = QStringLiteral("temperature and humidity meter");
    f4.fixedTable = QStringLiteral("meter4");
    f4.valueColumns = {QStringLiteral("T_value"), QStringLiteral("H_value")};
    f4.valueNames = {QStringLiteral("Temperature"), QStringLiteral("Humidity")};
    f4.valueUnits = {QStringLiteral("°C"), QStringLiteral("%RH")};
    f4.valueAlarms = {{1}, {2}};
    f4.tableColumns = {{QStringLiteral("T_value"), RowField::Primary},
                       {QStringLiteral("al1value"), RowField::Al1Value},
                       {QStringLiteral("alm1"), RowField::Alarm, 1},
                       {QStringLiteral("H_value"), RowField::Secondary},
                       {QStringLiteral("al2value"), RowField::Al2Value},
                       {QStringLiteral("alm2"), RowField::Alarm, 2},
                       TimeColumn};
    f4.chartColumns = {{QStringLiteral("T_value"), RowField::Primary},
                       {QStringLiteral("H_value"), RowField::Secondary},
                       TimeColumn};
    f4.traceTableRowCount = false;
    f4.traceSecondRowId = true;
    f4.rangeMessages = {QStringLiteral("Set the right range of the temperature  values."),
                        QStringLiteral("Set the right range of the humidity   values.")};
    f4.traceChartRowCount = true;
    // Narrow enough that a whole stamp fits in the Time column at the
    // window's first size.
    f4.cells = {{QStringLiteral("ID"), 45, RowField::Id},
                {QStringLiteral("Temperature"), 80, RowField::Primary},
                {QStringLiteral("AL1 value"), 62, RowField::Al1Value},
                {QStringLiteral("ALM1"), 48, RowField::Alarm, 1},
                {QStringLiteral("Humidity "), 62, RowField::Secondary},
                {QStringLiteral("AL2 value"), 62, RowField::Al2Value},
                {QStringLiteral("ALM2"), 48, RowField::Alarm, 2},
                {QStringLiteral("Time"), 0, RowField::Time}};

    MeterFamily f5 = f3;
    f5.number = 5;
    f5.instrument = QStringLiteral("single-input meter with eight alarms");
    f5.fixedTable = QStringLiteral("meter5");
    f5.valueAlarms = {{1, 2, 3, 4, 5, 6, 7, 8}};
    f5.tableColumns = QList<FamilyColumn>{{QStringLiteral("pv_value"), RowField::Primary}}
                      + alarmColumns(8) + QList<FamilyColumn>{TimeColumn};
    f5.cells = QList<FamilyCell>{{QStringLiteral("ID"), 80, RowField::Id},
                                 {QStringLiteral("PV"), 70, RowField::Primary}}
               + alarmCells(8, 60) + QList<FamilyCell>{{QStringLiteral("Time"), 150, RowField::Time}};

    return {f1, f2, f3, f4, f5};
}

const QHash<int, QString> &insertStatements()
{
    static const QHash<int, QString> statements{
        {11, QStringLiteral("insert into meter11(pv1,sv1, out1, indate)values(:pv1,:sv1,:out1,:indate)")},
        {12, QStringLiteral("insert into meter12(pv1,sv1, out1, pv2,sv2, out2,indate)values(:pv1,:sv1,:out1,:pv2,:sv2,:out2,:indate)")},
        {13, QStringLiteral("insert into meter13(pv1,sv1, out1, pv2,sv2, out2,pv3,sv3, out3,indate)values(:pv1,:sv1,:out1,:pv2,:sv2,:out2,:pv3,:sv3,:out3,:indate)")},
        {14, QStringLiteral("insert into meter14(pv1,sv1, out1, pv2,sv2, out2,pv3,sv3, out3,pv4,sv4, out4,indate)values(:pv1,:sv1,:out1,:pv2,:sv2,:out2,:pv3,:sv3,:out3,:pv4,:sv4,:out4,:indate)")},
        {15, QStringLiteral("insert into meter15(pv1,sv1, out1, pv2,sv2, out2,pv3,sv3, out3,pv4,sv4, out4,pv5,sv5, out5,indate)values(:pv1,:sv1,:out1,:pv2,:sv2,:out2,:pv3,:sv3,:out3,:pv4,:sv4,:out4,:pv5,:sv5,:out5,:indate)")},
        {16, QStringLiteral("insert into meter16(pv1,sv1, out1, pv2,sv2, out2,pv3,sv3, out3,pv4,sv4, out4,pv5,sv5, out5,pv6,sv6, out6,indate)values(:pv1,:sv1,:out1,:pv2,:sv2,:out2,:pv3,:sv3,:out3,:pv4,:sv4,:out4,:pv5,:sv5,:out5,:pv6,:sv6,:out6,:indate)")},
        {208, QStringLiteral("insert into meter208(pv1,pv2,pv3,pv4,pv5,pv6,pv7,pv8,indate)values(:pv1,:pv2,:pv3,:pv4,:pv5,:pv6,:pv7,:pv8,:indate)")},
        {216, QStringLiteral("insert into meter216(pv1,pv2,pv3,pv4,pv5,pv6,pv7,pv8,pv9,pv10,pv11,pv12,pv13,pv14,pv15,pv16,indate)values(:pv1,:pv2,:pv3,:pv4,:pv5,:pv6,:pv7,:pv8,:pv9,:pv10,:pv11,:pv12,:pv13,:pv14,:pv15,:pv16,:indate)")},
        {3, QStringLiteral("insert into meter3(pv_value,al1value,alm1,al2value,alm2,al3value,alm3,al4value,alm4,indate)values(:pv_value,:al1value,:alm1,:al2value,:alm2,:al3value,:alm3,:al4value,:alm4,:indate)")},
        {4, QStringLiteral("insert into meter4(T_value,al1value,alm1,H_value,al2value,alm2,indate)values(:T_value,:al1value,:alm1,:H_value,:al2value,:alm2,:indate)")},
        {5, QStringLiteral("insert into meter5(pv_value,al1value,alm1,al2value,alm2,al3value,alm3,al4value,alm4,al5value,alm5,al6value,alm6,al7value,alm7,al8value,alm8,indate) values(:pv_value,:al1value,:alm1,:al2value,:alm2,:al3value,:alm3,:al4value,:alm4,:al5value,:alm5,:al6value,:alm6,:al7value,:alm7,:al8value,:alm8,:indate)")},
    };
    return statements;
}

} // namespace

QString MeterFamily::table(int meter) const
{
    return fixedTable.isEmpty() ? QStringLiteral("meter%1").arg(meter) : fixedTable;
}

const MeterFamily &meterFamily(int number)
{
    static const QList<MeterFamily> families = buildFamilies();
    Q_ASSERT(number >= 1 && number <= families.size());
    return families.at(number - 1);
}

int familyOfTableCode(int meter)
{
    if (meter >= 11 && meter <= 16)
        return 1;
    if (meter == 208 || meter == 216)
        return 2;
    if (meter >= 3 && meter <= 5)
        return meter;
    return 0;
}

ModelChoice modelForCode(int modelCode)
{
    if (modelCode >= 11 && modelCode <= 16)
        return {1, modelCode - 10, modelCode, modelCode};
    if (modelCode == 208 || modelCode == 216)
        return {2, modelCode - 200, modelCode, modelCode};
    if (modelCode >= 2 && modelCode <= 4)
        return {modelCode + 1, 0, modelCode + 1, modelCode};
    return {0, 0, 0, modelCode};
}

int modelCodeOf(int tableCode)
{
    return familyOfTableCode(tableCode) >= 3 ? tableCode - 1 : tableCode;
}

QString insertStatement(int tableCode)
{
    return insertStatements().value(tableCode);
}

int recordFieldCount(int tableCode)
{
    return int(insertStatement(tableCode).count(QLatin1Char(':')));
}

ParserTraits parserTraits(int family)
{
    switch (family) {
    case 1: return {"进入文件分析1", "2", false};
    case 2: return {nullptr, "出错", true};
    case 3: return {"进入文件处理液位", "2", false};
    case 4: return {nullptr, "2", false};
    default: return {"进入文件处理rtq-4mx", "出错", false};
    }
}
