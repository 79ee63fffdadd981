// Lengths come out at their size: a paragraph indented by an inch starts an
// inch to the right on the printed page and on the screen, a table two
// inches wide prints two inches wide, whatever the device's resolution.

#include "shown_view.h"
#include "view_test_support.h"

#include "word/view/document_printing.h"
#include "word/view/document_view.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QTextBlock>
#include <QTextEdit>
#include <QTextTable>

using namespace talvora;
using namespace talvora::word;
using namespace talvora::word::test;

namespace {

// "Без отступа", then the same indented by an inch (first line half an inch
// further), then a table two inches wide with its cells filled black.
Document measured()
{
    Document doc = docOf({QStringLiteral("Без отступа"), QStringLiteral("Отступ на дюйм")});
    QTextCursor c(doc.text().findBlockByNumber(1));
    QTextBlockFormat f = c.blockFormat();
    f.setLeftMargin(twipsToLength(1440));
    c.setBlockFormat(f);
    c.movePosition(QTextCursor::End);
    c.insertBlock(QTextBlockFormat());
    QTextTableFormat tf;
    tf.setWidth(QTextLength(QTextLength::FixedLength, twipsToLength(2880)));
    tf.setBorder(0);
    tf.setCellPadding(0);
    tf.setCellSpacing(0);
    QTextTable* t = c.insertTable(1, 1, tf);
    QTextTableCellFormat black;
    black.setBackground(Qt::black);
    t->cellAt(0, 0).setFormat(black);
    t->cellAt(0, 0).firstCursorPosition().insertText(QStringLiteral("x"));
    return doc;
}

// The leftmost and rightmost dark columns of the image's rows [top, bottom).
std::pair<int, int> inkColumns(const QImage& image, int top, int bottom)
{
    int left = image.width(), right = -1;
    for (int y = std::max(0, top); y < std::min(bottom, image.height()); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qGray(image.pixel(x, y)) < 128) {
                left = std::min(left, x);
                right = std::max(right, x);
            }
    return {left, right};
}

} // namespace

TEST(PrintedLengths, IndentsAndTableWidthsPrintAtTheirSizeAtAnyResolution)
{
    const Document doc = measured();
    for (const int dpi : {96, 300, 600}) {
        QImage page(int(8.27 * dpi), int(11.69 * dpi), QImage::Format_RGB32);
        page.setDotsPerMeterX(int(dpi / 0.0254 + 0.5));
        page.setDotsPerMeterY(int(dpi / 0.0254 + 0.5));
        page.fill(Qt::white);
        const PrintedPages pages(doc, page);
        {
            QPainter painter(&page);
            pages.paint(painter, 1);
        }
        // Find the three lines of ink from the top of the text area.
        const int top = int(pages.bodyRect(1).top());
        std::vector<std::pair<int, int>> lines; // [top, bottom) of each band of ink
        bool inInk = false;
        for (int y = top; y < page.height() && lines.size() < 3; ++y) {
            const bool ink = inkColumns(page, y, y + 1).second >= 0;
            if (ink && !inInk)
                lines.push_back({y, y});
            if (ink)
                lines.back().second = y + 1;
            inInk = ink;
        }
        ASSERT_EQ(lines.size(), 3u) << dpi;
        const int plain = inkColumns(page, lines[0].first, lines[0].second).first;
        const int indented = inkColumns(page, lines[1].first, lines[1].second).first;
        EXPECT_NEAR(indented - plain, dpi, dpi / 20.0) << dpi;
        const auto [tableLeft, tableRight] = inkColumns(page, lines[2].first, lines[2].second);
        EXPECT_NEAR(tableRight + 1 - tableLeft, 2 * dpi, dpi / 20.0) << dpi;
        EXPECT_NEAR(tableLeft, plain, dpi / 10.0) << dpi;
    }
}

TEST(PrintedLengths, TheEditorShowsTheIndentAtTheScaleOfTheSheet)
{
    ShownView shown(measured(), QSize(1000, 700));
    QTextEdit* editor = shown.editor();
    QTextDocument& text = *editor->document();
    const QTextBlock plain = text.findBlockByNumber(0), indented = text.findBlockByNumber(1);
    const qreal shift = indented.layout()->lineAt(0).x() - plain.layout()->lineAt(0).x();
    // The sheet is drawn an inch to logicalDpiX pixels (at most shrunk to fit).
    EXPECT_NEAR(shift, editor->logicalDpiX(), 2);
}
