// Spell-checking a 30-page discharge summary (264 paragraphs, about 60,000
// characters, 8,000 words, a few of them misspelt) in the document editor:
//   BM_OpenForEditing      — activating the view until the first screen is
//                            marked (laying the screen out included);
//   BM_TypeOneCharacter    — one character typed in the middle of the text:
//                            the block it changes is checked again at once;
//   BM_CheckWholeSummary   — every word of the summary looked up: the
//                            checker's cache empty (cold) or filled (warm);
//                            what scrolling through the whole text costs.
// Needs hunspell-ru and hunspell-en-us; the dictionaries' loading (once a
// run) is outside the figures.

#include "word/document.h"
#include "word/view/document_view.h"
#include "word/view/spell_checker.h"
#include "word/view/spell_highlighter.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>

#include <benchmark/benchmark.h>

using namespace talvora::word;

namespace {

const char* const kParagraphs[] = {
    "Пациент %1, %2 лет, поступил в неврологическое отделение в экстренном порядке с жалобами на слабость в "
    "правых конечностях, нарушение речи, головокружение, шаткость при ходьбе.",
    "Анамнез заболевания: ухудшение состояния отмечает с утра %3, когда после сна появилась слабость в правой руке "
    "и ноге, затруднение речи. Бригадой скорой помощи доставлен в приёмное отделение.",
    "Анамнез жизни: гипертоническая болезнь в течение 15 лет, максимальные цифры АД 200/110 мм рт. ст., "
    "адаптирован к 140/90 мм рт. ст. Сахарный диабет отрицает. Аллергологический анамнез не отягощён.",
    "Неврологический статус: сознание ясное, ориентирован в месте, времени и собственной личности. Менингеальных "
    "знаков нет. Зрачки D=S, фотореакции живые. Нистагма нет. Сглаженность правой носогубной складки.",
    "Язык по средней линии. Глотание и фонация не нарушены. Центральный правосторонний гемипарез со снижением "
    "силы до 4 баллов в руке и 3 баллов в ноге. Сухожильные рефлексы D>S, симптом Бабинского справа.",
    "Координаторные пробы выполняет с интенцией справа, в позе Ромберга неустойчив. Чувствительность: "
    "правосторонняя гемигипестезия. Функции тазовых органов контролирует.",
    "МРТ головного мозга: в бассейне левой средней мозговой артерии зона ишемии размером 25×18 мм, на "
    "ДВИ гиперинтенсивная. Лейкоареоз, расширение периваскулярных пространств.",
    "ЭКГ: ритм синусовый, ЧСС 78 в минуту, нормальное положение электрической оси сердца. Дуплексное "
    "сканирование брахиоцефальных артерий: стеноз левой внутренней сонной артерии до 45%.",
    "Общий анализ крови: эритроциты 4,5×10¹²/л, гемоглобин 138 г/л, лейкоциты 7,2×10⁹/л, тромбоциты "
    "240×10⁹/л, СОЭ 12 мм/ч. Биохимический анализ крови: глюкоза 5,4 ммоль/л, холестерин 6,1 ммоль/л.",
    "Проведено лечение: Sol. Mexidoli 5% — 4 мл в/в капельно, цитиколин 1000 мг в/в, клопидогрел 75 мг, "
    "аторвастатин 40 мг, периндоприл 5 мг, амлодипин 5 мг. На фоне лечения отмечается положительная динамика.",
    "Рекомендовано: наблюдение невролога и терапевта по месту жительства, контроль АД, липидного спектра, "
    "продолжить приём клопидогрела и аторвастатина длительно, занятия ЛФК, логопед.",
    "Пациэнт выписывается в удовлитворительном состоянии под наблюдение участкового врача. Листок "
    "нетрудоспособности продлён.",
};

// About 30 pages of 12-point text.
Document summary()
{
    Document doc;
    QTextCursor c(&doc.text());
    QTextCharFormat format;
    format.setFontFamilies({QStringLiteral("Times New Roman")});
    format.setFontPointSize(12);
    for (int i = 0; i < 22; ++i)
        for (const char* p : kParagraphs) {
            if (!doc.text().isEmpty())
                c.insertBlock();
            c.insertText(QString::fromUtf8(p)
                             .replace(QStringLiteral("%1"), QStringLiteral("Петров П. П."))
                             .replace(QStringLiteral("%2"), QString::number(40 + i % 40))
                             .replace(QStringLiteral("%3"), QStringLiteral("%1.03.2024").arg(1 + i % 28)),
                         format);
        }
    return doc;
}

std::shared_ptr<SpellChecker> checker()
{
    static const std::shared_ptr<SpellChecker> loaded =
        std::make_shared<SpellChecker>(SpellCheckerPlaces{{QStringLiteral("/usr/share/hunspell")}, QString()});
    return loaded;
}

void BM_OpenForEditing(benchmark::State& state)
{
    if (!checker()->available()) {
        state.SkipWithError("no dictionaries");
        return;
    }
    const Document doc = summary();
    DocumentView view;
    view.setSpellChecker(checker());
    view.resize(900, 1000);
    view.show();
    for (auto _ : state) {
        state.PauseTiming();
        view.loadDocument(doc.clone());
        checker()->clearCache();
        state.ResumeTiming();
        view.activate();
        view.spelling().checkVisibleNow();
    }
}
BENCHMARK(BM_OpenForEditing)->Unit(benchmark::kMillisecond);

void BM_TypeOneCharacter(benchmark::State& state)
{
    if (!checker()->available()) {
        state.SkipWithError("no dictionaries");
        return;
    }
    DocumentView view;
    view.setSpellChecker(checker());
    view.resize(900, 1000);
    view.show();
    view.loadDocument(summary());
    view.activate();
    QTextEdit* edit = view.textEdit();
    QTextCursor c(view.textDocument().findBlockByNumber(view.textDocument().blockCount() / 2));
    c.movePosition(QTextCursor::EndOfWord);
    edit->setTextCursor(c);
    edit->ensureCursorVisible();
    view.spelling().checkVisibleNow();
    int n = 0;
    for (auto _ : state) {
        // Typing and taking it back: the block is checked twice.
        QTextCursor at = edit->textCursor();
        at.insertText(QStringLiteral("о"));
        at.deletePreviousChar();
        ++n;
    }
    benchmark::DoNotOptimize(n);
}
BENCHMARK(BM_TypeOneCharacter)->Unit(benchmark::kMicrosecond);

void BM_CheckWholeSummary(benchmark::State& state)
{
    if (!checker()->available()) {
        state.SkipWithError("no dictionaries");
        return;
    }
    const bool warm = state.range(0) != 0;
    DocumentView view;
    view.setSpellChecker(checker());
    view.resize(900, 1000);
    view.show();
    view.loadDocument(summary());
    view.activate();
    QTextDocument& text = view.textDocument();
    for (auto _ : state) {
        state.PauseTiming();
        view.close(); // the blocks forget their checks
        view.activate();
        if (!warm)
            checker()->clearCache();
        state.ResumeTiming();
        view.spelling().checkBlocks(text.firstBlock(), text.lastBlock());
    }
    state.counters["paragraphs"] = text.blockCount();
}
BENCHMARK(BM_CheckWholeSummary)->Arg(0)->Arg(1)->ArgName("warm")->Unit(benchmark::kMillisecond);

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
