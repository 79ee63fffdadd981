// Typing next to what rides on characters — bookmarks, empty bookmarks'
// markers, comment references — and searching across the markers.

#include "shown_view.h"
#include "view_test_support.h"

#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/marks.h"
#include "word/notes.h"
#include "word/view/document_view.h"
#include "word/view/text_edits.h"

#include <QApplication>
#include <QTest>
#include <QTextEdit>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

void markBookmark(QTextDocument& doc, int from, int to, const QString& name)
{
    QTextCursor c(&doc);
    c.setPosition(from);
    c.setPosition(to, QTextCursor::KeepAnchor);
    QTextCharFormat f;
    f.setProperty(BookmarksProperty, QStringList{name});
    c.mergeCharFormat(f);
}

void insertPoint(QTextDocument& doc, int at, const QString& name)
{
    QTextCursor c(&doc);
    c.setPosition(at);
    QTextCharFormat f = c.charFormat();
    f.setProperty(BookmarkPointProperty, QStringList{name});
    c.insertText(QString(QChar(kBookmarkMarker)), f);
}

struct TypingView : ShownView {
    explicit TypingView(Document doc) : ShownView(std::move(doc), QSize(700, 500)) {}
    void typeAt(int position, const char* keys)
    {
        QTextCursor c = editor()->textCursor();
        c.setPosition(position);
        editor()->setTextCursor(c);
        QTest::keyClicks(editor(), keys);
    }
};

} // namespace

TEST(TypingAtMarks, TextTypedAtABookmarksEndGoesAfterItAndInsideItJoinsIt)
{
    // "Диагноз: " is 9 characters; the bookmark covers "инсульт".
    Document doc = docOf({QStringLiteral("Диагноз: инсульт, ранний период.")});
    markBookmark(doc.text(), 9, 16, QStringLiteral("diag"));
    TypingView t(std::move(doc));

    t.typeAt(16, "XY");
    std::vector<BookmarkAt> marks = bookmarksOf(t.text());
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].from, 9);
    EXPECT_EQ(marks[0].to, 16);

    t.typeAt(12, "Z"); // inside: the bookmark grows
    marks = bookmarksOf(t.text());
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].to, 17);

    // What the file keeps is what the editor showed.
    const Document saved = readDoc(writeDoc(*t.view.document()));
    marks = bookmarksOf(saved.text());
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(saved.text().toPlainText().mid(marks[0].from, marks[0].to - marks[0].from),
              QStringLiteral("инсZульт"));
}

TEST(TypingAtMarks, ABookmarkGoingOnInTheNextParagraphTakesTextTypedAtTheBreak)
{
    Document doc = docOf({QStringLiteral("первая"), QStringLiteral("вторая")});
    markBookmark(doc.text(), 2, 10, QStringLiteral("span"));
    TypingView t(std::move(doc));
    t.typeAt(6, "Q"); // end of the first paragraph, inside the bookmark
    const std::vector<BookmarkAt> marks = bookmarksOf(t.text());
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].from, 2);
    EXPECT_EQ(marks[0].to, 11);
}

TEST(TypingAtMarks, TypedTextNeverBecomesAMarkerOrAReference)
{
    Document doc = docOf({QStringLiteral("До замечания после.")});
    insertPoint(doc.text(), 2, QStringLiteral("point"));
    {
        QTextCursor c(&doc.text());
        c.setPosition(13); // after "замечания" (the marker moved it by one)
        QTextDocument content;
        QTextCursor(&content).insertText(QStringLiteral("Уточнить дозу"));
        CommentInfo comment;
        comment.content = saveNoteContent(content);
        comment.author = QStringLiteral("Петрова А. В.");
        comment.id = 7;
        insertComment(c, comment);
    }
    TypingView t(std::move(doc));
    t.typeAt(3, "a");  // after the empty bookmark's marker
    t.typeAt(15, "b"); // after the comment's reference

    const QString plain = t.text().toPlainText();
    EXPECT_EQ(plain.count(QChar(kBookmarkMarker)), 1);
    const std::vector<BookmarkAt> marks = bookmarksOf(t.text());
    ASSERT_EQ(marks.size(), 1u);
    EXPECT_EQ(marks[0].from, 2);
    EXPECT_EQ(marks[0].to, 2);
    EXPECT_FALSE(formatAt(t.text(), QStringLiteral("a")).hasProperty(BookmarkPointProperty));
    EXPECT_FALSE(isCommentReference(formatAt(t.text(), QStringLiteral("b"))));

    const Document saved = readDoc(writeDoc(*t.view.document()));
    const std::vector<CommentAt> comments = commentsOf(saved.text());
    ASSERT_EQ(comments.size(), 1u);
    EXPECT_EQ(comments[0].comment.author, QStringLiteral("Петрова А. В."));
    EXPECT_EQ(bookmarksOf(saved.text()).size(), 1u);
    QString savedText = saved.text().toPlainText();
    savedText.remove(QChar(kBookmarkMarker)).remove(QChar::ObjectReplacementCharacter);
    EXPECT_EQ(savedText, QStringLiteral("Доa замечанияb после."));
}

TEST(TypingAtMarks, FindLooksAcrossEmptyMarkersBothWays)
{
    // A template marker with an empty bookmark inside it is still found.
    Document doc = docOf({QStringLiteral("Жалобы: <!fld_1>; <!FLD_1>."), QStringLiteral("<!fld_1>")});
    insertPoint(doc.text(), 12, QStringLiteral("inside"));
    const QTextDocument& text = doc.text();
    const QString marker = QStringLiteral("<!fld_1>");

    QTextCursor found = findText(text, marker, QTextCursor(const_cast<QTextDocument*>(&text)), true);
    ASSERT_FALSE(found.isNull());
    EXPECT_EQ(found.selectionStart(), 8);
    EXPECT_EQ(found.selectionEnd(), 17); // the marker is inside the match

    found = findText(text, marker, found, true); // case does not matter
    ASSERT_FALSE(found.isNull());
    EXPECT_EQ(found.selectionStart(), 19);
    found = findText(text, marker, found, true); // the next paragraph
    ASSERT_FALSE(found.isNull());
    EXPECT_EQ(found.selectionStart(), 29);
    EXPECT_TRUE(findText(text, marker, found, true).isNull());

    found = findText(text, marker, found, false);
    ASSERT_FALSE(found.isNull());
    EXPECT_EQ(found.selectionStart(), 19);
    found = findText(text, marker, found, false);
    ASSERT_FALSE(found.isNull());
    EXPECT_EQ(found.selectionStart(), 8);
    EXPECT_TRUE(findText(text, marker, found, false).isNull());
    EXPECT_TRUE(findText(text, QStringLiteral("fld_2"), found, true).isNull());
}
