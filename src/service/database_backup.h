#pragma once
// Copies of the workstation database packed with the archiver, and their way
// back: what the start window's archive and restore buttons and the
// administration tool's backup and restore commands share. No widgets here.

#include <QDate>
#include <QString>
#include <QTemporaryDir>

#include <memory>

namespace talvora::service {

// "Base" + the date in the short date format + ".7z" (Base23.06.2008.7z for
// dd.MM.yyyy). Characters that cannot be in a file name become dots.
QString archiveName(const QDate& date);

// Runs the archiver's own test of every file in the archive; throws
// talvora::Error when the archive is damaged.
void testArchive(const QString& program, const QString& archive);

// Throws talvora::Error, saying why, unless `directory` holds a workstation
// database with every table that opens and passes SQLite's integrity check.
void checkWorkstationDatabase(const QString& directory);

// An archive unpacked into a temporary folder and found to hold a sound
// workstation database. The folder goes away with the object.
struct ExtractedDatabase {
    std::unique_ptr<QTemporaryDir> temporary;
    QString directory; // the folder inside it that holds database.sqlite
};

// Unpacks `archive` into a temporary folder beside `databaseDirectory`
// (so that putting it in place stays on one disk) and checks it. A damaged
// archive, one that holds no workstation database or a broken one is an
// error that says which; nothing outside the temporary folder changes.
ExtractedDatabase extractDatabase(const QString& program, const QString& archive, const QString& databaseDirectory);

// Puts the files of `restoredDirectory` into `databaseDirectory` in place of
// the ones there, which are first moved into a new folder beside it (its
// path is returned). The database must be closed. When a step fails the old
// files are put back and the error is thrown.
QString replaceDatabase(const QString& restoredDirectory, const QString& databaseDirectory);

// A consistent copy of the database file taken with SQLite's online backup
// (the program may be working on it meanwhile), packed into `archive` under
// the database folder's name as the archive button packs it, and tested.
// An existing archive of that name is replaced only by a complete new one.
// Returns the archive's size in bytes.
qint64 backupDatabase(const QString& program, const QString& databaseDirectory, const QString& archive);

// Copies a file and forces the copy onto the disk before it is renamed into
// place, so that a machine dying just after the rename leaves the whole file,
// not an empty one. False when the copy or its flush failed.
bool copyToDisk(const QString& from, const QString& to);
// Forces a rename done in the folder onto the disk.
void flushFolder(const QString& directory);

} // namespace talvora::service
