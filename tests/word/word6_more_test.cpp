// Word 6.0/95 documents with bookmarks, endnotes and numbered or bulleted
// paragraphs: read into the model as Word 97 ones are, written back as
// Word 97 and read again, by us and by LibreOffice; damaged tables survived.

#include "test_support.h"
#include "word6_builder.h"
#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/marks.h"
#include "word/notes.h"
#include "word/text_formats.h"

#include "common/errors.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextList>

#include <gtest/gtest.h>

#include <map>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

// Each bookmark's name with the text it covers ("@" and the text before it for an empty one).
std::map<QString, QString> bookmarkTexts(const QTextDocument& doc)
{
    std::map<QString, QString> out;
    for (const BookmarkAt& b : bookmarksOf(doc)) {
        QTextCursor c(const_cast<QTextDocument*>(&doc));
        const bool point = b.from == b.to;
        c.setPosition(point ? std::max(0, b.from - 6) : b.from);
        c.setPosition(b.to, QTextCursor::KeepAnchor);
        QString s = c.selectedText();
        s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
        s.remove(QChar(kBookmarkMarker));
        out[b.name] = point ? QStringLiteral("@") + s : s;
    }
    return out;
}

// Reads `bytes` and what our writer makes of the result; a damaged file may be refused.
void survives(const QByteArray& bytes)
{
    try {
        readDoc(writeDoc(readDoc(bytes)));
    } catch (const Error&) {
    }
}

// "Диагноз: ишемический инсульт\nЛечение: …\n": bookmarks over a word, over a
// paragraph and its mark, at a point, with a Russian and a Latin name.
std::vector<Word6Paragraph> summary()
{
    return {
        {{{QStringLiteral("Диагноз: ишемический инсульт"), {}}}, {}},
        {{{QStringLiteral("Лечение: цитиколин"), {}}}, {}},
        {{{QStringLiteral("Подпись врача"), {}}}, {}},
    };
}

Word6Options summaryMarks()
{
    Word6Options o;
    // "Диагноз: " is 9 characters, the first paragraph 29 with its mark.
    o.bookmarks = {{QStringLiteral("Диагноз"), 9, 28},
                   {QStringLiteral("Treatment"), 29, 48},
                   {QStringLiteral("Здесь"), 48, 48},
                   {QStringLiteral("_GoBack"), 2, 2}};
    return o;
}

} // namespace

TEST(Word6More, BookmarksAreReadAndWrittenBackAsWord97)
{
    for (bool pieceTable : {true, false}) {
        SCOPED_TRACE(pieceTable ? "fast-saved" : "saved whole");
        Word6Options o = summaryMarks();
        o.pieceTable = pieceTable;
        const Document doc = readDoc(buildWord6Doc(summary(), o));
        EXPECT_EQ(plainText(doc).remove(QChar(kBookmarkMarker)),
                  QStringLiteral("Диагноз: ишемический инсульт\nЛечение: цитиколин\nПодпись врача\n"));
        const std::map<QString, QString> expected = {{QStringLiteral("Диагноз"), QStringLiteral("ишемический инсульт")},
                                                     {QStringLiteral("Treatment"), QStringLiteral("Лечение: цитиколин")},
                                                     {QStringLiteral("Здесь"), QStringLiteral("@колин\n")}};
        EXPECT_EQ(bookmarkTexts(doc.text()), expected); // Word's own "_GoBack" is not kept
        // Written as Word 97 they stay on their text.
        EXPECT_EQ(bookmarkTexts(readDoc(writeDoc(doc)).text()), expected);
    }
}

TEST(Word6More, LibreOfficeSeesTheBookmarksInBothForms)
{
    // LibreOffice reads Word 6.0/95 files too: the built file and ours
    // (Word 97) must show it the same bookmarks, so our builder and our
    // reader cannot share a mistake about the tables.
    const QByteArray word6 = buildWord6Doc(summary(), summaryMarks());
    const auto fodt = libreOfficeConversions(
        {{QStringLiteral("word6"), word6}, {QStringLiteral("ours"), writeDoc(readDoc(word6))}}, QStringLiteral("fodt"));
    if (!fodt)
        GTEST_SKIP() << "LibreOffice is not installed";
    auto names = [](const QString& xml) {
        QStringList found = capturesOf(xml, QStringLiteral(R"x(<text:bookmark(?:-start)? text:name="([^"]*)")x"));
        found.removeIf([](const QString& n) { return n.startsWith(QLatin1Char('_')); });
        return found;
    };
    const QStringList expected = {QStringLiteral("Диагноз"), QStringLiteral("Treatment"), QStringLiteral("Здесь")};
    EXPECT_EQ(names(fodt->value(QStringLiteral("word6"))), expected);
    EXPECT_EQ(names(fodt->value(QStringLiteral("ours"))), expected);
}

TEST(Word6More, EndnotesAreReadLikeFootnotes)
{
    // "Инсульт\x02 подтверждён МРТ\x02.": two endnote references.
    const std::vector<Word6Paragraph> paragraphs = {
        {{{QStringLiteral("Инсульт"), {}}, {QStringLiteral("\x02"), w6::special()},
          {QStringLiteral(" подтверждён МРТ"), {}}, {QStringLiteral("\x02"), w6::special()}, {QStringLiteral("."), {}}},
         {}},
        {{{QStringLiteral("Конец"), {}}}, {}},
    };
    Word6Options o;
    o.endnotes = {{7, QStringLiteral("По данным КТ от 12.03.")}, {24, QStringLiteral("Заключение рентгенолога.")}};
    o.headerStories = {QStringLiteral("Шапка")}; // the endnotes' story comes after the headers'
    o.sepx = w6::sectionHeaders(0x02);
    const Document doc = readDoc(buildWord6Doc(paragraphs, o));

    auto notesOf = [](const Document& d) {
        std::vector<std::pair<QString, bool>> out;
        for (QTextBlock b = d.text().begin(); b.isValid(); b = b.next())
            for (auto it = b.begin(); !it.atEnd(); ++it)
                if (isNoteReference(it.fragment().charFormat())) {
                    const NoteInfo n = noteOf(it.fragment().charFormat());
                    out.push_back({noteText(n.content).trimmed(), n.endnote});
                }
        return out;
    };
    const std::vector<std::pair<QString, bool>> expected = {{QStringLiteral("По данным КТ от 12.03."), true},
                                                            {QStringLiteral("Заключение рентгенолога."), true}};
    EXPECT_EQ(notesOf(doc), expected);
    ASSERT_TRUE(doc.header);
    EXPECT_EQ(doc.header->toPlainText(), QStringLiteral("Шапка"));
    EXPECT_TRUE(plainText(doc).startsWith(QStringLiteral("Инсульт1 подтверждён МРТ2.\nКонец"))) << plainText(doc).toStdString();
    // As Word 97, still endnotes.
    EXPECT_EQ(notesOf(readDoc(writeDoc(doc))), expected);
}

TEST(Word6More, DamagedBookmarkAndEndnoteTablesAreSurvived)
{
    Word6Options o = summaryMarks();
    o.endnotes = {{5, QStringLiteral("примечание")}};
    std::vector<Word6Paragraph> paragraphs = summary();
    paragraphs[0].runs = {{QStringLiteral("Диагн"), {}}, {QStringLiteral("\x02"), w6::special()},
                          {QStringLiteral("оз: ишемический инсульт"), {}}};
    const QByteArray good = buildWord6Doc(paragraphs, o);
    ASSERT_NO_THROW(readDoc(good));
    const QByteArray stream = CompoundFileReader(good).stream(QStringLiteral("WordDocument"));
    // Table sizes and places that lie: past the stream, odd sizes, empty.
    for (int pair : {0x58 + 8 * 21, 0x58 + 8 * 22, 0x58 + 8 * 23, 0x1D2, 0x1DA}) {
        for (uint32_t value : {0u, 1u, 3u, 7u, 0xFFFFu, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
            SCOPED_TRACE(QStringLiteral("%1: %2").arg(pair, 0, 16).arg(value).toStdString());
            survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put32(w, pair + 4, value); }));
            survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put32(w, pair, value); }));
        }
    }
    // Inside the tables: a name table claiming more than it holds, string
    // lengths past its end, CPs and end indices out of order or past the text.
    const uint32_t names = le32(stream.constData() + 0x58 + 8 * 21);
    const uint32_t starts = le32(stream.constData() + 0x58 + 8 * 22);
    for (uint16_t size : {uint16_t(0), uint16_t(1), uint16_t(3), uint16_t(0xFFFF)})
        survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put16(w, names, size); }));
    survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { w[names + 2] = char(0xFF); }));
    for (uint32_t at = starts; at < starts + 40; at += 2)
        for (uint16_t value : {uint16_t(0xFFFF), uint16_t(0x7FFF), uint16_t(40)})
            survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put16(w, at, value); }));
    // The endnotes' story longer than the text, the FIB ending before the
    // endnotes' pairs (they then lie in the text).
    survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put32(w, 0x48, 0x7FFFFFF0); }));
    survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { put32(w, 0x18, 0x1D0); }));
    // Every byte after the text flipped in turn.
    for (qsizetype at = 0x300; at < stream.size(); at += 5)
        survives(editStream(good, QStringLiteral("WordDocument"), [&](QByteArray& w) { w[at] = char(~w[at]); }));
}

namespace {

QByteArray numbered(const QByteArray& before, const QByteArray& after, uint16_t startAt = 1, uint8_t nfc = 0)
{
    return w6::numbering(10, w6::anld(nfc, before, after, startAt));
}

QByteArray bulleted() { return w6::numbering(11, w6::anld(23, QByteArray("\xB7"), {}, 1, 2)); } // Symbol's bullet

Word6Paragraph para(const QString& text, const QByteArray& papx = {}) { return {{{text, {}}}, papx}; }

// Each paragraph's label as the document view shows it, then its text.
QStringList labelled(const Document& doc)
{
    QStringList out;
    ListNumbering numbering;
    for (QTextBlock b = doc.text().begin(); b.isValid(); b = b.next()) {
        const QString label = numbering.label(b);
        out << (label.isEmpty() ? b.text() : label + QLatin1Char(' ') + b.text());
    }
    return out;
}

std::vector<Word6Paragraph> numberedSummary()
{
    return {
        para(QStringLiteral("Жалобы:")),
        para(QStringLiteral("головная боль"), numbered({}, ".")),
        para(QStringLiteral("головокружение"), numbered({}, ".")),
        para(QStringLiteral("без номера"), w6::numbering(12, {})),
        para(QStringLiteral("слабость"), numbered({}, ".")),
        para(QStringLiteral("Рекомендации:")),
        para(QStringLiteral("режим"), numbered({}, ".")),
        para(QStringLiteral("диета"), numbered({}, ".")),
        para(QStringLiteral("Препараты"), bulleted()),
        para(QStringLiteral("цитиколин"), bulleted()),
        para(QStringLiteral("Контроль"), numbered({}, ".", 5, 1)),
        para(QStringLiteral("МРТ"), numbered({}, ".", 5, 1)),
    };
}

const QStringList kNumberedSummary = {
    QStringLiteral("Жалобы:"),       QStringLiteral("1. головная боль"), QStringLiteral("2. головокружение"),
    QStringLiteral("без номера"),    QStringLiteral("3. слабость"),      QStringLiteral("Рекомендации:"),
    QStringLiteral("1. режим"),      QStringLiteral("2. диета"),         QStringLiteral("• Препараты"),
    QStringLiteral("• цитиколин"),   QStringLiteral("V. Контроль"),      QStringLiteral("VI. МРТ"),
};

} // namespace

TEST(Word6More, NumberedAndBulletedParagraphsBecomeLists)
{
    // Numbers go on past a paragraph whose number is skipped, start again
    // after one without numbering or with another description, bullets show
    // the symbol font's bullet.
    const Document doc = readDoc(buildWord6Doc(numberedSummary()));
    EXPECT_EQ(labelled(doc), kNumberedSummary);
    // Written as Word 97 lists, they number alike.
    const QByteArray written = writeDoc(doc);
    EXPECT_EQ(labelled(readDoc(written)), kNumberedSummary);
    EXPECT_EQ(labelled(readDoc(writeDoc(readDoc(written)))), kNumberedSummary);

    // Another description (here the text around the number) starts a list of
    // its own; a Western document's text reads in its own code page.
    Word6Options english;
    english.lid = 0x0409;
    const std::vector<Word6Paragraph> changed = {
        para(QStringLiteral("first"), numbered({}, ".")),
        para(QStringLiteral("second"), numbered({}, ".")),
        para(QStringLiteral("third"), numbered("(", ")", 1, 4)),
        para(QStringLiteral("fourth"), numbered("(", ")", 1, 4)),
    };
    const QStringList expected = {QStringLiteral("1. first"), QStringLiteral("2. second"), QStringLiteral("(a) third"),
                                  QStringLiteral("(b) fourth")};
    EXPECT_EQ(labelled(readDoc(buildWord6Doc(changed, english))), expected);
    EXPECT_EQ(labelled(readDoc(writeDoc(readDoc(buildWord6Doc(changed, english))))), expected);
}

TEST(Word6More, OutlineNumberingGoesOnAcrossTheText)
{
    // Headings numbered by level, the second level showing the first's
    // number too, body text between them.
    const QByteArray first = w6::numbering(1, w6::anld(0, {}, "."));
    const QByteArray second = w6::numbering(2, w6::anld(0, {}, {}, 1, 0, 0, true));
    const std::vector<Word6Paragraph> paragraphs = {
        para(QStringLiteral("Введение"), first),  para(QStringLiteral("Текст.")),
        para(QStringLiteral("Цели"), second),     para(QStringLiteral("Задачи"), second),
        para(QStringLiteral("Методы"), first),    para(QStringLiteral("Ещё текст.")),
        para(QStringLiteral("Материал"), second),
    };
    const QStringList expected = {QStringLiteral("1. Введение"), QStringLiteral("Текст."),
                                  QStringLiteral("1.1 Цели"),    QStringLiteral("1.2 Задачи"),
                                  QStringLiteral("2. Методы"),   QStringLiteral("Ещё текст."),
                                  QStringLiteral("2.1 Материал")};
    const Document doc = readDoc(buildWord6Doc(paragraphs));
    EXPECT_EQ(labelled(doc), expected);
    EXPECT_EQ(labelled(readDoc(writeDoc(doc))), expected);
}

TEST(Word6More, LibreOfficeNumbersTheParagraphsAlike)
{
    // The Word 6 file as LibreOffice reads it, and ours written as Word 97:
    // the same numbers before the same paragraphs.
    const QByteArray word6 = buildWord6Doc(numberedSummary());
    const auto texts = libreOfficeConversions({{QStringLiteral("word6"), word6},
                                               {QStringLiteral("ours"), writeDoc(readDoc(word6))}},
                                              QStringLiteral("txt:Text (encoded):UTF8"));
    if (!texts)
        GTEST_SKIP() << "LibreOffice is not installed";
    auto lines = [](QString s) {
        if (s.startsWith(QChar(0xFEFF)))
            s.remove(0, 1);
        s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
        QStringList out = s.trimmed().split(QLatin1Char('\n'));
        for (QString& line : out)
            line = line.simplified();
        return out;
    };
    EXPECT_EQ(lines(texts->value(QStringLiteral("ours"))), lines(texts->value(QStringLiteral("word6"))));
}

TEST(Word6More, DamagedNumberingIsSurvived)
{
    // Descriptions cut short, counts of text past the description, fonts
    // that do not exist, levels past those there are.
    QByteArray longText = w6::anld(0, QByteArray(20, 'x'), QByteArray(12, 'y'));
    longText[1] = char(0xFF);
    longText[2] = char(0xFF);
    QByteArray badFont = w6::anld(0, {}, ".");
    put16(badFont, 6, 0xFFFF);
    const std::vector<QByteArray> papxs = {
        w6::numbering(10, w6::anld(0, {}, ".").left(5)),
        w6::numbering(10, QByteArray("")),
        w6::numbering(11, {}),
        w6::numbering(10, longText),
        w6::numbering(11, badFont),
        w6::numbering(9, badFont),
        w6::numbering(200, w6::anld(0, {}, ".")),
        w6::numbering(10, QByteArray(200, '\xFF')),
        w6::op1(12, 60) + w6::anld(0, {}, "."), // a size that runs past the group
    };
    std::vector<Word6Paragraph> paragraphs;
    for (const QByteArray& papx : papxs)
        paragraphs.push_back(para(QStringLiteral("пункт"), papx));
    const QByteArray built = buildWord6Doc(paragraphs);
    const Document doc = readDoc(built);
    EXPECT_EQ(doc.text().blockCount(), int(papxs.size()));
    const QStringList labels = labelled(doc);
    EXPECT_EQ(labels[0], QStringLiteral("1. пункт")); // cut short: the default "1."
    EXPECT_EQ(labels[2], QStringLiteral("• пункт"));
    EXPECT_EQ(labels[6], QStringLiteral("пункт")); // no such level: not numbered
    survives(writeDoc(doc));
    // Every byte of the run pages and tables flipped in turn.
    const QByteArray stream = CompoundFileReader(built).stream(QStringLiteral("WordDocument"));
    for (qsizetype at = 0x300; at < stream.size(); at += 3)
        survives(editStream(built, QStringLiteral("WordDocument"), [&](QByteArray& w) { w[at] = char(~w[at]); }));
}

namespace {

// The Word 6.0/95 seeds of the fuzz targets: what each holds for them to damage.
std::vector<std::pair<QString, QByteArray>> fuzzSeeds()
{
    Word6Options marks = summaryMarks();
    std::vector<Word6Paragraph> marked = summary();
    marked[1].runs = {{QStringLiteral("Лечение"), {}}, {QStringLiteral("\x02"), w6::special()},
                      {QStringLiteral(": цитиколин"), {}}};
    marks.bookmarks[1].end = 49;
    marks.bookmarks[2] = {QStringLiteral("Здесь"), 49, 49};
    marks.endnotes = {{36, QStringLiteral("1000 мг в сутки")}};
    marks.sepx = w6::sectionHeaders(0x02 | 0x08);
    marks.headerStories = {QStringLiteral("ГКБ №12"), QStringLiteral("Страница")};

    std::vector<Word6Paragraph> lists = numberedSummary();
    const QByteArray row = w6::inTable() + w6::rowEnd() + w6::rowDefinition({0, 2000, 5000}, true);
    for (const Word6Paragraph& p : std::vector<Word6Paragraph>{
             {{{QStringLiteral("Гемоглобин"), w6::bold()}}, w6::inTable() + numbered({}, "."), 0, '\x07'},
             {{{QStringLiteral("135 г/л"), {}}}, w6::inTable(), 0, '\x07'},
             {{}, row, 0, '\x07'},
             para(QStringLiteral("Введение"), w6::numbering(1, w6::anld(0, {}, "."))),
             para(QStringLiteral("Цели"), w6::numbering(2, w6::anld(0, {}, {}, 1, 0, 0, true)))})
        lists.push_back(p);
    Word6Options english;
    english.lid = 0x0409;
    english.nFib = 101;
    english.pieceTable = false;
    return {{QStringLiteral("seed-word6-marks-notes.doc"), buildWord6Doc(marked, marks)},
            {QStringLiteral("seed-word6-lists-table.doc"), buildWord6Doc(lists)},
            {QStringLiteral("seed-word6-english.doc"), buildWord6Doc(numberedSummary(), english)}};
}

} // namespace

TEST(Word6More, FuzzSeedsHoldWhatTheyAreFor)
{
    // TALVORA_WRITE_FUZZ_SEEDS=DIR writes them anew (into tests/word/data/fuzz).
    const QString out = qEnvironmentVariable("TALVORA_WRITE_FUZZ_SEEDS");
    for (const auto& [name, bytes] : fuzzSeeds()) {
        SCOPED_TRACE(name.toStdString());
        if (!out.isEmpty()) {
            QFile f(QDir(out).filePath(name));
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(bytes);
        }
        const QByteArray stored = readData(QStringLiteral("fuzz/") + name);
        ASSERT_FALSE(stored.isEmpty());
        const Document doc = readDoc(stored);
        if (name.contains(QLatin1String("marks"))) {
            EXPECT_EQ(bookmarksOf(doc.text()).size(), 3u);
            EXPECT_TRUE(plainText(doc).contains(QStringLiteral("Лечение1")));
            EXPECT_TRUE(doc.header && doc.footer);
        } else {
            EXPECT_TRUE(labelled(doc).contains(QStringLiteral("V. Контроль")));
        }
        if (name.contains(QLatin1String("table"))) {
            EXPECT_TRUE(labelled(doc).contains(QStringLiteral("1.1 Цели")));
        }
    }
}
