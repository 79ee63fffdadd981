#pragma once
// The engine's administration: creating the databases and running one
// local-SQL statement, as the talvora-db command does.

#include "data/aliases.h"
#include "data/params.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace talvora::tools {

// Creates every table and index of both databases. An existing database is
// refused (an error) unless `skipExisting`, which leaves it as it is.
// Returns the files created.
QStringList initDatabases(const data::AliasResolver& aliases, bool skipExisting);

// Runs one statement on the database of `alias`; a SELECT prints its rows as
// tab-separated lines under a header, anything else the rows affected.
void runStatement(const data::AliasResolver& aliases, const QString& alias, const QString& statement,
                  const data::Params& params, QTextStream& out);

// The command line: returns the exit status.
int runCommandLine(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace talvora::tools
