// Reading and writing .doc files: the long reference document (about 530 KB,
// 600 paragraphs) and a ten-page discharge summary built here.

#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_io.h"

#include <QFile>
#include <QGuiApplication>
#include <QTextCursor>

#include <benchmark/benchmark.h>

using namespace talvora::word;

namespace {

QByteArray longDoc()
{
    QFile f(QStringLiteral(TALVORA_WORD_DATA "/long.doc"));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

// About ten pages: headed sections of justified text with bold labels and
// italic remarks, as the assembled summaries are.
Document summary()
{
    Document doc;
    QTextCursor c(&doc.text());
    QTextCharFormat body;
    body.setFontFamilies({QStringLiteral("Times New Roman")});
    body.setFontPointSize(12);
    QTextCharFormat label = body;
    label.setFontWeight(QFont::Bold);
    QTextCharFormat remark = body;
    remark.setFontItalic(true);
    QTextBlockFormat heading;
    heading.setAlignment(Qt::AlignHCenter);
    heading.setTopMargin(12);
    QTextBlockFormat para;
    para.setAlignment(Qt::AlignJustify);
    para.setTextIndent(35.45);
    const QString text = QStringLiteral(
        "Пациент поступил в плановом порядке с жалобами на головную боль, головокружение при перемене "
        "положения тела, шум в ушах, общую слабость. Неврологический статус: сознание ясное, менингеальных "
        "знаков нет, черепные нервы без особенностей, сухожильные рефлексы живые, симметричные. ");
    for (int section = 0; section < 10; ++section) {
        if (section)
            c.insertBlock(heading);
        else
            c.setBlockFormat(heading);
        c.insertText(QStringLiteral("Раздел %1. Результаты обследования").arg(section + 1), label);
        for (int p = 0; p < 6; ++p) {
            c.insertBlock(para);
            c.insertText(QStringLiteral("Показатель %1: ").arg(p + 1), label);
            c.insertText(text, body);
            c.insertText(QStringLiteral("(в динамике без ухудшения) "), remark);
            c.insertText(text, body);
        }
    }
    return doc;
}

void initApp()
{
    static int argc = 1;
    static char name[] = "word_bench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static QGuiApplication app(argc, argv);
}

void BM_ReadLongDoc(benchmark::State& state)
{
    initApp();
    const QByteArray bytes = longDoc();
    for (auto _ : state)
        benchmark::DoNotOptimize(readDoc(bytes));
    state.SetBytesProcessed(state.iterations() * bytes.size());
}
BENCHMARK(BM_ReadLongDoc)->Unit(benchmark::kMillisecond);

void BM_WriteLongDoc(benchmark::State& state)
{
    initApp();
    const Document doc = readDoc(longDoc());
    for (auto _ : state)
        benchmark::DoNotOptimize(writeDoc(doc));
}
BENCHMARK(BM_WriteLongDoc)->Unit(benchmark::kMillisecond);

void BM_ReadSummaryBlob(benchmark::State& state)
{
    initApp();
    const QByteArray blob = blobFromDocument(summary());
    for (auto _ : state)
        benchmark::DoNotOptimize(documentFromBlob(blob));
    state.counters["bytes"] = double(blob.size());
}
BENCHMARK(BM_ReadSummaryBlob)->Unit(benchmark::kMillisecond);

void BM_WriteSummaryBlob(benchmark::State& state)
{
    initApp();
    const Document doc = summary();
    for (auto _ : state)
        benchmark::DoNotOptimize(blobFromDocument(doc));
}
BENCHMARK(BM_WriteSummaryBlob)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
