// Comments in the document view: a marker where each reference stands, the
// comment's author and text as the tool tip over it, and nothing of it in
// what is saved or printed.

#include "shown_view.h"
#include "view_test_support.h"

#include "word/doc_reader.h"
#include "word/doc_writer.h"
#include "word/marks.h"
#include "word/notes.h"
#include "word/view/comment_markers.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QTextBlock>
#include <QTextEdit>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

// "До замечания" with a comment after "замечания", then " после".
Document commentedDocument()
{
    Document doc = docOf({QStringLiteral("До замечания после.")});
    QTextCursor c(&doc.text());
    c.setPosition(12);
    QTextDocument content;
    QTextCursor(&content).insertText(QStringLiteral("Проверить дозу"));
    CommentInfo comment;
    comment.content = saveNoteContent(content);
    comment.author = QStringLiteral("Иванов Иван");
    comment.id = 1;
    insertComment(c, comment);
    return doc;
}

} // namespace

TEST(CommentMarkers, MarkerShowsTheCommentOnHover)
{
    ShownView shown(commentedDocument());
    DocumentView& view = shown.view;
    QTextEdit* editor = shown.editor();
    auto* markers = view.findChild<CommentMarkers*>();
    ASSERT_TRUE(markers);

    // The marker takes room on the line, between "замечания" and " после".
    QTextCursor at(editor->document());
    at.setPosition(12);
    const QRect before = editor->cursorRect(at);
    at.setPosition(13);
    const QRect after = editor->cursorRect(at);
    EXPECT_GT(after.left() - before.left(), 3);

    const QPoint middle((before.left() + after.left()) / 2, before.center().y());
    EXPECT_EQ(markers->toolTipAt(middle), QStringLiteral("Иванов Иван\nПроверить дозу"));
    EXPECT_TRUE(markers->toolTipAt(QPoint(before.left() - 40, before.center().y())).isEmpty());
    EXPECT_TRUE(markers->toolTipAt(QPoint(after.left() + 30, after.center().y() + 200)).isEmpty());

    // The comment goes out with the document as it was.
    const Document saved = readDoc(writeDoc(*view.document()));
    const std::vector<CommentAt> comments = commentsOf(saved.text());
    ASSERT_EQ(comments.size(), 1u);
    EXPECT_EQ(comments[0].position, 12);
    EXPECT_EQ(commentText(comments[0].comment).trimmed(), QStringLiteral("Проверить дозу"));
}

TEST(CommentMarkers, OutsideTheEditorReferencesTakeNoRoom)
{
    // A layout without the view's handler (printing, PDF) draws the reference as nothing.
    Document doc = commentedDocument();
    doc.text().setTextWidth(400);
    doc.text().size(); // lays it out
    const QTextLayout* layout = doc.text().firstBlock().layout();
    ASSERT_TRUE(layout && layout->lineCount() > 0);
    const QTextLine line = layout->lineAt(0);
    EXPECT_NEAR(line.cursorToX(13), line.cursorToX(12), 1.5);
}
