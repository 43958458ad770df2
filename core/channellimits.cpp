#include "channellimits.h"

#include "summaryblocks.h"

namespace {

bool sameLimit(double a, double b)
{
    return (qIsNaN(a) && qIsNaN(b)) || a == b;
}

} // namespace

bool ChannelLimits::operator==(const ChannelLimits &other) const
{
    return name == other.name && unit == other.unit && sameLimit(lower, other.lower) && sameLimit(upper, other.upper)
        && deadBand == other.deadBand && delaySeconds == other.delaySeconds && sameLimit(axisFrom, other.axisFrom)
        && sameLimit(axisTo, other.axisTo);
}

QString limitsKey(const MeterFamily &family, int meter, int channel, int valueIndex)
{
    const QString column = valueColumnsOf(family, qMax(0, channel) + 1).value(valueIndex);
    return family.table(meter) + QLatin1Char('/') + column;
}

QList<LimitedColumn> limitedColumns(const MeterFamily &family, int meter)
{
    QList<LimitedColumn> columns;
    const int channels = family.hasChannels() ? family.channelCount(meter) : 1;
    for (int channel = 0; channel < channels; ++channel) {
        for (int i = 0; i < family.valueColumns.size(); ++i) {
            const QString name = family.valueNames.value(i);
            columns << LimitedColumn{limitsKey(family, meter, family.hasChannels() ? channel : -1, i),
                                     family.hasChannels() ? QStringLiteral("CH%1 %2").arg(channel + 1).arg(name) : name,
                                     family.valueUnits.value(i)};
        }
    }
    return columns;
}
