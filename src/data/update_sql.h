#pragma once
// Statement slots: an update object carries three statements (modify,
// insert, delete). Windows run single statements through them: keep the
// slot's text, put the statement in, bind, run, put the kept text back.

#include "database.h"
#include "params.h"

#include <QStringList>

#include <array>
#include <functional>

namespace talvora::data {

class UpdateSql {
public:
    enum Kind { Modify = 0, Insert = 1, Delete = 2 };

    UpdateSql(QString name, Database& db) : name_(std::move(name)), db_(db) {}

    const QString& name() const { return name_; }
    const QStringList& sql(Kind kind) const { return sql_[kind]; }
    QString sqlText(Kind kind) const { return sql_[kind].join(QStringLiteral("\r\n")); }
    void setSql(Kind kind, const QStringList& lines) { sql_[kind] = lines; }
    void setSqlText(Kind kind, const QString& text);

    Params& params() { return params_; }
    void setParam(const QString& name, const QVariant& value) { params_.set(name, value); }

    // Runs the slot's statement with the bound parameters; rows affected.
    int execSql(Kind kind);

    // Runs the slot's INSERT statement; the key of the row it inserted.
    qint64 execInsert(Kind kind = Insert);

    // Keeps the slot's text, puts `statement` in, binds with `bind`, runs it and
    // puts the kept text back, also when the statement fails.
    int runInSlot(Kind kind, const QString& statement,
                  const std::function<void(Params&)>& bind = {});

    // As runInSlot, for an INSERT of one row; the key of the new row.
    qint64 runInsertInSlot(Kind kind, const QString& statement,
                           const std::function<void(Params&)>& bind = {});

private:
    QString name_;
    Database& db_;
    std::array<QStringList, 3> sql_;
    Params params_;
};

} // namespace talvora::data
