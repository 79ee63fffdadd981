#include "database_archive.h"

#include "database_backup.h"
#include "common/errors.h"
#include "data/data_module.h"
#include "ui/dialog_service.h"

#include <QCryptographicHash>
#include <QDate>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <vector>

namespace talvora::service {

namespace {

const QString kRestart = QStringLiteral("Для продолжения работы перезапустите программу!");

// Tells the window layer that the archiver is working, for as long as it is.
class Busy {
public:
    explicit Busy(const std::function<void(bool)>& busy) : busy_(busy)
    {
        if (busy_)
            busy_(true);
    }
    ~Busy()
    {
        if (busy_)
            busy_(false);
    }
    Busy(const Busy&) = delete;
    Busy& operator=(const Busy&) = delete;

private:
    const std::function<void(bool)>& busy_;
};

// The workstation database closed for the archiver: which of its datasets
// were open, and on which row, so that a failure can give it all back.
class ClosedWorkstation {
public:
    explicit ClosedWorkstation(data::TDM& dm) : dm_(dm)
    {
        // Masters before their details, so that each detail reopens under its master's row.
        const std::initializer_list<data::Dataset*> all{
            dm.Otd.get(), dm.ShType.get(), dm.ShType2.get(), dm.Sh.get(), dm.VType.get(), dm.Pac_t.get(),
            dm.Error_t.get(), dm.Fish_t.get(), dm.TrType_q_0.get(), dm.TrType_q_1.get(), dm.TrType.get(),
            dm.Treat.get(), dm.Pac_q.get(), dm.Nazn.get(), dm.pac_q1.get(), dm.Vipis_q.get(), dm.Sh_q.get(),
            dm.Sh_q_all.get(), dm.Issled_q.get(), dm.Issled_q2.get(), dm.Treat_q.get(), dm.Err_q.get(),
            dm.Fish_q.get(), dm.Fish_q2.get(), dm.ShType_q.get(), dm.Sh_q2.get(), dm.Upload_q.get()};
        for (data::Dataset* ds : all)
            if (ds && ds->active() && &ds->database() == dm.Pacents.get())
                open_.push_back({ds, ds->recNo()});
        dm.Pacents->close();
    }
    ClosedWorkstation(const ClosedWorkstation&) = delete;
    ClosedWorkstation& operator=(const ClosedWorkstation&) = delete;

    // Opens the connection and the datasets that were open, each on its row
    // where it still has one.
    void reopen()
    {
        dm_.Pacents->open();
        for (const auto& [ds, row] : open_) {
            try {
                if (!ds->active())
                    ds->open();
                if (row >= 0 && row < ds->recordCount() && ds->recNo() != row)
                    ds->moveTo(row);
            } catch (const std::exception&) {
                // A list that cannot be read again stays closed, as it would after a failed refresh.
            }
        }
    }

private:
    struct Kept {
        data::Dataset* dataset;
        int row;
    };
    data::TDM& dm_;
    std::vector<Kept> open_;
};

QString canonicalFolder(const QString& folder)
{
    const QString canonical = QFileInfo(folder).canonicalFilePath();
    return canonical.isEmpty() ? QDir::cleanPath(QFileInfo(folder).absoluteFilePath()) : canonical;
}

QByteArray sha256(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&f))
        return {};
    return hash.result();
}

} // namespace

DatabaseArchive::DatabaseArchive(data::TDM& dm) : dm_(dm) {}

QString DatabaseArchive::workingFolder() const
{
    return canonicalFolder(workingDirectory.isEmpty() ? QDir::currentPath() : workingDirectory);
}

void DatabaseArchive::checkProgram() const { CheckArchiver(program); }

void DatabaseArchive::Archive()
{
    if (!dialogs().confirm(QStringLiteral("Для создания копии базы данных \r\n потребуется перезапуск программы. Продолжать ? ")))
        return;
    const QString work = workingFolder();
    // Both folders as the system resolves them: "../" must climb out of the real folder, not a link to it.
    const QString databaseFolder = canonicalFolder(dm_.Pacents->directory());
    const QString source = QStringLiteral("../") + relativePath(work, databaseFolder + u'/');
    const QString name = archiveName(QDate::currentDate());
    const QString archive = QDir(work).filePath(name);
    checkProgram(); // a missing archiver is told before anything is closed
    if (!QFileInfo(QDir(work).filePath(source)).isDir())
        throw Error(QStringLiteral("Нет каталога базы данных %1.").arg(databaseFolder));

    // Packed anew under another name and tested before it takes the archive's
    // name: an archive of the same day is replaced whole, never updated, so
    // it holds exactly what the database folder holds now.
    const QString fresh = QDir(work).filePath(u'.' + name + QStringLiteral(".new.7z"));
    QFile::remove(fresh);
    ClosedWorkstation closed(dm_);
    try {
        const Busy busyNow(busy);
        RunArchiver(program, {QStringLiteral("a"), QStringLiteral("-t7z"), QStringLiteral("-bd"), fresh, source}, work);
        testArchive(program, fresh);
        if (std::rename(QFile::encodeName(fresh).constData(), QFile::encodeName(archive).constData()) != 0)
            throw Error(QStringLiteral("Не удалось записать архив %1.").arg(archive));
    } catch (...) {
        QFile::remove(fresh);
        closed.reopen();
        throw;
    }

    if (!dialogs().confirm(QStringLiteral("Сохранить архив в каталог программы ? "))) {
        FileDialogRequest request;
        request.directory = work;
        request.fileName = QStringLiteral("base");
        request.filter = QStringLiteral("7z files (*.7z)");
        request.defaultSuffix = QStringLiteral("7z");
        const QString chosen = dialogs().saveFileName(request);
        if (!chosen.isEmpty()) {
            try {
                // Only the folder of the chosen file is used; the archive keeps its name.
                moveArchive(archive, QFileInfo(chosen).absolutePath());
            } catch (...) {
                closed.reopen();
                throw;
            }
        }
    }
    dialogs().notice(kRestart);
    if (finished)
        finished();
}

void DatabaseArchive::moveArchive(const QString& archive, const QString& folder)
{
    const QString target = QDir(folder).filePath(QFileInfo(archive).fileName());
    // The working folder itself: the archive is already where it is wanted.
    if (QFileInfo::exists(target) && QFileInfo(target).canonicalFilePath() == QFileInfo(archive).canonicalFilePath())
        return;
    const auto failed = [&](const QString& why) {
        return Error(QStringLiteral("Не удалось скопировать архив %1 в каталог %2: %3.\nАрхив остался в %4.")
                         .arg(QFileInfo(archive).fileName(), folder, why, QFileInfo(archive).absolutePath()));
    };
    const QString part = target + QStringLiteral(".part");
    QFile::remove(part);
    if (!copyToDisk(archive, part)) {
        QFile::remove(part);
        throw failed(QStringLiteral("мало места на диске или нет прав на запись"));
    }
    const QByteArray original = sha256(archive);
    if (original.isEmpty() || sha256(part) != original) {
        QFile::remove(part);
        throw failed(QStringLiteral("копия не совпадает с архивом"));
    }
    if (std::rename(QFile::encodeName(part).constData(), QFile::encodeName(target).constData()) != 0) {
        QFile::remove(part);
        throw failed(QStringLiteral("файл нельзя записать"));
    }
    flushFolder(folder);
    // The copy is checked and in place: only now does the first one go.
    QFile::remove(archive);
}

void DatabaseArchive::Restore()
{
    safetyCopy_.clear();
    if (!dialogs().confirm(
            QStringLiteral("Для восстановления базы из архива \r\n потребуется перезапуск программы. Продолжать ? ")))
        return;
    const QString work = workingFolder() + u'/';
    FileDialogRequest request;
    request.directory = work;
    request.filter = QStringLiteral("7z files (*.7z)");
    const QString chosen = dialogs().openFileName(request);
    if (chosen.isEmpty())
        return;
    checkProgram();
    const QString databaseFolder = dm_.Pacents->directory();

    // Unpacked and checked while the database still works: a bad archive changes nothing.
    ExtractedDatabase restored = [&] {
        const Busy busyNow(busy);
        return extractDatabase(program, chosen, databaseFolder);
    }();

    ClosedWorkstation closed(dm_);
    try {
        const Busy busyNow(busy);
        safetyCopy_ = replaceDatabase(restored.directory, databaseFolder);
    } catch (...) {
        closed.reopen();
        throw;
    }
    // The archive is kept in the working folder (a file of that name already there is left alone).
    const QString kept = QDir(work).filePath(QFileInfo(chosen).fileName());
    if (!QFileInfo::exists(kept))
        QFile::copy(chosen, kept); // a failed copy changes nothing of the restore
    dialogs().notice(kRestart);
    if (finished)
        finished();
}

} // namespace talvora::service
