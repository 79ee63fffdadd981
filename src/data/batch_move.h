#pragma once
// The batch copy: every row of a source table into a destination table of
// another database, fields matched by position, a row whose key already
// exists replacing that row, any other appended. One transaction.

#include "database.h"

namespace talvora::data {

class BatchMove {
public:
    BatchMove(Database& source, QString sourceTable, Database& destination, QString destinationTable)
        : source_(source), sourceTable_(std::move(sourceTable)), destination_(destination),
          destinationTable_(std::move(destinationTable))
    {
    }

    // Returns the number of rows copied.
    int execute();

private:
    Database& source_;
    QString sourceTable_;
    Database& destination_;
    QString destinationTable_;
};

} // namespace talvora::data
