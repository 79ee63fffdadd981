// Documents of several sections: each with its page set-up, headers and
// footers, read from Word files and written back.

#include "test_support.h"
#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRandomGenerator>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

std::unique_ptr<QTextDocument> storyOf(const QString& text)
{
    auto story = Document().takeText();
    QTextCursor(story.get()).insertText(text);
    return story;
}

QString storyText(const std::unique_ptr<QTextDocument>& story)
{
    return story ? story->toPlainText() : QStringLiteral("<none>");
}

// The blocks of the main text, each with the section it starts (0 for none).
std::vector<std::pair<QString, int>> blocksOf(const Document& d)
{
    std::vector<std::pair<QString, int>> out;
    for (QTextBlock b = d.text().begin(); b.isValid(); b = b.next())
        out.emplace_back(b.text(), b.blockFormat().intProperty(SectionStartProperty));
    return out;
}

// A discharge summary on a portrait page, then a landscape page of results
// with a footer of its own.
Document twoSections()
{
    Document doc;
    doc.header = storyOf(QStringLiteral("Неврологическое отделение"));
    doc.footer = storyOf(QStringLiteral("Выписка, лист 1"));
    QTextCursor c(&doc.text());
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(centred);
    c.insertText(QStringLiteral("Выписной эпикриз"));
    c.insertBlock(QTextBlockFormat());
    c.insertText(QStringLiteral("Диагноз: мигрень без ауры."));
    QTextBlockFormat start;
    start.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    start.setProperty(SectionStartProperty, 1);
    c.insertBlock(start);
    c.insertText(QStringLiteral("Динамика анализов"));
    c.insertBlock(QTextBlockFormat());
    c.insertText(QStringLiteral("Показатели в норме."));

    Section later;
    later.page.pageWidth = doc.page.pageHeight;
    later.page.pageHeight = doc.page.pageWidth;
    later.page.landscape = true;
    later.page.marginLeft = 1134;
    later.footer = storyOf(QStringLiteral("Таблица анализов"));
    doc.laterSections.push_back(std::move(later));
    return doc;
}

} // namespace

TEST(Sections, TwoSectionsComeBackWithTheirPagesAndFooters)
{
    const Document original = twoSections();
    const Document d = readDoc(writeDoc(original));

    EXPECT_EQ(d.page, original.page);
    ASSERT_EQ(d.laterSections.size(), 1u);
    EXPECT_EQ(d.laterSections[0].page, original.laterSections[0].page);
    EXPECT_TRUE(d.laterSections[0].page.landscape);
    EXPECT_EQ(storyText(d.footer), QStringLiteral("Выписка, лист 1"));
    EXPECT_EQ(storyText(d.laterSections[0].footer), QStringLiteral("Таблица анализов"));
    // A section without a header of its own goes on with the one before.
    EXPECT_EQ(storyText(d.laterSections[0].header), QStringLiteral("Неврологическое отделение"));

    // The same paragraphs; the section mark ends the paragraph before the
    // break, which keeps its own format.
    const std::vector<std::pair<QString, int>> expected{{QStringLiteral("Выписной эпикриз"), 0},
                                                        {QStringLiteral("Диагноз: мигрень без ауры."), 0},
                                                        {QStringLiteral("Динамика анализов"), 1},
                                                        {QStringLiteral("Показатели в норме."), 0}};
    EXPECT_EQ(blocksOf(d), expected);
    EXPECT_EQ(d.text().begin().blockFormat().alignment(), Qt::AlignHCenter);
    const QTextBlock third = d.text().findBlockByNumber(2);
    EXPECT_EQ(third.blockFormat().pageBreakPolicy(), QTextFormat::PageBreak_AlwaysBefore);

    // The dump lists the later section beside the keys it always had.
    const QJsonObject dump = dumpDocument(d);
    EXPECT_TRUE(dump.contains(QStringLiteral("page")));
    const QJsonArray sections = dump[QStringLiteral("sections")].toArray();
    ASSERT_EQ(sections.size(), 1);
    EXPECT_EQ(sections[0][QStringLiteral("page")][QStringLiteral("orientation")].toString(), QStringLiteral("landscape"));
    EXPECT_EQ(sections[0][QStringLiteral("footer")][QStringLiteral("paragraphs")][0][QStringLiteral("text")].toString(),
              QStringLiteral("Таблица анализов"));

    // clone() copies the later sections too.
    const Document copy = d.clone();
    ASSERT_EQ(copy.laterSections.size(), 1u);
    EXPECT_NE(copy.laterSections[0].footer.get(), d.laterSections[0].footer.get());
    EXPECT_EQ(storyText(copy.laterSections[0].footer), QStringLiteral("Таблица анализов"));
}

TEST(Sections, StrayOrMissingSectionIndicesMakeOneSection)
{
    // Indices the document does not hold, and one repeated out of order, are ignored.
    for (int bad : {0, 2, -1}) {
        Document doc = twoSections();
        QTextBlock third = doc.text().findBlockByNumber(2);
        QTextBlockFormat f = third.blockFormat();
        f.setProperty(SectionStartProperty, bad);
        QTextCursor(third).setBlockFormat(f);
        const Document d = readDoc(writeDoc(doc));
        EXPECT_TRUE(d.laterSections.empty()) << bad;
        EXPECT_EQ(plainText(d), plainText(doc)) << bad;
    }
    // A section starting right after a table gets a section mark of its own.
    Document doc = twoSections();
    QTextCursor c(doc.text().findBlockByNumber(1));
    c.movePosition(QTextCursor::EndOfBlock);
    c.insertBlock(QTextBlockFormat());
    c.insertTable(1, 2);
    const Document d = readDoc(writeDoc(doc));
    ASSERT_EQ(d.laterSections.size(), 1u);
    EXPECT_TRUE(d.laterSections[0].page.landscape);
    EXPECT_TRUE(plainText(d).contains(QStringLiteral("Динамика анализов")));
}

TEST(Sections, LibreOfficeFileWithTwoPageStyles)
{
    const Document d = readDoc(test::readData(QStringLiteral("two_sections.doc")));
    EXPECT_FALSE(d.page.landscape);
    ASSERT_EQ(d.laterSections.size(), 1u);
    const Section& s = d.laterSections[0];
    EXPECT_TRUE(s.page.landscape);
    EXPECT_GT(s.page.pageWidth, s.page.pageHeight);
    EXPECT_EQ(storyText(d.footer), QStringLiteral("Нижний колонтитул первого раздела"));
    EXPECT_EQ(storyText(s.footer), QStringLiteral("Нижний колонтитул таблицы анализов"));

    int startsAt = -1;
    for (QTextBlock b = d.text().begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().intProperty(SectionStartProperty) == 1)
            startsAt = b.blockNumber();
    }
    ASSERT_GE(startsAt, 0);
    EXPECT_EQ(d.text().findBlockByNumber(startsAt).text(), QStringLiteral("Динамика анализов (альбомный лист)"));

    // LibreOffice's own text of the file, with our reading the same.
    QString expected = QString::fromUtf8(test::readData(QStringLiteral("two_sections.txt")));
    expected.remove(QChar(0xFEFF));
    expected.remove(QLatin1Char('\r'));
    EXPECT_EQ(plainText(d).trimmed(), expected.trimmed());

    // Written back, both sections keep their pages and footers.
    const Document again = readDoc(writeDoc(d));
    ASSERT_EQ(again.laterSections.size(), 1u);
    EXPECT_EQ(again.laterSections[0].page, s.page);
    EXPECT_EQ(storyText(again.laterSections[0].footer), storyText(s.footer));
    EXPECT_EQ(plainText(again), plainText(d));
}

TEST(Sections, LibreOfficeShowsBothFootersOfOurFile)
{
    const auto converted = test::libreOfficeConversions({{QStringLiteral("two"), writeDoc(twoSections())}},
                                                        QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    const QString fodt = converted->value(QStringLiteral("two"));
    EXPECT_TRUE(fodt.contains(QStringLiteral("Выписка, лист 1")));
    EXPECT_TRUE(fodt.contains(QStringLiteral("Таблица анализов")));
    EXPECT_TRUE(fodt.contains(QStringLiteral("Показатели в норме.")));
    EXPECT_TRUE(fodt.contains(QStringLiteral("landscape")));
}

TEST(Sections, DamagedSectionTablesKeepTheText)
{
    const QByteArray good = writeDoc(twoSections());
    const QByteArray word = CompoundFileReader(good).stream(QStringLiteral("WordDocument"));
    const ByteView fib(word);
    qint64 at = 32;
    at += 2 + 2 * qint64(fib.u16(at));
    at += 2 + 4 * qint64(fib.u16(at));
    at += 2;
    const uint32_t fcSed = fib.u32(at + 8 * 6), lcbSed = fib.u32(at + 8 * 6 + 4);
    const uint32_t fcHdd = fib.u32(at + 8 * 11), lcbHdd = fib.u32(at + 8 * 11 + 4);
    ASSERT_GT(lcbSed, 0u);
    ASSERT_GT(lcbHdd, 0u);
    const QString tableName = (fib.u16(10) & 0x0200) ? QStringLiteral("1Table") : QStringLiteral("0Table");
    const QString text = plainText(readDoc(good));
    QRandomGenerator rng(20261209);
    for (int round = 0; round < 300; ++round) {
        const QByteArray bad = test::editStream(good, tableName, [&](QByteArray& t) {
            for (int k = 1 + int(rng.bounded(4)); k > 0; --k) {
                const bool sed = rng.bounded(2);
                const qsizetype pos = sed ? fcSed + rng.bounded(lcbSed) : fcHdd + rng.bounded(lcbHdd);
                t[pos] = rng.bounded(2) ? char(0xFF) : char(rng.bounded(256));
            }
        });
        Document d;
        ASSERT_NO_THROW(d = readDoc(bad)) << round;
        EXPECT_EQ(plainText(d).remove(QChar(0x2028)), QString(text).remove(QChar(0x2028))) << round;
        EXPECT_LE(d.laterSections.size(), 1u) << round;
    }
}

TEST(Sections, ManySectionsEachWithItsFooter)
{
    Document doc;
    doc.footer = storyOf(QStringLiteral("Раздел 0"));
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Начало"));
    constexpr int kCount = 200;
    for (int k = 1; k <= kCount; ++k) {
        QTextBlockFormat start;
        start.setProperty(SectionStartProperty, k);
        c.insertBlock(start);
        c.insertText(QStringLiteral("Раздел %1").arg(k));
        Section s;
        s.page.landscape = k % 2;
        // Every third section goes on with the footer before.
        if (k % 3)
            s.footer = storyOf(QStringLiteral("Колонтитул %1").arg(k));
        doc.laterSections.push_back(std::move(s));
    }
    const Document d = readDoc(writeDoc(doc));
    ASSERT_EQ(d.laterSections.size(), size_t(kCount));
    EXPECT_EQ(plainText(d), plainText(doc));
    for (int k = 1; k <= kCount; ++k) {
        const Section& s = d.laterSections[size_t(k - 1)];
        EXPECT_EQ(s.page.landscape, bool(k % 2)) << k;
        const int own = k % 3 ? k : k - 1;
        EXPECT_EQ(storyText(s.footer), QStringLiteral("Колонтитул %1").arg(own)) << k;
        EXPECT_EQ(d.text().findBlockByNumber(k).blockFormat().intProperty(SectionStartProperty), k);
    }
}
