// Word 6.0/95 documents: built here as Word 6.0 and 95 store them, read into
// the model, written back as Word 97 and read again.

#include "test_support.h"
#include "word6_builder.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"

#include "common/errors.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextTable>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

std::vector<Word6Paragraph> russianLetter()
{
    return {
        {{{QStringLiteral("Выписной эпикриз"), {}}}, w6::align(1), 1},
        {{{QStringLiteral("Пациент: "), {}}, {QStringLiteral("Иванов Пётр"), w6::bold()},
          {QStringLiteral(", 1950 г.р., "), {}}, {QStringLiteral("палата №5"), w6::italic() + w6::underline()}},
         w6::leftIndent(720) + w6::firstLine(360)},
        {{{QStringLiteral("Диагноз: "), w6::font(1) + w6::size(28)}, {QStringLiteral("ишемический инсульт «ЛСМА»"), {}}},
         w6::align(3) + w6::rightIndent(567)},
        {{{QStringLiteral("Ёлка — ёж"), w6::bold() + w6::raised(6)}}, w6::align(2)},
        {{{QStringLiteral("Подпись"), {}}}, {}},
    };
}

QTextCharFormat formatAt(const Document& doc, const QString& word)
{
    const QTextCursor c = doc.text().find(word);
    EXPECT_FALSE(c.isNull()) << word.toStdString();
    QTextCursor at(c);
    at.setPosition(c.selectionStart() + 1);
    return at.charFormat();
}

} // namespace

TEST(Word6, RussianDocumentWithFormatting)
{
    for (bool pieceTable : {true, false}) {
        SCOPED_TRACE(pieceTable ? "fast-saved" : "saved whole");
        Word6Options o;
        o.pieceTable = pieceTable;
        const Document doc = readDoc(buildWord6Doc(russianLetter(), o));
        EXPECT_EQ(plainText(doc), QStringLiteral("Выписной эпикриз\nПациент: Иванов Пётр, 1950 г.р., палата №5\n"
                                                 "Диагноз: ишемический инсульт «ЛСМА»\nЁлка — ёж\nПодпись\n"));
        EXPECT_EQ(doc.text().findBlockByNumber(0).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignHCenter);
        EXPECT_EQ(doc.text().findBlockByNumber(0).blockFormat().headingLevel(), 1);
        EXPECT_TRUE(formatAt(doc, QStringLiteral("Выписной")).font().bold()); // from the heading style
        EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("Выписной")).fontPointSize(), 16);
        EXPECT_TRUE(formatAt(doc, QStringLiteral("Иванов")).font().bold());
        EXPECT_FALSE(formatAt(doc, QStringLiteral("Пациент")).font().bold());
        EXPECT_TRUE(formatAt(doc, QStringLiteral("палата")).font().italic());
        EXPECT_TRUE(formatAt(doc, QStringLiteral("палата")).font().underline());
        EXPECT_FALSE(formatAt(doc, QStringLiteral("Иванов")).font().italic());
        EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("Пациент")).fontPointSize(), 12);
        EXPECT_DOUBLE_EQ(formatAt(doc, QStringLiteral("Диагноз")).fontPointSize(), 14);
        EXPECT_EQ(formatAt(doc, QStringLiteral("Диагноз")).fontFamilies().toStringList(), QStringList{"Arial"});
        EXPECT_EQ(formatAt(doc, QStringLiteral("ишемический")).fontFamilies().toStringList(),
                  QStringList{"Times New Roman"});
        const QTextBlockFormat second = doc.text().findBlockByNumber(1).blockFormat();
        EXPECT_NEAR(second.leftMargin(), twipsToLength(720), 0.01);
        EXPECT_NEAR(second.textIndent(), twipsToLength(360), 0.01);
        const QTextBlockFormat third = doc.text().findBlockByNumber(2).blockFormat();
        EXPECT_EQ(third.alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
        EXPECT_NEAR(third.rightMargin(), twipsToLength(567), 0.01);
        EXPECT_EQ(doc.text().findBlockByNumber(3).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignRight);
        EXPECT_TRUE(formatAt(doc, QStringLiteral("Ёлка")).font().bold());
        EXPECT_EQ(formatAt(doc, QStringLiteral("Ёлка")).verticalAlignment(), QTextCharFormat::AlignSuperScript);
        EXPECT_FALSE(formatAt(doc, QStringLiteral("Подпись")).font().bold());
    }
}


TEST(Word6, CodePageFromTheFontOrTheLanguage)
{
    // An English document: Western text, and Russian in a font with the
    // Cyrillic character set.
    Word6Options english;
    english.lid = 0x0409;
    english.fonts = {{QStringLiteral("Times New Roman"), 0}, {QStringLiteral("Times New Roman Cyr"), 204},
                     {QStringLiteral("Symbol"), 2}};
    const std::vector<Word6Paragraph> mixed = {
        {{{QStringLiteral("Café déjà vu, "), {}, 1252}, {QStringLiteral("Москва"), w6::font(1)},
          {QStringLiteral(" 5 "), {}, 1252}, {QStringLiteral("m"), w6::font(2), 1252}, {QStringLiteral("g"), {}, 1252}},
         {}},
    };
    EXPECT_EQ(plainText(readDoc(buildWord6Doc(mixed, english))), QStringLiteral("Café déjà vu, Москва 5 µg\n"));

    // A Russian document whose fonts leave the character set to it.
    Word6Options russian;
    russian.fonts = {{QStringLiteral("Times New Roman"), 0}, {QStringLiteral("Arial"), 1}};
    const std::vector<Word6Paragraph> plain = {{{{QStringLiteral("Жалобы на головную боль"), {}}, {QStringLiteral(" и ёж"), w6::font(1)}}, {}}};
    EXPECT_EQ(plainText(readDoc(buildWord6Doc(plain, russian))), QStringLiteral("Жалобы на головную боль и ёж\n"));
}

TEST(Word6, WrittenBackAsWord97)
{
    const Document first = readDoc(buildWord6Doc(russianLetter()));
    const QByteArray written = writeDoc(first);
    const Document again = readDoc(written);
    EXPECT_EQ(plainText(again), plainText(first));
    // A Word 97 file now, with its own table stream.
    const CompoundFileReader cfb(written);
    EXPECT_TRUE(cfb.hasStream(QStringLiteral("1Table")));
    EXPECT_EQ(le16(cfb.stream(QStringLiteral("WordDocument")).constData() + 2), 0x00C1);
    EXPECT_TRUE(formatAt(again, QStringLiteral("Иванов")).font().bold());
    EXPECT_TRUE(formatAt(again, QStringLiteral("палата")).font().italic());
    EXPECT_DOUBLE_EQ(formatAt(again, QStringLiteral("Диагноз")).fontPointSize(), 14);
    EXPECT_EQ(formatAt(again, QStringLiteral("Диагноз")).fontFamilies().toStringList(), QStringList{"Arial"});
    EXPECT_EQ(again.text().findBlockByNumber(2).blockFormat().alignment() & Qt::AlignHorizontal_Mask, Qt::AlignJustify);
    EXPECT_NEAR(again.text().findBlockByNumber(1).blockFormat().leftMargin(), twipsToLength(720), 0.01);
}

TEST(Word6, PieceModifiersAndRunsOnUnlistedPages)
{
    // Piece one is bold by a single modifier, piece two italic by a group.
    Word6Options o;
    o.singlePieceModifier = uint16_t((85 << 1) | (1 << 8));
    o.pieceModifier = w6::italic();
    const std::vector<Word6Paragraph> two = {{{{QStringLiteral("Первая половина"), {}}}, {}},
                                             {{{QStringLiteral("вторая половина"), {}}}, {}}};
    const Document doc = readDoc(buildWord6Doc(two, o));
    EXPECT_TRUE(formatAt(doc, QStringLiteral("Первая")).font().bold());
    EXPECT_FALSE(formatAt(doc, QStringLiteral("Первая")).font().italic());
    EXPECT_TRUE(formatAt(doc, QStringLiteral("вторая")).font().italic());
    EXPECT_FALSE(formatAt(doc, QStringLiteral("вторая")).font().bold());

    // Many runs over several pages, the tables naming only the first page of each kind.
    std::vector<Word6Paragraph> many;
    for (int i = 0; i < 30; ++i)
        many.push_back({{{QStringLiteral("обычный %1 ").arg(i), {}}, {QStringLiteral("жирный%1").arg(i), w6::bold()}},
                        w6::leftIndent(int16_t(100 * i))});
    Word6Options firstOnly;
    firstOnly.listFirstPageOnly = true;
    for (const Word6Options& options : {Word6Options{}, firstOnly}) {
        const Document d = readDoc(buildWord6Doc(many, options));
        ASSERT_EQ(d.text().blockCount(), 30);
        for (int i : {0, 13, 29}) {
            EXPECT_TRUE(formatAt(d, QStringLiteral("жирный%1").arg(i)).font().bold()) << i;
            EXPECT_FALSE(formatAt(d, QStringLiteral("обычный %1 ").arg(i)).font().bold()) << i;
            EXPECT_NEAR(d.text().findBlockByNumber(i).blockFormat().leftMargin(), twipsToLength(100 * i), 0.01) << i;
        }
    }
}

TEST(Word6, TablesHeadersAndPage)
{
    const QByteArray row = w6::inTable() + w6::rowEnd() + w6::rowDefinition({0, 2000, 5000}, true);
    const std::vector<Word6Paragraph> paragraphs = {
        {{{QStringLiteral("Анализы"), {}}}, {}},
        {{{QStringLiteral("Показатель"), w6::bold()}}, w6::inTable(), 0, '\x07'},
        {{{QStringLiteral("Значение"), w6::bold()}}, w6::inTable(), 0, '\x07'},
        {{}, row, 0, '\x07'},
        {{{QStringLiteral("Гемоглобин"), {}}}, w6::inTable(), 0, '\x07'},
        {{{QStringLiteral("135 г/л"), {}}}, w6::inTable(), 0, '\x07'},
        {{}, row, 0, '\x07'},
        {{{QStringLiteral("После таблицы"), {}}}, {}},
    };
    Word6Options o;
    o.sepx = w6::landscape() + w6::pageWidth(16838) + w6::pageHeight(11906) + w6::sectionHeaders(0x02 | 0x08);
    o.noteSeparators = 0x01;
    o.headerStories = {QStringLiteral("---"), QStringLiteral("ГКБ №12, неврологическое отделение"),
                       QStringLiteral("Страница")};
    const Document doc = readDoc(buildWord6Doc(paragraphs, o));
    QTextCursor c(const_cast<QTextDocument*>(&doc.text()));
    c.movePosition(QTextCursor::NextBlock);
    const QTextTable* table = c.currentTable();
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(table->rows(), 2);
    EXPECT_EQ(table->columns(), 2);
    EXPECT_EQ(table->cellAt(1, 0).firstCursorPosition().block().text(), QStringLiteral("Гемоглобин"));
    EXPECT_EQ(table->cellAt(1, 1).firstCursorPosition().block().text(), QStringLiteral("135 г/л"));
    EXPECT_TRUE(formatAt(doc, QStringLiteral("Показатель")).font().bold());
    EXPECT_TRUE(plainText(doc).contains(QStringLiteral("После таблицы")));
    EXPECT_TRUE(doc.page.landscape);
    EXPECT_EQ(doc.page.pageWidth, 16838);
    ASSERT_TRUE(doc.header);
    ASSERT_TRUE(doc.footer);
    EXPECT_EQ(doc.header->toPlainText(), QStringLiteral("ГКБ №12, неврологическое отделение"));
    EXPECT_EQ(doc.footer->toPlainText(), QStringLiteral("Страница"));

    // And so once written as Word 97.
    const Document again = readDoc(writeDoc(doc));
    ASSERT_TRUE(again.header);
    EXPECT_EQ(again.header->toPlainText(), QStringLiteral("ГКБ №12, неврологическое отделение"));
    QTextCursor c2(const_cast<QTextDocument*>(&again.text()));
    c2.movePosition(QTextCursor::NextBlock);
    ASSERT_NE(c2.currentTable(), nullptr);
    EXPECT_EQ(c2.currentTable()->rows(), 2);
}

TEST(Word6, EncryptedAndOlderDocumentsAreNamed)
{
    auto messageOf = [](const QByteArray& bytes) {
        try {
            readDoc(bytes);
        } catch (const Error& e) {
            return e.message();
        }
        return QStringLiteral("(read)");
    };
    Word6Options encrypted;
    encrypted.encrypted = true;
    EXPECT_TRUE(messageOf(buildWord6Doc(russianLetter(), encrypted)).contains(QStringLiteral("зашифрован")));
    // Word for Windows 2.0 wrote plain files; an encrypted one says so first.
    QByteArray word2("\xDB\xA5\x2D\x00", 4);
    word2.append(QByteArray(600, '\0'));
    EXPECT_TRUE(messageOf(word2).contains(QStringLiteral("Word для Windows 2.0"))) << messageOf(word2).toStdString();
    put16(word2, 0x0A, 0x0100);
    EXPECT_TRUE(messageOf(word2).contains(QStringLiteral("зашифрован")));
    // A compound file claiming a version before Word 6.0.
    Word6Options older;
    older.nFib = 0x0060;
    EXPECT_TRUE(messageOf(buildWord6Doc(russianLetter(), older)).contains(QStringLiteral("Word для Windows 2.0")));
    // Word 6.0 (nFib 101) reads as Word 95 does.
    Word6Options word60;
    word60.nFib = 101;
    EXPECT_TRUE(messageOf(buildWord6Doc(russianLetter(), word60)).startsWith(QStringLiteral("(read)")));
}

TEST(Word6, DamagedFilesAreRefusedOrReadNeverCrash)
{
    const std::vector<Word6Paragraph> paragraphs = russianLetter();
    Word6Options withHeaders;
    withHeaders.sepx = w6::sectionHeaders(0x3F);
    withHeaders.headerStories = {QStringLiteral("a"), QStringLiteral("b")};
    const QByteArray good = buildWord6Doc(paragraphs, withHeaders);
    auto survives = [](const QByteArray& bytes) {
        try {
            const Document doc = readDoc(bytes);
            readDoc(writeDoc(doc));
        } catch (const Error&) {
        }
    };
    // The FIB cut short, the stream cut anywhere.
    const QByteArray stream = CompoundFileReader(good).stream(QStringLiteral("WordDocument"));
    for (qsizetype cut : {qsizetype(0x20), qsizetype(0x100), qsizetype(0x191), qsizetype(0x300), qsizetype(0x350),
                          stream.size() / 2, stream.size() - 7}) {
        const QByteArray damaged = editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { w.truncate(cut); });
        survives(damaged);
    }
    // Lying counts and offsets in the FIB: text length, tables past the end,
    // page counts that claim every page of the stream, header bits for stories
    // that are not there.
    const std::vector<std::pair<int, uint32_t>> lies = {
        {0x34, 0x7FFFFFFF}, {0x34, 0xFFFFFFFF}, {0x3C, 0x7FFFFFF0}, {0x18, 0xFFFFFF00}, {0x1C, 0},
        {0x58 + 8 * 33, 0xFFFFFFF0}, {0x58 + 8 * 33 + 4, 0x7FFFFFFF}, {0x58 + 8 * 12 + 4, 0xFFFF}, {0x58 + 8 * 1 + 4, 3},
        {0x58 + 8 * 15 + 4, 0x10000}, {0x58 + 8 * 11 + 4, 0x400}, {0x58 + 8 * 6 + 4, 0xFFFF0},
    };
    for (const auto& [at, value] : lies) {
        SCOPED_TRACE(at);
        survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put32(w, at, value); }));
    }
    for (int at : {0x18E, 0x190}) {
        survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put16(w, at, 0xFFFF); }));
    }
    // Every byte of the tables after the text flipped in turn, a few at a time.
    for (qsizetype at = 0x300; at < stream.size(); at += 3)
        survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { w[at] = char(~w[at]); }));
}

TEST(Word6, LibreOfficeReadsTheBuiltDocumentsAlike)
{
    // Our builder and our reader could share a mistake: LibreOffice, which
    // reads Word 6.0/95 files too, must read the same text from them.
    Word6Options whole;
    whole.pieceTable = false;
    std::vector<std::pair<QString, QByteArray>> docs = {{QStringLiteral("fast"), buildWord6Doc(russianLetter())},
                                                        {QStringLiteral("whole"), buildWord6Doc(russianLetter(), whole)}};
    const auto texts = libreOfficeConversions(docs, QStringLiteral("txt:Text (encoded):UTF8"));
    if (!texts)
        GTEST_SKIP() << "LibreOffice is not installed";
    for (const auto& [name, bytes] : docs) {
        QString got = texts->value(name);
        if (got.startsWith(QChar(0xFEFF)))
            got.remove(0, 1);
        got.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        EXPECT_EQ(got.trimmed(), plainText(readDoc(bytes)).trimmed()) << name.toStdString();
    }
}

