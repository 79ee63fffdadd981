// Sections of every kind (continuous, new column, new page, even and odd
// page, with columns), every section's headers and footers (first-page and
// even-page ones too, and those a section takes over from the one before),
// and tables around section breaks: read, written back and read by
// LibreOffice as before.

#include "test_support.h"
#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/sections.h"

#include "common/errors.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

QString textOf(const QTextDocument* story)
{
    return story ? story->toPlainText() : QStringLiteral("<none>");
}

QString textOf(const std::unique_ptr<QTextDocument>& story)
{
    return textOf(story.get());
}

std::unique_ptr<QTextDocument> storyOf(const QString& text)
{
    auto story = Document().takeText();
    QTextCursor(story.get()).insertText(text);
    return story;
}

const PageSetup& pageOf(const Document& d, size_t section)
{
    return section == 0 ? d.page : d.laterSections[section - 1].page;
}

// Each section's six stories as text, in the order Word stores them.
std::vector<std::vector<QString>> storiesOf(const Document& d)
{
    std::vector<std::vector<QString>> out;
    for (size_t s = 0; s <= d.laterSections.size(); ++s) {
        std::vector<QString> texts;
        for (int kind = 0; kind < kHeaderKinds; ++kind)
            texts.push_back(textOf(sectionStory(d, s, HeaderKind(kind))));
        out.push_back(texts);
    }
    return out;
}

// The blocks of the main text that start a section: (section, breaks the page, text).
std::vector<std::tuple<int, bool, QString>> sectionStarts(const Document& d)
{
    std::vector<std::tuple<int, bool, QString>> out;
    for (QTextBlock b = d.text().begin(); b.isValid(); b = b.next()) {
        if (const int k = b.blockFormat().intProperty(SectionStartProperty))
            out.emplace_back(k, b.blockFormat().pageBreakPolicy() == QTextFormat::PageBreak_AlwaysBefore, b.text());
    }
    return out;
}

// The tables of the main text, outermost first, each as its cells' text row by row.
QStringList tablesOf(const QTextFrame* frame)
{
    QStringList out;
    for (QTextFrame* child : frame->childFrames()) {
        if (auto* table = qobject_cast<QTextTable*>(child)) {
            QStringList rows;
            for (int r = 0; r < table->rows(); ++r) {
                QStringList cells;
                for (int c = 0; c < table->columns(); ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    if (cell.row() != r || cell.column() != c)
                        continue;
                    // The cell's own paragraphs; a nested table is listed after its table.
                    QStringList paragraphs;
                    for (auto it = cell.begin(); !it.atEnd(); ++it)
                        if (it.currentBlock().isValid())
                            paragraphs << it.currentBlock().text();
                    cells << paragraphs.join(QLatin1Char('/'));
                }
                rows << cells.join(QLatin1Char('|'));
            }
            out << rows.join(QStringLiteral("; "));
        }
        out << tablesOf(child);
    }
    return out;
}

// The (fc, lcb) pair `index` of a written file's FIB, and its table stream.
struct StoredTables {
    QByteArray table;
    ByteView fibView;
    QByteArray word;

    explicit StoredTables(const QByteArray& file)
    {
        CompoundFileReader cfb(file);
        word = cfb.stream(QStringLiteral("WordDocument"));
        fibView = ByteView(word);
        table = cfb.stream((fibView.u16(10) & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table"));
    }
    std::pair<uint32_t, uint32_t> fcLcb(int index) const
    {
        qint64 at = 32;
        at += 2 + 2 * qint64(fibView.u16(at));
        at += 2 + 4 * qint64(fibView.u16(at));
        at += 2;
        return {fibView.u32(at + 8 * index), fibView.u32(at + 8 * index + 4)};
    }
    // The CPs of the header stories (PlcfHdd).
    std::vector<int32_t> headerStarts() const
    {
        const auto [fc, lcb] = fcLcb(11);
        std::vector<int32_t> cps;
        const ByteView t(table);
        for (uint32_t k = 0; k + 4 <= lcb; k += 4)
            cps.push_back(t.i32(fc + k));
        return cps;
    }
};

// What LibreOffice shows of a document's sections, from its flat ODF: the
// page styles in use (the default one and those paragraphs or tables start),
// each as the text of its headers and footers by kind, then the kinds of page
// a page style is kept to (even or odd pages only), the column counts and the
// number of text sections.
QStringList libreOfficeSections(const QString& fodt)
{
    QStringList used = QStringList{QStringLiteral("Standard")}
                       + test::capturesOf(fodt, QStringLiteral("style:master-page-name=\"([^\"]+)\""));
    used.removeDuplicates();
    QStringList out;
    static const QRegularExpression part(
        QStringLiteral("<style:(header|header-left|header-first|footer|footer-left|footer-first)[ >].*?</style:\\1>"),
        QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]+>"));
    for (const QString& name : used) {
        const qsizetype at = fodt.indexOf(QStringLiteral("<style:master-page style:name=\"%1\"").arg(name));
        if (at < 0) {
            out << name + QStringLiteral(": missing");
            continue;
        }
        const QString page = fodt.mid(at, fodt.indexOf(QStringLiteral("</style:master-page>"), at) - at);
        QStringList parts;
        for (auto it = part.globalMatch(page); it.hasNext();) {
            const auto m = it.next();
            parts << m.captured(1) + QLatin1Char('=') + QString(m.captured(0)).remove(tag).simplified();
        }
        out << parts.join(QStringLiteral(" | "));
    }
    for (const char* pattern : {"style:page-usage=\"[a-z]+\"", "fo:column-count=\"[0-9]+\""}) {
        QStringList found;
        for (auto it = QRegularExpression(QString::fromLatin1(pattern)).globalMatch(fodt); it.hasNext();)
            found << it.next().captured(0);
        found.sort();
        out << found.join(QLatin1Char(' '));
    }
    out << QStringLiteral("sections: %1").arg(fodt.count(QStringLiteral("<text:section ")));
    return out;
}

const QString kOdd = QStringLiteral("Колонтитул нечётной страницы");
const QString kEven = QStringLiteral("Колонтитул чётной страницы");
const QString kFirst = QStringLiteral("Колонтитул первой страницы");
const QString kFooter = QStringLiteral("Нижний колонтитул выписки");
const QString kFirstFooter = QStringLiteral("Нижний колонтитул первой страницы");

} // namespace

// A document LibreOffice wrote (data/sources/sections_kinds.fodt): a first
// page and even pages with headers of their own, a continuous section in two
// columns, a landscape section, one that starts on an even page and one on
// an odd page.
TEST(SectionKinds, ReadFromLibreOfficesDocument)
{
    const Document d = readDoc(test::readData(QStringLiteral("sections/sections_kinds.doc")));
    ASSERT_EQ(d.laterSections.size(), 5u);
    EXPECT_TRUE(d.oddAndEvenHeaders);
    EXPECT_TRUE(d.page.titlePage);

    const std::vector<SectionStart> kinds{SectionStart::Continuous, SectionStart::Continuous, SectionStart::NewPage,
                                          SectionStart::EvenPage, SectionStart::OddPage};
    for (size_t k = 0; k < kinds.size(); ++k)
        EXPECT_EQ(d.laterSections[k].page.start, kinds[k]) << k;
    EXPECT_EQ(d.laterSections[0].page.columns, 2);
    EXPECT_EQ(d.laterSections[0].page.columnSpacing, 566); // 1 cm
    EXPECT_EQ(d.laterSections[1].page.columns, 1);
    EXPECT_TRUE(d.laterSections[2].page.landscape);

    // Even, odd, first: the first section's own; the continuous sections
    // store none and go on with them.
    const std::vector<QString> first{kEven, kOdd, kFooter, kFooter, kFirst, kFirstFooter};
    const auto stories = storiesOf(d);
    EXPECT_EQ(stories[0], first);
    EXPECT_EQ(stories[1], first);
    EXPECT_EQ(stories[2], first);
    EXPECT_EQ(stories[3][OddHeader], QStringLiteral("Колонтитул таблицы анализов"));
    EXPECT_EQ(stories[3][EvenHeader], QStringLiteral("Колонтитул чётной страницы анализов"));
    EXPECT_EQ(stories[3][FirstHeader], QStringLiteral("<none>")); // no title page there
    EXPECT_EQ(stories[4][OddHeader], QStringLiteral("Колонтитул раздела с чётной страницы"));
    EXPECT_EQ(stories[5][OddHeader], QStringLiteral("Колонтитул раздела с нечётной страницы"));

    // Continuous sections go on on the same page; the others start one.
    const std::vector<std::tuple<int, bool, QString>> starts{
        {1, false, QStringLiteral("Рекомендации в две колонки: режим сна, отказ от кофеина.")},
        {2, false, QStringLiteral("После раздела в колонках текст идёт дальше на той же странице.")},
        {3, true, QStringLiteral("Динамика анализов (альбомный лист)")},
        {4, true, QStringLiteral("Раздел с чётной страницы")},
        {5, true, QStringLiteral("Раздел с нечётной страницы")},
    };
    EXPECT_EQ(sectionStarts(d), starts);

    // The dump says how each section starts.
    const QJsonArray sections = dumpDocument(d)[QStringLiteral("sections")].toArray();
    ASSERT_EQ(sections.size(), 5);
    EXPECT_EQ(sections[0][QStringLiteral("page")][QStringLiteral("start")].toString(), QStringLiteral("continuous"));
    EXPECT_EQ(sections[0][QStringLiteral("page")][QStringLiteral("columns")].toInt(), 2);
    EXPECT_EQ(sections[3][QStringLiteral("page")][QStringLiteral("start")].toString(), QStringLiteral("evenPage"));
    EXPECT_FALSE(sections[2][QStringLiteral("page")].toObject().contains(QStringLiteral("start")));
}

TEST(SectionKinds, WrittenAndReadAgainTheSame)
{
    const Document d = readDoc(test::readData(QStringLiteral("sections/sections_kinds.doc")));
    const QByteArray written = writeDoc(d);
    const Document again = readDoc(written);
    EXPECT_EQ(again.page, d.page);
    EXPECT_EQ(again.oddAndEvenHeaders, d.oddAndEvenHeaders);
    ASSERT_EQ(again.laterSections.size(), d.laterSections.size());
    for (size_t k = 0; k < d.laterSections.size(); ++k)
        EXPECT_EQ(again.laterSections[k].page, d.laterSections[k].page) << k;
    EXPECT_EQ(storiesOf(again), storiesOf(d));
    EXPECT_EQ(sectionStarts(again), sectionStarts(d));
    EXPECT_EQ(plainText(again), plainText(d));
    // Written a second time, the file is the same.
    EXPECT_EQ(writeDoc(again), written);
}

// A section with nothing of its own goes on with the one before; the file
// stores that as an empty story, and a story the same as the one before as
// well. An empty story of its own stops the one before.
TEST(SectionKinds, TakenOverStoriesAreStoredEmpty)
{
    Document doc;
    doc.header = storyOf(QStringLiteral("Шапка"));
    doc.footer = storyOf(QStringLiteral("Подвал"));
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Раздел 0"));
    for (int k = 1; k <= 3; ++k) {
        QTextBlockFormat start;
        start.setProperty(SectionStartProperty, k);
        c.insertBlock(start);
        c.insertText(QStringLiteral("Раздел %1").arg(k));
        doc.laterSections.emplace_back();
    }
    doc.laterSections[0].footer = storyOf(QStringLiteral("Подвал")); // a copy of the one before
    doc.laterSections[1].header = Document().takeText();             // no header from here on
    doc.laterSections[2].footer = storyOf(QStringLiteral("Подвал раздела 3"));

    const QByteArray written = writeDoc(doc);
    const std::vector<int32_t> cps = StoredTables(written).headerStarts();
    auto length = [&](size_t section, HeaderKind kind) {
        const size_t at = 6 + 6 * section + size_t(kind);
        return at + 1 < cps.size() ? cps[at + 1] - cps[at] : -1;
    };
    ASSERT_EQ(cps.size(), 6 + 6 * 4 + 2u);
    EXPECT_GT(length(0, OddHeader), 0);
    EXPECT_EQ(length(1, OddHeader), 0);
    EXPECT_EQ(length(1, OddFooter), 0);
    EXPECT_GT(length(2, OddHeader), 0);
    EXPECT_EQ(length(2, OddFooter), 0);
    EXPECT_EQ(length(3, OddHeader), 0);
    EXPECT_GT(length(3, OddFooter), 0);
    for (size_t s = 0; s < 4; ++s)
        for (HeaderKind kind : {EvenHeader, EvenFooter, FirstHeader, FirstFooter})
            EXPECT_EQ(length(s, kind), 0) << s << kind;

    const Document d = readDoc(written);
    ASSERT_EQ(d.laterSections.size(), 3u);
    EXPECT_EQ(textOf(d.laterSections[0].header), QStringLiteral("Шапка"));
    EXPECT_EQ(textOf(d.laterSections[0].footer), QStringLiteral("Подвал"));
    EXPECT_EQ(textOf(d.laterSections[1].header), QString());
    EXPECT_EQ(textOf(d.laterSections[2].header), QString());
    EXPECT_EQ(textOf(d.laterSections[2].footer), QStringLiteral("Подвал раздела 3"));
    // In force on a page: the model leaves out none.
    EXPECT_EQ(textOf(storyOnPage(doc, 1, true, false, false)), QStringLiteral("Шапка"));
    EXPECT_EQ(textOf(storyOnPage(doc, 3, true, false, false)), QString());
    EXPECT_EQ(textOf(storyOnPage(doc, 3, false, true, true)), QStringLiteral("Подвал раздела 3"));
}

// A section whose first paragraph was deleted is no longer written: the
// section after it keeps the header that was in force there.
TEST(SectionKinds, HeaderInForceSurvivesADeletedSectionStart)
{
    Document doc;
    doc.header = storyOf(QStringLiteral("A"));
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Раздел 0"));
    for (int k = 1; k <= 2; ++k) {
        QTextBlockFormat start;
        start.setProperty(SectionStartProperty, k);
        c.insertBlock(start);
        c.insertText(QStringLiteral("Раздел %1").arg(k));
        doc.laterSections.emplace_back();
    }
    doc.laterSections[0].header = storyOf(QStringLiteral("B"));
    // The first paragraph of section 1 loses its mark, as when it is deleted and typed again.
    QTextBlock second = doc.text().findBlockByNumber(1);
    QTextCursor(second).setBlockFormat(QTextBlockFormat());

    const Document d = readDoc(writeDoc(doc));
    ASSERT_EQ(d.laterSections.size(), 1u);
    EXPECT_EQ(textOf(d.header), QStringLiteral("A"));
    EXPECT_EQ(textOf(d.laterSections[0].header), QStringLiteral("B"));
}

// First-page and even-page stories of every section: kept where the page
// set-up shows them, written back in their places.
TEST(SectionKinds, FirstAndEvenPageStoriesOfEverySection)
{
    Document doc;
    doc.oddAndEvenHeaders = true;
    doc.page.titlePage = true;
    doc.header = storyOf(QStringLiteral("нечётная 0"));
    doc.evenHeader = storyOf(QStringLiteral("чётная 0"));
    doc.firstHeader = storyOf(QStringLiteral("первая 0"));
    doc.evenFooter = storyOf(QStringLiteral("подвал чётной 0"));
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Раздел 0"));
    for (int k = 1; k <= 2; ++k) {
        QTextBlockFormat start;
        start.setProperty(SectionStartProperty, k);
        start.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        c.insertBlock(start);
        c.insertText(QStringLiteral("Раздел %1").arg(k));
        doc.laterSections.emplace_back();
    }
    doc.laterSections[0].page.titlePage = true;
    doc.laterSections[0].firstHeader = storyOf(QStringLiteral("первая 1"));
    doc.laterSections[0].firstFooter = storyOf(QStringLiteral("подвал первой 1"));
    doc.laterSections[1].evenHeader = storyOf(QStringLiteral("чётная 2"));

    const Document d = readDoc(writeDoc(doc));
    EXPECT_TRUE(d.oddAndEvenHeaders);
    ASSERT_EQ(d.laterSections.size(), 2u);
    const auto stories = storiesOf(d);
    const std::vector<QString> s0{QStringLiteral("чётная 0"), QStringLiteral("нечётная 0"), QStringLiteral("подвал чётной 0"),
                                  QStringLiteral("<none>"), QStringLiteral("первая 0"), QStringLiteral("<none>")};
    const std::vector<QString> s1{QStringLiteral("чётная 0"), QStringLiteral("нечётная 0"), QStringLiteral("подвал чётной 0"),
                                  QStringLiteral("<none>"), QStringLiteral("первая 1"), QStringLiteral("подвал первой 1")};
    // The third section has no title page: its first-page stories are not shown and not kept.
    const std::vector<QString> s2{QStringLiteral("чётная 2"), QStringLiteral("нечётная 0"), QStringLiteral("подвал чётной 0"),
                                  QStringLiteral("<none>"), QStringLiteral("<none>"), QStringLiteral("<none>")};
    EXPECT_EQ(stories[0], s0);
    EXPECT_EQ(stories[1], s1);
    EXPECT_EQ(stories[2], s2);

    // Without "different odd and even" the even-page stories are not shown, nor kept.
    doc.oddAndEvenHeaders = false;
    const Document plain = readDoc(writeDoc(doc));
    EXPECT_FALSE(plain.oddAndEvenHeaders);
    EXPECT_EQ(plain.evenHeader, nullptr);
    EXPECT_EQ(plain.laterSections[1].evenHeader, nullptr);
    EXPECT_EQ(textOf(plain.laterSections[0].firstHeader), QStringLiteral("первая 1"));
}

// A continuous section keeps its page; a section that starts a page does
// not make its first paragraph break the page a second time, and one in
// columns keeps them.
TEST(SectionKinds, BreakKindsAndColumnsComeBack)
{
    const SectionStart kinds[] = {SectionStart::Continuous, SectionStart::NewColumn, SectionStart::NewPage,
                                  SectionStart::EvenPage, SectionStart::OddPage};
    Document doc;
    doc.page.start = SectionStart::OddPage; // the first section's own, kept as well
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Начало"));
    int k = 0;
    for (SectionStart kind : kinds) {
        QTextBlockFormat start;
        start.setProperty(SectionStartProperty, ++k);
        if (startsNewPage(kind))
            start.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
        c.insertBlock(start);
        c.insertText(QStringLiteral("Раздел %1").arg(k));
        Section s;
        s.page.start = kind;
        s.page.columns = k;
        s.page.columnSpacing = 300 + k;
        s.page.columnLine = k % 2;
        doc.laterSections.push_back(std::move(s));
    }
    const Document d = readDoc(writeDoc(doc));
    EXPECT_EQ(d.page.start, SectionStart::OddPage);
    ASSERT_EQ(d.laterSections.size(), 5u);
    for (size_t i = 0; i < 5; ++i) {
        const PageSetup& p = d.laterSections[i].page;
        EXPECT_EQ(p.start, kinds[i]) << i;
        EXPECT_EQ(p.columns, int(i) + 1) << i;
        if (p.columns > 1) {
            EXPECT_EQ(p.columnSpacing, 301 + int(i)) << i;
            EXPECT_EQ(p.columnLine, bool((i + 1) % 2)) << i;
        }
    }
    const auto starts = sectionStarts(d);
    ASSERT_EQ(starts.size(), 5u);
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(std::get<1>(starts[i]), startsNewPage(kinds[i])) << i;

    // A paragraph of a continuous section that breaks the page itself keeps its break.
    QTextBlock first = doc.text().findBlockByNumber(1);
    QTextBlockFormat own = first.blockFormat();
    own.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    QTextCursor(first).setBlockFormat(own);
    const Document again = readDoc(writeDoc(doc));
    EXPECT_EQ(again.laterSections[0].page.start, SectionStart::Continuous);
    EXPECT_TRUE(std::get<1>(sectionStarts(again)[0]));
}

// LibreOffice reads our file with the same page styles, headers of every
// kind, sections and columns as the file it wrote.
TEST(SectionKinds, LibreOfficeSeesTheSameSections)
{
    const QByteArray original = test::readData(QStringLiteral("sections/sections_kinds.doc"));
    const auto converted = test::libreOfficeConversions(
        {{QStringLiteral("theirs"), original}, {QStringLiteral("ours"), writeDoc(readDoc(original))}}, QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    const QStringList theirs = libreOfficeSections(converted->value(QStringLiteral("theirs")));
    const QStringList ours = libreOfficeSections(converted->value(QStringLiteral("ours")));
    EXPECT_EQ(ours, theirs) << "ours:\n" << ours.join(QLatin1Char('\n')).toStdString();
    // What the comparison stands on.
    const QString all = theirs.join(QLatin1Char('\n'));
    EXPECT_TRUE(all.contains(QStringLiteral("header-first=") + kFirst)) << all.toStdString();
    EXPECT_TRUE(all.contains(QStringLiteral("header-left=") + kEven));
    EXPECT_TRUE(all.contains(QStringLiteral("style:page-usage=\"left\" style:page-usage=\"right\"")));
    EXPECT_TRUE(all.contains(QStringLiteral("fo:column-count=\"2\"")));
    EXPECT_TRUE(all.contains(QStringLiteral("sections: 2")));
}

// Tables LibreOffice wrote around section breaks (data/sources/lost_tables.fodt):
// a table right after another, rows of different cell counts, a nested table
// last in its cell, a table that starts a continuous section and one that
// starts a landscape page, a table last in the document, a table in the header.
TEST(SectionTables, ReadFromLibreOfficesDocument)
{
    const Document d = readDoc(test::readData(QStringLiteral("sections/lost_tables.doc")));
    const QStringList expected{
        // Two tables with nothing between them are one table to Word.
        QStringLiteral("А1|Б1; В1|Г1|Д1"),
        QStringLiteral("Е1|Ж1|З1; Е2|З2; Е3"),
        QStringLiteral("И1/|М1"),
        QStringLiteral("К1|Л1"),
        QStringLiteral("Н1|О1"),
        QStringLiteral("П1|Р1"),
        QStringLiteral("С1|Т1"),
    };
    EXPECT_EQ(tablesOf(d.text().rootFrame()), expected);
    ASSERT_EQ(d.laterSections.size(), 3u);
    EXPECT_EQ(d.laterSections[0].page.start, SectionStart::Continuous);
    EXPECT_EQ(d.laterSections[1].page.start, SectionStart::Continuous);
    EXPECT_TRUE(d.laterSections[2].page.landscape);
    // The sections start in the tables' first cells (and one on the empty
    // paragraph of a section with nothing else).
    const std::vector<std::tuple<int, bool, QString>> starts{
        {1, false, QStringLiteral("Н1")}, {2, false, QString()}, {3, true, QStringLiteral("П1")}};
    EXPECT_EQ(sectionStarts(d), starts);
    // The landscape section's table starts the page; the continuous one's does not.
    for (QTextFrame* frame : d.text().rootFrame()->childFrames()) {
        const auto* table = qobject_cast<QTextTable*>(frame);
        const QString first = table ? table->cellAt(0, 0).firstCursorPosition().block().text() : QString();
        if (first == QStringLiteral("П1") || first == QStringLiteral("Н1")) {
            EXPECT_EQ(table->format().pageBreakPolicy() == QTextFormat::PageBreak_AlwaysBefore, first == QStringLiteral("П1"));
        }
    }
    ASSERT_NE(d.header, nullptr);
    EXPECT_EQ(tablesOf(d.header->rootFrame()), QStringList{QStringLiteral("ГКБ №12|Неврологическое отделение")});

    const Document again = readDoc(writeDoc(d));
    EXPECT_EQ(tablesOf(again.text().rootFrame()), expected);
    EXPECT_EQ(sectionStarts(again), starts);
    ASSERT_EQ(again.laterSections.size(), 3u);
    EXPECT_TRUE(again.laterSections[2].page.landscape);
    EXPECT_EQ(tablesOf(again.header->rootFrame()), tablesOf(d.header->rootFrame()));
    EXPECT_EQ(plainText(again), plainText(d));
}

// Tables built in the model next to section breaks and at the ends of
// stories come back whole.
TEST(SectionTables, TablesAtSectionBreaksAndStoryEnds)
{
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Перед таблицей"));
    QTextTable* first = c.insertTable(1, 2);
    first->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("а"));
    first->cellAt(0, 1).firstCursorPosition().insertText(QStringLiteral("б"));
    // The block between the tables, then a table whose first cell starts section 1.
    c.setPosition(first->lastPosition() + 1);
    QTextTable* second = c.insertTable(2, 1);
    QTextCursor cell = second->cellAt(0, 0).firstCursorPosition();
    QTextBlockFormat start;
    start.setProperty(SectionStartProperty, 1);
    cell.setBlockFormat(start);
    cell.insertText(QStringLiteral("в"));
    second->cellAt(1, 0).firstCursorPosition().insertText(QStringLiteral("г"));
    doc.laterSections.emplace_back();
    doc.laterSections[0].page.start = SectionStart::Continuous;
    // The header of the later section: a table and nothing else.
    doc.laterSections[0].header = Document().takeText();
    QTextCursor h(doc.laterSections[0].header.get());
    QTextTable* inHeader = h.insertTable(1, 2);
    inHeader->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("ГКБ"));
    inHeader->cellAt(0, 1).firstCursorPosition().insertText(QStringLiteral("отделение"));

    const Document d = readDoc(writeDoc(doc));
    const QStringList tables{QStringLiteral("а|б"), QStringLiteral("в; г")};
    EXPECT_EQ(tablesOf(d.text().rootFrame()), tables);
    ASSERT_EQ(d.laterSections.size(), 1u);
    EXPECT_EQ(d.laterSections[0].page.start, SectionStart::Continuous);
    const std::vector<std::tuple<int, bool, QString>> starts{{1, false, QStringLiteral("в")}};
    EXPECT_EQ(sectionStarts(d), starts);
    ASSERT_NE(d.laterSections[0].header, nullptr);
    EXPECT_EQ(tablesOf(d.laterSections[0].header->rootFrame()), QStringList{QStringLiteral("ГКБ|отделение")});
    EXPECT_EQ(d.header, nullptr);
    EXPECT_EQ(plainText(d), plainText(doc));
}

// LibreOffice reads as many tables from our file as from its own.
TEST(SectionTables, LibreOfficeSeesEveryTable)
{
    const QByteArray original = test::readData(QStringLiteral("sections/lost_tables.doc"));
    const auto converted = test::libreOfficeConversions(
        {{QStringLiteral("theirs"), original}, {QStringLiteral("ours"), writeDoc(readDoc(original))}}, QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    const QString theirs = converted->value(QStringLiteral("theirs"));
    const QString ours = converted->value(QStringLiteral("ours"));
    ASSERT_FALSE(ours.isEmpty());
    // The body's tables here; those of the headers in use are in their text below.
    auto body = [](const QString& fodt) { return fodt.mid(fodt.indexOf(QStringLiteral("<office:body>"))); };
    for (const QString& what : {QStringLiteral("<table:table "), QStringLiteral("<table:table-row"),
                                QStringLiteral("<table:table-cell"), QStringLiteral("<text:section ")})
        EXPECT_EQ(body(ours).count(what), body(theirs).count(what)) << what.toStdString();
    EXPECT_EQ(body(theirs).count(QStringLiteral("<table:table ")), 7);
    EXPECT_EQ(libreOfficeSections(ours), libreOfficeSections(theirs));
    for (const char* cell : {"А1", "Д1", "Е3", "К1", "Н1", "П1", "Т1", "ГКБ №12"})
        EXPECT_TRUE(ours.contains(QString::fromUtf8(cell))) << cell;
}

// Damage to the section properties and the header table: a model or an
// error, never a crash; what is read stays in range.
TEST(SectionKinds, DamagedSectionPropertiesStayInRange)
{
    const QByteArray good = test::readData(QStringLiteral("sections/sections_kinds.doc"));
    const StoredTables stored(good);
    const auto [fcSed, lcbSed] = stored.fcLcb(6);
    const auto [fcHdd, lcbHdd] = stored.fcLcb(11);
    ASSERT_GT(lcbSed, 0u);
    ASSERT_GT(lcbHdd, 0u);
    // Where the section properties lie in the WordDocument stream.
    std::vector<std::pair<uint32_t, uint32_t>> sepx;
    const ByteView t(stored.table);
    const uint32_t n = (lcbSed - 4) / 16;
    for (uint32_t k = 0; k < n; ++k) {
        const uint32_t fc = t.u32(fcSed + (n + 1) * 4 + k * 12 + 2);
        sepx.emplace_back(fc, 2 + stored.fibView.u16(fc));
    }
    const QString tableName = (stored.fibView.u16(10) & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table");
    QRandomGenerator rng(20261210);
    for (int round = 0; round < 300; ++round) {
        const bool inWord = rng.bounded(2);
        const QByteArray bad = test::editStream(good, inWord ? QStringLiteral("WordDocument") : tableName, [&](QByteArray& s) {
            for (int k = 1 + int(rng.bounded(6)); k > 0; --k) {
                qsizetype at = 0;
                if (inWord) {
                    const auto& [fc, size] = sepx[rng.bounded(quint32(sepx.size()))];
                    at = fc + rng.bounded(size);
                } else {
                    at = rng.bounded(2) ? fcHdd + rng.bounded(lcbHdd) : fcSed + rng.bounded(lcbSed);
                }
                s[at] = rng.bounded(3) == 0 ? char(0xFF) : char(rng.bounded(256));
            }
            if (rng.bounded(8) == 0 && !inWord)
                s.truncate(fcHdd + rng.bounded(lcbHdd)); // the header table cut short
        });
        Document d;
        try {
            d = readDoc(bad);
        } catch (const Error&) {
            continue;
        }
        for (size_t s = 0; s <= d.laterSections.size(); ++s) {
            const PageSetup& p = pageOf(d, s);
            EXPECT_LE(int(p.start), 4) << round;
            EXPECT_GE(p.columns, 1) << round;
            EXPECT_LE(p.columns, 45) << round;
        }
        // What we read, we write and read again.
        EXPECT_NO_THROW(readDoc(writeDoc(d))) << round;
    }
}
