#pragma once
// The start window's two service buttons "Создать архив базы данных" and
// "Загрузить базу из архива": the whole workstation database packed into a
// 7z archive with the archiver, and loaded back from one. Both end the
// program after a verified success; anything else leaves the database as it
// was and open.

#include "archiver.h"

#include <QString>

#include <functional>

namespace talvora::data {
class TDM;
}

namespace talvora::service {

class DatabaseArchive {
public:
    explicit DatabaseArchive(data::TDM& dm);

    // The archiver program (tests point it elsewhere).
    QString program = archiverProgram();
    // The folder the archive is made in and restored from; empty: the
    // process's working directory at the time.
    QString workingDirectory;

    // Called with true while the archiver works and with false afterwards.
    std::function<void(bool)> busy;
    // The operation succeeded and the program must start again: close it.
    std::function<void()> finished;

    // "Создать архив базы данных".
    void Archive();
    // "Загрузить базу из архива".
    void Restore();

    // The last restore's copy of the database it replaced (empty when none).
    const QString& safetyCopy() const { return safetyCopy_; }

private:
    QString workingFolder() const;
    void checkProgram() const;
    // Copies the made archive into the folder the user chose; true when it
    // is there (or the chosen folder is the working one), verified.
    void moveArchive(const QString& archive, const QString& folder);

    data::TDM& dm_;
    QString safetyCopy_;
};

} // namespace talvora::service
