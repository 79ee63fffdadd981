#include "error_list.h"

#include "common/dates.h"
#include "common/disk_serial.h"
#include "common/errors.h"
#include "data/data_module.h"
#include "data/sort_query.h"
#include "data/unit_of_work.h"
#include "data/values.h"
#include "service/archiver.h"
#include "ui/dialog_service.h"

#include <QDebug>
#include <QDir>

namespace talvora::service {

namespace {

const QString kFormMessage = QStringLiteral("Ошибка в поле форма");
const QString kStatusMessage = QStringLiteral("Ошибка в поле статус");

// A filter field's number: 0 when empty, nullopt when it is not all digits.
std::optional<int> fieldNumber(const QString& text)
{
    if (text.isEmpty())
        return 0;
    if (!IsDigitString(text))
        return std::nullopt;
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok)
        throw Error(QStringLiteral("«%1» — недопустимое целое число").arg(text));
    return value;
}

// Reopens the workstation's error table and list when it goes out of scope,
// whatever happened in between.
class ReopenErrorLists {
public:
    explicit ReopenErrorLists(data::TDM& dm) : dm_(dm) {}
    ~ReopenErrorLists()
    {
        try {
            reopen();
        } catch (...) {
            // Reported by the caller's own failure, or at the next reading.
        }
    }
    void reopen()
    {
        if (done_)
            return;
        done_ = true;
        dm_.Error_t->open();
        dm_.Err_q->run();
        dm_.Err_q->open();
    }

private:
    data::TDM& dm_;
    bool done_ = false;
};

} // namespace

ErrorFilter ErrorFilterFromFields(const QString& formText, const QString& statusText, FilterConjunction conjunction)
{
    ErrorFilter filter;
    const std::optional<int> form = fieldNumber(formText);
    if (!form)
        filter.message = kFormMessage;
    const std::optional<int> status = fieldNumber(statusText);
    if (!status)
        filter.message = kStatusMessage;
    if (!filter.readable())
        return filter;

    const QString statusPart = *status > 0 ? QStringLiteral(" ErrStatus =%1 ").arg(*status) : QString();
    const QString formPart = *form > 0 ? QStringLiteral(" ErrForm =%1 ").arg(*form) : QString();
    filter.condition = statusPart;
    if (!formPart.isEmpty()) {
        if (statusPart.isEmpty())
            filter.condition = formPart;
        else
            filter.condition = statusPart + (conjunction == FilterConjunction::And ? QStringLiteral(" AND ")
                                                                                  : QStringLiteral(" OR ")) +
                               formPart;
    }
    return filter;
}

QStringList ErrorFilterStatement(const QString& condition)
{
    return {QStringLiteral(" SELECT  ErrID, ErrName, ErrMem, ErrDate, ErrForm, ErrProg, ErrVers, ErrOwner, "
                           "ErrStatus FROM Errors  WHERE ") +
                condition,
            QString()};
}

QString ErrorArchiveName(const QDate& date, const QString& diskSerial)
{
    QString serial = diskSerial;
    for (QChar& c : serial) {
        const bool plain = (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') ||
                           c == u'-' || c == u'.' || c == u'_';
        if (!plain)
            c = u'_';
    }
    return QStringLiteral("Err_") + date.toString(QStringLiteral("dd.MM.yyyy")) + u'_' + serial + QStringLiteral(".7z");
}

QStringList ErrorArchiveArguments(const QString& archiveName, const QString& workingDirectory,
                                  const QString& errorDatabaseDirectory)
{
    QString target = QDir::cleanPath(errorDatabaseDirectory);
    if (!target.endsWith(u'/'))
        target += u'/';
    QString base = QDir::cleanPath(workingDirectory);
    if (base.size() > 1 && base.endsWith(u'/'))
        base.chop(1);
    return {QStringLiteral("a"), archiveName, QStringLiteral("../") + relativePath(base, target)};
}

QList<qint64> AppendErrorReports(data::Database& workstation, data::Database& errorDatabase)
{
    using data::FieldType;
    workstation.open();
    errorDatabase.open();
    const data::TableDef* src = workstation.schema().table(QStringLiteral("Errors"));
    const data::TableDef* dst = errorDatabase.schema().table(QStringLiteral("Errors"));
    if (!src || !dst)
        throw Error(QStringLiteral("Таблица сообщений об ошибках не найдена."));

    // Fields by position; the destination's key is left to the engine.
    QStringList srcCols{u'"' + src->key().name + u'"'}, dstCols, marks;
    std::vector<std::pair<FieldType, const data::FieldDef*>> copied;
    const size_t n = std::min(src->fields.size(), dst->fields.size());
    for (size_t i = 0; i < n; ++i) {
        const data::FieldDef& d = dst->fields[i];
        if (d.type == FieldType::AutoInc)
            continue;
        srcCols << u'"' + src->fields[i].name + u'"';
        dstCols << u'"' + d.name + u'"';
        marks << QStringLiteral("?%1").arg(marks.size() + 1);
        copied.emplace_back(src->fields[i].type, &d);
    }
    data::SqliteStatement read = workstation.connection().prepare(
        QStringLiteral("SELECT %1 FROM \"%2\" ORDER BY 1").arg(srcCols.join(u", "), src->name));

    data::SqliteConnection& out = errorDatabase.connection();
    data::SqliteTransaction tx(out);
    data::SqliteStatement write = out.prepare(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                                  .arg(dst->name, dstCols.join(u", "), marks.join(u", ")));
    QList<qint64> keys;
    while (read.step()) {
        write.reset();
        for (size_t i = 0; i < copied.size(); ++i) {
            QVariant v = data::valueFromStatement(read, int(i + 1), copied[i].first);
            const data::FieldDef& d = *copied[i].second;
            if (d.type == FieldType::String && d.size > 0 && v.typeId() == QMetaType::QString &&
                v.toString().size() > d.size)
                v = v.toString().left(d.size);
            write.bind(int(i + 1), data::storageValue(v, d.type));
        }
        write.step();
        keys << read.int64(0);
    }
    tx.commit();
    return keys;
}

ErrorList::ErrorList(data::TDM& dm, QObject* parent)
    : QObject(parent), dm_(dm), uploader_(std::make_unique<FtpErrorReportUploader>()),
      archiver_([](const QStringList& arguments, const QString& directory) { RunArchiver(arguments, directory); })
{
}

ErrorList::~ErrorList() = default;

void ErrorList::setUploader(std::unique_ptr<ErrorReportUploader> uploader)
{
    uploader_ = uploader ? std::move(uploader) : std::make_unique<FtpErrorReportUploader>();
}

QString ErrorList::workingDirectory() const
{
    return workingDirectory_.isEmpty() ? QDir::currentPath() : workingDirectory_;
}

void ErrorList::storePendingEdit()
{
    data::QueryDataset& list = *dm_.Err_q;
    if (list.active())
        list.checkBrowseMode();
}

void ErrorList::FiltersShown()
{
    savedStatement_ = dm_.Err_q->sql();
}

void ErrorList::FiltersHidden()
{
    if (savedStatement_)
        putBackSavedStatement();
}

void ErrorList::putBackSavedStatement()
{
    data::QueryDataset& list = *dm_.Err_q;
    storePendingEdit();
    list.close();
    list.setSql(*savedStatement_);
    list.run();
    list.open();
    list.refresh();
    emit listReread();
}

QString ErrorList::ApplyFilter(const QString& formText, const QString& statusText, FilterConjunction conjunction)
{
    const ErrorFilter filter = ErrorFilterFromFields(formText, statusText, conjunction);
    if (!filter.readable())
        return filter.message;
    data::QueryDataset& list = *dm_.Err_q;
    storePendingEdit();
    if (!savedStatement_)
        savedStatement_ = list.sql();
    list.close();
    list.setSql(ErrorFilterStatement(filter.condition));
    try {
        list.run();
        list.open();
        list.refresh();
    } catch (const std::exception&) {
        // No condition (both fields 0) or a statement the engine refuses:
        // the list goes back to what it showed before the band was opened.
        putBackSavedStatement();
        return QString();
    }
    emit listReread();
    return QString();
}

void ErrorList::SortByColumn(const QString& field)
{
    storePendingEdit();
    data::SortQueryByColumn(*dm_.Err_q, field);
    emit listReread();
}

ErrorList::SendOutcome ErrorList::SendReports()
{
    SendOutcome outcome;
    storePendingEdit();
    if (dm_.Error_t->active())
        dm_.Error_t->checkBrowseMode();
    {
        ReopenErrorLists reopen(dm_);
        dm_.Error_t->close();
        dm_.Err_q->close();
        dm_.Err->close();

        const QList<qint64> keys = AppendErrorReports(*dm_.Pacents, *dm_.Errors);
        outcome.copied = int(keys.size());
        // Only the copied reports leave the workstation database; one that
        // fails to go stays there (and in the error database as well).
        try {
            data::UnitOfWork unit(*dm_.Pacents);
            for (qint64 key : keys)
                dm_.UpdateSQL3->runInSlot(data::UpdateSql::Delete,
                                          QStringLiteral(" DELETE FROM Errors.db WHERE ErrID = :ErrID"),
                                          [key](data::Params& p) { p.set(QStringLiteral("ErrID"), key); });
            unit.commit();
            outcome.deleted = true;
        } catch (const std::exception&) {
            outcome.deleted = false;
        }
        reopen.reopen();
    }
    emit listReread();

    const QString directory = workingDirectory();
    outcome.archiveName = ErrorArchiveName(QDate::currentDate(), DiskSerial());
    const QStringList arguments = ErrorArchiveArguments(outcome.archiveName, directory, dm_.Errors->directory());
    dm_.Errors->close();
    archiver_(arguments, directory);

    try {
        uploader_->upload(QDir(directory).filePath(outcome.archiveName));
        outcome.uploaded = true;
    } catch (const std::exception& e) {
        // The reports are in the error database and the archive stays in the
        // working directory: the user sends it some other way.
        const auto* error = dynamic_cast<const Error*>(&e);
        outcome.uploadError = error ? error->message() : QString::fromLocal8Bit(e.what());
        qWarning().noquote() << outcome.uploadError;
        dialogs().error(uploadFailureMessage(uploader_->host(), outcome.archiveName));
    }
    return outcome;
}

} // namespace talvora::service
