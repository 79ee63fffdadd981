#pragma once
// A synthetic department database of realistic size for the benchmarks.

#include "data/aliases.h"

#include <QString>

namespace talvora::bench {

struct SyntheticSize {
    int departments = 10;
    int patients = 30000;
    int documents = 60000;
    int documentBytes = 20 * 1024;
    int investigations = 30000;
    int prescriptions = 50000;
};

// Creates (once; later calls reuse it) the databases under `directory` and
// returns the aliases that reach them.
data::AliasResolver syntheticDatabase(const QString& directory, const SyntheticSize& size = {});

} // namespace talvora::bench
