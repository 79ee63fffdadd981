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

} // namespace talvora::data
