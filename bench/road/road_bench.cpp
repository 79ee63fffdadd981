// A doctor's road on the ten-year database of 30,000 patients, through the
// windows' own controls, every action the doctor waits for timed on its own:
// choosing a department and opening the patient window, moving in the list,
// saving the card, each filter, the default discharge summary, storing it,
// and the export of one department. Each benchmark reports the program's
// resident memory after it ran.

#include "app/start_window.h"
#include "app/workstation.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "data/query_dataset.h"
#include "patient/document_type_dialog.h"
#include "patient/patient_window.h"
#include "synthetic_db.h"
#include "ui/db_grid.h"
#include "ui/scripted_dialogs.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

#include <benchmark/benchmark.h>

#include <sys/resource.h>

using namespace talvora;

namespace {

const QString kStarter = QStringLiteral("Неврологическое отделение");
const QString kStroke = QStringLiteral("Неврологическое отделение для больных с ОНМК");

// ---------------------------------------------------------------- memory

double peakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// A line of /proc/self/status in MB ("VmRSS:", "RssAnon:", "RssFile:").
double statusMb(const char* key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(qstrlen(key))).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

void reportMemory(benchmark::State& state)
{
    state.counters["rss_MB"] = statusMb("VmRSS:");
    state.counters["anon_MB"] = statusMb("RssAnon:");
    state.counters["peak_MB"] = peakRssMb();
}

// ---------------------------------------------------------------- the program

struct Program {
    Program() : ws(bench::benchDatabase())
    {
        ws.show();
        QCoreApplication::processEvents();
    }
    ScriptedDialogs dialogs;
    Workstation ws;

    const TForm3::Controls& c() const { return ws.form3->controls(); }
};

Program* program = nullptr;

void settle() { QCoreApplication::processEvents(); }

// A click on a row of a grid, as the road test makes it.
void click(ui::DBGrid* grid, const QString& field, const QVariant& value)
{
    if (!grid->dataset()->locate(field, value))
        throw std::runtime_error("no row " + value.toString().toStdString());
    emit grid->cellClicked(grid->dataset()->recNo(), 0);
}

// The department chosen in the start window and "Пациент" pressed.
void openPatientWindow(const QString& department)
{
    click(program->ws.form1->departmentGrid(), QStringLiteral("Ootd"), department);
    program->ws.form1->patientButton()->click();
    settle();
}

int listed() { return program->ws.dm->pac_q1->recordCount(); }

void BM_OpenPatientWindow(benchmark::State& state)
{
    bool stroke = false;
    for (auto _ : state) {
        state.PauseTiming();
        program->ws.form3->hide();
        settle();
        stroke = !stroke;
        state.ResumeTiming();
        openPatientWindow(stroke ? kStroke : kStarter);
    }
    state.counters["listed"] = listed();
    reportMemory(state);
}
BENCHMARK(BM_OpenPatientWindow)->Unit(benchmark::kMillisecond)->UseRealTime();

// The arrow keys in the list: every move shows the next patient's card.
void BM_MoveInTheList(benchmark::State& state)
{
    openPatientWindow(kStroke);
    ui::DBGrid* list = program->c().list;
    list->setFocus();
    int step = 0;
    for (auto _ : state) {
        QTest::keyClick(list, (step++ / 50) % 2 ? Qt::Key_Up : Qt::Key_Down);
        settle();
    }
    reportMemory(state);
}
BENCHMARK(BM_MoveInTheList)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_SaveCard(benchmark::State& state)
{
    openPatientWindow(kStroke);
    const auto& c = program->c();
    int n = 0;
    for (auto _ : state) {
        state.PauseTiming();
        c.complaints->setPlainText(QStringLiteral("Головная боль, головокружение при поворотах головы (%1)").arg(++n));
        state.ResumeTiming();
        c.save->click();
        settle();
    }
    reportMemory(state);
}
BENCHMARK(BM_SaveCard)->Unit(benchmark::kMillisecond)->UseRealTime();

// "показать не выписанных" and "показать ВСЕХ", in turn.
void BM_FilterNotDischarged(benchmark::State& state)
{
    openPatientWindow(kStroke);
    const auto& c = program->c();
    int shownAll = 0, shownNotDischarged = 0;
    bool all = false;
    for (auto _ : state) {
        all = !all;
        (all ? c.notDischarged : c.all)->click();
        settle();
        (all ? shownNotDischarged : shownAll) = listed();
    }
    c.all->click();
    state.counters["not_discharged"] = shownNotDischarged;
    state.counters["all"] = shownAll;
    reportMemory(state);
}
BENCHMARK(BM_FilterNotDischarged)->Unit(benchmark::kMillisecond)->UseRealTime();

// One extra filter set in the band and applied; the band is cleared afterwards.
enum class Extra { Word, WordWholeDatabase, Date, Age, History };

void BM_ExtraFilter(benchmark::State& state)
{
    openPatientWindow(kStroke);
    const auto& c = program->c();
    c.extraFilters->setChecked(true);
    settle();
    const auto extra = Extra(state.range(0));
    switch (extra) {
    case Extra::Word:
    case Extra::WordWholeDatabase:
        c.wordOn->setChecked(true);
        c.word->setText(QStringLiteral("ишемический"));
        c.wholeDatabase->setChecked(extra == Extra::WordWholeDatabase);
        break;
    case Extra::Date: {
        const QDate day = QDate(2024, 3, 12);
        c.dateOn->setChecked(true);
        c.filterDay->setText(day.toString(QStringLiteral("dd")));
        c.filterMonth->setText(day.toString(QStringLiteral("MM")));
        c.filterYear->setText(day.toString(QStringLiteral("yyyy")));
        break;
    }
    case Extra::Age:
        c.ageOn->setChecked(true);
        c.ageFrom->setText(QStringLiteral("40"));
        c.ageTo->setText(QStringLiteral("60"));
        break;
    case Extra::History:
        c.historyOn->setChecked(true);
        c.historyFrom->setText(QStringLiteral("100"));
        c.historyTo->setText(QStringLiteral("400"));
        break;
    }
    for (auto _ : state) {
        c.applyFilters->click();
        settle();
    }
    state.counters["listed"] = listed();
    for (QCheckBox* box : {c.wordOn, c.dateOn, c.ageOn, c.historyOn, c.wholeDatabase})
        box->setChecked(false);
    c.extraFilters->setChecked(false);
    settle();
    reportMemory(state);
}
BENCHMARK(BM_ExtraFilter)
    ->ArgName("filter")
    ->Arg(int(Extra::Word))
    ->Arg(int(Extra::WordWholeDatabase))
    ->Arg(int(Extra::Date))
    ->Arg(int(Extra::Age))
    ->Arg(int(Extra::History))
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// "Выписка " with "( по умолчанию )": the default template assembled for the
// patient in the card, until the view shows it.
void BM_DefaultDischarge(benchmark::State& state)
{
    openPatientWindow(kStroke);
    const auto& c = program->c();
    for (auto _ : state) {
        c.discharge->click();
        settle();
        if (!c.view->document())
            state.SkipWithError("the view shows no document");
    }
    reportMemory(state);
}
BENCHMARK(BM_DefaultDischarge)->Unit(benchmark::kMillisecond)->UseRealTime();

int maxDocumentKey(data::TDM& dm)
{
    data::QueryDataset q(QStringLiteral("maxVID"), *dm.Pacents);
    q.setSqlText(QStringLiteral("select max(VID) from Vipis"));
    q.open();
    return q.fieldAt(0).value().toInt();
}

// The assembled summary stored as a discharge summary through the type window; the
// stored rows are removed afterwards.
void BM_StoreDischarge(benchmark::State& state)
{
    openPatientWindow(kStroke);
    const auto& c = program->c();
    c.discharge->click();
    settle();
    data::TDM& dm = *program->ws.dm;
    const int lastBefore = maxDocumentKey(dm);
    for (auto _ : state) {
        c.storeDocument->click();
        click(program->ws.form7->typeGrid(), QStringLiteral("VTName"), QStringLiteral("Выписки")); // the wizard's name
        program->ws.form7->okButton()->click();
        settle();
    }
    state.counters["stored"] = maxDocumentKey(dm) - lastBefore;
    // Put the database back as it was.
    dm.Pacents->execute(QStringLiteral("delete from Vipis where VID > %1").arg(lastBefore), {});
    reportMemory(state);
}
BENCHMARK(BM_StoreDischarge)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

// "Выгрузить документы в папку" for the department listed in the patient window.
void BM_ExportDepartment(benchmark::State& state)
{
    openPatientWindow(kStroke);
    int files = 0;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir folder;
        program->dialogs.choose(folder.path());
        state.ResumeTiming();
        program->ws.form1->exportButton()->click();
        settle();
        state.PauseTiming();
        files = int(QDir(folder.path()).entryList(QDir::Files).size());
        state.ResumeTiming();
    }
    state.counters["files"] = files;
    reportMemory(state);
}
BENCHMARK(BM_ExportDepartment)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    programSwitches() = {};
    Program p;
    program = &p;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    program = nullptr;
    std::fprintf(stderr, "problems: %s\n", qPrintable(p.dialogs.problems()));
    return 0;
}
