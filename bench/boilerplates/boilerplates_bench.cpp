// The boilerplate library on the synthetic database with 200 boilerplates in
// one department: the settings page's list of a kind, and the selection for
// a patient with and without the settings page's editor following the list.
// The boilerplates are added once (the patient texts' benchmark adds the
// same ones).

#include "boilerplates/boilerplate_library.h"
#include "boilerplates/boilerplate_selection.h"
#include "data/data_module.h"
#include "data/unit_of_work.h"
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

struct Department {
    Department()
    {
        dm.Otd->moveTo(1);
        addBoilerplates(dm);
    }
    data::TDM dm{aliases()};
};

// The settings page's list of one kind (50 boilerplates), its first one
// loaded into the page's editor (hidden, as while the window is closed).
void BM_ListBoilerplates(benchmark::State& state)
{
    Department d;
    word::DocumentView editor;
    boilerplates::BoilerplateLibrary library(d.dm, editor);
    int kind = 0;
    for (auto _ : state)
        library.ListBoilerplates(1 + kind++ % 4);
    state.counters["listed"] = d.dm.Fish_q->recordCount();
}
BENCHMARK(BM_ListBoilerplates)->Unit(benchmark::kMillisecond);

// The same with the settings window open: each list's first boilerplate
// (a 30-line document) is read into the page's editor and laid out.
void BM_ListBoilerplatesWindowOpen(benchmark::State& state)
{
    Department d;
    word::DocumentView editor;
    editor.resize(700, 300);
    editor.show();
    boilerplates::BoilerplateLibrary library(d.dm, editor);
    int kind = 0;
    for (auto _ : state) {
        library.ListBoilerplates(1 + kind++ % 4);
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_ListBoilerplatesWindowOpen)->Unit(benchmark::kMillisecond);

// The selection for a patient of 65, as the patient texts run it, alone.
void BM_SelectBoilerplates(benchmark::State& state)
{
    Department d;
    for (auto _ : state)
        benchmark::DoNotOptimize(boilerplates::SelectBoilerplates(d.dm, 2, 65, 1));
    state.counters["offered"] = d.dm.Fish_q->recordCount();
}
BENCHMARK(BM_SelectBoilerplates)->Unit(benchmark::kMillisecond);

// The same with the settings window installed but closed: the other
// editors are offered the first boilerplate.
void BM_SelectBoilerplatesWithLibrary(benchmark::State& state)
{
    Department d;
    word::DocumentView editor;
    boilerplates::BoilerplateLibrary library(d.dm, editor);
    int age = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(boilerplates::SelectBoilerplates(d.dm, 2, 5 + 10 * (age++ % 10), 1));
}
BENCHMARK(BM_SelectBoilerplatesWithLibrary)->Unit(benchmark::kMillisecond);

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
