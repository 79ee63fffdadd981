// Exporting a department's documents into a folder: 200 and 1,000 stored
// discharge summaries of about 30 KB. The databases are made once in
// $TALVORA_BENCH_DIR/export-N (default /tmp/talvora-bench) and reused.
//
// Peak memory is the process's: run one size per process to compare them,
//   bench_service_export --benchmark_filter='/200/'
//   bench_service_export --benchmark_filter='/1000/'
// (a first run that makes the database shows the making in its peak).

#include "common/program_state.h"
#include "data/data_module.h"
#include "data/params.h"
#include "db_tool.h"
#include "patient/patient_register.h"
#include "service/document_export.h"
#include "ui/dialog_service.h"
#include "word/document.h"
#include "word/document_io.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextCursor>

#include <benchmark/benchmark.h>

#include <algorithm>

#include <sys/resource.h>

using namespace talvora;

namespace {

constexpr int kDocumentsPerPatient = 4;

QString benchDirectory()
{
    const QByteArray dir = qgetenv("TALVORA_BENCH_DIR");
    return dir.isEmpty() ? QStringLiteral("/tmp/talvora-bench") : QString::fromLocal8Bit(dir);
}

// A discharge summary of a few pages.
QByteArray summaryBlob()
{
    word::Document doc;
    QTextCursor c(&doc.text());
    for (int i = 0; i < 120; ++i)
        c.insertText(QStringLiteral("Пациент поступил с жалобами на головную боль, головокружение, шаткость при ходьбе. "
                                    "Неврологический статус: сознание ясное, менингеальных знаков нет, %1.\n")
                         .arg(i));
    return word::blobFromDocument(doc);
}

// Department 1 with documents/4 patients of four documents each.
data::AliasResolver exportDatabase(int documents)
{
    const QString dir = QDir(benchDirectory()).filePath(QStringLiteral("export-%1").arg(documents));
    data::AliasResolver aliases;
    aliases.setDirectory(QStringLiteral("pacientdata"), dir + QStringLiteral("/pacientdata"));
    aliases.setDirectory(QStringLiteral("Errors"), dir + QStringLiteral("/errors"));
    if (QFile::exists(dir + QStringLiteral("/complete")))
        return aliases;
    QDir(dir).removeRecursively();
    tools::initDatabases(aliases, false);
    data::TDM dm(aliases);
    data::Database& db = *dm.Pacents;
    db.execute(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")"), {});
    db.execute(QStringLiteral("insert into VipisType (VTName, VTOtd) values (\"Выписки\", 1)"), {});
    db.execute(QStringLiteral("insert into VipisType (VTName, VTOtd) values (\"Этапный эпикриз\", 1)"), {});
    const QByteArray blob = summaryBlob();
    for (int p = 0; p < documents / kDocumentsPerPatient; ++p) {
        data::Params pp;
        pp.set(QStringLiteral("n"), QStringLiteral("Пациент%1 И.И.").arg(p));
        const qint64 key = db.insertRow(
            QStringLiteral("insert into pacient (Pname, Potd, PdP, Palat) values (:n, 1, \"01.02.2024\", %1)").arg(p % 20), pp);
        for (int d = 0; d < kDocumentsPerPatient; ++d) {
            data::Params dp;
            dp.set(QStringLiteral("p"), key);
            dp.set(QStringLiteral("t"), d % 2 + 1);
            dp.set(QStringLiteral("d"), QDateTime(QDate(2024, 2, 1).addDays(d), QTime(12, 0)));
            dp.set(QStringLiteral("r"), blob);
            db.execute(QStringLiteral("insert into Vipis (Vpac, Vtype, Vdate, Vres) values (:p, :t, :d, :r)"), dp);
        }
    }
    QFile done(dir + QStringLiteral("/complete"));
    done.open(QIODevice::WriteOnly);
    return aliases;
}

// The folder chooser answers with the folder of the run; the closing notice is kept.
class FolderAnswer : public DialogService {
public:
    QString folder;
    QString summary;
    bool confirm(const QString&, const QString&) override { return false; }
    bool confirmOrCancel(const QString&, const QString&) override { return false; }
    void notice(const QString& text, const QString&) override { summary = text; }
    void error(const QString& text, const QString&) override { summary = text; }
    QString input(const QString&, const QString&, const QString& d) override { return d; }
    QString openFileName(const FileDialogRequest&) override { return {}; }
    QString saveFileName(const FileDialogRequest&) override { return {}; }
    QString folderName(const FileDialogRequest&) override { return folder; }
};

double peakRssMb()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return double(u.ru_maxrss) / 1024.0;
}

// The process's anonymous memory (heap and the like), without the pages of
// the database file that the engine maps into memory: those count in the
// resident size as they are read, but belong to the file, not the export.
double anonymousMb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("RssAnon:"))
            return line.mid(8).trimmed().split(' ').value(0).toDouble() / 1024.0;
    return 0;
}

void BM_ExportDocuments(benchmark::State& state)
{
    const int documents = int(state.range(0));
    data::TDM dm(exportDatabase(documents));
    patient::PatientRegister patients(dm);
    patients.RefreshPatientList();
    FolderAnswer answer;
    DialogService* before = setDialogs(&answer);
    const double peakBefore = peakRssMb();
    const double anonBefore = anonymousMb();
    double anonPeak = anonBefore;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir out(QDir(benchDirectory()).filePath(QStringLiteral("export-out-XXXXXX")));
        answer.folder = out.path();
        state.ResumeTiming();
        service::DocumentExport exporter(dm);
        exporter.progress.advanced = [&anonPeak](int done) {
            if (done % 25 == 0)
                anonPeak = std::max(anonPeak, anonymousMb());
        };
        exporter.ExportDocuments(&patients.filters());
        state.PauseTiming();
        if (answer.summary != QStringLiteral("Выгружено документов: %1 из %1.").arg(documents))
            state.SkipWithError(answer.summary.toStdString().c_str());
        out.remove();
        state.ResumeTiming();
    }
    setDialogs(before);
    state.counters["documents"] = documents;
    state.counters["peak_rss_MB"] = peakRssMb();
    state.counters["peak_growth_MB"] = peakRssMb() - peakBefore;
    state.counters["anon_growth_MB"] = anonPeak - anonBefore;
}
BENCHMARK(BM_ExportDocuments)->Arg(200)->Arg(1000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
