#include "nativestatement.h"

#include <QHash>
#include <QMutex>
#include <sqlite3.h>

namespace {
QMutex openLock;
QHash<sqlite3 *, int> openStatements;
} // namespace

NativeStatement::NativeStatement(sqlite3 *handle, const QString &text) : handle(handle)
{
    if (handle && sqlite3_prepare_v2(handle, text.toUtf8().constData(), -1, &statement, nullptr) == SQLITE_OK && statement) {
        QMutexLocker lock(&openLock);
        ++openStatements[handle];
    }
}

NativeStatement::~NativeStatement()
{
    if (!statement)
        return;
    sqlite3_finalize(statement);
    QMutexLocker lock(&openLock);
    if (--openStatements[handle] == 0)
        openStatements.remove(handle);
}

int NativeStatement::openOn(sqlite3 *handle)
{
    QMutexLocker lock(&openLock);
    return openStatements.value(handle);
}

void NativeStatement::bind(int i, qint64 value)
{
    sqlite3_bind_int64(statement, i, value);
}

void NativeStatement::bind(int i, const QString &text)
{
    const QByteArray utf8 = text.toUtf8();
    sqlite3_bind_text(statement, i, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
}

int NativeStatement::step()
{
    return sqlite3_step(statement);
}

bool NativeStatement::run()
{
    const int code = sqlite3_step(statement);
    sqlite3_reset(statement);
    return code == SQLITE_DONE;
}

void NativeStatement::reset()
{
    sqlite3_reset(statement);
}

QString NativeStatement::error() const
{
    return handle ? QString::fromUtf8(sqlite3_errmsg(handle)) : QStringLiteral("no SQLite handle");
}
