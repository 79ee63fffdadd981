// Word's list labels in the editor: where Qt's own counting differs (levels
// that go on across paragraphs of the upper level, start numbers), the view
// paints Word's label over Qt's, and nothing else.

#include "shown_view.h"
#include "view_test_support.h"

#include "word/text_formats.h"
#include "word/view/document_view.h"
#include "word/view/list_labels.h"

#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextList>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

ListLevel level(const QString& text, int start = 1)
{
    ListLevel def;
    def.text = text;
    def.start = start;
    return def;
}

// Headings "1." with items "1.1." under them, then a list starting at 5;
// without its first item when `headache` is false.
Document outline(bool headache = true)
{
    Document doc;
    QTextDocument& text = doc.text();
    QTextCursor c(&text);
    const QTextListFormat top = toListFormat(1, 0, level(QStringLiteral("\u0000.")));
    const QTextListFormat sub = toListFormat(1, 1, level(QStringLiteral("\u0000.\u0001.")));
    const QTextListFormat fifth = toListFormat(2, 0, level(QStringLiteral("\u0000)"), 5));
    QTextList* tops = nullptr;
    QTextList* subs = nullptr;
    const std::vector<std::pair<const QTextListFormat*, QString>> items = {
        {&top, QStringLiteral("Жалобы")},       {&sub, QStringLiteral("Головная боль")},
        {&sub, QStringLiteral("Головокружение")}, {&top, QStringLiteral("Анамнез")},
        {&sub, QStringLiteral("Гипертония")},   {&fifth, QStringLiteral("Пятый пункт")},
    };
    QTextList* fifths = nullptr;
    bool first = true;
    for (const auto& [format, words] : items) {
        if (!headache && words == QStringLiteral("Головная боль"))
            continue;
        if (!first)
            c.insertBlock();
        first = false;
        c.insertText(words);
        QTextList*& list = format == &top ? tops : format == &sub ? subs : fifths;
        if (list)
            list->add(c.block());
        else
            list = c.createList(*format);
    }
    return doc;
}

} // namespace

TEST(ListLabels, WordsCountingIsShownWhereQtsDiffers)
{
    Document doc = outline();
    QTextDocument& text = doc.text();
    text.setTextWidth(500);
    const std::vector<ListLabel> labels = differingListLabels(text);
    QStringList shown;
    for (const ListLabel& l : labels)
        shown << l.text;
    // "1." and "2." are what Qt shows too; the rest Qt counts as 1, 2, 3 and 1).
    EXPECT_EQ(shown, (QStringList{"1.1.", "1.2.", "2.1.", "5)"}));

    // Each label ends before its paragraph's text, on its first line.
    const QTextBlock item = text.findBlockByNumber(1);
    const QRectF itemRect = text.documentLayout()->blockBoundingRect(item);
    const qreal textStart = itemRect.left() + item.layout()->lineAt(0).naturalTextRect().left();
    EXPECT_LT(labels[0].end.x(), textStart);
    EXPECT_GT(labels[0].end.x(), textStart - 20);
    EXPECT_LE(labels[0].qtRect.right(), textStart);
    EXPECT_GE(labels[0].baseline, itemRect.top());
    EXPECT_LE(labels[0].baseline, itemRect.top() + item.layout()->lineAt(0).height());

    // Only the paragraphs down to a point are looked at, when asked.
    EXPECT_EQ(differingListLabels(text, itemRect.bottom()).size(), 1u);
}

TEST(ListLabels, PaintingTouchesTheLabelsOnly)
{
    Document doc = outline();
    QTextDocument& text = doc.text();
    text.setTextWidth(500);
    QImage plain(520, 300, QImage::Format_RGB32);
    plain.fill(Qt::white);
    {
        QPainter p(&plain);
        text.drawContents(&p);
    }
    QImage labelled = plain.copy();
    const std::vector<ListLabel> labels = differingListLabels(text);
    {
        QPainter p(&labelled);
        paintListLabels(p, labels, QRectF(0, 0, 520, 300), Qt::white);
    }
    QRectF allowed;
    for (const ListLabel& l : labels) {
        const qreal width = 60;
        allowed = allowed.united(l.qtRect.adjusted(-2, -2, 2, 2))
                      .united(QRectF(l.end.x() - width, l.end.y() - 2, width + 2, l.qtRect.height() + 24));
    }
    int changed = 0;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            if (plain.pixel(x, y) != labelled.pixel(x, y)) {
                ++changed;
                ASSERT_TRUE(allowed.contains(QPointF(x, y))) << x << "," << y;
            }
    EXPECT_GT(changed, 40);
}

TEST(ListLabels, TheEditorOfTheViewShowsThem)
{
    ShownView shown(outline());
    EXPECT_TRUE(qobject_cast<DocumentTextEdit*>(shown.editor()));
    // An editor's own list (no Word list behind it) is left to Qt.
    QTextDocument own;
    QTextCursor c(&own);
    c.insertText(QStringLiteral("пункт"));
    c.createList(QTextListFormat::ListDecimal);
    c.insertBlock();
    c.insertText(QStringLiteral("ещё"));
    own.setTextWidth(400);
    EXPECT_TRUE(differingListLabels(own).empty());
}

TEST(ListLabels, AnEditedDocumentShowsTheNewNumbers)
{
    // Edited: the item taken out, the others are numbered anew.
    ShownView edited(outline());
    QTextCursor c(edited.text().findBlockByNumber(0));
    c.movePosition(QTextCursor::EndOfBlock);
    c.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    c.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    c.removeSelectedText();
    QApplication::processEvents();

    ShownView fresh(outline(false));

    for (ShownView* shown : {&edited, &fresh}) {
        shown->editor()->setCursorWidth(0);
        shown->editor()->setTextCursor(QTextCursor(&shown->text()));
    }
    const QImage before = edited.editor()->viewport()->grab().toImage();
    const QImage after = fresh.editor()->viewport()->grab().toImage();
    EXPECT_EQ(before, after);
}
