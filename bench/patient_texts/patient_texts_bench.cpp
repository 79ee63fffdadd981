// The patient texts on the synthetic database with 200 boilerplates in the
// department of the list: opening the text editor on a status, and the
// card's automatic filling. The boilerplates are added once.

#include "boilerplates/patient_texts.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
#include "patient/patient_register.h"
#include "synthetic_db.h"
#include "word/document.h"
#include "word/document_io.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QTextCursor>

#include <benchmark/benchmark.h>

using namespace talvora;

namespace {

const data::AliasResolver& aliases()
{
    return bench::benchDatabase();
}

QByteArray statusDocument(int i)
{
    word::Document doc;
    QTextCursor c(&doc.text());
    for (int line = 0; line < 30; ++line)
        c.insertText(QStringLiteral("Вариант %1, строка %2: черепные нервы без особенностей, сухожильные рефлексы "
                                    "живые, D=S, патологических знаков нет.\n")
                         .arg(i)
                         .arg(line));
    return word::blobFromDocument(doc);
}

// 200 boilerplates of the department: 50 of each kind 1 to 4, over age bands.
void addBoilerplates(data::TDM& dm)
{
    const QVariant otd = dm.Otd->field(QStringLiteral("OID")).value();
    data::QueryDataset q(QStringLiteral("n"), *dm.Pacents);
    q.setSqlText(QStringLiteral("select count(*) from Fish where Fotd = :o"));
    q.setParam(QStringLiteral("o"), otd);
    q.open();
    if (q.fieldAt(0).asInteger() >= 200)
        return;
    data::UnitOfWork unit(*dm.Pacents);
    for (int i = 0; i < 200; ++i) {
        data::Params p;
        p.set(QStringLiteral("o"), otd);
        p.set(QStringLiteral("t"), 1 + i % 4);
        p.set(QStringLiteral("n"), QStringLiteral("Рыба %1").arg(i));
        p.set(QStringLiteral("lo"), (i / 4) % 10 * 10);
        p.set(QStringLiteral("hi"), (i / 4) % 10 * 10 + 9);
        p.set(QStringLiteral("s"), 1 + i % 3);
        p.set(QStringLiteral("m"), QStringLiteral("Вариант %1: черепные нервы без особенностей.").arg(i));
        p.set(QStringLiteral("r"), statusDocument(i));
        dm.Pacents->insertRow(QStringLiteral("insert into Fish (Fotd, FType, Fname, Fmin, Fmax, Fmale, Fmem, Fres) "
                                             "values (:o, :t, :n, :lo, :hi, :s, :m, :r)"),
                              p);
    }
    unit.commit();
}

struct Texts {
    Texts() : dm(aliases()), patients(dm)
    {
        dm.Otd->moveTo(1);
        addBoilerplates(dm);
        patients.RefreshPatientList();
        dm.pac_q1->moveTo(700);
        patients.LoadPatientCard();
        // A patient without a stored status: the editor starts from a boilerplate.
        dm.Pacents->execute(QStringLiteral("update pacient set Pnst = \"\" where PID = %1").arg(patients.patientKey().toInt()),
                            {});
    }
    data::TDM dm;
    patient::PatientRegister patients;
    word::DocumentView editor;
};

void BM_EditPatientText(benchmark::State& state)
{
    Texts t;
    boilerplates::PatientTexts texts(t.dm, t.patients, t.editor);
    for (auto _ : state)
        texts.EditPatientText(2);
    state.counters["offered"] = t.dm.Fish_q->recordCount();
}
BENCHMARK(BM_EditPatientText)->Unit(benchmark::kMillisecond);

void BM_AutoFillTexts(benchmark::State& state)
{
    Texts t;
    boilerplates::PatientTexts texts(t.dm, t.patients, t.editor);
    patient::PatientCard card = t.patients.loadedCard();
    card.birth = {QStringLiteral("12"), QStringLiteral("04"), QStringLiteral("1958")};
    card.admission = {QStringLiteral("01"), QStringLiteral("02"), QStringLiteral("2024")};
    for (auto _ : state)
        benchmark::DoNotOptimize(texts.AutoFillTexts(card));
}
BENCHMARK(BM_AutoFillTexts)->Unit(benchmark::kMillisecond);

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
