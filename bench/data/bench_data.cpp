// Speed and memory of the data engine on a department database of realistic
// size: 30,000 patients of ten years in two departments, with their
// investigations, prescriptions and discharge summaries. The database is made once in
// $TALVORA_BENCH_DIR (default /tmp/talvora-bench) and reused.

#include "common/program_state.h"
#include "data/data_module.h"
#include "synthetic_db.h"

#include <QCoreApplication>
#include <QFile>

#include <benchmark/benchmark.h>

#include <malloc.h>

using namespace talvora::data;

namespace {

const AliasResolver& aliases()
{
    return talvora::bench::benchDatabase();
}

// Bytes of heap in use (glibc).
long heapBytes()
{
    return long(mallinfo2().uordblks);
}

void BM_TDMCreation(benchmark::State& state)
{
    for (auto _ : state) {
        talvora::programSwitches() = {};
        TDM dm(aliases());
        benchmark::DoNotOptimize(dm.Otd->recordCount());
    }
}
BENCHMARK(BM_TDMCreation)->Unit(benchmark::kMillisecond);

void BM_OpenPatientListOfDepartment(benchmark::State& state)
{
    TDM dm(aliases());
    for (auto _ : state) {
        dm.pac_q1->close();
        dm.pac_q1->setParam(QStringLiteral("potd"), 2);
        dm.pac_q1->run();
        dm.pac_q1->open();
        benchmark::DoNotOptimize(dm.pac_q1->recordCount());
    }
    state.counters["rows"] = dm.pac_q1->recordCount();
}
BENCHMARK(BM_OpenPatientListOfDepartment)->Unit(benchmark::kMillisecond);

void BM_WalkPatientListKeys(benchmark::State& state)
{
    TDM dm(aliases());
    dm.pac_q1->setParam(QStringLiteral("potd"), 2);
    dm.pac_q1->open();
    talvora::programSwitches().CardFollowsList = false;
    for (auto _ : state) {
        QStringList keys;
        for (dm.pac_q1->first(); !dm.pac_q1->eof(); dm.pac_q1->next())
            keys << dm.pac_q1->field(QStringLiteral("Pid")).asString();
        benchmark::DoNotOptimize(keys.size());
    }
    talvora::programSwitches().CardFollowsList = true;
}
BENCHMARK(BM_WalkPatientListKeys)->Unit(benchmark::kMillisecond);

// What a department click costs: Pac_q (all patients, texts read on request)
// and the department's list are read again.
void BM_OpenAllPatientsQuery(benchmark::State& state)
{
    TDM dm(aliases());
    long held = 0;
    for (auto _ : state) {
        dm.Pac_q->close();
        const long before = heapBytes();
        dm.Pac_q->open();
        held = std::max(held, heapBytes() - before);
        benchmark::DoNotOptimize(dm.Pac_q->recordCount());
    }
    state.counters["heap_held_MB"] = double(held) / (1024.0 * 1024.0);
}
BENCHMARK(BM_OpenAllPatientsQuery)->Unit(benchmark::kMillisecond);

void BM_ReadPatientDocuments(benchmark::State& state)
{
    TDM dm(aliases());
    dm.Pac_q->open();
    dm.Pac_q->locate(QStringLiteral("pID"), 1234);
    for (auto _ : state) {
        dm.ReadPatientDocuments();
        benchmark::DoNotOptimize(dm.Vipis_q->recordCount());
    }
}
BENCHMARK(BM_ReadPatientDocuments)->Unit(benchmark::kMillisecond);

void BM_SelectPatient(benchmark::State& state)
{
    // Moving Pac_q: the documents are re-read and the prescriptions follow.
    TDM dm(aliases());
    dm.Pac_q->open();
    int row = 0;
    for (auto _ : state) {
        row = (row + 997) % dm.Pac_q->recordCount();
        dm.Pac_q->moveTo(row);
        benchmark::DoNotOptimize(dm.Nazn->recordCount());
    }
}
BENCHMARK(BM_SelectPatient)->Unit(benchmark::kMillisecond);

void BM_OpenAllInvestigations(benchmark::State& state)
{
    TDM dm(aliases());
    dm.Pac_q->open();
    dm.Pac_q->locate(QStringLiteral("pID"), 1234);
    for (auto _ : state)
        benchmark::DoNotOptimize(dm.OpenAllInvestigations());
}
BENCHMARK(BM_OpenAllInvestigations)->Unit(benchmark::kMillisecond);

// The global diagnosis search reads both diagnoses of every patient once.
void BM_WholePatientTableDiagnosisSearch(benchmark::State& state)
{
    TDM dm(aliases());
    const QString word = QStringLiteral("ЦЕФАЛГИЯ");
    for (auto _ : state) {
        QueryDataset pac(QStringLiteral("global"), *dm.Pacents);
        pac.setLazyMemos(false);
        pac.setSqlText(QStringLiteral("select PID, PdiaK, PdiaV from Pacient"));
        pac.open();
        int found = 0;
        for (int r = 0; r < pac.recordCount(); ++r)
            if (pac.rowValue(r, 1).toString().toUpper().contains(word) || pac.rowValue(r, 2).toString().toUpper().contains(word))
                ++found;
        benchmark::DoNotOptimize(found);
    }
}
BENCHMARK(BM_WholePatientTableDiagnosisSearch)->Unit(benchmark::kMillisecond);

// The same through a table cursor that reads each row as it comes to it.
void BM_WholePatientTableWalk(benchmark::State& state)
{
    TDM dm(aliases());
    for (auto _ : state) {
        TableDataset pac(QStringLiteral("global"), *dm.Pacents, QStringLiteral("Pacient.db"));
        pac.open();
        qsizetype n = 0;
        for (pac.first(); !pac.eof(); pac.next())
            n += pac.field(QStringLiteral("PdiaK")).asString().size() + pac.field(QStringLiteral("PdiaV")).asString().size();
        benchmark::DoNotOptimize(n);
    }
}
BENCHMARK(BM_WholePatientTableWalk)->Unit(benchmark::kMillisecond);

void BM_QueryOverAllDocuments(benchmark::State& state)
{
    TDM dm(aliases());
    long held = 0;
    for (auto _ : state) {
        const long before = heapBytes();
        QueryDataset q(QStringLiteral("all"), *dm.Pacents);
        q.setSqlText(QStringLiteral("SELECT VID, Vpac , Vtype, Vdate, Vres FROM Vipis ORDER BY Vdate"));
        q.open();
        held = std::max(held, heapBytes() - before);
        benchmark::DoNotOptimize(q.recordCount());
    }
    state.counters["heap_held_MB"] = double(held) / (1024.0 * 1024.0);
}
BENCHMARK(BM_QueryOverAllDocuments)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    aliases(); // build the database before timing
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
