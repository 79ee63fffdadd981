#pragma once
// The benchmark database: a department's ten years of work made by
// `talvora-db demo --patients 30000 --years 10` (the starter department and
// a second one, with their investigations, treatment schemes and discharge
// summaries).

#include "data/aliases.h"

#include <QDate>
#include <QString>

namespace talvora::bench {

struct SyntheticSize {
    int patients = 30000;
    int years = 10;
    // Fixed, so that the database is the same whenever it is made.
    QDate today = QDate(2025, 1, 15);
};

// Creates (once; later calls reuse it) the databases under `directory` and
// returns the aliases that reach them. The departments are the first two
// rows of Otdelen; the second is the larger share of the stroke patients.
data::AliasResolver syntheticDatabase(const QString& directory, const SyntheticSize& size = {});

// The benchmark database of the default size in $TALVORA_BENCH_DIR (default
// /tmp/talvora-bench), made on the first call of the program.
const data::AliasResolver& benchDatabase();

} // namespace talvora::bench
