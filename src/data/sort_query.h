#pragma once
// Sorting a list by a click on a column title. Every sortable list statement
// ends in a line that is empty or its ORDER BY clause; sorting replaces that
// last line, so no condition is ever lost.

#include <QString>

namespace talvora::data {

class QueryDataset;

// Re-runs `query` ordered by `field`: its last line becomes " ORDER BY " +
// field. When that run fails, the statement it had is put back and run again;
// a failure of that second run is thrown.
void SortQueryByColumn(QueryDataset& query, const QString& field);

} // namespace talvora::data
