#include "unit_of_work.h"

namespace talvora::data {

namespace {

SqliteConnection& opened(Database& db)
{
    db.open();
    return db.connection();
}

} // namespace

UnitOfWork::UnitOfWork(Database& db) : tx_(opened(db)) {}

ReadTransaction::ReadTransaction(Database& db)
{
    SqliteConnection& conn = opened(db);
    if (conn.inTransaction())
        return;
    conn.exec(QStringLiteral("BEGIN DEFERRED"));
    conn_ = &conn;
}

ReadTransaction::~ReadTransaction()
{
    if (!conn_ || !conn_->inTransaction())
        return;
    try {
        conn_->exec(QStringLiteral("COMMIT"));
    } catch (...) {
        try {
            conn_->exec(QStringLiteral("ROLLBACK"));
        } catch (...) {
        }
    }
}

} // namespace talvora::data
