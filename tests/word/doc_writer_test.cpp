// Writing .doc files: round trips of the reference documents and of models
// built here, and what other programs need to open our files.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_blob.h"
#include "word/document_io.h"
#include "word/document_text.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QJsonDocument>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>


#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

const char* const kFixtures[] = {"plain_ru", "char_formats", "para_formats", "table", "nested_table", "lists",
                                 "header_footer", "image", "template_discharge", "long", "notes_fields"};

Document roundTrip(const Document& doc)
{
    return readDoc(writeDoc(doc));
}

} // namespace

TEST(DocWriter, ReferenceDocumentsSurviveARoundTrip)
{
    for (const char* name : kFixtures) {
        const Document original = readDoc(test::readData(QString::fromLatin1(name) + QStringLiteral(".doc")));
        const Document again = roundTrip(original);
        EXPECT_EQ(plainText(again), plainText(original)) << name;
        // Same paragraphs, runs, character and paragraph properties, page set-up.
        EXPECT_EQ(QJsonDocument(dumpDocument(again)).toJson(), QJsonDocument(dumpDocument(original)).toJson()) << name;
        EXPECT_EQ(again.page, original.page) << name;
    }
}

TEST(DocWriter, ListsMadeInTheEditorStayLists)
{
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("Назначения:"));
    c.insertBlock();
    QTextListFormat numbered;
    numbered.setStyle(QTextListFormat::ListDecimal);
    numbered.setNumberSuffix(QStringLiteral(")"));
    QTextList* top = c.createList(numbered);
    c.insertText(QStringLiteral("первое"));
    c.insertBlock();
    QTextListFormat letters;
    letters.setStyle(QTextListFormat::ListLowerAlpha);
    letters.setIndent(2);
    c.createList(letters);
    c.insertText(QStringLiteral("подпункт"));
    c.insertBlock();
    top->add(c.block());
    c.insertText(QStringLiteral("второе"));
    c.insertBlock(QTextBlockFormat());
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    c.createList(bullets);
    c.insertText(QStringLiteral("пункт"));

    const QString expected = QStringLiteral("Назначения:\n    1) первое\n        a. подпункт\n    2) второе\n    \u2022 пункт\n");
    ASSERT_EQ(plainText(doc), expected);
    const Document again = roundTrip(doc);
    EXPECT_EQ(plainText(again), expected);
    // Written as Word lists, so read back as lists (not as typed numbers).
    const QTextBlock second = again.text().findBlockByNumber(1);
    ASSERT_NE(second.textList(), nullptr);
    EXPECT_EQ(second.text(), QStringLiteral("первое"));
    EXPECT_EQ(second.textList(), again.text().findBlockByNumber(3).textList());
    EXPECT_EQ(second.textList()->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(again.text().findBlockByNumber(2).textList()->format().style(), QTextListFormat::ListLowerAlpha);
    EXPECT_NE(again.text().findBlockByNumber(4).textList(), second.textList());
}

TEST(DocWriter, OutputIsAWordCompoundFile)
{
    Document doc;
    doc.text().setPlainText(QStringLiteral("Текст"));
    const QByteArray file = writeDoc(doc);
    CompoundFileReader cfb(file);
    EXPECT_EQ(cfb.rootClsid(), wordDocumentClsid());
    for (const char* s : {"WordDocument", "1Table"})
        EXPECT_TRUE(cfb.hasStream(QString::fromLatin1(s))) << s;
    const QByteArray compObj = cfb.stream(QStringLiteral("\x01") + QStringLiteral("CompObj"));
    EXPECT_TRUE(compObj.contains("Word.Document.8"));
    EXPECT_TRUE(compObj.contains("MSWordDoc"));
    EXPECT_TRUE(cfb.hasStream(QStringLiteral("\x05") + QStringLiteral("SummaryInformation")));

    const QByteArray word = cfb.stream(QStringLiteral("WordDocument"));
    EXPECT_EQ(le16(word.constData()), 0xA5EC);
    EXPECT_EQ(le16(word.constData() + 2), 0x00C1);
    EXPECT_TRUE(le16(word.constData() + 0x0A) & 0x0200); // properties are in 1Table
    // The blob helpers put the same file behind the BDOC header.
    EXPECT_EQ(unwrapDocumentBlob(blobFromDocument(doc)), file);
}

TEST(DocWriter, KeepsEveryFormatOfTheModel)
{
    Document doc;
    doc.page.landscape = true;
    doc.page.pageWidth = 16838;
    doc.page.pageHeight = 11906;
    doc.page.marginLeft = 567;
    doc.page.marginTop = 1417;
    QTextCursor c(&doc.text());

    QTextBlockFormat heading;
    heading.setHeadingLevel(2);
    heading.setAlignment(Qt::AlignHCenter);
    c.setBlockFormat(heading);
    QTextCharFormat big;
    big.setFontFamilies({QStringLiteral("Arial")});
    big.setFontPointSize(18);
    big.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral("Заголовок"), big);

    QTextBlockFormat body;
    body.setAlignment(Qt::AlignJustify);
    body.setLeftMargin(28.35);
    body.setRightMargin(14.2);
    body.setTextIndent(-18);
    body.setTopMargin(6);
    body.setBottomMargin(3);
    body.setLineHeight(150, QTextBlockFormat::ProportionalHeight);
    body.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    c.insertBlock(body);
    QTextCharFormat odd;
    odd.setForeground(QColor(0x12, 0x34, 0x56)); // not one of the 16 named colours
    odd.setBackground(QColor(255, 255, 0));       // a highlight colour
    odd.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    odd.setFontStrikeOut(true);
    c.insertText(QStringLiteral("цвет"), odd);
    QTextCharFormat sup;
    sup.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    sup.setFontItalic(true);
    sup.setBackground(QColor(0xAB, 0xCD, 0xEF)); // shading, not a highlight
    c.insertText(QStringLiteral("2"), sup);

    QTextBlockFormat exact;
    exact.setLineHeight(14, QTextBlockFormat::FixedHeight);
    c.insertBlock(exact);
    c.insertText(QString::fromUtf16(u"строка\u2028вторая\tтаб\u00ADмяг\u2011кий"));

    const Document again = roundTrip(doc);
    EXPECT_EQ(again.page, doc.page);
    EXPECT_EQ(plainText(again), plainText(doc));

    QTextBlock b = again.text().begin();
    EXPECT_EQ(b.blockFormat().headingLevel(), 2);
    EXPECT_EQ(b.blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
    QTextCharFormat f = b.begin().fragment().charFormat();
    EXPECT_EQ(f.fontFamilies().toStringList(), QStringList{QStringLiteral("Arial")});
    EXPECT_EQ(f.fontPointSize(), 18.0);
    EXPECT_EQ(f.fontWeight(), QFont::Bold);

    b = b.next();
    const QTextBlockFormat bf = b.blockFormat();
    EXPECT_EQ(bf.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    EXPECT_NEAR(bf.leftMargin(), 28.35, 0.05);
    EXPECT_NEAR(bf.rightMargin(), 14.2, 0.05);
    EXPECT_NEAR(bf.textIndent(), -18, 0.05);
    EXPECT_NEAR(bf.topMargin(), 6, 0.05);
    EXPECT_NEAR(bf.bottomMargin(), 3, 0.05);
    EXPECT_EQ(bf.lineHeightType(), QTextBlockFormat::ProportionalHeight);
    EXPECT_NEAR(bf.lineHeight(), 150, 0.5);
    EXPECT_TRUE(bf.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    auto it = b.begin();
    f = it.fragment().charFormat();
    EXPECT_EQ(f.foreground().color(), QColor(0x12, 0x34, 0x56));
    EXPECT_EQ(f.background().color(), QColor(255, 255, 0));
    EXPECT_EQ(f.underlineStyle(), QTextCharFormat::WaveUnderline);
    EXPECT_TRUE(f.fontStrikeOut());
    ++it;
    f = it.fragment().charFormat();
    EXPECT_EQ(f.verticalAlignment(), QTextCharFormat::AlignSuperScript);
    EXPECT_TRUE(f.fontItalic());
    EXPECT_EQ(f.background().color(), QColor(0xAB, 0xCD, 0xEF));

    b = b.next();
    EXPECT_EQ(b.blockFormat().lineHeightType(), QTextBlockFormat::FixedHeight);
    EXPECT_NEAR(b.blockFormat().lineHeight(), 14, 0.05);
}

TEST(DocWriter, ManyParagraphsAndRunsSpanSeveralPages)
{
    // More runs and paragraphs than one formatted disk page holds.
    Document doc;
    QTextCursor c(&doc.text());
    for (int i = 0; i < 700; ++i) {
        if (i)
            c.insertBlock();
        QTextBlockFormat bf;
        bf.setLeftMargin(i % 50);
        c.setBlockFormat(bf);
        for (int k = 0; k < 3; ++k) {
            QTextCharFormat cf;
            cf.setFontPointSize(8 + (i + k) % 30);
            cf.setFontWeight(k == 1 ? QFont::Bold : QFont::Normal);
            c.insertText(QStringLiteral("абзац %1 часть %2 ").arg(i).arg(k), cf);
        }
    }
    const Document again = roundTrip(doc);
    EXPECT_EQ(again.text().blockCount(), 700);
    EXPECT_EQ(QJsonDocument(dumpDocument(again)).toJson(), QJsonDocument(dumpDocument(roundTrip(again))).toJson());
    const QTextBlock last = again.text().lastBlock();
    EXPECT_EQ(last.blockFormat().leftMargin(), 699 % 50);
    EXPECT_EQ(last.begin().fragment().charFormat().fontPointSize(), 8 + 699 % 30);
}

TEST(DocWriter, ControlCharactersInTheModelCannotBreakTheStructure)
{
    // Characters that mean paragraph, cell or field marks in a .doc must not be
    // written as text: they would split paragraphs or hide text when read back.
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QString::fromUtf16(u"a\x13" u"b\x14" u"c\x15" u"d\x07" u"e\x0C" u"f\x01" u"g"));
    const Document again = roundTrip(doc);
    EXPECT_EQ(again.text().blockCount(), 1);
    EXPECT_EQ(plainText(again), QStringLiteral("abcdefg\n"));
}

TEST(DocWriter, EmptyDocument)
{
    const Document again = roundTrip(Document());
    EXPECT_EQ(plainText(again), QStringLiteral("\n"));
    EXPECT_EQ(again.page, PageSetup());
}

TEST(DocWriter, LibreOfficeReadsTheSameText)
{
    std::vector<std::pair<QString, QByteArray>> ours;
    for (const char* name : kFixtures)
        ours.emplace_back(QString::fromLatin1(name),
                          writeDoc(readDoc(test::readData(QString::fromLatin1(name) + QStringLiteral(".doc")))));
    const auto texts = test::libreOfficeConversions(ours, QStringLiteral("txt:Text"));
    if (!texts)
        GTEST_SKIP() << "LibreOffice is not installed";
    for (const char* name : kFixtures) {
        const QString got = texts->value(QString::fromLatin1(name));
        ASSERT_FALSE(got.isEmpty()) << name;
        // A date field shows the day LibreOffice opens the file, not the day
        // it was written: such fields are known by their code.
        EXPECT_TRUE(test::sameTextBesideRecomputedFields(
            readDoc(test::readData(QString::fromLatin1(name) + QStringLiteral(".doc"))), got))
            << name;
    }
}

// How the test above compares, with LibreOffice's text made here: the day
// of the date field differs, anything else that differs is a fault.
TEST(DocWriter, RecomputedFieldsAreComparedByTheirCode)
{
    const Document doc = readDoc(test::readData(QStringLiteral("notes_fields.doc")));
    const QString ours = plainText(doc);
    ASSERT_TRUE(ours.contains(QStringLiteral("Дата осмотра: 12/9/26.")));
    auto libreOffice = [&](const QString& from, const QString& to) {
        QString s = ours;
        s.replace(from, to);
        return QChar(0xFEFF) + s.replace(QChar(u'\n'), QStringLiteral("\r\n"));
    };
    EXPECT_TRUE(test::sameTextBesideRecomputedFields(doc, libreOffice({}, {})));
    EXPECT_TRUE(test::sameTextBesideRecomputedFields(doc, libreOffice(QStringLiteral("12/9/26"), QStringLiteral("12/10/26"))));
    EXPECT_TRUE(test::sameTextBesideRecomputedFields(
        doc, libreOffice(QStringLiteral("12/9/26"), QStringLiteral("10 декабря 2026 г."))));
    // Text outside the field, a result spilling onto another line, text lost.
    EXPECT_FALSE(test::sameTextBesideRecomputedFields(doc, libreOffice(QStringLiteral("Дата осмотра"), QStringLiteral("Дата осмотр"))));
    EXPECT_FALSE(test::sameTextBesideRecomputedFields(doc, libreOffice(QStringLiteral("12/9/26."), QStringLiteral("12/9/26\n."))));
    EXPECT_FALSE(test::sameTextBesideRecomputedFields(doc, libreOffice(QStringLiteral("12/9/26."), QStringLiteral("12/9/26"))));
    EXPECT_FALSE(test::sameTextBesideRecomputedFields(doc, libreOffice(QStringLiteral("Диагноз"), QStringLiteral("Диагноз 12/9/26"))));
}

namespace {

// Headers and footers: read beside the main text, kept out of it, and
// written back as the section's own stories.

QString storyText(const std::unique_ptr<QTextDocument>& story)
{
    return story ? story->toPlainText() : QStringLiteral("<none>");
}

std::unique_ptr<QTextDocument> storyOf(const QString& text)
{
    auto story = Document().takeText();
    QTextCursor(story.get()).insertText(text);
    return story;
}

const QString kHeader = QStringLiteral("ГКБ № 1. Неврологическое отделение");

} // namespace

TEST(HeaderFooter, FixtureStoriesSitBesideTheBody)
{
    const Document d = readDoc(test::readData(QStringLiteral("header_footer.doc")));
    EXPECT_EQ(storyText(d.header), kHeader);
    EXPECT_TRUE(storyText(d.footer).startsWith(QStringLiteral("Страница ")));
    EXPECT_FALSE(d.firstHeader);
    EXPECT_FALSE(d.firstFooter);

    // The body stays the body: neither the text nor the paragraphs take them in.
    const QString text = plainText(d);
    EXPECT_FALSE(text.contains(QStringLiteral("Неврологическое")));
    EXPECT_FALSE(text.contains(QStringLiteral("Страница")));

    const QJsonObject dump = dumpDocument(d);
    const QJsonArray header = dump[QStringLiteral("header")][QStringLiteral("paragraphs")].toArray();
    ASSERT_EQ(header.size(), 1);
    EXPECT_EQ(header[0][QStringLiteral("text")].toString(), kHeader);
    EXPECT_FALSE(dump.contains(QStringLiteral("firstHeader")));

    // clone() copies them rather than sharing them.
    const Document copy = d.clone();
    ASSERT_TRUE(copy.header);
    EXPECT_NE(copy.header.get(), d.header.get());
    EXPECT_EQ(storyText(copy.header), kHeader);
}

TEST(HeaderFooter, RoundTripKeepsEveryStoryInItsPlace)
{
    const Document fixture = readDoc(test::readData(QStringLiteral("header_footer.doc")));
    const Document again = readDoc(writeDoc(fixture));
    EXPECT_EQ(storyText(again.header), storyText(fixture.header));
    EXPECT_EQ(storyText(again.footer), storyText(fixture.footer));
    EXPECT_EQ(plainText(again), plainText(fixture));

    // All four, with several paragraphs and a title page: each comes back
    // where it was, none swapped with another, and the body is unchanged.
    Document d;
    QTextCursor(&d.text()).insertText(QStringLiteral("Тело"));
    d.page.titlePage = true;
    d.header = storyOf(QStringLiteral("Верх\nвторая строка"));
    d.footer = storyOf(QStringLiteral("Низ"));
    d.firstHeader = storyOf(QStringLiteral("Верх первой"));
    d.firstFooter = storyOf(QStringLiteral("Низ первой"));
    const Document back = readDoc(writeDoc(d));
    EXPECT_TRUE(back.page.titlePage);
    EXPECT_EQ(storyText(back.header), QStringLiteral("Верх\nвторая строка"));
    EXPECT_EQ(storyText(back.footer), QStringLiteral("Низ"));
    EXPECT_EQ(storyText(back.firstHeader), QStringLiteral("Верх первой"));
    EXPECT_EQ(storyText(back.firstFooter), QStringLiteral("Низ первой"));
    EXPECT_EQ(plainText(back), QStringLiteral("Тело\n"));

    // Only a footer: the header stays absent, and an empty footer story
    // does not become a header.
    Document onlyFooter;
    QTextCursor(&onlyFooter.text()).insertText(QStringLiteral("Тело"));
    onlyFooter.footer = storyOf(QStringLiteral("Низ"));
    const Document back2 = readDoc(writeDoc(onlyFooter));
    EXPECT_FALSE(back2.header);
    EXPECT_EQ(storyText(back2.footer), QStringLiteral("Низ"));
    EXPECT_FALSE(back2.page.titlePage);
    EXPECT_FALSE(back2.firstHeader);

    // Without headers the file holds no header stories at all.
    Document plain;
    QTextCursor(&plain.text()).insertText(QStringLiteral("Тело"));
    const Document back3 = readDoc(writeDoc(plain));
    EXPECT_FALSE(back3.header);
    EXPECT_FALSE(back3.footer);
    EXPECT_EQ(plainText(back3), QStringLiteral("Тело\n"));
}
