#include "sqlite_db.h"

#include "collation.h"
#include "common/errors.h"
#include "values.h"

#include <sqlite3.h>

namespace talvora::data {

namespace {

QString sqliteMessage(sqlite3* db)
{
    return db ? QString::fromUtf8(sqlite3_errmsg(db)) : QStringLiteral("нет соединения");
}

} // namespace

SqliteConnection::SqliteConnection(const QString& path, bool create) : path_(path)
{
    int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX;
    if (create)
        flags |= SQLITE_OPEN_CREATE;
    const QByteArray p = path.toUtf8();
    const int rc = sqlite3_open_v2(p.constData(), &db_, flags, nullptr);
    if (rc != SQLITE_OK) {
        const QString msg = sqliteMessage(db_);
        sqlite3_close(db_);
        db_ = nullptr;
        throw Error(QStringLiteral("Не удалось открыть файл базы данных %1: %2").arg(path, msg));
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, 5000);
    registerRussianCollation(db_);
    exec(QStringLiteral("PRAGMA foreign_keys=OFF; PRAGMA synchronous=FULL;"));
    // Patient rows are long (their texts spill onto overflow pages): a page
    // cache of 64 MB and reads through a memory map keep list and card work
    // off the disk after the first time.
    exec(QStringLiteral("PRAGMA cache_size=-65536; PRAGMA mmap_size=268435456;"));
}

SqliteConnection::~SqliteConnection()
{
    if (db_)
        sqlite3_close_v2(db_);
}

void SqliteConnection::exec(const QString& sql)
{
    char* err = nullptr;
    const QByteArray s = sql.toUtf8();
    if (sqlite3_exec(db_, s.constData(), nullptr, nullptr, &err) != SQLITE_OK) {
        const QString msg = err ? QString::fromUtf8(err) : sqliteMessage(db_);
        sqlite3_free(err);
        throw Error(msg);
    }
}

SqliteStatement SqliteConnection::prepare(const QString& sql) const
{
    sqlite3_stmt* stmt = nullptr;
    const QByteArray s = sql.toUtf8();
    if (sqlite3_prepare_v2(db_, s.constData(), int(s.size()), &stmt, nullptr) != SQLITE_OK)
        throw Error(sqliteMessage(db_));
    return SqliteStatement(db_, stmt);
}

qint64 SqliteConnection::lastInsertRowId() const { return sqlite3_last_insert_rowid(db_); }
int SqliteConnection::changes() const { return sqlite3_changes(db_); }
QString SqliteConnection::lastError() const { return sqliteMessage(db_); }

SqliteStatement::SqliteStatement(SqliteStatement&& other) noexcept
    : db_(other.db_), stmt_(other.stmt_)
{
    other.stmt_ = nullptr;
}

SqliteStatement& SqliteStatement::operator=(SqliteStatement&& other) noexcept
{
    if (this != &other) {
        if (stmt_)
            sqlite3_finalize(stmt_);
        db_ = other.db_;
        stmt_ = other.stmt_;
        other.stmt_ = nullptr;
    }
    return *this;
}

SqliteStatement::~SqliteStatement()
{
    if (stmt_)
        sqlite3_finalize(stmt_);
}

int SqliteStatement::parameterCount() const { return sqlite3_bind_parameter_count(stmt_); }

int SqliteStatement::parameterIndex(const QString& name) const
{
    return sqlite3_bind_parameter_index(stmt_, name.toUtf8().constData());
}

void SqliteStatement::bindNull(int index) { sqlite3_bind_null(stmt_, index); }
void SqliteStatement::bindInt64(int index, qint64 value) { sqlite3_bind_int64(stmt_, index, value); }

void SqliteStatement::bindText(int index, const QString& value)
{
    const QByteArray u = value.toUtf8();
    sqlite3_bind_text(stmt_, index, u.constData(), int(u.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bindBlob(int index, const QByteArray& value)
{
    sqlite3_bind_blob(stmt_, index, value.constData(), int(value.size()), SQLITE_TRANSIENT);
}

void SqliteStatement::bind(int index, const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        bindNull(index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Bool:
        bindInt64(index, value.toBool() ? 1 : 0);
        break;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Short:
    case QMetaType::UShort:
        bindInt64(index, value.toLongLong());
        break;
    case QMetaType::Double:
    case QMetaType::Float:
        sqlite3_bind_double(stmt_, index, value.toDouble());
        break;
    case QMetaType::QByteArray:
        bindBlob(index, value.toByteArray());
        break;
    case QMetaType::QDate:
        bindText(index, storedDate(value.toDate()));
        break;
    case QMetaType::QDateTime:
        bindText(index, storedDateTime(value.toDateTime()));
        break;
    default:
        bindText(index, value.toString());
        break;
    }
}

void SqliteStatement::reset()
{
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
}

bool SqliteStatement::step()
{
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW)
        return true;
    if (rc == SQLITE_DONE)
        return false;
    const QString msg = sqliteMessage(db_);
    sqlite3_reset(stmt_);
    throw Error(msg);
}

int SqliteStatement::columnCount() const { return sqlite3_column_count(stmt_); }

QString SqliteStatement::columnName(int col) const
{
    return QString::fromUtf8(sqlite3_column_name(stmt_, col));
}

QString SqliteStatement::columnTable(int col) const
{
    const char* t = sqlite3_column_table_name(stmt_, col);
    return t ? QString::fromUtf8(t) : QString();
}

QString SqliteStatement::columnOrigin(int col) const
{
    const char* t = sqlite3_column_origin_name(stmt_, col);
    return t ? QString::fromUtf8(t) : QString();
}

bool SqliteStatement::isNull(int col) const { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }
int SqliteStatement::columnType(int col) const { return sqlite3_column_type(stmt_, col); }
qint64 SqliteStatement::int64(int col) const { return sqlite3_column_int64(stmt_, col); }
double SqliteStatement::real(int col) const { return sqlite3_column_double(stmt_, col); }

QString SqliteStatement::text(int col) const
{
    const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? QString::fromUtf8(p, n) : QString();
}

QByteArray SqliteStatement::blob(int col) const
{
    const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
    const int n = sqlite3_column_bytes(stmt_, col);
    return p ? QByteArray(p, n) : QByteArray();
}

int SqliteStatement::bytes(int col) const { return sqlite3_column_bytes(stmt_, col); }

bool SqliteConnection::inTransaction() const { return sqlite3_get_autocommit(db_) == 0; }

SqliteTransaction::SqliteTransaction(SqliteConnection& db) : db_(db)
{
    if (db_.inTransaction()) {
        static quint64 counter = 0;
        savepoint_ = QStringLiteral("unit_%1").arg(++counter);
        db_.exec(QStringLiteral("SAVEPOINT ") + savepoint_);
    } else {
        db_.exec(QStringLiteral("BEGIN IMMEDIATE"));
    }
}

SqliteTransaction::~SqliteTransaction()
{
    if (!done_) {
        try {
            rollback();
        } catch (...) {
        }
    }
}

void SqliteTransaction::commit()
{
    db_.exec(savepoint_.isEmpty() ? QStringLiteral("COMMIT") : QStringLiteral("RELEASE ") + savepoint_);
    done_ = true;
}

void SqliteTransaction::rollback()
{
    if (done_)
        return;
    done_ = true;
    if (savepoint_.isEmpty()) {
        if (db_.inTransaction()) // SQLite may have rolled back already after some errors
            db_.exec(QStringLiteral("ROLLBACK"));
    } else {
        db_.exec(QStringLiteral("ROLLBACK TO ") + savepoint_ + QStringLiteral("; RELEASE ") + savepoint_);
    }
}

} // namespace talvora::data
