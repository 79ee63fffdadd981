// Fields and notes: read from the file with their codes and text, written
// back as real fields and notes, and read as such by LibreOffice.

#include "test_support.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/document_text.h"
#include "word/fields.h"
#include "word/notes.h"
#include "word/text_formats.h"

#include <QElapsedTimer>
#include <QFile>
#include <QImage>
#include <QJsonObject>
#include <QTextBlock>
#include <QTextCursor>

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::word;

namespace {

// A run of a story: its text and what it carries.
struct StoryRun {
    QString text;
    std::optional<FieldInfo> field;
    std::optional<NoteInfo> note;
};

enum class Only { All, Fields, Notes };

std::vector<StoryRun> runsOf(const QTextDocument& doc, Only only = Only::All)
{
    std::vector<StoryRun> runs;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            StoryRun r{it.fragment().text(), fieldOf(f), isNoteReference(f) ? std::optional(noteOf(f)) : std::nullopt};
            if (only == Only::All || (only == Only::Fields && r.field) || (only == Only::Notes && r.note))
                runs.push_back(std::move(r));
        }
    return runs;
}

std::vector<StoryRun> fieldRuns(const QTextDocument& doc) { return runsOf(doc, Only::Fields); }

void insertField(QTextCursor& c, const QString& code, const QString& result, int id)
{
    QTextCharFormat f;
    setField(f, {code, id, 0, result.isEmpty()});
    c.insertText(result.isEmpty() ? QString(QChar(kFieldPlaceholder)) : result, f);
    c.setCharFormat(QTextCharFormat());
}

void insertNote(QTextCursor& c, const QString& text, int id, bool endnote = false, const QString& mark = {})
{
    QTextDocument content;
    QTextCursor(&content).insertText(text);
    QTextCharFormat f;
    f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    setNote(f, {saveNoteContent(content), id, endnote, !mark.isEmpty()});
    c.insertText(mark.isEmpty() ? QString::number(id) : mark, f);
    c.setCharFormat(QTextCharFormat());
}

// A file with `text` as its one Unicode piece, read.
Document readStored(const QString& text)
{
    return readDoc(test::buildDoc({{text, false, {}, {}}}));
}

std::unique_ptr<QTextDocument> emptyStory()
{
    return Document().takeText();
}

// Where the FIB of a file we wrote keeps a story's length and a table's
// (offset, size): our FIB has 14 shorts, 22 longs, then the pairs.
constexpr qint64 kLwAt = 32 + 2 + 28 + 2, kPairsAt = kLwAt + 88 + 2;
constexpr int kPlcfFldMom = 16, kPlcfFldHdr = 17, kPlcfFldFtn = 18, kPlcffndTxt = 3;
constexpr int kCcpFtn = 4, kCcpHdd = 5, kCcpEdn = 8;

QByteArray streamOf(const QByteArray& file, const char* name)
{
    return CompoundFileReader(file).stream(QString::fromLatin1(name));
}

int32_t storyLength(const QByteArray& file, int index)
{
    return ByteView(streamOf(file, "WordDocument")).i32(kLwAt + 4 * index);
}

// The stored field table at `index`: (CP, mark, data) per entry.
using FieldEntry = std::tuple<int32_t, int, int>;
std::vector<FieldEntry> fieldTable(const QByteArray& file, int index)
{
    const QByteArray wordStream = streamOf(file, "WordDocument");
    const ByteView word(wordStream);
    const uint32_t fc = word.u32(kPairsAt + 8 * index), lcb = word.u32(kPairsAt + 8 * index + 4);
    const QByteArray table = streamOf(file, "1Table");
    std::vector<FieldEntry> out;
    const ByteView plc = lcb ? ByteView(table).sub(fc, lcb) : ByteView();
    const qint64 n = lcb ? (plc.size() - 4) / 6 : 0;
    for (qint64 i = 0; i < n; ++i)
        out.emplace_back(plc.i32(4 * i), plc.u8(4 * (n + 1) + 2 * i), plc.u8(4 * (n + 1) + 2 * i + 1));
    return out;
}

Document fixture(const char* name)
{
    return readDoc(test::readData(QString::fromLatin1(name) + QStringLiteral(".doc")));
}

QString storyText(const std::unique_ptr<QTextDocument>& story)
{
    return story ? story->toPlainText() : QStringLiteral("<none>");
}

// A document with a page number, a page count and a date in its body and footer.
Document documentWithFields()
{
    Document d;
    QTextCursor c(&d.text());
    c.insertText(QStringLiteral("Лист "));
    insertField(c, QStringLiteral(" PAGE "), QStringLiteral("1"), 1);
    c.insertText(QStringLiteral(" из "));
    insertField(c, QStringLiteral(" NUMPAGES \\* MERGEFORMAT "), QStringLiteral("3"), 2);
    c.insertText(QStringLiteral(", дата "));
    insertField(c, QStringLiteral(" DATE \\@ \"dd.MM.yyyy\" "), QStringLiteral("09.12.2025"), 3);
    d.footer = emptyStory();
    QTextCursor f(d.footer.get());
    f.insertText(QStringLiteral("Страница "));
    insertField(f, QStringLiteral(" PAGE "), QStringLiteral("1"), 4);
    return d;
}

} // namespace

TEST(FieldRead, FixtureFooterHoldsAPageField)
{
    const Document d = fixture("header_footer");
    ASSERT_TRUE(d.footer);
    const std::vector<StoryRun> runs = runsOf(*d.footer);
    ASSERT_EQ(runs.size(), 2u);
    EXPECT_FALSE(runs[0].field);
    ASSERT_TRUE(runs[1].field);
    EXPECT_EQ(runs[1].field->code, QStringLiteral(" PAGE "));
    EXPECT_EQ(runs[1].field->type, 33); // from the stored field table
    // The text is the result, as before.
    EXPECT_EQ(storyText(d.footer), QStringLiteral("Страница 1"));

    const QJsonObject run = dumpDocument(d)[QStringLiteral("footer")][QStringLiteral("paragraphs")][0]
                                [QStringLiteral("runs")][1].toObject();
    EXPECT_EQ(run[QStringLiteral("field")][QStringLiteral("code")].toString(), QStringLiteral(" PAGE "));
    EXPECT_EQ(run[QStringLiteral("field")][QStringLiteral("kind")].toString(), QStringLiteral("PAGE"));
}

TEST(FieldWrite, PageCountAndDateStayFields)
{
    const Document d = documentWithFields();
    const QByteArray file = writeDoc(d);
    const Document back = readDoc(file);
    EXPECT_EQ(plainText(back), QStringLiteral("Лист 1 из 3, дата 09.12.2025\n"));
    const std::vector<StoryRun> fields = fieldRuns(back.text());
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[1].field->code, QStringLiteral(" NUMPAGES \\* MERGEFORMAT "));
    EXPECT_EQ(fields[2].field->code, QStringLiteral(" DATE \\@ \"dd.MM.yyyy\" "));
    ASSERT_TRUE(back.footer);
    ASSERT_EQ(fieldRuns(*back.footer).size(), 1u);

    // The stored tables: begin with the type, separator, end with "has a
    // separator", at the CPs of the marks; the footer's CPs count from its story.
    const std::vector<FieldEntry> main = fieldTable(file, kPlcfFldMom);
    ASSERT_EQ(main.size(), 9u);
    EXPECT_EQ(main[0], FieldEntry(5, 0x13, 33));
    EXPECT_EQ(main[1], FieldEntry(12, 0x14, 0xFF));
    EXPECT_EQ(main[2], FieldEntry(14, 0x15, 0x80));
    EXPECT_EQ(std::get<2>(main[3]), 26);
    EXPECT_EQ(std::get<2>(main[6]), 31);
    const std::vector<FieldEntry> hdr = fieldTable(file, kPlcfFldHdr);
    ASSERT_EQ(hdr.size(), 3u);
    EXPECT_EQ(hdr[0], FieldEntry(9, 0x13, 33)); // after "Страница "
}

TEST(FieldWrite, NeighbouringFieldsStayApart)
{
    // Two dates side by side with the same code and format are two fields.
    Document d;
    QTextCursor c(&d.text());
    insertField(c, QStringLiteral(" DATE "), QStringLiteral("01.01.2025"), 7);
    insertField(c, QStringLiteral(" DATE "), QStringLiteral("02.01.2025"), 8);
    const std::vector<StoryRun> fields = fieldRuns(readDoc(writeDoc(d)).text());
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[1].text, QStringLiteral("02.01.2025"));
    EXPECT_NE(fields[0].field->id, fields[1].field->id);

    // One field whose result has two formats and goes on into the next
    // paragraph stays one field.
    Document one;
    QTextCursor o(&one.text());
    QTextCharFormat f;
    setField(f, {QStringLiteral(" MERGEFIELD Диагноз "), 5});
    o.insertText(QStringLiteral("Инсульт, "), f);
    f.setFontWeight(QFont::Bold);
    o.insertText(QStringLiteral("ишемический"), f);
    o.insertBlock();
    o.insertText(QStringLiteral("вторая строка"), f);
    const QByteArray file = writeDoc(one);
    ASSERT_EQ(fieldTable(file, kPlcfFldMom).size(), 3u);
    EXPECT_EQ(std::get<2>(fieldTable(file, kPlcfFldMom)[0]), 59);
    const Document back = readDoc(file);
    const std::vector<StoryRun> runs = fieldRuns(back.text());
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].field->id, runs[2].field->id);
    EXPECT_EQ(plainText(back), QStringLiteral("Инсульт, ишемический\nвторая строка\n"));
}

TEST(FieldRead, NestedFields)
{
    // A field in the code of another: the outer code keeps it whole; a field
    // in the result of another stays a field inside that result.
    const QString text = QString::fromUtf16(
        u"a\x13 IF \x13 PAGE \x14" u"1\x15 = 1 \"да\" \"нет\" \x14" u"да\x15 "
        u"\x13 HYPERLINK \"http://x\" \x14см. стр. \x13 PAGEREF m \x14" u"3\x15\x15!\r");
    const Document d = readStored(text);
    EXPECT_EQ(plainText(d), QStringLiteral("aда см. стр. 3!\n"));
    const std::vector<StoryRun> fields = fieldRuns(d.text());
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[0].text, QStringLiteral("да"));
    EXPECT_EQ(fields[0].field->code, QString::fromUtf16(u" IF \x13 PAGE \x14" u"1\x15 = 1 \"да\" \"нет\" "));
    EXPECT_EQ(readableFieldCode(fields[0].field->code), QStringLiteral(" IF { PAGE } = 1 \"да\" \"нет\" "));
    EXPECT_EQ(fields[1].text, QStringLiteral("см. стр. "));
    EXPECT_EQ(fieldKeyword(fields[1].field->code), QStringLiteral("HYPERLINK"));
    EXPECT_EQ(fields[2].text, QStringLiteral("3"));
    EXPECT_EQ(fieldKeyword(fields[2].field->code), QStringLiteral("HYPERLINK"));

    // Written back, the nested field is a field again, flagged as nested.
    const QByteArray file = writeDoc(d);
    const auto table = fieldTable(file, kPlcfFldMom);
    ASSERT_EQ(table.size(), 12u);
    EXPECT_EQ(std::get<2>(table[0]), 7);    // IF
    EXPECT_EQ(std::get<2>(table[1]), 33);   // the nested PAGE
    EXPECT_EQ(std::get<2>(table[3]), 0xC0); // its end: nested, with a separator
    EXPECT_EQ(std::get<2>(table[5]), 0x80); // the end of IF
    const std::vector<StoryRun> back = fieldRuns(readDoc(file).text());
    ASSERT_EQ(back.size(), 3u);
    EXPECT_EQ(back[0].field->code, fields[0].field->code);
    EXPECT_EQ(back[1].text, QStringLiteral("см. стр. "));
    EXPECT_EQ(back[2].text, QStringLiteral("3"));

    // A code from the model with marks out of order is written balanced.
    EXPECT_EQ(balancedFieldCode(QString::fromUtf16(u" A \x15\x13 B \x14\x14 c")),
              QString::fromUtf16(u" A \x13 B \x14 c\x15"));
}

TEST(FieldWrite, PictureAsAFieldsResult)
{
    // A picture that is a field's result stays inside it; one beside a field does not.
    QImage image(8, 8, QImage::Format_RGB32);
    image.fill(Qt::red);
    Document d;
    d.text().addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("p")), image);
    QTextImageFormat inField;
    inField.setName(QStringLiteral("p"));
    QTextImageFormat plain = inField;
    setField(inField, {QStringLiteral(" INCLUDEPICTURE \"logo.png\" "), 1});
    QTextCursor c(&d.text());
    c.insertImage(inField);
    insertField(c, QStringLiteral(" PAGE "), QStringLiteral("1"), 2);
    c.insertImage(plain);
    const QByteArray file = writeDoc(d);
    const auto table = fieldTable(file, kPlcfFldMom);
    ASSERT_EQ(table.size(), 6u);
    EXPECT_EQ(std::get<2>(table[0]), 67);
    const std::vector<StoryRun> runs = runsOf(readDoc(file).text());
    ASSERT_EQ(runs.size(), 3u);
    ASSERT_TRUE(runs[0].field);
    EXPECT_EQ(fieldKeyword(runs[0].field->code), QStringLiteral("INCLUDEPICTURE"));
    EXPECT_FALSE(runs[0].field->placeholder);
    EXPECT_FALSE(runs[2].field);
}

TEST(FieldRead, FieldsWithoutResultSurvive)
{
    // A field without a separator, and one with an empty result.
    const QString text = QString::fromUtf16(u"x\x13 SET a 1 \x15y\x13 PAGE \x14\x15z\r");
    const Document d = readStored(text);
    EXPECT_EQ(plainText(d), QStringLiteral("xyz\n"));
    const std::vector<StoryRun> fields = fieldRuns(d.text());
    ASSERT_EQ(fields.size(), 2u);
    EXPECT_EQ(fields[0].text, QString(QChar(kFieldPlaceholder)));
    EXPECT_TRUE(fields[0].field->placeholder && fields[0].field->withoutSeparator);
    EXPECT_TRUE(fields[1].field->placeholder && !fields[1].field->withoutSeparator);

    const QByteArray file = writeDoc(d);
    const auto table = fieldTable(file, kPlcfFldMom);
    ASSERT_EQ(table.size(), 5u); // begin, end; begin, separator, end
    EXPECT_EQ(table[1], FieldEntry(std::get<0>(table[1]), 0x15, 0x00));
    const Document back = readDoc(file);
    EXPECT_EQ(plainText(back), QStringLiteral("xyz\n"));
    const std::vector<StoryRun> again = fieldRuns(back.text());
    ASSERT_EQ(again.size(), 2u);
    EXPECT_EQ(again[0].field->code, QStringLiteral(" SET a 1 "));
    EXPECT_TRUE(again[0].field->withoutSeparator);

    // Text typed into a placeholder becomes the field's result.
    Document typed;
    QTextCursor c(&typed.text());
    QTextCharFormat f;
    setField(f, {QStringLiteral(" SET a 1 "), 1, 0, true, true});
    c.insertText(QString(QChar(kFieldPlaceholder)) + QStringLiteral("5"), f);
    const std::vector<StoryRun> result = fieldRuns(readDoc(writeDoc(typed)).text());
    ASSERT_EQ(result.size(), 1u);
    EXPECT_EQ(result[0].text, QStringLiteral("5"));
    EXPECT_FALSE(result[0].field->placeholder);
}

TEST(FieldRead, DamagedMarksKeepTheText)
{
    struct Case {
        const char16_t* stored;
        const char* text;
    };
    const Case cases[] = {
        // A field never ended: its marks count for nothing, its code shows.
        {u"a\x13 PAGE \x14" u"1 b\r", "a PAGE 1 b\n"},
        // Ends and separators with no field open.
        {u"x\x15y\x14z\r", "xyz\n"},
        // Two separators: the second is nothing.
        {u"\x13 PAGE \x14" u"1\x14" u"2\x15.\r", "12.\n"},
        // A field left open around a whole one: its code shows.
        {u"\x13 A \x13 B \x14" u"r\x15.\r", " A r.\n"},
        // A field running over paragraphs.
        {u"p\x13 REF x \x14one\rtwo\x15q\r", "pone\ntwoq\n"},
    };
    for (const Case& k : cases) {
        const Document d = readStored(QString::fromUtf16(k.stored));
        EXPECT_EQ(plainText(d), QString::fromUtf8(k.text)) << QString::fromUtf16(k.stored).toStdString();
        // What was read can be written and read again with the same text.
        EXPECT_EQ(plainText(readDoc(writeDoc(d))), plainText(d)) << QString::fromUtf16(k.stored).toStdString();
    }

    // Field marks nested very deep: no crash, no time lost.
    QString deep(100000, QChar(kFieldBegin));
    deep += QStringLiteral("текст") + QString(50000, QChar(kFieldEnd)) + QStringLiteral("\r");
    QElapsedTimer timer;
    timer.start();
    const Document d = readStored(deep);
    EXPECT_EQ(plainText(readDoc(writeDoc(d))), plainText(d));
    EXPECT_LT(timer.elapsed(), 10000);
}

TEST(Notes, FootnotesAndEndnotesRoundTrip)
{
    Document d;
    QTextCursor c(&d.text());
    c.insertText(QStringLiteral("Диагноз"));
    insertNote(c, QStringLiteral("По данным МРТ от 01.12.2025."), 1);
    c.insertText(QStringLiteral(" и лечение"));
    insertNote(c, QStringLiteral("Вторая сноска"), 2);
    insertNote(c, QStringLiteral("Со своим знаком"), 3, false, QStringLiteral("*"));
    c.insertText(QStringLiteral("."));
    insertNote(c, QStringLiteral("Концевая сноска"), 4, true);
    d.header = emptyStory();
    QTextCursor(d.header.get()).insertText(QStringLiteral("Шапка"));
    d.footer = emptyStory();
    QTextCursor f(d.footer.get());
    f.insertText(QStringLiteral("Страница "));
    insertField(f, QStringLiteral(" PAGE "), QStringLiteral("1"), 9);

    const QByteArray file = writeDoc(d);
    for (int story : {kCcpFtn, kCcpHdd, kCcpEdn})
        EXPECT_GT(storyLength(file, story), 0) << story;

    const Document back = readDoc(file);
    // The references show their numbers; the notes' text stays out of the body.
    EXPECT_EQ(plainText(back), QStringLiteral("Диагноз1 и лечение2*.1\n"));
    const std::vector<StoryRun> notes = runsOf(back.text(), Only::Notes);
    ASSERT_EQ(notes.size(), 4u);
    EXPECT_EQ(noteText(notes[1].note->content), QStringLiteral("Вторая сноска"));
    EXPECT_EQ(notes[2].text, QStringLiteral("*"));
    EXPECT_TRUE(notes[2].note->customMark);
    EXPECT_EQ(noteText(notes[2].note->content), QStringLiteral("Со своим знаком"));
    EXPECT_TRUE(notes[3].note->endnote);
    EXPECT_EQ(noteText(notes[3].note->content), QStringLiteral("Концевая сноска"));
    // The stories after the notes are still where they belong.
    EXPECT_EQ(storyText(back.header), QStringLiteral("Шапка"));
    EXPECT_EQ(storyText(back.footer), QStringLiteral("Страница 1"));
    ASSERT_EQ(fieldRuns(*back.footer).size(), 1u);

    const QJsonObject run = dumpDocument(back)[QStringLiteral("paragraphs")][0][QStringLiteral("runs")][1].toObject();
    EXPECT_EQ(run[QStringLiteral("footnote")][QStringLiteral("text")].toString(),
              QStringLiteral("По данным МРТ от 01.12.2025."));
    EXPECT_EQ(run[QStringLiteral("vertical")].toString(), QStringLiteral("superscript"));
}

// A document LibreOffice wrote (from data/notes_fields.fodt): two footnotes,
// the second with a page field and two paragraphs, an endnote numbered i,
// a date, and a footer with the page number and count.
TEST(Notes, ReadFromLibreOfficesFile)
{
    const Document d = fixture("notes_fields");
    const std::vector<StoryRun> notes = runsOf(d.text(), Only::Notes);
    ASSERT_EQ(notes.size(), 3u);
    EXPECT_EQ(noteText(notes[0].note->content), QStringLiteral("\tПо данным МРТ."));
    QTextDocument second;
    ASSERT_TRUE(loadNoteContent(notes[1].note->content, second));
    EXPECT_EQ(second.toPlainText(), QStringLiteral("\tСм. страницу 1.\nВторой абзац сноски."));
    ASSERT_EQ(fieldRuns(second).size(), 1u);
    EXPECT_EQ(fieldRuns(second)[0].field->code, QStringLiteral(" PAGE "));
    EXPECT_EQ(notes[2].text, QStringLiteral("i"));
    EXPECT_TRUE(notes[2].note->endnote);
    EXPECT_EQ(notes[2].note->numberFormat, int(NumberLowerRoman));
    ASSERT_EQ(fieldRuns(d.text()).size(), 1u);
    EXPECT_EQ(fieldKeyword(fieldRuns(d.text())[0].field->code), QStringLiteral("DATE"));
    ASSERT_TRUE(d.footer);
    const std::vector<StoryRun> footer = fieldRuns(*d.footer);
    ASSERT_EQ(footer.size(), 2u);
    EXPECT_EQ(footer[1].field->code, QStringLiteral(" NUMPAGES "));

    // Written back: the notes' tables and stories in place, the endnotes still numbered i.
    const QByteArray file = writeDoc(d);
    EXPECT_EQ(fieldTable(file, kPlcfFldFtn).size(), 3u);
    const Document back = readDoc(file);
    EXPECT_EQ(plainText(back), plainText(d));
    EXPECT_EQ(storyText(back.footer), storyText(d.footer));
}

TEST(Notes, TextTypedIntoAReferenceStays)
{
    // Typed after the number, text takes the reference's format: it is
    // written as text after the note, and a run split in two is one note.
    QTextDocument content;
    QTextCursor(&content).insertText(QStringLiteral("Сноска"));
    QTextCharFormat f;
    setNote(f, {saveNoteContent(content), 1, false, false});
    Document d;
    QTextCursor c(&d.text());
    c.insertText(QStringLiteral("Текст"));
    c.insertText(QStringLiteral("1 и далее"), f);
    f.setFontWeight(QFont::Bold);
    c.insertText(QStringLiteral(" жирно"), f);
    const Document back = readDoc(writeDoc(d));
    EXPECT_EQ(plainText(back), QStringLiteral("Текст1 и далее жирно\n"));
    EXPECT_EQ(runsOf(back.text(), Only::Notes).size(), 1u);
}

TEST(Notes, DamagedTablesKeepTheText)
{
    Document d;
    QTextCursor c(&d.text());
    c.insertText(QStringLiteral("Текст"));
    insertNote(c, QStringLiteral("Сноска"), 1);
    c.insertText(QStringLiteral(" дальше"));
    const QByteArray file = writeDoc(d);
    const uint32_t fcTxt = ByteView(streamOf(file, "WordDocument")).u32(kPairsAt + 8 * kPlcffndTxt);

    // Note text positions past the story, backwards, or huge: the reference
    // stays, its note is empty.
    for (uint32_t bad : {0x7FFFFFF0u, 0xFFFFFFFFu, 3u}) {
        const QByteArray broken = test::editStream(file, QStringLiteral("1Table"), [&](QByteArray& t) {
            put32(t, fcTxt + 4, bad);
        });
        const Document back = readDoc(broken);
        EXPECT_EQ(plainText(back), QStringLiteral("Текст1 дальше\n"));
    }
    // A story count larger than the text: notes are not read, the text is.
    const QByteArray longer = test::editStream(file, QStringLiteral("WordDocument"), [&](QByteArray& w) {
        put32(w, kLwAt + 4 * kCcpFtn, 0x7FFFFFFF);
    });
    EXPECT_EQ(plainText(readDoc(longer)), QStringLiteral("Текст1 дальше\n"));

    // Note content that is not ours loads as nothing.
    QTextDocument into;
    EXPECT_FALSE(loadNoteContent(QByteArray("garbage"), into));
    EXPECT_FALSE(loadNoteContent(saveNoteContent(into).left(9), into));
    EXPECT_TRUE(into.isEmpty());
}

// LibreOffice opens what we write with the fields and notes in place.
TEST(FieldWrite, LibreOfficeReadsFieldsAndNotes)
{

    Document notes;
    QTextCursor c(&notes.text());
    c.insertText(QStringLiteral("Основной текст"));
    insertNote(c, QStringLiteral("Текст сноски"), 1);
    c.insertText(QStringLiteral(" и конец"));
    insertNote(c, QStringLiteral("Текст концевой"), 2, true);
    const auto converted = test::libreOfficeConversions({{QStringLiteral("footer"), writeDoc(fixture("header_footer"))},
                                                         {QStringLiteral("fields"), writeDoc(documentWithFields())},
                                                         {QStringLiteral("notes"), writeDoc(notes)}},
                                                        QStringLiteral("fodt"));
    if (!converted)
        GTEST_SKIP() << "LibreOffice is not installed";
    auto fodt = [&](const char* name) { return converted->value(QString::fromLatin1(name)); };
    const QString footer = fodt("footer");
    const qsizetype at = footer.indexOf(QStringLiteral("<style:footer>"));
    ASSERT_GE(at, 0);
    const QString footerXml = footer.mid(at, footer.indexOf(QStringLiteral("</style:footer>"), at) - at);
    EXPECT_TRUE(footerXml.contains(QStringLiteral("Страница <text:page-number"))) << footerXml.toStdString();

    const QString fields = fodt("fields");
    EXPECT_TRUE(fields.contains(QStringLiteral("<text:page-number"))) << fields.toStdString();
    EXPECT_TRUE(fields.contains(QStringLiteral("<text:page-count"))) << fields.toStdString();
    EXPECT_TRUE(fields.contains(QStringLiteral("<text:date"))) << fields.toStdString();

    const QString notesXml = fodt("notes");
    EXPECT_TRUE(notesXml.contains(QStringLiteral("text:note-class=\"footnote\""))) << notesXml.toStdString();
    EXPECT_TRUE(notesXml.contains(QStringLiteral("text:note-class=\"endnote\""))) << notesXml.toStdString();
    EXPECT_TRUE(notesXml.contains(QStringLiteral("Текст сноски")));
    EXPECT_TRUE(notesXml.contains(QStringLiteral("Текст концевой")));
}

TEST(FieldPages, PrintedPageNumbersFillTheResults)
{
    auto footer = emptyStory();
    QTextCursor c(footer.get());
    c.insertText(QStringLiteral("Стр. "));
    insertField(c, QStringLiteral(" PAGE "), QStringLiteral("1"), 1);
    c.insertText(QStringLiteral(" из "));
    insertField(c, QStringLiteral(" NUMPAGES  \\* ROMAN "), QString(), 2); // no result yet
    c.insertText(QStringLiteral(", "));
    insertField(c, QStringLiteral(" DATE "), QStringLiteral("09.12.2025"), 3);
    setPageFieldResults(*footer, 3, 12);
    EXPECT_EQ(footer->toPlainText(), QStringLiteral("Стр. 3 из XII, 09.12.2025"));
    // They are still the same fields, no longer placeholders.
    const std::vector<StoryRun> fields = fieldRuns(*footer);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_EQ(fields[1].field->id, 2);
    EXPECT_FALSE(fields[1].field->placeholder);
    setPageFieldResults(*footer, 14, 15);
    EXPECT_EQ(footer->toPlainText(), QStringLiteral("Стр. 14 из XV, 09.12.2025"));
}
