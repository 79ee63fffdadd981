#include "sort_query.h"

#include "query_dataset.h"

namespace talvora::data {

namespace {

void reopen(QueryDataset& query)
{
    query.run();
    query.open();
    query.refresh();
}

} // namespace

void SortQueryByColumn(QueryDataset& query, const QString& field)
{
    query.close();
    const QStringList kept = query.sql();
    QStringList sorted = kept;
    const QString orderBy = QStringLiteral(" ORDER BY ") + field;
    if (sorted.isEmpty())
        sorted << orderBy;
    else
        sorted.last() = orderBy;
    query.setSql(sorted);
    try {
        reopen(query);
    } catch (const std::exception&) {
        query.close();
        query.setSql(kept);
        reopen(query);
    }
}

} // namespace talvora::data
