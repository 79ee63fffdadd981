#pragma once
// A unit of work: several statements and posts on one database that stand
// or fall together. Everything run on the connection while it is open joins
// it (a post or a statement that has a transaction of its own becomes a
// savepoint of this one); it commits whole or, unless committed, rolls back
// whole when it goes out of scope. Units of work nest.
//
// A rollback does not re-read the datasets: the caller re-reads the lists
// that showed rows written inside the unit.

#include "database.h"
#include "sqlite_db.h"

#include <type_traits>

namespace talvora::data {

class UnitOfWork {
public:
    explicit UnitOfWork(Database& db);
    UnitOfWork(const UnitOfWork&) = delete;
    UnitOfWork& operator=(const UnitOfWork&) = delete;

    void commit() { tx_.commit(); }

private:
    SqliteTransaction tx_;
};

// A read of many rows, one statement after another, that sees one state of
// the database and takes the file lock once instead of once a statement.
// Inside a transaction it does nothing.
class ReadTransaction {
public:
    explicit ReadTransaction(Database& db);
    ~ReadTransaction();
    ReadTransaction(const ReadTransaction&) = delete;
    ReadTransaction& operator=(const ReadTransaction&) = delete;

private:
    SqliteConnection* conn_ = nullptr; // null when it joined an open transaction
};

// Runs `work` inside a unit of work and commits it when `work` returns.
template <class F>
auto inUnitOfWork(Database& db, F&& work)
{
    UnitOfWork unit(db);
    if constexpr (std::is_void_v<decltype(work())>) {
        work();
        unit.commit();
    } else {
        auto result = work();
        unit.commit();
        return result;
    }
}

} // namespace talvora::data
