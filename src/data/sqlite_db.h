#pragma once
// A thin RAII layer over the SQLite C API: one connection, prepared
// statements, and a transaction guard. Errors become talvora::Error.

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <memory>

struct sqlite3;
struct sqlite3_stmt;

namespace talvora::data {

class SqliteStatement;

class SqliteConnection {
public:
    // Opens an existing database file (never creates one unless `create`).
    SqliteConnection(const QString& path, bool create);
    ~SqliteConnection();
    SqliteConnection(const SqliteConnection&) = delete;
    SqliteConnection& operator=(const SqliteConnection&) = delete;

    void exec(const QString& sql);
    SqliteStatement prepare(const QString& sql) const;
    qint64 lastInsertRowId() const;
    int changes() const;
    QString lastError() const;
    sqlite3* handle() const { return db_; }
    // Whether a transaction is open on the connection.
    bool inTransaction() const;
    const QString& path() const { return path_; }

private:
    sqlite3* db_ = nullptr;
    QString path_;
};

class SqliteStatement {
public:
    SqliteStatement(sqlite3* db, sqlite3_stmt* stmt) : db_(db), stmt_(stmt) {}
    SqliteStatement(SqliteStatement&& other) noexcept;
    SqliteStatement& operator=(SqliteStatement&& other) noexcept;
    SqliteStatement(const SqliteStatement&) = delete;
    SqliteStatement& operator=(const SqliteStatement&) = delete;
    ~SqliteStatement();

    int parameterCount() const;
    int parameterIndex(const QString& name) const; // 0 when absent
    void bind(int index, const QVariant& value);
    void bindNull(int index);
    void bindInt64(int index, qint64 value);
    void bindText(int index, const QString& value);
    void bindBlob(int index, const QByteArray& value);
    void reset();

    // Advances to the next row; false when done.
    bool step();

    int columnCount() const;
    QString columnName(int col) const;
    QString columnTable(int col) const;  // origin table, empty for expressions
    QString columnOrigin(int col) const; // origin column, empty for expressions
    bool isNull(int col) const;
    int columnType(int col) const; // SQLITE_INTEGER, ...
    qint64 int64(int col) const;
    double real(int col) const;
    QString text(int col) const;
    QByteArray blob(int col) const;
    int bytes(int col) const;

    sqlite3_stmt* handle() const { return stmt_; }

private:
    sqlite3* db_ = nullptr;
    sqlite3_stmt* stmt_ = nullptr;
};

// A transaction that commits whole or not at all. Outside any transaction it
// begins an IMMEDIATE one; inside one it is a savepoint of it, so that its
// work joins the enclosing unit and is undone with it. Rolls back what it
// did unless committed.
class SqliteTransaction {
public:
    explicit SqliteTransaction(SqliteConnection& db);
    ~SqliteTransaction();
    SqliteTransaction(const SqliteTransaction&) = delete;
    SqliteTransaction& operator=(const SqliteTransaction&) = delete;
    void commit();
    // Undoes what was done since it began; nothing is left open.
    void rollback();
    bool nested() const { return !savepoint_.isEmpty(); }

private:
    SqliteConnection& db_;
    QString savepoint_; // empty for an outermost transaction
    bool done_ = false;
};

} // namespace talvora::data
