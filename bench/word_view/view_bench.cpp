// The assembly's inner loop on a long document: 100 markers spread over
// long.doc (about 530 KB, 600 paragraphs, 12 tables), each found from the
// insertion point, read through the marker box and replaced by a value.
// The goal is under 50 ms for the 100 cycles. Shown, the time includes
// laying the edited document out on screen once at the end.

#include "word/doc_reader.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"
#include "word/view/text_edits.h"

#include <QApplication>
#include <QFile>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextDocumentFragment>

#include <benchmark/benchmark.h>

using namespace talvora::word;

namespace {

constexpr int kMarkers = 100;

// long.doc with a field marker at the end of every few paragraphs.
const Document& markedDocument()
{
    static const Document doc = [] {
        QFile f(QStringLiteral(TALVORA_VIEW_DATA "/long.doc"));
        f.open(QIODevice::ReadOnly);
        Document d = readDoc(f.readAll());
        QTextDocument& text = d.text();
        const int step = std::max(1, text.blockCount() / kMarkers);
        int placed = 0;
        for (QTextBlock b = text.begin(); b.isValid() && placed < kMarkers; b = b.next()) {
            if (b.blockNumber() % step != step - 1 || QTextCursor(b).currentTable())
                continue;
            QTextCursor c(b);
            c.movePosition(QTextCursor::EndOfBlock);
            c.insertText(QStringLiteral(" <!fld_%1>").arg(placed % 32 + 1));
            ++placed;
        }
        return d;
    }();
    return doc;
}

void replaceMarkers(DocumentView& view, MarkerTextBox& box)
{
    WordSelection& sel = view.automation().selection();
    WordFind& find = sel.find();
    sel.setEnd(0);
    sel.setStart(0);
    int replaced = 0;
    for (;;) {
        find.setForward(true);
        find.setText(QStringLiteral("<!fld_"));
        if (!find.execute())
            break;
        sel.setEnd(sel.start() + 14);
        sel.copy();
        box.pasteTransfer();
        const QString text = box.takeText();
        const qsizetype gt = text.indexOf(u'>');
        sel.setEnd(sel.start() + int(gt < 0 ? text.size() + 1 : gt + 1));
        sel.typeText(QStringLiteral("Иванов Иван Иванович"));
        ++replaced;
    }
    if (replaced != kMarkers)
        qFatal("replaced %d markers of %d", replaced, kMarkers);
}

void BM_FindAndReplace100Markers(benchmark::State& state)
{
    DocumentView view;
    view.resize(1000, 800);
    if (state.range(0))
        view.show();
    MarkerTextBox box;
    for (auto _ : state) {
        state.PauseTiming();
        view.loadDocument(markedDocument().clone());
        view.activate();
        state.ResumeTiming();
        replaceMarkers(view, box);
        // A shown view then lays the edited document out once.
        QCoreApplication::processEvents();
    }
}
BENCHMARK(BM_FindAndReplace100Markers)->Arg(0)->Arg(1)->ArgName("shown")->Unit(benchmark::kMillisecond);

// The same edits on the bare model, no editor attached: the floor.
void BM_FindAndReplace100MarkersModelOnly(benchmark::State& state)
{
    for (auto _ : state) {
        state.PauseTiming();
        Document doc = markedDocument().clone();
        state.ResumeTiming();
        QTextCursor sel(&doc.text());
        int replaced = 0;
        for (;;) {
            const QTextCursor found = doc.text().find(QStringLiteral("<!fld_"), sel);
            if (found.isNull())
                break;
            sel.setPosition(found.selectionStart());
            sel.setPosition(std::min(found.selectionStart() + 14, lastPosition(doc.text())), QTextCursor::KeepAnchor);
            const QString text = QTextDocumentFragment(sel).toPlainText();
            const qsizetype gt = text.indexOf(u'>');
            sel.setPosition(found.selectionStart());
            sel.setPosition(found.selectionStart() + int(gt + 1), QTextCursor::KeepAnchor);
            insertFormattedText(sel, QStringLiteral("Иванов Иван Иванович"), formatAtSelectionStart(sel));
            ++replaced;
        }
        benchmark::DoNotOptimize(replaced);
    }
}
BENCHMARK(BM_FindAndReplace100MarkersModelOnly)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
