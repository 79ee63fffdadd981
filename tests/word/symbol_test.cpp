// Characters inserted as symbols (a font and a code, the text holding "("):
// read as the characters they stand for, searchable, and written back as the
// same symbols.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_reader_file.h"
#include "word/doc_reader_lists.h"
#include "word/doc_reader_props.h"
#include "word/doc_reader_styles.h"
#include "word/doc_reader_text.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/sprm.h"
#include "word/symbol_fonts.h"
#include "word/text_formats.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTextCursor>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;
using test::TestPiece;

namespace {

const QStringList kFonts = {QStringLiteral("Times New Roman"), QStringLiteral("Symbol"), QStringLiteral("Wingdings"),
                            QStringLiteral("Webdings"), QStringLiteral("Arial")};
constexpr uint16_t kSymbol = 1, kWingdings = 2, kWebdings = 3, kArial = 4;

// A piece holding one symbol as Word stores it: "(" marked special, with the
// font and the code.
TestPiece symbolPiece(uint16_t font, uint16_t code)
{
    QByteArray chpx;
    ByteWriter w(chpx);
    w.u16(sprm::CFSpec);
    w.u8(1);
    w.u16(sprm::CSymbol);
    w.u16(font);
    w.u16(code);
    return TestPiece{QStringLiteral("("), false, chpx, {}};
}

TestPiece text(const QString& s, bool compressed = false)
{
    return TestPiece{s, compressed, {}, {}};
}

QByteArray docWithSymbols()
{
    const std::vector<TestPiece> pieces = {
        text(QStringLiteral("Доза 111 ")),
        symbolPiece(kSymbol, 0xF06D),
        text(QStringLiteral("g/mL, t 160 "), true),
        symbolPiece(kSymbol, 0xB0), // stored without the 0xF000 some writers add
        text(QStringLiteral("C; ")),
        symbolPiece(kSymbol, 0xF061),
        symbolPiece(kSymbol, 0xF0D2),
        symbolPiece(kSymbol, 0xF0AE),
        symbolPiece(kSymbol, 0xF0D6),
        text(QStringLiteral(" (скобки) ")),
        symbolPiece(kWingdings, 0xF0FC),
        symbolPiece(kWingdings, 0xF0FB),
        symbolPiece(kWingdings, 0xF028),
        symbolPiece(kWingdings, 0xF02A),
        symbolPiece(kWingdings, 0xF0B0), // no Unicode character
        symbolPiece(kWebdings, 0xF021),  // a font without a mapping
        symbolPiece(kArial, 0x2116),     // an ordinary font names the character itself
        text(QStringLiteral("\r")),
    };
    test::BuildOptions o;
    o.fonts = kFonts;
    return test::buildDoc(pieces, o);
}

const QString kExpectedText = QStringLiteral(u"Доза 111 µg/mL, t 160 °C; α®→√ (скобки) ✓✗☎✉\uF0B0\uF021№");

QJsonArray runsOf(const Document& doc)
{
    return dumpDocument(doc)[QStringLiteral("paragraphs")].toArray()[0].toObject()[QStringLiteral("runs")].toArray();
}

QJsonObject runWith(const QJsonArray& runs, const QString& text)
{
    for (const auto& r : runs)
        if (r.toObject()[QStringLiteral("text")].toString() == text)
            return r.toObject();
    return {};
}

// What the stored file says of each symbol: its stored character, its font's
// name and its code, in text order; read below the model.
struct StoredSymbol {
    QChar stored;
    QString font;
    uint16_t code;
    bool operator==(const StoredSymbol&) const = default;
};

std::vector<StoredSymbol> storedSymbols(const QByteArray& file)
{
    const WordFile word(file);
    const TextPieces pieces(word);
    StyleSheet styles(word);
    const ListTable lists(word);
    TextProperties props(word, pieces, styles, lists);
    std::vector<StoredSymbol> out;
    for (const Segment& seg : props.segments()) {
        const CharProps c = props.charProps(ParaProps{}, seg);
        if (!c.symbol)
            continue;
        for (int32_t cp = seg.cpStart; cp < seg.cpEnd; ++cp)
            out.push_back({pieces.text()[cp], styles.fonts().value(c.symbol->font), c.symbol->code});
    }
    return out;
}

} // namespace

TEST(Symbols, ReadAsTheCharactersTheyStandFor)
{
    const Document doc = readDoc(docWithSymbols());
    EXPECT_EQ(plainText(doc), kExpectedText + QStringLiteral("\n"));

    const QJsonArray runs = runsOf(doc);
    const QJsonObject micro = runWith(runs, QStringLiteral("µ"));
    EXPECT_EQ(micro[QStringLiteral("symbol")].toObject()[QStringLiteral("font")].toString(), QStringLiteral("Symbol"));
    EXPECT_EQ(micro[QStringLiteral("symbol")].toObject()[QStringLiteral("code")].toString(), QStringLiteral("F06D"));
    // A character Unicode has is shown in the text's font, not in a font of codes.
    EXPECT_NE(micro[QStringLiteral("font")].toString(), QStringLiteral("Symbol"));
    // One Unicode lacks stays the font's own code, shown in that font.
    EXPECT_EQ(runWith(runs, QString(QChar(0xF0B0)))[QStringLiteral("font")].toString(), QStringLiteral("Wingdings"));
    EXPECT_EQ(runWith(runs, QString(QChar(0xF021)))[QStringLiteral("font")].toString(), QStringLiteral("Webdings"));
    // A "(" that is no symbol stays a parenthesis.
    EXPECT_FALSE(runWith(runs, QStringLiteral(" (скобки) ")).contains(QStringLiteral("symbol")));
}

TEST(Symbols, FoundByTheTextTheyShow)
{
    const Document doc = readDoc(docWithSymbols());
    for (const QString& wanted : {QStringLiteral("111 µg/mL"), QStringLiteral("160 °C"), QStringLiteral("α®→√")})
        EXPECT_FALSE(doc.text().find(wanted).isNull()) << wanted.toStdString();
}

TEST(Symbols, WrittenBackWithTheirFontAndCode)
{
    const QByteArray original = docWithSymbols();
    const QByteArray written = writeDoc(readDoc(original));
    // The file holds the symbols as Word does: "(" with the same font and code.
    const std::vector<StoredSymbol> before = storedSymbols(original);
    ASSERT_EQ(before.size(), 13u);
    EXPECT_EQ(storedSymbols(written), before);
    for (const StoredSymbol& s : storedSymbols(written))
        EXPECT_EQ(s.stored, QChar(u'('));

    const Document again = readDoc(written);
    EXPECT_EQ(plainText(again), kExpectedText + QStringLiteral("\n"));
    // Once more through the writer: nothing drifts.
    EXPECT_EQ(storedSymbols(writeDoc(again)), before);
}

TEST(Symbols, TextTypedIntoASymbolRunIsText)
{
    // An editor gives text typed after a symbol the symbol's format: only the
    // symbol's own character is written as the symbol.
    Document doc;
    QTextCursor c(&doc.text());
    QTextCharFormat f;
    f.setFontFamilies({QStringLiteral("Times New Roman")});
    f.setProperty(SymbolFontProperty, QStringLiteral("Symbol"));
    f.setProperty(SymbolCodeProperty, 0xF06D);
    c.insertText(QStringLiteral("5 "));
    c.insertText(QStringLiteral("µgµ("), f);
    const QByteArray written = writeDoc(doc);
    EXPECT_EQ(plainText(readDoc(written)), QStringLiteral("5 µgµ(\n"));
    const std::vector<StoredSymbol> stored = storedSymbols(written);
    ASSERT_EQ(stored.size(), 2u);
    EXPECT_EQ(stored[0], (StoredSymbol{QChar(u'('), QStringLiteral("Symbol"), 0xF06D}));
    const QJsonArray runs = runsOf(readDoc(written));
    EXPECT_FALSE(runWith(runs, QStringLiteral("g")).contains(QStringLiteral("symbol")));
}

TEST(Symbols, DamagedSymbolsKeepTheStoredText)
{
    // A font index past the table, or a code that is no character: what the
    // text holds is kept, and nothing breaks.
    const std::vector<TestPiece> pieces = {
        text(QStringLiteral("a")), symbolPiece(77, 0xF06D), symbolPiece(kSymbol, 0x0005), symbolPiece(kArial, 0xD800),
        text(QStringLiteral("b\r")),
    };
    test::BuildOptions o;
    o.fonts = kFonts;
    const Document doc = readDoc(test::buildDoc(pieces, o));
    EXPECT_EQ(plainText(doc), QStringLiteral("a(((b\n"));
    EXPECT_NO_THROW(readDoc(writeDoc(doc)));
}

TEST(Symbols, FontMappings)
{
    EXPECT_EQ(symbolText(QStringLiteral("Symbol"), 0x6D).text, QStringLiteral("µ"));
    EXPECT_EQ(symbolText(QStringLiteral("symbol"), 0xF0B0).text, QStringLiteral("°"));
    EXPECT_EQ(symbolText(QStringLiteral("Symbol"), 0xF044).text, QStringLiteral("Δ"));
    EXPECT_EQ(symbolText(QStringLiteral("Symbol"), 0xF0A3).text, QStringLiteral("≤"));
    EXPECT_EQ(symbolText(QStringLiteral("Symbol"), 0xF0B3).text, QStringLiteral("≥"));
    EXPECT_EQ(symbolText(QStringLiteral("Symbol"), 0xF0B1).text, QStringLiteral("±"));
    EXPECT_EQ(symbolText(QStringLiteral("Symbol"), 0xF0B4).text, QStringLiteral("×"));
    EXPECT_EQ(symbolText(QStringLiteral("Wingdings"), 0xF0FE).text, QStringLiteral("☑"));
    EXPECT_EQ(symbolText(QStringLiteral("Wingdings"), 0xF043).text, QStringLiteral("👍"));
    const SymbolText unmapped = symbolText(QStringLiteral("Symbol"), 0xF060);
    EXPECT_TRUE(unmapped.inFont);
    EXPECT_EQ(unmapped.text, QString(QChar(0xF060)));
    EXPECT_TRUE(symbolText(QStringLiteral("Symbol"), 0x1234).text.isEmpty());
    EXPECT_EQ(symbolText(QStringLiteral("Times New Roman"), 0x00B5).text, QStringLiteral("µ"));
    EXPECT_TRUE(isSymbolEncodedFont(QStringLiteral("WINGDINGS 2")));
    EXPECT_FALSE(isSymbolEncodedFont(QStringLiteral("Arial")));
}

// LibreOffice draws our symbols from their fonts: it reads each as the
// font's code or as the character, never as the "(" the text holds.
TEST(Symbols, LibreOfficeReadsOurSymbols)
{
    const auto converted = test::libreOfficeConversions({{QStringLiteral("symbols"), writeDoc(readDoc(docWithSymbols()))}},
                                                        QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    const QString fodt = converted->value(QStringLiteral("symbols"));
    ASSERT_FALSE(fodt.isEmpty());
    EXPECT_FALSE(fodt.contains(QStringLiteral("111 ("))) << fodt.toStdString();
    EXPECT_TRUE(fodt.contains(QStringLiteral("µ")) || fodt.contains(QChar(0xF06D))) << fodt.toStdString();
    EXPECT_TRUE(fodt.contains(QStringLiteral("°")) || fodt.contains(QChar(0xF0B0))) << fodt.toStdString();
    EXPECT_TRUE(fodt.contains(QStringLiteral("✓")) || fodt.contains(QChar(0xF0FC))) << fodt.toStdString();
    EXPECT_TRUE(fodt.contains(QStringLiteral("\"Symbol\"")) && fodt.contains(QStringLiteral("\"Wingdings\"")))
        << fodt.toStdString();
}
