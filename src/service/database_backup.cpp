#include "database_backup.h"

#include "archiver.h"
#include "common/errors.h"
#include "data/aliases.h"
#include "data/database.h"
#include "data/schema.h"
#include "data/sqlite_db.h"

#include <QDateTime>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QThread>

#include <sqlite3.h>

#include <cstdio>

#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace talvora::service {

namespace {

const QString kWorkstation = QString::fromLatin1(data::kWorkstationAlias);
const QString kDatabaseFile = QString::fromLatin1(data::kDatabaseFileName);

// A temporary folder in `near` when it can be made there, else in the
// system's temporary folder.
std::unique_ptr<QTemporaryDir> temporaryFolderIn(const QString& near, const QString& prefix)
{
    if (!near.isEmpty() && QFileInfo(near).isDir()) {
        auto dir = std::make_unique<QTemporaryDir>(QDir(near).filePath(prefix + QStringLiteral("-XXXXXX")));
        if (dir->isValid())
            return dir;
    }
    auto dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        throw Error(QStringLiteral("Не удалось создать временный каталог: %1").arg(dir->errorString()));
    return dir;
}

QString parentOf(const QString& directory)
{
    return QFileInfo(QDir::cleanPath(directory)).absolutePath();
}

// The plain files of a folder (not its subfolders).
QStringList filesOf(const QString& directory)
{
    return QDir(directory).entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name);
}

// rename(2): replaces an existing target in one step.
bool renameOver(const QString& from, const QString& to)
{
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}

QString notChanged() { return QStringLiteral("База данных не изменена."); }

bool flushPath(const QString& path, int flags)
{
    const int fd = ::open(QFile::encodeName(path).constData(), flags | O_CLOEXEC);
    if (fd < 0)
        return false;
    const bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

} // namespace

bool copyToDisk(const QString& from, const QString& to)
{
    return QFile::copy(from, to) && QFileInfo(to).size() == QFileInfo(from).size() && flushPath(to, O_RDONLY);
}

void flushFolder(const QString& directory)
{
    flushPath(directory, O_RDONLY | O_DIRECTORY); // a folder that cannot be flushed is no worse than before
}

QString archiveName(const QDate& date)
{
    QString shortDate = QLocale().toString(date, QLocale::ShortFormat);
    for (QChar& c : shortDate)
        if (c == u'/' || c == u'\\' || c == u':' || c.isSpace())
            c = u'.';
    return QStringLiteral("Base") + shortDate + QStringLiteral(".7z");
}

void testArchive(const QString& program, const QString& archive)
{
    try {
        RunArchiver(program, {QStringLiteral("t"), QStringLiteral("-bd"), archive}, QFileInfo(archive).absolutePath());
    } catch (const Error& e) {
        throw Error(QStringLiteral("Архив %1 не прошёл проверку:\n%2").arg(archive, e.message()));
    }
}

void checkWorkstationDatabase(const QString& directory)
{
    data::AliasResolver aliases;
    aliases.setDirectory(kWorkstation, directory);
    data::Database db(QStringLiteral("Check"), kWorkstation, QStringLiteral("CHK"), data::workstationSchema(), aliases);
    try {
        db.open();
    } catch (const Error& e) {
        throw Error(QStringLiteral("Это не база данных рабочего места:\n%1").arg(e.message()));
    }
    QStringList problems;
    try {
        auto st = db.connection().prepare(QStringLiteral("PRAGMA integrity_check(20)"));
        while (st.step())
            problems << st.text(0);
    } catch (const Error& e) {
        problems = QStringList{e.message()};
    }
    if (problems != QStringList{QStringLiteral("ok")})
        throw Error(QStringLiteral("База данных повреждена (проверка целостности SQLite):\n%1").arg(problems.join(u'\n')));
}

ExtractedDatabase extractDatabase(const QString& program, const QString& archive, const QString& databaseDirectory)
{
    const QFileInfo file(archive);
    if (!file.isFile())
        throw Error(QStringLiteral("Нет файла архива %1.\n%2").arg(archive, notChanged()));
    ExtractedDatabase result;
    result.temporary = temporaryFolderIn(parentOf(databaseDirectory), QStringLiteral(".talvora-restore"));
    const QString target = result.temporary->filePath(QStringLiteral("archive"));
    try {
        RunArchiver(program, {QStringLiteral("x"), QStringLiteral("-y"), QStringLiteral("-bd"),
                              QStringLiteral("-o") + target, file.absoluteFilePath()},
                    result.temporary->path());
    } catch (const Error& e) {
        throw Error(QStringLiteral("Архив %1 не удалось распаковать.\n%2\n\n%3").arg(archive, e.message(), notChanged()));
    }
    // The archive button stores the database folder by its last name; other
    // archives may keep longer paths. One database file, wherever it lies.
    QStringList found;
    QDirIterator it(target, {kDatabaseFile}, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QFileInfo(it.next()).absolutePath();
    if (found.isEmpty())
        throw Error(QStringLiteral("В архиве %1 нет базы данных рабочего места (файла %2).\n%3")
                        .arg(archive, kDatabaseFile, notChanged()));
    if (found.size() > 1)
        throw Error(QStringLiteral("В архиве %1 несколько баз данных; неясно, какую восстановить.\n%2")
                        .arg(archive, notChanged()));
    result.directory = found.first();
    try {
        checkWorkstationDatabase(result.directory);
    } catch (const Error& e) {
        throw Error(QStringLiteral("Архив %1 не годится для восстановления.\n%2\n\n%3").arg(archive, e.message(), notChanged()));
    }
    return result;
}

QString replaceDatabase(const QString& restoredDirectory, const QString& databaseDirectory)
{
    const QDir target(databaseDirectory);
    if (!target.exists() && !QDir().mkpath(databaseDirectory))
        throw Error(QStringLiteral("Не удалось создать каталог базы данных %1.").arg(databaseDirectory));
    const QStringList incoming = filesOf(restoredDirectory);
    const QString staged = QStringLiteral(".restoring");

    // 1. The restored files are copied beside the current ones under other names.
    std::vector<QString> stagedFiles;
    const auto dropStaged = [&] {
        for (const QString& f : stagedFiles)
            QFile::remove(f);
    };
    for (const QString& name : incoming) {
        const QString from = QDir(restoredDirectory).filePath(name);
        const QString to = target.filePath(name + staged);
        QFile::remove(to);
        if (!copyToDisk(from, to)) {
            stagedFiles.push_back(to);
            dropStaged();
            throw Error(QStringLiteral("Не удалось скопировать восстановленную базу в каталог %1 (мало места на диске "
                                       "или нет прав на запись).\n%2")
                            .arg(databaseDirectory, notChanged()));
        }
        stagedFiles.push_back(to);
    }

    // 2. The current files move into a folder of their own beside the database folder.
    QStringList current = filesOf(databaseDirectory);
    current.removeIf([&](const QString& n) { return n.endsWith(staged); });
    QString safety;
    if (!current.isEmpty()) {
        const QString base = QDir::cleanPath(target.absolutePath()) + QStringLiteral("-before-restore-") +
                             QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        safety = base;
        for (int n = 2; QFileInfo::exists(safety); ++n)
            safety = base + QStringLiteral("-%1").arg(n);
        if (!QDir().mkpath(safety)) {
            dropStaged();
            throw Error(QStringLiteral("Не удалось создать каталог %1 для копии текущей базы данных.\n%2")
                            .arg(safety, notChanged()));
        }
    }
    std::vector<QString> moved;
    std::vector<QString> placed;
    const auto undo = [&] {
        for (const QString& f : placed)
            QFile::remove(target.filePath(f));
        for (const QString& f : moved)
            renameOver(QDir(safety).filePath(f), target.filePath(f));
        dropStaged();
        if (!safety.isEmpty())
            QDir().rmdir(safety);
    };
    for (const QString& name : current) {
        if (!renameOver(target.filePath(name), QDir(safety).filePath(name))) {
            undo();
            throw Error(QStringLiteral("Не удалось перенести файл %1 текущей базы данных в %2.\n%3")
                            .arg(name, safety, notChanged()));
        }
        moved.push_back(name);
    }

    // 3. The restored files take their own names.
    for (const QString& name : incoming) {
        if (!renameOver(target.filePath(name + staged), target.filePath(name))) {
            undo();
            throw Error(QStringLiteral("Не удалось поставить на место файл %1 восстановленной базы.\n%2")
                            .arg(name, notChanged()));
        }
        placed.push_back(name);
    }
    flushFolder(databaseDirectory);
    return safety;
}

qint64 backupDatabase(const QString& program, const QString& databaseDirectory, const QString& archive)
{
    const QString source = QDir(databaseDirectory).filePath(kDatabaseFile);
    if (!QFileInfo(source).isFile())
        throw Error(QStringLiteral("Нет базы данных рабочего места: нет файла %1.").arg(source));
    const QFileInfo target(archive);
    if (!QFileInfo(target.absolutePath()).isDir())
        throw Error(QStringLiteral("Нет каталога %1 для архива.").arg(target.absolutePath()));
    const auto temporary = temporaryFolderIn(target.absolutePath(), QStringLiteral(".talvora-backup"));
    QString folder = QFileInfo(QDir::cleanPath(databaseDirectory)).fileName();
    if (folder.isEmpty())
        folder = kWorkstation;
    const QString copyDir = temporary->filePath(folder);
    if (!QDir().mkpath(copyDir))
        throw Error(QStringLiteral("Не удалось создать каталог %1.").arg(copyDir));

    // 1. A consistent copy, taken while other connections may write: the
    //    backup starts again by itself when the source changes under it.
    {
        const data::SqliteConnection from(source, false);
        const data::SqliteConnection to(QDir(copyDir).filePath(kDatabaseFile), true);
        sqlite3_backup* backup = sqlite3_backup_init(to.handle(), "main", from.handle(), "main");
        if (!backup)
            throw Error(QStringLiteral("Не удалось начать копирование базы данных: %1").arg(to.lastError()));
        int rc = SQLITE_OK;
        for (int waited = 0; waited < 600; ) {
            rc = sqlite3_backup_step(backup, -1);
            if (rc == SQLITE_DONE || (rc != SQLITE_BUSY && rc != SQLITE_LOCKED && rc != SQLITE_OK))
                break;
            if (rc != SQLITE_OK) {
                QThread::msleep(100); // a writer holds the database; try again shortly
                ++waited;
            }
        }
        sqlite3_backup_finish(backup);
        if (rc != SQLITE_DONE)
            throw Error(QStringLiteral("Не удалось скопировать базу данных %1: %2")
                            .arg(source, QString::fromUtf8(sqlite3_errstr(rc))));
    }
    checkWorkstationDatabase(copyDir);

    // 2. Packed under a temporary name, tested, then put in place of any old archive.
    const QString packed = temporary->filePath(QStringLiteral("backup.7z"));
    RunArchiver(program, {QStringLiteral("a"), QStringLiteral("-t7z"), QStringLiteral("-bd"), packed, folder + u'/'},
                temporary->path());
    testArchive(program, packed);
    flushPath(packed, O_RDONLY);
    if (!renameOver(packed, target.absoluteFilePath())) {
        const QString part = target.absoluteFilePath() + QStringLiteral(".part");
        QFile::remove(part);
        if (!copyToDisk(packed, part) || !renameOver(part, target.absoluteFilePath())) {
            QFile::remove(part);
            throw Error(QStringLiteral("Не удалось записать архив %1.").arg(archive));
        }
    }
    flushFolder(target.absolutePath());
    return QFileInfo(target.absoluteFilePath()).size();
}

} // namespace talvora::service
