// The treatment page's operations on the synthetic database: sorting a drug
// list of 1,000 drugs by a title click, and prescribing a drug to a patient
// of a department of the synthetic database. The drugs are added to the database (in
// $TALVORA_BENCH_DIR, default /tmp/talvora-bench) once.

#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "synthetic_db.h"
#include "treatment/drug_reference.h"
#include "treatment/treatment_scheme.h"

#include <QApplication>

#include <benchmark/benchmark.h>

using namespace talvora;

namespace {

const QString kGroupName = QStringLiteral("Тысяча препаратов (для замеров)");

const data::AliasResolver& aliases()
{
    return bench::benchDatabase();
}

QVariant scalar(data::Database& db, const QString& statement, const QString& name = {}, const QVariant& value = {})
{
    data::QueryDataset q(QStringLiteral("scalar"), db);
    q.setSqlText(statement);
    if (!name.isEmpty())
        q.setParam(name, value);
    q.open();
    return q.isEmpty() ? QVariant() : q.fieldAt(0).value();
}

// The group of 1,000 drugs under a macrogroup of its own; its key.
qint64 thousandDrugs(data::Database& db)
{
    const QVariant existing =
        scalar(db, QStringLiteral("select TrTid from TreatType where TrTname = :n"), QStringLiteral("n"), kGroupName);
    if (existing.isValid() && !existing.isNull())
        return existing.toLongLong();
    data::UnitOfWork unit(db);
    data::Params macro;
    macro.set(QStringLiteral("n"), QStringLiteral("Макрогруппа для замеров"));
    const qint64 m = db.insertRow(QStringLiteral("insert into TreatType (TrTname, TrTself) values (:n, 0)"), macro);
    data::Params group;
    group.set(QStringLiteral("n"), kGroupName);
    group.set(QStringLiteral("m"), m);
    const qint64 g = db.insertRow(QStringLiteral("insert into TreatType (TrTname, TrTself) values (:n, :m)"), group);
    for (int i = 0; i < 1000; ++i) {
        data::Params p;
        p.set(QStringLiteral("g"), g);
        p.set(QStringLiteral("n"), QStringLiteral("Препарат %1").arg((i * 7919) % 1000, 4, 10, QChar(u'0')));
        p.set(QStringLiteral("l"), QStringLiteral("Praeparatum %1").arg(i));
        p.set(QStringLiteral("d"), (i * 31) % 50);
        p.set(QStringLiteral("k"), 1 + i % 4);
        db.insertRow(QStringLiteral("insert into Treat (TrType, Tname_r, Tname_l, Tdose, Tkratn, Tprim) "
                                    "values (:g, :n, :l, :d, :k, \"табл. 10 мг\")"),
                     p);
    }
    unit.commit();
    return g;
}

struct Page {
    Page() : dm(aliases()), drugs(dm), scheme(dm)
    {
        group = thousandDrugs(*dm.Pacents);
        const qint64 macro =
            scalar(*dm.Pacents, QStringLiteral("select TrTself from TreatType where TrTid = %1").arg(group)).toLongLong();
        drugs.Open();
        dm.TrType_q_0->locate(QStringLiteral("TrTid"), macro);
        drugs.ShowGroupsOfMacrogroup();
        dm.TrType_q_1->locate(QStringLiteral("TrTid"), group);
        drugs.ShowDrugsOfGroup();
    }
    data::TDM dm;
    treatment::DrugReference drugs;
    treatment::TreatmentScheme scheme;
    qint64 group = 0;
};

void BM_SortDrugListByTitle(benchmark::State& state)
{
    Page page;
    const QStringList fields = {QStringLiteral("Tname_r"), QStringLiteral("Tdose"), QStringLiteral("Tname_l")};
    int i = 0;
    for (auto _ : state)
        page.drugs.SortByColumn(*page.dm.Treat_q, fields[i++ % fields.size()]);
    state.counters["drugs"] = page.dm.Treat_q->recordCount();
}
BENCHMARK(BM_SortDrugListByTitle)->Unit(benchmark::kMillisecond);

void BM_AddToTreatment(benchmark::State& state)
{
    Page page;
    page.dm.Pac_q->open();
    page.dm.Pac_q->moveTo(page.dm.Pac_q->recordCount() / 2);
    page.dm.Treat_q->moveTo(500);
    page.drugs.SelectDrug();
    std::vector<qint64> added;
    for (auto _ : state)
        added.push_back(page.scheme.AddToTreatment());
    // Put the database back as it was.
    for (qint64 key : added)
        page.dm.Pacents->execute(QStringLiteral("delete from Nazn where NID = %1").arg(key), {});
}
BENCHMARK(BM_AddToTreatment)->Unit(benchmark::kMillisecond)->Iterations(50);

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
