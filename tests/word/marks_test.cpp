// Bookmarks and comments: read from documents LibreOffice wrote, kept on
// their text while it is edited, written back so that LibreOffice sees the
// same names, ranges, authors and texts; damaged tables are survived.

#include "test_support.h"
#include "word/compound_file.h"
#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/fib.h"
#include "word/document_text.h"
#include "word/fields.h"
#include "word/marks.h"
#include "word/marks_tables.h"
#include "word/notes.h"

#include "common/errors.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocumentFragment>
#include <QTextTable>

#include <gtest/gtest.h>

#include <map>

using namespace talvora;
using namespace talvora::word;

namespace {

constexpr qsizetype kFibPairs = 154; // where the FIB's (fc, lcb) pairs start in a Word 97 file

Document readFixture(const char* name)
{
    return readDoc(test::readData(QStringLiteral("marks/") + QLatin1String(name)));
}

Document roundTrip(const Document& doc)
{
    return readDoc(writeDoc(doc));
}

// The text between two positions, paragraph marks as '\n', markers left out.
QString textBetween(const QTextDocument& doc, int from, int to)
{
    QTextCursor c(const_cast<QTextDocument*>(&doc));
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    QString s = c.selectedText();
    s.replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
    s.remove(QChar(kBookmarkMarker));
    s.remove(QChar::ObjectReplacementCharacter);
    return s;
}

// Each bookmark's name with its text; an empty one with the text just before it.
std::map<QString, QString> bookmarkTexts(const QTextDocument& doc)
{
    std::map<QString, QString> out;
    for (const BookmarkAt& b : bookmarksOf(doc))
        out[b.name] = b.from == b.to ? QStringLiteral("@") + textBetween(doc, std::max(0, b.from - 6), b.from)
                                     : textBetween(doc, b.from, b.to);
    return out;
}

struct CommentSeen {
    QString author, initials, text, range;
    bool operator==(const CommentSeen&) const = default;
};

std::ostream& operator<<(std::ostream& os, const CommentSeen& c)
{
    return os << c.author.toStdString() << " (" << c.initials.toStdString() << "): " << c.text.toStdString() << " on «"
              << c.range.toStdString() << "»";
}

std::vector<CommentSeen> commentsSeen(const QTextDocument& doc)
{
    std::vector<CommentSeen> out;
    for (const CommentAt& c : commentsOf(doc))
        out.push_back({c.comment.author, c.comment.initials, commentText(c.comment).trimmed(),
                       textBetween(doc, c.rangeFrom, c.rangeTo)});
    return out;
}

int positionOf(const QTextDocument& doc, const QString& text)
{
    return int(doc.toPlainText().indexOf(text));
}

const std::map<QString, QString>& expectedBookmarks()
{
    static const std::map<QString, QString> expected = {
        {QStringLiteral("Diagnosis"), QStringLiteral("Диагноз: мигрень без ауры.\nСопутствующий: остеохондроз.")},
        {QStringLiteral("Empty"), QStringLiteral("@Точка:")},
        {QStringLiteral("Outer"), QStringLiteral("внешняя внутренняя снова внешняя")},
        {QStringLiteral("Внутренняя"), QStringLiteral("внутренняя")},
        {QStringLiteral("Cell"), QStringLiteral("Гемоглобин 130")},
    };
    return expected;
}

// The headings' bookmarks that the table of contents links to: empty ones
// where each heading starts, as LibreOffice writes them.
QStringList tocBookmarks(const QTextDocument& doc)
{
    QStringList headings;
    for (const BookmarkAt& b : bookmarksOf(doc))
        if (b.name.contains(QLatin1String("_Toc")) && b.from == b.to)
            headings << doc.findBlock(b.from).text().remove(QChar(kBookmarkMarker));
    headings.sort();
    return headings;
}

const std::vector<CommentSeen>& expectedComments()
{
    static const std::vector<CommentSeen> expected = {
        {QStringLiteral("Иванов Иван"), QStringLiteral("ИИ"), QStringLiteral("Уточнить дозу"),
         QStringLiteral("карбамазепин 200 мг")},
        {QStringLiteral("Петрова Анна"), QStringLiteral("ПА"), QStringLiteral("Проверить повторно\nчерез неделю"), {}},
    };
    return expected;
}

void expectBookmarksOfFixture(const Document& doc)
{
    const auto seen = bookmarkTexts(doc.text());
    for (const auto& [name, text] : expectedBookmarks()) {
        ASSERT_TRUE(seen.count(name)) << name.toStdString();
        EXPECT_EQ(seen.at(name), text) << name.toStdString();
    }
    EXPECT_EQ(tocBookmarks(doc.text()), (QStringList{QStringLiteral("Жалобы"), QStringLiteral("Заключение")}));
}

} // namespace

TEST(Bookmarks, ReadFromLibreOfficesDocument)
{
    const Document doc = readFixture("marks_bookmarks.doc");
    expectBookmarksOfFixture(doc);
    // The empty bookmark is one marker that shows nothing.
    EXPECT_TRUE(plainText(doc).contains(QStringLiteral("Точка: здесь пустая закладка.")));
    // The reference to a bookmark stays a field naming it.
    bool ref = false;
    for (QTextBlock b = doc.text().begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (const auto field = fieldOf(it.fragment().charFormat()))
                ref |= fieldKeyword(field->code) == QLatin1String("REF") && field->code.contains(QLatin1String("Diagnosis"));
    EXPECT_TRUE(ref);
}

TEST(Bookmarks, SurviveWritingAndReading)
{
    const Document doc = readFixture("marks_bookmarks.doc");
    const Document again = roundTrip(doc);
    expectBookmarksOfFixture(again);
    EXPECT_EQ(bookmarkTexts(again.text()), bookmarkTexts(doc.text()));
    EXPECT_EQ(plainText(again), plainText(doc));
}

TEST(Bookmarks, EditsAroundThemKeepThemInPlace)
{
    Document doc = readFixture("marks_bookmarks.doc");
    QTextDocument& text = doc.text();
    QTextCursor c(&text);

    // Text typed before a bookmark moves it; text typed inside widens it.
    c.setPosition(positionOf(text, QStringLiteral("Перед закладкой")));
    c.insertText(QStringLiteral("Новое. "));
    c.setPosition(positionOf(text, QStringLiteral("без ауры")));
    c.insertText(QStringLiteral("часто "));
    // Deleting the whole text of a bookmark deletes it, as does deleting an empty one's marker.
    const int cell = positionOf(text, QStringLiteral("Гемоглобин 130"));
    c.setPosition(cell);
    c.setPosition(cell + 14, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    c.insertText(QStringLiteral("Гемоглобин 128"));
    for (const BookmarkAt& b : bookmarksOf(text))
        if (b.name == QLatin1String("Empty")) {
            c.setPosition(b.from);
            c.setPosition(b.from + 1, QTextCursor::KeepAnchor);
            c.removeSelectedText();
        }

    const Document again = roundTrip(doc);
    for (const Document* d : {&std::as_const(doc), &again}) {
        const auto seen = bookmarkTexts(d->text());
        EXPECT_EQ(seen.at(QStringLiteral("Diagnosis")),
                  QStringLiteral("Диагноз: мигрень часто без ауры.\nСопутствующий: остеохондроз."));
        EXPECT_EQ(seen.at(QStringLiteral("Outer")), QStringLiteral("внешняя внутренняя снова внешняя"));
        EXPECT_EQ(seen.count(QStringLiteral("Cell")), 0u);
        EXPECT_EQ(seen.count(QStringLiteral("Empty")), 0u);
    }
}

TEST(Bookmarks, CopiedTextDoesNotStretchOrRepeatThem)
{
    Document doc = readFixture("marks_bookmarks.doc");
    QTextDocument& text = doc.text();
    // The bookmarked text pasted again further on: the first stays the bookmark.
    const int from = positionOf(text, QStringLiteral("внутренняя<"));
    QTextCursor c(&text);
    const int inner = positionOf(text, QStringLiteral("внутренняя снова"));
    c.setPosition(inner);
    c.setPosition(inner + 10, QTextCursor::KeepAnchor);
    const QTextDocumentFragment copy = c.selection();
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral(" Копия: "));
    c.insertFragment(copy);
    Q_UNUSED(from);
    const Document again = roundTrip(doc);
    const auto seen = bookmarkTexts(again.text());
    EXPECT_EQ(seen.at(QStringLiteral("Внутренняя")), QStringLiteral("внутренняя"));
    const auto all = bookmarksOf(again.text());
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const BookmarkAt& b) { return b.name == QStringLiteral("Внутренняя"); }),
              1);
    EXPECT_LT(all.size(), 12u);
}

TEST(Bookmarks, WordsLastEditPlaceIsNotKept)
{
    // Word's "_GoBack" would put a marker inside a word that a search of the
    // assembly looks for.
    Document doc;
    QTextCursor c(&doc.text());
    c.insertText(QStringLiteral("<!fld_"));
    QTextCharFormat point;
    point.setProperty(BookmarkPointProperty, QStringList{QStringLiteral("_GoBack"), QStringLiteral("Kept")});
    c.insertText(QString(QChar(kBookmarkMarker)), point);
    c.insertText(QStringLiteral("5>"), QTextCharFormat());
    const Document again = roundTrip(doc);
    const auto marks = bookmarksOf(again.text());
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].name, QStringLiteral("Kept"));
    EXPECT_EQ(marks[0].from, 6);
}

TEST(Comments, ReadFromLibreOfficesDocument)
{
    const Document doc = readFixture("marks_comments.doc");
    EXPECT_EQ(commentsSeen(doc.text()), expectedComments());
    // The references show nothing in the text.
    EXPECT_EQ(plainText(doc), QStringLiteral("Назначено: карбамазепин 200 мг дважды в день.\n"
                                             "Анализ крови в норме. Выписан.\n"));
    const std::vector<CommentAt> comments = commentsOf(doc.text());
    ASSERT_EQ(comments.size(), 2u);
    EXPECT_EQ(comments[1].position + 1, positionOf(doc.text(), QStringLiteral(" Выписан.")));
}

TEST(Comments, SurviveWritingAndReading)
{
    const Document again = roundTrip(readFixture("marks_comments.doc"));
    EXPECT_EQ(commentsSeen(again.text()), expectedComments());
    EXPECT_EQ(plainText(again), plainText(readFixture("marks_comments.doc")));
}

TEST(Comments, EditsKeepThemOnTheirText)
{
    Document doc = readFixture("marks_comments.doc");
    QTextDocument& text = doc.text();
    QTextCursor c(&text);
    c.setPosition(0);
    c.insertText(QStringLiteral("Лечение. "));
    c.setPosition(positionOf(text, QStringLiteral("200 мг")));
    c.insertText(QStringLiteral("по "));
    // Deleting a reference deletes its comment.
    const std::vector<CommentAt> before = commentsOf(text);
    ASSERT_EQ(before.size(), 2u);
    c.setPosition(before[1].position);
    c.setPosition(before[1].position + 1, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    // A new comment at the cursor, written like the ones read.
    c.movePosition(QTextCursor::End);
    CommentInfo added;
    QTextDocument content;
    QTextCursor(&content).insertText(QStringLiteral("Добавлено"));
    added.content = saveNoteContent(content);
    added.author = QStringLiteral("Сидоров");
    added.id = 99;
    insertComment(c, added);

    const std::vector<CommentSeen> seen = commentsSeen(roundTrip(doc).text());
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].range, QStringLiteral("карбамазепин по 200 мг"));
    EXPECT_EQ(seen[0].author, QStringLiteral("Иванов Иван"));
    EXPECT_EQ(seen[1], (CommentSeen{QStringLiteral("Сидоров"), {}, QStringLiteral("Добавлено"), {}}));
}

TEST(Marks, LibreOfficeSeesTheSameAfterUs)
{
    const QByteArray bookmarks = test::readData(QStringLiteral("marks/marks_bookmarks.doc"));
    const QByteArray comments = test::readData(QStringLiteral("marks/marks_comments.doc"));
    const auto fodt = test::libreOfficeConversions(
        {{QStringLiteral("bookmarks"), bookmarks},
         {QStringLiteral("bookmarks_ours"), writeDoc(readDoc(bookmarks))},
         {QStringLiteral("comments"), comments},
         {QStringLiteral("comments_ours"), writeDoc(readDoc(comments))}},
        QStringLiteral("fodt"));
    if (!fodt)
        GTEST_SKIP() << "LibreOffice is not installed";

    const auto all = [](const QString& xml, const QString& pattern) { return test::capturesOf(xml, pattern); };
    const QString bookmarkName = QStringLiteral(R"x(<text:bookmark(?:-start)? text:name="([^"]*)")x");
    for (const char* name : {"bookmarks", "comments"}) {
        const QString theirs = fodt->value(QLatin1String(name));
        const QString ours = fodt->value(QLatin1String(name) + QStringLiteral("_ours"));
        ASSERT_FALSE(ours.isEmpty()) << name;
        // LibreOffice keeps hidden bookmarks (named "_…") only while a link
        // names them: the table of contents' links (fields nested in its
        // result) keep them.
        EXPECT_EQ(all(ours, bookmarkName), all(theirs, bookmarkName)) << name;
        EXPECT_EQ(all(ours, QStringLiteral(R"x(<text:bookmark-ref [^>]*text:ref-name="([^"]*)")x")),
                  all(theirs, QStringLiteral(R"x(<text:bookmark-ref [^>]*text:ref-name="([^"]*)")x")));
        // Each annotation's author and paragraphs, and whether it covers text.
        const QString annotation = QStringLiteral(R"x((?s)(<office:annotation[ >].*?</office:annotation>))x");
        auto plain = [&](const QString& xml) {
            QStringList out;
            for (QString a : all(xml, annotation)) {
                a.remove(QRegularExpression(QStringLiteral(R"x((?s)<dc:date>.*?</dc:date>)x")));
                a.remove(QRegularExpression(QStringLiteral(R"x( office:name="[^"]*")x")));
                a.remove(QRegularExpression(QStringLiteral(R"x( (?:text|loext):[a-z-]+="[^"]*")x")));
                a.remove(QRegularExpression(QStringLiteral(R"x(<text:p[^>]*>)x")));
                a.replace(QRegularExpression(QStringLiteral(R"x(>\s+<)x")), QStringLiteral("><"));
                out << a;
            }
            return out;
        };
        EXPECT_EQ(plain(ours), plain(theirs)) << name;
        EXPECT_EQ(ours.count(QLatin1String("<office:annotation-end")), theirs.count(QLatin1String("<office:annotation-end")));
    }
    EXPECT_EQ(fodt->value(QStringLiteral("comments_ours")).count(QLatin1String("<office:annotation ")), 2);
    EXPECT_EQ(fodt->value(QStringLiteral("bookmarks_ours")).count(QLatin1String("<text:bookmark")), 14);
}

namespace {

// A document with bookmarks and comments as our writer stores them.
QByteArray markedDocument()
{
    Document doc = readFixture("marks_bookmarks.doc");
    const Document comments = readFixture("marks_comments.doc");
    QTextCursor c(&doc.text());
    c.movePosition(QTextCursor::End);
    c.insertFragment(QTextDocumentFragment(&comments.text()));
    return writeDoc(doc);
}

// Where table `index` of the FIB lies in the table stream.
std::pair<uint32_t, uint32_t> tableOf(const QByteArray& file, int index)
{
    const QByteArray word = CompoundFileReader(file).stream(QStringLiteral("WordDocument"));
    const ByteView v(word);
    return {v.u32(kFibPairs + 8 * index), v.u32(kFibPairs + 8 * index + 4)};
}

// The file with the bytes of table `index` changed by `edit` (which gets the table's bytes).
template <typename Edit>
QByteArray withTable(const QByteArray& file, int index, Edit edit)
{
    const auto [fc, lcb] = tableOf(file, index);
    return test::editStream(file, QStringLiteral("1Table"), [&](QByteArray& table) {
        QByteArray part = table.mid(fc, lcb);
        edit(part);
        table.replace(fc, lcb, part);
    });
}

// The file with pair `index` of the FIB set to (fc, lcb).
QByteArray withPair(const QByteArray& file, int index, uint32_t fc, uint32_t lcb)
{
    return test::editStream(file, QStringLiteral("WordDocument"), [&](QByteArray& word) {
        put32(word, kFibPairs + 8 * index, fc);
        put32(word, kFibPairs + 8 * index + 4, lcb);
    });
}

// Reads, writes and reads again; the names of the bookmarks and the authors
// of the comments of the last reading. Nothing when the reader refused.
std::optional<std::pair<QStringList, QStringList>> survive(const QByteArray& file)
{
    try {
        const Document doc = readDoc(writeDoc(readDoc(file)));
        QStringList names, authors;
        for (const BookmarkAt& b : bookmarksOf(doc.text()))
            names << b.name;
        for (const CommentAt& c : commentsOf(doc.text()))
            authors << c.comment.author;
        return std::pair{names, authors};
    } catch (const Error&) {
        return std::nullopt;
    }
}

} // namespace

TEST(MarksRobustness, DamagedTablesLoseOnlyWhatIsDamaged)
{
    const QByteArray good = markedDocument();
    const auto intact = survive(good);
    ASSERT_TRUE(intact);
    ASSERT_EQ(intact->first.size(), 7);
    ASSERT_EQ(intact->second, (QStringList{QStringLiteral("Иванов Иван"), QStringLiteral("Петрова Анна")}));

    struct Case {
        const char* what;
        QByteArray file;
        int bookmarks; // how many stay; -1: any number
        int comments;
    };
    const auto [fcText, lcbText] = tableOf(good, fib::PlcfandTxt);
    Q_UNUSED(fcText);
    const std::vector<Case> cases = {
        {"names count lies", withTable(good, fib::SttbfBkmk, [](QByteArray& t) { put16(t, 2, 0xFFFE); }), 7, 2},
        {"no names", withPair(good, fib::SttbfBkmk, 0, 0), 0, 2},
        {"starts past the stream", withPair(good, fib::PlcfBkf, 0x7FFFFFF0, 64), 0, 2},
        {"ends longer than the stream", withPair(good, fib::PlcfBkl, 0, 0xFFFFFFF0), 0, 2},
        {"a start past the text", withTable(good, fib::PlcfBkf, [](QByteArray& t) { put32(t, 0, 0x7FFFFFFF); }), 6, 2},
        {"a negative start", withTable(good, fib::PlcfBkf, [](QByteArray& t) { put32(t, 4, 0x80000000); }), 6, 2},
        {"an end index past the ends",
         withTable(good, fib::PlcfBkf, [](QByteArray& t) { put16(t, t.size() - 4, 0xFFFF); }), 6, 2},
        {"every end past the text",
         withTable(good, fib::PlcfBkl, [](QByteArray& t) {
             for (qsizetype k = 0; k + 4 <= t.size(); k += 4)
                 put32(t, k, 0x40000000);
         }),
         0, 2},
        {"a reference past the text", withTable(good, fib::PlcfandRef, [](QByteArray& t) { put32(t, 4, 0x7FFFFFF0); }), 7, 1},
        {"references out of order", withTable(good, fib::PlcfandRef, [](QByteArray& t) { put32(t, 4, 0); }), 7, -1},
        {"an author index past the authors",
         withTable(good, fib::PlcfandRef, [](QByteArray& t) { put16(t, 12 + 20, 0x7FFF); }), 7, 2},
        {"comment texts past the story",
         withTable(good, fib::PlcfandTxt, [](QByteArray& t) { put32(t, 4, 0x7FFFFFFF); }), 7, 2},
        {"texts table cut", withPair(good, fib::PlcfandTxt, 0, lcbText / 2), 7, 2},
        {"tag count lies", withTable(good, fib::SttbfAtnBkmk, [](QByteArray& t) { put16(t, 2, 0x7FFF); }), 7, 2},
        {"a tag's range past the text", withTable(good, fib::PlcfAtnBkl, [](QByteArray& t) { put32(t, 0, 0x7FFFFFFF); }), 7, 2},
        {"authors past the stream", withPair(good, fib::GrpXstAtnOwners, 0x7FFFFFF0, 0x7FFFFFF0), 7, 2},
        {"comment story longer than the text", test::editStream(good, QStringLiteral("WordDocument"), [](QByteArray& w) {
             put32(w, 64 + 4 * fib::CcpAtn, 0x7FFFFFF0);
         }), -1, 0},
    };
    for (const Case& c : cases) {
        const auto result = survive(c.file);
        ASSERT_TRUE(result) << c.what;
        if (c.bookmarks >= 0) {
            EXPECT_EQ(result->first.size(), c.bookmarks) << c.what;
        }
        if (c.comments >= 0) {
            EXPECT_EQ(result->second.size(), c.comments) << c.what;
        }
    }
}

TEST(MarksRobustness, RandomDamageToTheTables)
{
    const QByteArray good = markedDocument();
    QRandomGenerator rng(180318);
    const int tables[] = {fib::SttbfBkmk, fib::PlcfBkf,        fib::PlcfBkl,      fib::PlcfandRef, fib::PlcfandTxt,
                          fib::GrpXstAtnOwners, fib::SttbfAtnBkmk, fib::PlcfAtnBkf, fib::PlcfAtnBkl};
    for (int round = 0; round < 400; ++round) {
        const int index = tables[rng.bounded(int(std::size(tables)))];
        const QByteArray bad = withTable(good, index, [&](QByteArray& t) {
            if (t.isEmpty())
                return;
            for (int k = 1 + int(rng.bounded(4)); k > 0; --k) {
                const qsizetype at = qsizetype(rng.bounded(quint32(t.size())));
                if (rng.bounded(2) && at + 4 <= t.size())
                    put32(t, at, rng.bounded(2) ? rng.generate() : 0xFFFFFFFF);
                else
                    t[at] = char(rng.bounded(256));
            }
        });
        survive(bad); // an error or a document; never a crash
    }
}
