#include "word/view/page_view.h"

#include <QFrame>
#include <QPalette>
#include <QScrollBar>
#include <QTextEdit>

#include <algorithm>
#include <cmath>

namespace talvora::word {

namespace {
constexpr int kDeskGap = 8; // grey space above the sheet when there is room
}

PageView::PageView(QTextEdit* editor, QWidget* parent)
    : QWidget(parent), sheet_(new QFrame(this)), editor_(editor)
{
    setAutoFillBackground(true);
    QPalette desk = palette();
    desk.setColor(QPalette::Window, QColor(0xA0, 0xA0, 0xA0));
    setPalette(desk);

    sheet_->setAutoFillBackground(true);
    sheet_->setFrameShape(QFrame::NoFrame);
    QPalette paper = sheet_->palette();
    paper.setColor(QPalette::Window, Qt::white);
    sheet_->setPalette(paper);

    editor_->setParent(sheet_);
    editor_->setFrameShape(QFrame::NoFrame);
    QPalette text = editor_->palette();
    text.setColor(QPalette::Base, Qt::white);
    text.setColor(QPalette::Text, Qt::black);
    editor_->setPalette(text);
    setMinimumSize(1, 1);
}

void PageView::setPageSetup(const PageSetup& page)
{
    page_ = page;
    placeSheet();
}

double PageView::twipsToPixels(int twips) const
{
    return twips / 1440.0 * logicalDpiX();
}

QRect PageView::sheetGeometry() const
{
    return sheet_->geometry();
}

void PageView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    placeSheet();
}

void PageView::placeSheet()
{
    const double pageWidth = std::max(1.0, twipsToPixels(page_.pageWidth));
    const double scale = std::min(1.0, width() / pageWidth);
    const int gap = height() > 10 * kDeskGap ? kDeskGap : 0;
    const int sheetWidth = std::max(1, int(std::lround(pageWidth * scale)));
    sheet_->setGeometry((width() - sheetWidth) / 2, gap, sheetWidth, std::max(1, height() - gap));

    auto px = [&](int twips) { return std::max(0, int(std::lround(twipsToPixels(twips) * scale))); };
    const int left = px(page_.marginLeft + page_.gutter);
    const int right = px(page_.marginRight);
    const int top = std::min(px(page_.marginTop), sheet_->height() / 4);
    const int bottom = std::min(px(page_.marginBottom), sheet_->height() / 4);
    // The text wraps at the page's text width; the editor reaches into the
    // right margin by its scroll bar and a little more, so that the scroll
    // bar takes nothing from the text and a table as wide as the text (which
    // Qt draws a pixel or two wider) needs no sideways scrolling.
    const int textWidth = std::max(1, sheetWidth - left - right);
    const int extra = std::min(right, editor_->verticalScrollBar()->sizeHint().width() + 8);
    editor_->setLineWrapMode(QTextEdit::FixedPixelWidth);
    editor_->setLineWrapColumnOrWidth(textWidth);
    editor_->setGeometry(left, top, textWidth + extra, std::max(1, sheet_->height() - top - bottom));
}

} // namespace talvora::word
