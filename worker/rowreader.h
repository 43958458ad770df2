#ifndef ROWREADER_H
#define ROWREADER_H

#include "families.h"
#include "recordstore.h"

class QSqlQuery;

// Fills one row from the current result row of `query`, column by column.
RecordRow readRecordRow(const QSqlQuery &query, const QList<FamilyColumn> &columns, bool ishl);

#endif
