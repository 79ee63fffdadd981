// `talvora-db backup` of the synthetic database (30,000 patients of ten years
// of work): the online copy, the packing with 7-Zip and the archive's test.
// The database is made once in $TALVORA_BENCH_DIR (default
// /tmp/talvora-bench) and only read here; the archive goes into a temporary
// folder and is removed after each run.

#include "service/archiver.h"
#include "service/database_backup.h"
#include "synthetic_db.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

using namespace talvora;

namespace {

const data::AliasResolver& aliases()
{
    return bench::benchDatabase();
}

void BM_BackupDatabase(benchmark::State& state)
{
    const QString directory = aliases().directory(QString::fromLatin1(data::kWorkstationAlias));
    const qint64 databaseBytes = QFileInfo(aliases().databaseFile(QString::fromLatin1(data::kWorkstationAlias))).size();
    qint64 archiveBytes = 0;
    for (auto _ : state) {
        QTemporaryDir out;
        const QString archive = out.filePath(QStringLiteral("nightly.7z"));
        archiveBytes = service::backupDatabase(service::archiverProgram(), directory, archive);
    }
    state.counters["database_MB"] = double(databaseBytes) / 1e6;
    state.counters["archive_MB"] = double(archiveBytes) / 1e6;
}
BENCHMARK(BM_BackupDatabase)->Unit(benchmark::kSecond)->Iterations(1)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    // The synthetic database's documents are written with Qt's GUI classes.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
