#include "temp_databases.h"

#include "data/query_dataset.h"
#include "db_tool.h"

namespace talvora::test {

TempDatabases::TempDatabases()
{
    aliases_.setDirectory(QStringLiteral("pacientdata"), dir_.path() + QStringLiteral("/pacientdata"));
    aliases_.setDirectory(QStringLiteral("Errors"), dir_.path() + QStringLiteral("/errors"));
    tools::initDatabases(aliases_, false);
}

data::Database& TempDatabases::ppp()
{
    if (!ppp_) {
        ppp_ = std::make_unique<data::Database>(QStringLiteral("setup"), QStringLiteral("pacientdata"),
                                                QStringLiteral("PPP"), data::workstationSchema(), aliases_);
        ppp_->open();
    }
    return *ppp_;
}

data::Database& TempDatabases::eee()
{
    if (!eee_) {
        eee_ = std::make_unique<data::Database>(QStringLiteral("setup"), QStringLiteral("Errors"),
                                                QStringLiteral("EEE"), data::errorSchema(), aliases_);
        eee_->open();
    }
    return *eee_;
}

int TempDatabases::sql(const QString& statement, const data::Params& params)
{
    return ppp().execute(statement, params);
}

int TempDatabases::sqlErrors(const QString& statement, const data::Params& params)
{
    return eee().execute(statement, params);
}

QVariant TempDatabases::scalar(const QString& statement)
{
    data::QueryDataset q(QStringLiteral("scalar"), ppp());
    q.setSqlText(statement);
    q.open();
    return q.isEmpty() ? QVariant() : q.fieldAt(0).value();
}

} // namespace talvora::test
