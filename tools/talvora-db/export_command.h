#pragma once
// `talvora-db export`: every stored document of a department's patients
// written into a folder, as the start window's export button writes those of
// the listed patients, without a screen.

#include <QStringList>
#include <QTextStream>

namespace talvora::tools {

// `args` after the word "export": --department OID --folder DIR
// [--alias NAME=DIR ...]. Prints how many documents were written and which
// failed. Returns 0 when every document was written, 2 when some failed and
// 1 on an error that stopped the export (written to `err`).
int runExportCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace talvora::tools
