#ifndef SUMMARYBLOCKSTORE_H
#define SUMMARYBLOCKSTORE_H

#include "summaryblocks.h"

#include <QHash>
#include <QString>
#include <memory>

class SummaryBlockBuild;

// The blocks of the searched value columns, built on a thread of their own
// after a search that read its whole window, for the next searches of the
// same records. Blocks belong to one state of the record database: an import
// or any other change of the file leaves them unused.
class SummaryBlockStore
{
public:
    SummaryBlockStore();
    ~SummaryBlockStore(); // stops a build
    // Rowids per block; 0 builds none (the bench weighs the pass alone).
    static void setBlockRowids(qint64 rowids);

    // The blocks of `statement` (see summaryBlockStatement) over the
    // database as it is now; null when there are none yet.
    std::shared_ptr<const SummaryBlocks> find(const QString &database, const QString &statement);
    // Starts building them, unless they are built or being built.
    void build(const QString &database, const QString &table, const QString &statement);
    void stop(); // a running build, at once
    void wait(); // until a running build ends

private:
    void collect();

    std::unique_ptr<SummaryBlockBuild> running;
    QString runningKey;
    QHash<QString, std::shared_ptr<const SummaryBlocks>> built;
};

#endif
