#include "otheroverview.h"

#include "families.h"
#include "recorddatabase.h"
#include "overviewreading.h"
#include "recordoverview.h"
#include "rowinserter.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("OtherOverview", text);
}

QString readFrom(QSqlDatabase &db, const OtherColumn &other, const OverviewPlan &plan, QVector<OverviewCell> *cells)
{
    const int family = familyOfTableCode(other.meter);
    if (family == 0)
        return tr("its settings name no meter model this program reads");
    if (!nativeHandleUsable(db))
        return tr("Qt's SQLite driver uses another SQLite than this program");
    const MeterFamily &meterModel = meterFamily(family);
    const QString table = meterModel.table(other.meter);
    // Kept with the records since they were imported; it cannot be built from here.
    if (!RecordOverview::current(db, table))
        return tr("its records have no overview yet: open that instrument once to build it");
    return RecordOverview::read(db, table, other.column, StampBlocks::loadBesideOverview(db, meterModel, other.meter), plan, cells);
}

} // namespace

QString readOtherOverview(const OtherColumn &other, const OverviewPlan &plan, QVector<OverviewCell> *cells,
                          QString *path)
{
    const QString file = other.folder + QStringLiteral("/record.db");
    if (path)
        path->clear();
    if (!QFileInfo(file).isFile())
        return tr("there is no record.db in %1").arg(QDir::toNativeSeparators(other.folder));
    QString error;
    const QString unopened = readOnlyDatabase(file, [&](QSqlDatabase &db) { error = readFrom(db, other, plan, cells); });
    if (!unopened.isEmpty())
        error = unopened;
    if (path && error.isEmpty())
        *path = plan.level < 0 ? QStringLiteral("the records") : QStringLiteral("spans of %1 s").arg(OverviewLevels[plan.level]);
    return error;
}
