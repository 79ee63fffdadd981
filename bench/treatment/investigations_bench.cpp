// The investigations page on the synthetic database (30,000 investigations
// among 30,000 patients): storing the editor's document as a new
// investigation, and writing it into an existing one. The database is made
// once in $TALVORA_BENCH_DIR (default /tmp/talvora-bench) and reused.

#include "data/data_module.h"
#include "synthetic_db.h"
#include "templates/template_operations.h"
#include "treatment/investigations.h"
#include "ui/dialog_service.h"
#include "word/document_io.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QTextCursor>
#include <QTextTable>

#include <benchmark/benchmark.h>

using namespace talvora;

namespace {

const data::AliasResolver& aliases()
{
    return bench::benchDatabase();
}

// The name box answered at once, as a doctor who types the name.
class NameTyped : public DialogService {
public:
    bool confirm(const QString&, const QString&) override { return true; }
    bool confirmOrCancel(const QString&, const QString&) override { return true; }
    void notice(const QString&, const QString&) override {}
    void error(const QString&, const QString&) override {}
    QString input(const QString&, const QString&, const QString&) override { return QStringLiteral("Биохимический анализ крови"); }
    QString openFileName(const FileDialogRequest&) override { return {}; }
    QString saveFileName(const FileDialogRequest&) override { return {}; }
};

// An investigation of ten pages: on each page a heading, a table of
// results with reference values and a paragraph of conclusion.
QByteArray tenPages()
{
    word::Document doc;
    QTextCursor c(&doc.text());
    for (int page = 1; page <= 10; ++page) {
        c.insertText(QStringLiteral("Исследование, лист %1").arg(page));
        c.insertBlock();
        QTextTable* table = c.insertTable(40, 4);
        for (int row = 0; row < 40; ++row) {
            table->cellAt(row, 0).firstCursorPosition().insertText(QStringLiteral("Показатель %1").arg(row + 1));
            table->cellAt(row, 1).firstCursorPosition().insertText(QString::number(4.2 + row));
            table->cellAt(row, 2).firstCursorPosition().insertText(QStringLiteral("ммоль/л"));
            table->cellAt(row, 3).firstCursorPosition().insertText(QStringLiteral("3,5 – 5,5"));
        }
        c.movePosition(QTextCursor::End);
        c.insertBlock();
        c.insertText(QStringLiteral("Заключение: показатели в пределах референсных значений, динамика положительная. "
                                    "Рекомендовано повторить исследование через месяц."));
        c.insertBlock();
    }
    return word::blobFromDocument(doc);
}

struct Page {
    Page() : dm(aliases()), templates(dm), investigations(dm, templates, editor)
    {
        dm.Pac_q->open();
        dm.Pac_q->moveTo(700);
        editor.loadFromBlob(tenPages());
        investigations.ApplyInvestigationFilter();
        previous = setDialogs(&names);
    }
    ~Page() { setDialogs(previous); }

    data::TDM dm;
    templates::TemplateOperations templates;
    word::DocumentView editor;
    treatment::Investigations investigations;
    NameTyped names;
    DialogService* previous = nullptr;
};

void BM_AddInvestigation(benchmark::State& state)
{
    Page p;
    std::vector<qint64> stored;
    for (auto _ : state)
        stored.push_back(p.investigations.AddInvestigation());
    state.counters["bytes"] = double(p.editor.saveToBlob().size());
    // Put the database back as it was.
    for (qint64 key : stored)
        p.dm.Pacents->execute(QStringLiteral("delete from Issled where Iid = %1").arg(key), {});
}
BENCHMARK(BM_AddInvestigation)->Unit(benchmark::kMillisecond)->Iterations(30);

void BM_StoreInvestigationResult(benchmark::State& state)
{
    Page p;
    const qint64 key = p.investigations.AddInvestigation();
    for (auto _ : state)
        p.investigations.StoreInvestigationResult(key);
    p.dm.Pacents->execute(QStringLiteral("delete from Issled where Iid = %1").arg(key), {});
}
BENCHMARK(BM_StoreInvestigationResult)->Unit(benchmark::kMillisecond)->Iterations(30);

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
