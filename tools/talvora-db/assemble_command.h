#pragma once
// `talvora-db assemble`: one patient document assembled from one template,
// on views that are never shown, without the windows. The patient's
// department is the current one, so its group markers find that
// department's template types.

#include <QStringList>
#include <QTextStream>

namespace talvora::tools {

// `args` after the word "assemble": --patient PID --template SHID --out FILE
// [--blob] [--alias NAME=DIR ...]. Returns the exit status; a failure is
// written to `err`. Needs a QApplication.
int runAssembleCommand(const QStringList& args, QTextStream& out, QTextStream& err);

} // namespace talvora::tools
