#pragma once
// One database connection reached through an alias (pacientdata as PPP,
// Errors as EEE). It runs local-SQL statements and knows the datasets that
// work on it, so that closing the connection closes them first.

#include "aliases.h"
#include "params.h"
#include "schema.h"
#include "sql_dialect.h"
#include "sqlite_db.h"

#include <QHash>
#include <QString>

#include <memory>
#include <vector>

namespace talvora::data {

class Dataset;

class Database {
public:
    Database(QString connectionName, QString alias, QString localName, const Schema& schema,
             AliasResolver aliases);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    const QString& connectionName() const { return connectionName_; }
    const QString& alias() const { return alias_; }
    const QString& localName() const { return localName_; }
    const Schema& schema() const { return schema_; }
    QString directory() const;

    // Connects; a missing database file or table is an error that tells what to do.
    void open();
    // Closes every dataset on this connection, then the connection.
    void close();
    bool isOpen() const { return conn_ != nullptr; }

    SqliteConnection& connection();

    // Translates a statement (cached by its text).
    const TranslatedStatement& translate(const QString& statement, TranslateOptions options = {});

    // Runs one INSERT, UPDATE or DELETE; returns the number of rows affected.
    // A SELECT is prepared and run to its end; it returns 0.
    int execute(const QString& statement, const Params& params);

    // Runs one INSERT of one row and returns the key the engine gave it, so
    // that the caller finds its new row by that key and nothing else.
    qint64 insertRow(const QString& statement, const Params& params);

    // Prepares a translated statement and binds its parameters from `params`.
    SqliteStatement prepareBound(const TranslatedStatement& t, const Params& params);

    // The value of one memo or BLOB column of one row, read on request.
    QVariant readColumn(const QString& table, const QString& field, qint64 rowid, FieldType type);

    void attach(Dataset* ds);
    void detach(Dataset* ds);

private:
    void addMissingIndexes(SqliteConnection& conn, const QString& file) const;

    QString connectionName_;
    QString alias_;
    QString localName_;
    const Schema& schema_;
    AliasResolver aliases_;
    std::unique_ptr<SqliteConnection> conn_;
    QHash<QString, TranslatedStatement> translations_;
    QHash<QString, std::shared_ptr<SqliteStatement>> columnReaders_;
    std::vector<Dataset*> datasets_;
};

// Reads a stored value into the form datasets hand out (QDate, QDateTime, int, ...).
QVariant valueFromStatement(const SqliteStatement& st, int col, FieldType type);

} // namespace talvora::data
