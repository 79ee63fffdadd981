#pragma once
// The start window's list of stored error reports: filtering it by window
// and status, sorting it by a column, and sending every report to the
// developer (copied into the error database, removed from the workstation
// database, the error database packed by the archiver and uploaded).
//
// Rules without data are the free functions; ErrorList runs them on the
// data module's Err_q, Error_t and the two connections.

#include "service/ftp_upload.h"

#include <QDate>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace talvora::data {
class Database;
class TDM;
}

namespace talvora::service {

enum class FilterConjunction { And, Or };

// The filter fields read into a condition. A field left empty stands for 0;
// a field that is not all digits gives its message ("Ошибка в поле форма",
// "Ошибка в поле статус"; the status field's wins when both are wrong) and
// no condition. A number that does not fit a 32-bit integer throws
// talvora::Error.
struct ErrorFilter {
    QString condition; // " ErrStatus =2  AND  ErrForm =3 "; empty when both values are 0
    QString message;   // empty when both fields were readable
    bool readable() const { return message.isEmpty(); }
};

ErrorFilter ErrorFilterFromFields(const QString& formText, const QString& statusText,
                                  FilterConjunction conjunction);

// The list statement for a condition, line by line. It ends in an empty
// line, so that sorting by a column keeps the condition.
QStringList ErrorFilterStatement(const QString& condition);

// "Err_" + date (dd.MM.yyyy) + "_" + disk serial + ".7z". Characters of the
// serial that do not belong in a file name become "_".
QString ErrorArchiveName(const QDate& date, const QString& diskSerial);

// The archiver's arguments that pack the error database's directory into
// `archiveName`, both seen from the working directory.
QStringList ErrorArchiveArguments(const QString& archiveName, const QString& workingDirectory,
                                  const QString& errorDatabaseDirectory);

// Appends every report of the workstation database's error table to the
// error database's one, each under a new key, in one transaction; a report
// already collected is never replaced. Returns the workstation keys of the
// copied reports.
QList<qint64> AppendErrorReports(data::Database& workstation, data::Database& errorDatabase);

class ErrorList : public QObject {
    Q_OBJECT

public:
    using Archiver = std::function<void(const QStringList& arguments, const QString& workingDirectory)>;

    explicit ErrorList(data::TDM& dm, QObject* parent = nullptr);
    ~ErrorList() override;

    // --- filtering
    // The filter band is shown: keeps a copy of the list's statement.
    void FiltersShown();
    // The filter band is hidden: the kept statement is put back and read.
    void FiltersHidden();
    // "Включить !": the list is read with the filter's condition. Returns the
    // message for the filter band: empty when the list was read (or the
    // statement failed and the kept one was put back), the field's message
    // when a field is not a number (the list is left as it was).
    QString ApplyFilter(const QString& formText, const QString& statusText, FilterConjunction conjunction);
    bool hasSavedStatement() const { return savedStatement_.has_value(); }

    // --- sorting by a column title
    void SortByColumn(const QString& field);

    // --- sending
    struct SendOutcome {
        int copied = 0;        // reports moved into the error database
        bool deleted = false;  // and removed from the workstation database
        QString archiveName;   // in the working directory
        bool uploaded = false;
        QString uploadError;   // why the upload failed, for the log
    };
    // Sends every stored report, whatever its status. A failure before the
    // upload (copy, archiver) is thrown; a failed upload is told to the user
    // with the file to send another way, and the program goes on.
    SendOutcome SendReports();

    // --- what sending uses; replaceable
    void setUploader(std::unique_ptr<ErrorReportUploader> uploader);
    ErrorReportUploader& uploader() const { return *uploader_; }
    void setArchiver(Archiver archiver) { archiver_ = std::move(archiver); }
    // The folder the archive is made in; the process's current directory
    // unless set.
    void setWorkingDirectory(const QString& directory) { workingDirectory_ = directory; }
    QString workingDirectory() const;

signals:
    // The list was read again with another statement.
    void listReread();

private:
    void putBackSavedStatement();
    void storePendingEdit();

    data::TDM& dm_;
    std::optional<QStringList> savedStatement_;
    std::unique_ptr<ErrorReportUploader> uploader_;
    Archiver archiver_;
    QString workingDirectory_;
};

} // namespace talvora::service
