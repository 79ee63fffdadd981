#include "update_sql.h"

#include <QRegularExpression>

namespace talvora::data {

void UpdateSql::setSqlText(Kind kind, const QString& text)
{
    static const QRegularExpression breaks(QStringLiteral("\r\n|\n|\r"));
    sql_[kind] = text.split(breaks);
}

int UpdateSql::execSql(Kind kind)
{
    db_.open();
    return db_.execute(sqlText(kind), params_);
}

qint64 UpdateSql::execInsert(Kind kind)
{
    db_.open();
    return db_.insertRow(sqlText(kind), params_);
}

qint64 UpdateSql::runInsertInSlot(Kind kind, const QString& statement, const std::function<void(Params&)>& bind)
{
    struct Restore {
        UpdateSql& slot;
        Kind kind;
        QStringList kept;
        ~Restore() { slot.sql_[kind] = kept; }
    } restore{*this, kind, sql_[kind]};
    setSqlText(kind, statement);
    params_.clear();
    if (bind)
        bind(params_);
    return execInsert(kind);
}

int UpdateSql::runInSlot(Kind kind, const QString& statement, const std::function<void(Params&)>& bind)
{
    struct Restore {
        UpdateSql& slot;
        Kind kind;
        QStringList kept;
        ~Restore() { slot.sql_[kind] = kept; }
    } restore{*this, kind, sql_[kind]};
    setSqlText(kind, statement);
    params_.clear();
    if (bind)
        bind(params_);
    return execSql(kind);
}

} // namespace talvora::data
