// Reading .doc files: the reference documents and hand-built ones with the
// piece layouts Word itself writes.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/sprm.h"
#include "word/text_formats.h"
#include "word/document_blob.h"
#include "word/compound_file.h"

#include "common/errors.h"

#include <QFont>
#include <QJsonArray>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;
using test::TestPiece;

namespace {

// The reference text as the tool prints it: no BOM, no trailing blanks.
QString referenceText(const QString& name)
{
    QString s = QString::fromUtf8(test::readData(name + QStringLiteral(".txt")));
    if (s.startsWith(QChar(0xFEFF)))
        s.remove(0, 1);
    s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return s;
}

QString withoutTrailingBlanks(const QString& s)
{
    QStringList lines = s.split(QChar(u'\n'));
    for (QString& l : lines)
        while (!l.isEmpty() && (l.back() == u' ' || l.back() == u'\t'))
            l.chop(1);
    while (!lines.isEmpty() && lines.back().isEmpty())
        lines.removeLast();
    return lines.join(QChar(u'\n'));
}

Document fixture(const QString& name)
{
    return readDoc(test::readData(name + QStringLiteral(".doc")));
}

QJsonObject runOf(const QJsonObject& dump, int paragraph, const QString& text)
{
    const QJsonArray runs = dump[QStringLiteral("paragraphs")].toArray()[paragraph].toObject()[QStringLiteral("runs")].toArray();
    for (const auto& r : runs)
        if (r.toObject()[QStringLiteral("text")].toString().contains(text))
            return r.toObject();
    return {};
}

QJsonObject paragraphOf(const QJsonObject& dump, int paragraph)
{
    return dump[QStringLiteral("paragraphs")].toArray()[paragraph].toObject();
}

QByteArray prl(uint16_t code, std::initializer_list<int> operand)
{
    QByteArray b;
    ByteWriter w(b);
    w.u16(code);
    for (int v : operand)
        w.u8(uint8_t(v));
    return b;
}

} // namespace

TEST(DocReader, TextOfEveryReferenceDocument)
{
    for (const char* name : {"plain_ru", "char_formats", "para_formats", "table", "nested_table", "lists",
                             "header_footer", "image", "template_discharge", "long", "notes_fields"}) {
        const QString n = QString::fromLatin1(name);
        EXPECT_EQ(withoutTrailingBlanks(plainText(fixture(n))), withoutTrailingBlanks(referenceText(n))) << name;
    }
}

TEST(DocReader, ListsWithNestingAndBullets)
{
    const Document d = fixture(QStringLiteral("lists"));
    const QJsonArray paragraphs = dumpDocument(d)[QStringLiteral("paragraphs")].toArray();
    QStringList items;
    for (const auto& v : paragraphs) {
        const QJsonObject p = v.toObject();
        const QJsonObject l = p[QStringLiteral("list")].toObject();
        items << (l.isEmpty() ? QStringLiteral("-") : QStringLiteral("%1/%2 %3 %4").arg(l[QStringLiteral("list")].toInt()).arg(l[QStringLiteral("level")].toInt()).arg(l[QStringLiteral("format")].toString(), l[QStringLiteral("label")].toString()));
    }
    const QStringList expected = {QStringLiteral("-"),
                                  QStringLiteral("1/0 decimal 1."),
                                  QStringLiteral("1/0 decimal 2."),
                                  QStringLiteral("1/1 bullet \u2022"),
                                  QStringLiteral("1/1 bullet \u2022"),
                                  QStringLiteral("1/0 decimal 3."),
                                  QStringLiteral("2/0 bullet \u2022"),
                                  QStringLiteral("2/0 bullet \u2022")};
    EXPECT_EQ(items.mid(0, expected.size()), expected);

    // In the model: one QTextList per level, the numbered one going on past
    // its nested items, with the number text as Qt's suffix.
    std::vector<QTextBlock> blocks;
    for (QTextBlock b = d.text().begin(); b.isValid(); b = b.next())
        blocks.push_back(b);
    ASSERT_GE(blocks.size(), 8u);
    EXPECT_EQ(blocks[0].textList(), nullptr);
    QTextList* numbered = blocks[1].textList();
    ASSERT_NE(numbered, nullptr);
    EXPECT_EQ(blocks[5].textList(), numbered);
    EXPECT_EQ(numbered->count(), 3);
    EXPECT_EQ(numbered->format().style(), QTextListFormat::ListDecimal);
    EXPECT_EQ(numbered->format().numberSuffix(), QStringLiteral("."));
    EXPECT_EQ(numbered->format().indent(), 1);
    ASSERT_NE(blocks[3].textList(), nullptr);
    EXPECT_EQ(blocks[3].textList(), blocks[4].textList());
    EXPECT_EQ(blocks[3].textList()->format().style(), QTextListFormat::ListDisc);
    EXPECT_EQ(blocks[3].textList()->format().indent(), 2);
    EXPECT_NE(blocks[6].textList(), blocks[3].textList());
    // The level's indent reaches the paragraph.
    EXPECT_GT(fromBlockFormat(blocks[3].blockFormat()).left, fromBlockFormat(blocks[1].blockFormat()).left);
}

TEST(DocReader, ListNumberingTexts)
{
    // Numbers of every kind, a number text showing two levels, restarts
    // under a new parent item, and a list made in the editor.
    QTextDocument doc;
    QTextCursor c(&doc);
    ListLevel top;
    top.numberFormat = NumberLowerLetter;
    top.start = 25;
    top.text = QString(QChar(char16_t(0))) + QStringLiteral(")");
    ListLevel sub;
    sub.numberFormat = NumberUpperRoman;
    sub.text = QString(QChar(char16_t(0))) + QStringLiteral(".") + QChar(char16_t(1));
    QTextList* a = c.createList(toListFormat(7, 0, top));
    c.insertText(QStringLiteral("y"));
    c.insertBlock();
    a->add(c.block());
    c.insertBlock();
    QTextList* b = c.createList(toListFormat(7, 1, sub));
    c.insertBlock();
    b->add(c.block());
    c.insertBlock();
    a->add(c.block());
    c.insertBlock();
    c.createList(toListFormat(7, 1, sub));
    c.insertBlock(QTextBlockFormat());
    QTextListFormat editor;
    editor.setStyle(QTextListFormat::ListUpperRoman);
    QTextList* e = c.createList(editor);
    c.insertBlock();
    e->add(c.block());

    ListNumbering n;
    QStringList labels;
    for (QTextBlock blk = doc.begin(); blk.isValid(); blk = blk.next())
        labels << n.label(blk);
    EXPECT_EQ(labels, (QStringList{QStringLiteral("y)"), QStringLiteral("z)"), QStringLiteral("z.I"), QStringLiteral("z.II"),
                                   QStringLiteral("aa)"), QStringLiteral("aa.I"), QStringLiteral("I."), QStringLiteral("II.")}));

    EXPECT_EQ(formatListNumber(1994, NumberUpperRoman), QStringLiteral("MCMXCIV"));
    EXPECT_EQ(formatListNumber(4, NumberLowerRoman), QStringLiteral("iv"));
    EXPECT_EQ(formatListNumber(53, NumberUpperLetter), QStringLiteral("AAA"));
    EXPECT_EQ(formatListNumber(7, NumberDecimalZero), QStringLiteral("07"));
    EXPECT_EQ(formatListNumber(5, NumberNone), QString());
    EXPECT_EQ(visibleBullet(QChar(0xF0B7)), QChar(0x2022));
}

TEST(DocReader, CharacterFormatting)
{
    const QJsonObject d = dumpDocument(fixture(QStringLiteral("char_formats")));
    EXPECT_TRUE(runOf(d, 0, QStringLiteral("жирный")).value(QStringLiteral("bold")).toBool());
    EXPECT_FALSE(runOf(d, 0, QStringLiteral("Обычный")).contains(QStringLiteral("bold")));
    EXPECT_TRUE(runOf(d, 0, QStringLiteral("курсив")).value(QStringLiteral("italic")).toBool());
    EXPECT_TRUE(runOf(d, 0, QStringLiteral("подчёркнутый")).value(QStringLiteral("underline")).toBool());
    EXPECT_TRUE(runOf(d, 0, QStringLiteral("зачёркнутый")).value(QStringLiteral("strike")).toBool());

    const QJsonObject arial = runOf(d, 1, QStringLiteral("Arial"));
    EXPECT_EQ(arial[QStringLiteral("font")].toString(), QStringLiteral("Arial"));
    EXPECT_EQ(arial[QStringLiteral("size")].toDouble(), 10.0);
    const QJsonObject courier = runOf(d, 1, QStringLiteral("Courier"));
    EXPECT_EQ(courier[QStringLiteral("font")].toString(), QStringLiteral("Courier New"));
    EXPECT_EQ(courier[QStringLiteral("size")].toDouble(), 14.0);
    const QJsonObject times = runOf(d, 1, QStringLiteral("Times"));
    EXPECT_EQ(times[QStringLiteral("font")].toString(), QStringLiteral("Times New Roman"));
    EXPECT_EQ(times[QStringLiteral("size")].toDouble(), 20.0);

    EXPECT_EQ(runOf(d, 2, QStringLiteral("красный"))[QStringLiteral("color")].toString(), QStringLiteral("#ff0000"));
    EXPECT_EQ(runOf(d, 2, QStringLiteral("синий"))[QStringLiteral("color")].toString(), QStringLiteral("#0000ff"));
    EXPECT_EQ(runOf(d, 2, QStringLiteral("зелёный"))[QStringLiteral("color")].toString(), QStringLiteral("#008000"));

    const QJsonArray h2o = paragraphOf(d, 3)[QStringLiteral("runs")].toArray();
    QStringList vertical;
    for (const auto& r : h2o)
        if (r.toObject().contains(QStringLiteral("vertical")))
            vertical << r.toObject()[QStringLiteral("text")].toString() + QLatin1Char(':')
                    + r.toObject()[QStringLiteral("vertical")].toString();
    EXPECT_EQ(vertical, QStringList({QStringLiteral("2:subscript"), QStringLiteral("2:superscript")}));
}

TEST(DocReader, ParagraphFormattingAndPage)
{
    const QJsonObject d = dumpDocument(fixture(QStringLiteral("para_formats")));
    EXPECT_EQ(paragraphOf(d, 0)[QStringLiteral("alignment")].toString(), QStringLiteral("left"));
    EXPECT_EQ(paragraphOf(d, 1)[QStringLiteral("alignment")].toString(), QStringLiteral("center"));
    EXPECT_EQ(paragraphOf(d, 2)[QStringLiteral("alignment")].toString(), QStringLiteral("right"));
    EXPECT_EQ(paragraphOf(d, 3)[QStringLiteral("alignment")].toString(), QStringLiteral("justify"));
    EXPECT_EQ(paragraphOf(d, 4)[QStringLiteral("indentLeft")].toInt(), 1134);      // 2 cm
    EXPECT_EQ(paragraphOf(d, 5)[QStringLiteral("indentRight")].toInt(), 1701);     // 3 cm
    EXPECT_EQ(paragraphOf(d, 6)[QStringLiteral("indentFirstLine")].toInt(), 709);  // 1.25 cm
    EXPECT_EQ(paragraphOf(d, 7)[QStringLiteral("spaceBefore")].toInt(), 240);      // 12 pt
    EXPECT_EQ(paragraphOf(d, 7)[QStringLiteral("spaceAfter")].toInt(), 120);       // 6 pt

    const Document hf = fixture(QStringLiteral("header_footer"));
    EXPECT_EQ(hf.page.pageWidth, 11906);
    EXPECT_EQ(hf.page.pageHeight, 16838);
    EXPECT_FALSE(hf.page.landscape);
    EXPECT_EQ(hf.page.marginLeft, 1701);
    EXPECT_EQ(hf.page.marginRight, 850);
    const QTextBlock heading = hf.text().begin();
    EXPECT_EQ(heading.blockFormat().headingLevel(), 1);
    EXPECT_EQ(heading.begin().fragment().charFormat().fontPointSize(), 16.0);
    EXPECT_EQ(heading.begin().fragment().charFormat().fontWeight(), QFont::Bold);
}

TEST(DocReader, MarkerSplitOverTwoRuns)
{
    const QJsonObject d = dumpDocument(fixture(QStringLiteral("template_discharge")));
    const QJsonArray paragraphs = d[QStringLiteral("paragraphs")].toArray();
    int found = 0;
    for (const auto& p : paragraphs) {
        const QJsonArray runs = p.toObject()[QStringLiteral("runs")].toArray();
        for (int i = 0; i + 1 < runs.size(); ++i) {
            const QJsonObject a = runs[i].toObject(), b = runs[i + 1].toObject();
            if (a[QStringLiteral("text")].toString().endsWith(QStringLiteral("<!fld_"))
                && b[QStringLiteral("text")].toString().startsWith(QStringLiteral("12>"))) {
                EXPECT_TRUE(a[QStringLiteral("italic")].toBool());
                EXPECT_TRUE(b[QStringLiteral("bold")].toBool());
                ++found;
            }
        }
    }
    EXPECT_EQ(found, 1);
}

TEST(DocReader, PiecesOfBothKindsInAnyStoredOrder)
{
    const QByteArray bold = prl(sprm::CFBold, {1});
    const QByteArray centred = prl(sprm::PJc80, {1});
    // The 8-bit bytes 0x93/0x94/0x96 stand for typographic quotes and a dash.
    const std::vector<TestPiece> stored = {
        {QString::fromUtf16(u"Latin 0123, punctuation: \u201Cquoted\u201D \u2013 "), true, bold, {}},
        {QStringLiteral("Кириллица «ёлка» №5"), false, {}, {}},
        {QStringLiteral(" tail.\r"), true, {}, centred},
        {QStringLiteral("Второй\x0B абзац\r"), false, {}, {}},
        {QStringLiteral("third\r"), true, {}, {}},
    };
    const Document doc = readDoc(test::buildDoc(stored));
    EXPECT_EQ(plainText(doc),
              QString::fromUtf16(u"Latin 0123, punctuation: \u201Cquoted\u201D \u2013 Кириллица «ёлка» №5 tail.\n"
                                 u"Второй\n абзац\nthird\n"));

    const QJsonObject d = dumpDocument(doc);
    EXPECT_TRUE(runOf(d, 0, QStringLiteral("Latin")).value(QStringLiteral("bold")).toBool());
    EXPECT_FALSE(runOf(d, 0, QStringLiteral("Кириллица")).contains(QStringLiteral("bold")));
    EXPECT_EQ(paragraphOf(d, 0)[QStringLiteral("alignment")].toString(), QStringLiteral("center"));
    EXPECT_EQ(paragraphOf(d, 1)[QStringLiteral("alignment")].toString(), QStringLiteral("left"));
}

TEST(DocReader, ModifierCarriedByThePiece)
{
    // Word marks a quick change of a whole piece with one modifier in the
    // piece table itself: here bold (0x55) and italic (0x56), both on.
    TestPiece boldPiece{QStringLiteral("жирный "), false, {}, {}, uint16_t((0x55 << 1) | (1 << 8))};
    TestPiece italicPiece{QStringLiteral("italic\r"), true, {}, {}, uint16_t((0x56 << 1) | (1 << 8))};
    const QJsonObject d = dumpDocument(readDoc(test::buildDoc({boldPiece, italicPiece})));
    EXPECT_TRUE(runOf(d, 0, QStringLiteral("жирный")).value(QStringLiteral("bold")).toBool());
    EXPECT_FALSE(runOf(d, 0, QStringLiteral("жирный")).contains(QStringLiteral("italic")));
    EXPECT_TRUE(runOf(d, 0, QStringLiteral("italic")).value(QStringLiteral("italic")).toBool());
}

TEST(DocReader, AnyLaterFibVersionAndSize)
{
    const std::vector<TestPiece> pieces = {{QStringLiteral("Текст\r"), false, {}, {}}};
    for (uint16_t nFib : {0x00C1, 0x00D9, 0x0101, 0x010C, 0x0112}) {
        test::BuildOptions o;
        o.nFib = nFib;
        o.fcLcbCount = nFib >= 0x0112 ? 0xB7 : 0x88;
        EXPECT_EQ(plainText(readDoc(test::buildDoc(pieces, o))), QStringLiteral("Текст\n")) << nFib;
    }
}

TEST(DocReader, SpecialCharactersAndFields)
{
    // A field shows its result, not its instruction; a page break starts a
    // page before the next text; optional and non-breaking hyphens and
    // non-breaking spaces survive; object marks leave no text.
    const QString text = QString::fromUtf16(u"Стр.\x13 PAGE \x14" u"7\x15 до\x0C" u"после\tтаб\x1F" u"пере\x1E"
                                            u"нос\u00A0пробел\x01\x08.\r");
    const Document doc = readDoc(test::buildDoc({{text, false, {}, {}}}));
    const QTextBlock first = doc.text().begin();
    EXPECT_EQ(first.text(), QStringLiteral("Стр.7 до"));
    const QTextBlock second = first.next();
    EXPECT_EQ(second.text(), QString::fromUtf16(u"после\tтаб\u00ADпере\u2011нос\u00A0пробел."));
    EXPECT_TRUE(second.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
    EXPECT_FALSE(first.blockFormat().pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore);
}

TEST(DocReader, SectionPageSetup)
{
    QByteArray sepx;
    ByteWriter w(sepx);
    w.u16(sprm::SBOrientation); w.u8(2);
    w.u16(sprm::SXaPage); w.u16(16838);
    w.u16(sprm::SYaPage); w.u16(11906);
    w.u16(sprm::SDxaLeft); w.u16(567);
    w.u16(sprm::SDyaTop); w.i16(-850); // an exact top margin is stored negative
    test::BuildOptions o;
    o.sepx = sepx;
    const Document doc = readDoc(test::buildDoc({{QStringLiteral("x\r"), false, {}, {}}}, o));
    EXPECT_TRUE(doc.page.landscape);
    EXPECT_EQ(doc.page.pageWidth, 16838);
    EXPECT_EQ(doc.page.pageHeight, 11906);
    EXPECT_EQ(doc.page.marginLeft, 567);
    EXPECT_EQ(doc.page.marginTop, 850);
    EXPECT_EQ(doc.page.marginRight, 1800); // not stored: the format's default
}

TEST(DocReader, EncryptedAndOldFormatsAreNamed)
{
    const QByteArray good = test::readData("plain_ru.doc");
    const QByteArray encrypted = test::editStream(good, QStringLiteral("WordDocument"), [](QByteArray& w) {
        put16(w, 0x0A, le16(w.constData() + 0x0A) | 0x0100);
    });
    try {
        readDoc(encrypted);
        FAIL() << "encrypted document was read";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("зашифрован"))) << e.message().toStdString();
    }
    // Word 2.0 files are not compound files at all.
    try {
        readDoc(QByteArray("\xDB\xA5\x2D\x00", 4) + QByteArray(600, '\0'));
        FAIL() << "Word 2.0 document was read";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Word для Windows 2.0"))) << e.message().toStdString();
    }
    // Versions between Word 95 and Word 97 are named by their number.
    const QByteArray between = test::editStream(good, QStringLiteral("WordDocument"), [](QByteArray& w) { put16(w, 2, 0x0070); });
    try {
        readDoc(between);
        FAIL() << "a document of an unknown version was read";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("112"))) << e.message().toStdString();
    }
    // An encrypted Word 2007 file is a compound file without a WordDocument stream.
    CompoundFileWriter ooxml;
    ooxml.addStream(QStringLiteral("EncryptionInfo"), QByteArray(200, '\1'));
    ooxml.addStream(QStringLiteral("EncryptedPackage"), QByteArray(5000, '\2'));
    EXPECT_THROW(readDoc(ooxml.finish()), Error);
}

TEST(DocReader, ReadsBlobAndRawFileAlike)
{
    const QByteArray raw = test::readData("plain_ru.doc");
    EXPECT_EQ(plainText(readDocument(raw)), plainText(documentFromBlob(wrapDocumentBlob(raw))));
    EXPECT_THROW(readDocument(QByteArray()), Error);
}
