#pragma once
// `talvora-db backup FILE.7z` and `talvora-db restore FILE.7z`: the
// workstation database packed into an archive while the program may be
// working on it, and put back from one (with the program closed).

#include <QStringList>
#include <QTextStream>

namespace talvora::tools {

// `args` from the word "backup" or "restore" on: FILE.7z [--alias pacientdata=DIR].
// Returns the exit status; a failure is written to `err`.
int runBackupCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace talvora::tools
