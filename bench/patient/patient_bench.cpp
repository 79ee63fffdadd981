// The patient window's operations on the synthetic database: 30,000 patients
// of ten years in two departments. The database is made once in
// $TALVORA_BENCH_DIR (default /tmp/talvora-bench) and reused.

#include "common/program_state.h"
#include "data/data_module.h"
#include "patient/patient_documents.h"
#include "patient/patient_filters.h"
#include "patient/patient_register.h"
#include "synthetic_db.h"
#include "word/document_io.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QTextCursor>
#include <QTextTable>

#include <QCoreApplication>

#include <benchmark/benchmark.h>

using namespace talvora;
using namespace talvora::patient;

namespace {

const data::AliasResolver& aliases()
{
    return bench::benchDatabase();
}

// A word of a few hundred diagnoses, as a doctor searches for.
void markRareDiagnoses(data::TDM& dm)
{
    dm.Pacents->execute(QStringLiteral("update pacient set PdiaV = PdiaV || \" миастения\" where (PID - (PID / 97) * 97 = 0) "
                                       "and not (PdiaV like \"%миастения%\")"),
                        {});
}

struct Window {
    Window() : dm(aliases()), patients(dm)
    {
        dm.Otd->moveTo(1); // the second department, some 12,000 patients
        patients.RefreshPatientList();
    }
    data::TDM dm;
    PatientRegister patients;
};

void BM_RefreshPatientList(benchmark::State& state)
{
    Window w;
    for (auto _ : state)
        w.patients.RefreshPatientList();
    state.counters["listed"] = w.dm.pac_q1->recordCount();
}
BENCHMARK(BM_RefreshPatientList)->Unit(benchmark::kMillisecond);

void BM_MoveInTheList(benchmark::State& state)
{
    Window w;
    int row = 0;
    for (auto _ : state) {
        row = (row + 37) % w.dm.pac_q1->recordCount();
        w.dm.pac_q1->moveTo(row); // loads the card
    }
}
BENCHMARK(BM_MoveInTheList)->Unit(benchmark::kMicrosecond);

void BM_SavePatientCard(benchmark::State& state)
{
    Window w;
    w.dm.pac_q1->moveTo(1500);
    int n = 0;
    PatientCard card = w.patients.loadedCard();
    w.patients.readCard = [&] { return card; };
    for (auto _ : state) {
        card.complaints = QStringLiteral("Головная боль, версия %1").arg(++n);
        w.patients.setCardEdited();
        w.patients.SavePatientCard();
    }
}
BENCHMARK(BM_SavePatientCard)->Unit(benchmark::kMillisecond);

void BM_ApplyExtraFiltersWholeDatabaseRareWord(benchmark::State& state)
{
    Window w;
    markRareDiagnoses(w.dm);
    w.patients.filters().ExtraFiltersShown(true);
    ExtraFilterInput in;
    in.wordOn = true;
    in.word = QStringLiteral("МИАСТЕНИЯ");
    in.wholeDatabase = true;
    for (auto _ : state)
        w.patients.filters().ApplyExtraFilters(in);
    state.counters["listed"] = w.dm.pac_q1->recordCount();
}
BENCHMARK(BM_ApplyExtraFiltersWholeDatabaseRareWord)->Unit(benchmark::kMillisecond);

// The worst case: the word is in two thirds of all diagnoses.
void BM_ApplyExtraFiltersWholeDatabaseWord(benchmark::State& state)
{
    Window w;
    w.patients.filters().ExtraFiltersShown(true);
    ExtraFilterInput in;
    in.wordOn = true;
    in.word = QStringLiteral("цефалгия"); // in about two thirds of the diagnoses
    in.wholeDatabase = true;
    for (auto _ : state)
        w.patients.filters().ApplyExtraFilters(in);
    state.counters["listed"] = w.dm.pac_q1->recordCount();
}
BENCHMARK(BM_ApplyExtraFiltersWholeDatabaseWord)->Unit(benchmark::kMillisecond);

void BM_FindByDiagnosisWordWholeDatabase(benchmark::State& state)
{
    Window w;
    for (auto _ : state)
        benchmark::DoNotOptimize(w.patients.filters().FindByDiagnosisWord(QStringLiteral("цефалгия"), true));
    state.counters["found"] = w.patients.filters().keyList().size();
}
BENCHMARK(BM_FindByDiagnosisWordWholeDatabase)->Unit(benchmark::kMillisecond);

void BM_ApplyExtraFiltersAge(benchmark::State& state)
{
    Window w;
    w.patients.filters().ExtraFiltersShown(true);
    ExtraFilterInput in;
    in.ageOn = true;
    in.ageFrom = QStringLiteral("40");
    in.ageTo = QStringLiteral("60");
    for (auto _ : state)
        w.patients.filters().ApplyExtraFilters(in);
    state.counters["listed"] = w.dm.pac_q1->recordCount();
}
BENCHMARK(BM_ApplyExtraFiltersAge)->Unit(benchmark::kMillisecond);

void BM_FindByAgeOver3000(benchmark::State& state)
{
    Window w;
    const QStringList keys = w.patients.filters().listedKeys();
    for (auto _ : state) {
        w.patients.filters().setKeyList(keys);
        benchmark::DoNotOptimize(w.patients.filters().FindByAge(40, 60));
    }
}
BENCHMARK(BM_FindByAgeOver3000)->Unit(benchmark::kMillisecond);

// Storing the document view as a patient document, and showing it again.
// A discharge summary of about three pages, with a table.
QByteArray templateBlob()
{
    word::Document doc;
    QTextCursor c(&doc.text());
    for (int i = 0; i < 60; ++i)
        c.insertText(QStringLiteral("Неврологический статус: сознание ясное, менингеальных знаков нет, парез %1. ").arg(i)), c.insertBlock();
    c.insertTable(12, 4);
    return word::blobFromDocument(doc);
}

void BM_StoreAndShowDocument(benchmark::State& state)
{
    Window w;
    w.dm.pac_q1->moveTo(700);
    PatientDocuments docs(w.dm, w.patients);
    word::DocumentView view;
    view.loadFromBlob(templateBlob());
    const PendingDocument pending = docs.CaptureDocument(view);
    std::vector<int> stored;
    for (auto _ : state)
        stored.push_back(docs.SaveAssembledDocument(pending, 1));
    state.counters["bytes"] = double(pending.blob.size());
    // Put the database back as it was.
    for (int key : stored)
        w.dm.Pacents->execute(QStringLiteral("delete from Vipis where VID = %1").arg(key), {});
}
BENCHMARK(BM_StoreAndShowDocument)->Name("BM_SaveAssembledDocument")->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_ShowStoredDocument(benchmark::State& state)
{
    Window w;
    w.dm.pac_q1->moveTo(700);
    PatientDocuments docs(w.dm, w.patients);
    word::DocumentView view;
    view.loadFromBlob(templateBlob());
    const int key = docs.SaveAssembledDocument(docs.CaptureDocument(view), 1);
    for (auto _ : state) {
        w.dm.Vipis_q->locate(QStringLiteral("VID"), key);
        docs.ShowStoredDocument(view);
    }
    w.dm.Pacents->execute(QStringLiteral("delete from Vipis where VID = %1").arg(key), {});
}
BENCHMARK(BM_ShowStoredDocument)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    aliases(); // build the database before timing
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
