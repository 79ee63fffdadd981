#pragma once
// The external archiver (7-Zip) and the relative-path rule its command lines use.

#include <QString>
#include <QStringList>

namespace talvora::service {

// The relative path from the directory part of baseName to targetDir, by the
// workstation's rule: the leading directories both share are dropped, "../"
// is written for each remaining directory of the base, and the remaining
// directories of the target follow. A name without a trailing separator
// stands for the directory that contains it.
QString relativePath(const QString& baseName, const QString& targetDir);

// The archiver program: a fixed path set at build time.
QString archiverProgram();

// Throws talvora::Error with a Russian message when `program` is missing
// or cannot be run; nothing is started.
void CheckArchiver(const QString& program);

// Starts the archiver with the argument list in workingDirectory (no shell),
// waits for it and checks its exit status. Throws talvora::Error with a
// Russian message when the program is missing, cannot start or fails.
void RunArchiver(const QStringList& arguments, const QString& workingDirectory);

// The same with the program given (tests point it at a missing file).
// While it waits, pending events other than user input are processed, so
// that the windows keep painting.
void RunArchiver(const QString& program, const QStringList& arguments, const QString& workingDirectory);

} // namespace talvora::service
