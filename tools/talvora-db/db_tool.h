#pragma once
// The engine's administration: creating the databases and running one
// local-SQL statement, as the talvora-db command does.

#include "data/aliases.h"
#include "data/params.h"
#include "starter_department.h"

#include <QString>
#include <QStringList>
#include <QTextStream>

#include <optional>

namespace talvora::tools {

// What a new workstation database holds besides its tables.
enum class InitContent {
    Empty,             // no row at all
    StarterDepartment, // the department of starter_department.h
};

struct InitReport {
    QStringList created;                   // the database files made
    std::optional<StarterSummary> starter; // when the workstation database got the starter department
};

// Creates every table and index of both databases, and puts `content` into a
// new workstation database. An existing database is refused (an error)
// unless `skipExisting`, which leaves it as it is; either way it is never
// changed. A database that cannot be made whole is not left behind.
InitReport initDatabases(const data::AliasResolver& aliases, bool skipExisting,
                         InitContent content = InitContent::Empty);

// Runs one statement on the database of `alias`; a SELECT prints its rows as
// tab-separated lines under a header, anything else the rows affected.
void runStatement(const data::AliasResolver& aliases, const QString& alias, const QString& statement,
                  const data::Params& params, QTextStream& out);

// The command line: returns the exit status.
int runCommandLine(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace talvora::tools
