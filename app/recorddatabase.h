#ifndef RECORDDATABASE_H
#define RECORDDATABASE_H

#include <QString>

QString recordDatabasePath();
QString recordTemplatePath();

// Replaces record.db by a fresh copy of record0.db. The template is copied
// under a temporary name first, so a failed copy leaves the old database in
// place; journals left by an interrupted import are removed before the
// rename, so SQLite cannot roll old rows into the fresh copy.
bool replaceRecordDatabase();

#endif
