#pragma once
// Fresh, empty workstation and error databases in a temporary directory.

#include "data/aliases.h"
#include "data/database.h"

#include <QTemporaryDir>

#include <memory>

namespace talvora::test {

class TempDatabases {
public:
    TempDatabases();

    const data::AliasResolver& aliases() const { return aliases_; }
    QString path() const { return dir_.path(); }

    // A connection to the workstation database for setting up rows.
    data::Database& ppp();
    data::Database& eee();
    // Runs one local-SQL statement on the workstation database.
    int sql(const QString& statement, const data::Params& params = {});
    int sqlErrors(const QString& statement, const data::Params& params = {});
    // The single value of a one-row, one-column SELECT (through the dialect).
    QVariant scalar(const QString& statement);

private:
    QTemporaryDir dir_;
    data::AliasResolver aliases_;
    std::unique_ptr<data::Database> ppp_, eee_;
};

} // namespace talvora::test
