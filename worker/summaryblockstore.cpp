#include "summaryblockstore.h"

#include "summaryblockfile.h"
#include "summarypass.h"

#include <QFile>
#include <atomic>
#include <sys/stat.h>

namespace {

std::atomic<qint64> g_blockRowids{DefaultBlockRowids};

// The database file as it is now: a copy that replaced it, or a change to
// it, reads otherwise. SQLite counts every change it commits in the file's
// header (bytes 24 to 27), which a change within the clock's tick would not show.
QString fileState(const QString &database)
{
    struct stat state {};
    QFile file(database);
    if (::stat(QFile::encodeName(database).constData(), &state) != 0 || !file.open(QIODevice::ReadOnly))
        return QString();
    const QByteArray header = file.read(28);
    return QStringLiteral("%1:%2:%3:%4.%5:%6")
        .arg(database)
        .arg(qint64(state.st_ino))
        .arg(qint64(state.st_size))
        .arg(qint64(state.st_mtim.tv_sec))
        .arg(qint64(state.st_mtim.tv_nsec))
        .arg(QString::fromLatin1(header.mid(24).toHex()));
}

QString blockKey(const QString &database, const QString &statement)
{
    const QString state = fileState(database);
    return state.isEmpty() ? QString() : state + QLatin1Char('\n') + statement + QLatin1Char('\n')
            + QString::number(g_blockRowids);
}

} // namespace

SummaryBlockStore::SummaryBlockStore() = default;

SummaryBlockStore::~SummaryBlockStore() = default;

void SummaryBlockStore::setBlockRowids(qint64 rowids)
{
    g_blockRowids = rowids;
}

void SummaryBlockStore::collect()
{
    if (!running || !running->finished())
        return;
    if (auto blocks = running->take())
        built.insert(runningKey, blocks);
    running.reset();
}

std::shared_ptr<const SummaryBlocks> SummaryBlockStore::find(const QString &database, const QString &statement)
{
    collect();
    const QString key = blockKey(database, statement);
    if (!built.contains(key) && !key.isEmpty() && g_blockRowids > 0) {
        if (auto kept = loadSummaryBlocks(database, key))
            built.insert(key, kept);
    }
    return built.value(key);
}

void SummaryBlockStore::build(const QString &database, const QString &table, const QString &statement)
{
    collect();
    const QString key = blockKey(database, statement);
    if (running || key.isEmpty() || g_blockRowids <= 0 || built.contains(key))
        return;
    // Blocks of a former state of the file are of no use any more.
    const QString state = key.section(QLatin1Char('\n'), 0, 0);
    for (auto it = built.begin(); it != built.end();)
        it = it.key().startsWith(state + QLatin1Char('\n')) ? std::next(it) : built.erase(it);
    running = std::make_unique<SummaryBlockBuild>(database, table, statement, g_blockRowids,
                                                  [=](const SummaryBlocks &blocks) {
                                                      saveSummaryBlocks(database, key, state, blocks);
                                                  });
    runningKey = key;
    running->start();
}

void SummaryBlockStore::stop()
{
    running.reset();
}

void SummaryBlockStore::wait()
{
    if (running)
        running->take();
    collect();
}
