#include "word/view/list_labels.h"

#include "word/text_formats.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextList>

namespace talvora::word {

namespace {

bool isBulletStyle(int style)
{
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle
           || style == QTextListFormat::ListSquare;
}

// What Qt's layout shows for the item: its text, or the bullet it draws as a shape.
QString qtLabel(const QTextList& list, const QTextBlock& block, int style)
{
    switch (style) {
    case QTextListFormat::ListDisc: return QStringLiteral("•");
    case QTextListFormat::ListCircle: return QStringLiteral("◦");
    case QTextListFormat::ListSquare: return QStringLiteral("▪");
    case QTextListFormat::ListStyleUndefined: return QString();
    default: return list.itemText(block);
    }
}

} // namespace

std::vector<ListLabel> differingListLabels(const QTextDocument& doc, qreal bottom)
{
    std::vector<ListLabel> out;
    QAbstractTextDocumentLayout* layout = doc.documentLayout();
    ListNumbering numbering;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        const QString word = numbering.label(block); // every block, so the counting goes on
        QTextList* list = block.textList();
        if (!list || !list->format().hasProperty(ListIdProperty))
            continue; // lists made in the editor count as Qt counts
        int style = list->format().style();
        if (block.blockFormat().hasProperty(QTextFormat::ListStyle))
            style = block.blockFormat().intProperty(QTextFormat::ListStyle);
        const QString qt = qtLabel(*list, block, style);
        if (qt == word)
            continue;
        const QTextLayout* lines = block.layout();
        if (!lines || lines->lineCount() == 0)
            continue;
        const QRectF blockRect = layout->blockBoundingRect(block);
        if (blockRect.isNull())
            continue;
        if (blockRect.top() >= bottom && !QTextCursor(block).currentTable())
            break; // below what is wanted: blocks outside tables come in order

        // As Qt's layout places it: a space before the first line's text,
        // in the font of the paragraph mark, centred on the line's font height.
        ListLabel label;
        label.font = block.charFormat().font();
        if (QPaintDevice* device = layout->paintDevice())
            label.font = QFont(label.font, device); // the printer's, when printing
        const QFontMetricsF metrics(label.font);
        const QPointF pos =
            blockRect.topLeft().toPoint() + lines->lineAt(0).naturalTextRect().topLeft().toPoint();
        const qreal space = metrics.horizontalAdvance(u' ');
        QSizeF size;
        if (isBulletStyle(style))
            size = QSizeF(metrics.lineSpacing() / 3, metrics.lineSpacing() / 3);
        else if (!qt.isEmpty())
            size = QSizeF(metrics.horizontalAdvance(qt), metrics.height());
        label.qtRect = QRectF(pos, size).translated(-space - size.width(), metrics.height() / 2 - size.height() / 2);
        label.end = QPointF(pos.x() - space, pos.y());
        label.baseline = pos.y() + metrics.ascent();
        label.text = word;
        const QBrush brush = block.charFormat().foreground();
        label.color = brush.style() == Qt::NoBrush ? QColor(Qt::black) : brush.color();
        out.push_back(std::move(label));
    }
    return out;
}

void paintListLabels(QPainter& painter, const std::vector<ListLabel>& labels, const QRectF& clip,
                     const QColor& paper)
{
    for (const ListLabel& label : labels) {
        const QFontMetricsF metrics(label.font, painter.device());
        const qreal width = metrics.horizontalAdvance(label.text);
        const QRectF area = QRectF(label.end.x() - width, label.end.y(), width, metrics.height()).united(label.qtRect);
        if (!area.intersects(clip))
            continue;
        painter.save();
        if (!label.qtRect.isEmpty())
            painter.fillRect(label.qtRect.adjusted(-1, -1, 1, 1), paper);
        painter.setFont(label.font);
        painter.setPen(label.color);
        painter.drawText(QPointF(label.end.x() - width, label.baseline), label.text);
        painter.restore();
    }
}

void DocumentTextEdit::paintEvent(QPaintEvent* event)
{
    QTextEdit::paintEvent(event);
    QTextDocument* doc = document();
    if (!doc || doc->isEmpty())
        return;
    const QPointF scroll(horizontalScrollBar()->value(), verticalScrollBar()->value());
    const QRectF clip = QRectF(event->rect()).translated(scroll);
    const std::vector<ListLabel>& labels = labelsDownTo(clip.bottom());
    if (labels.empty())
        return;
    QPainter painter(viewport());
    painter.translate(-scroll);
    paintListLabels(painter, labels, clip, palette().color(QPalette::Base));
}

const std::vector<ListLabel>& DocumentTextEdit::labelsDownTo(qreal bottom)
{
    QAbstractTextDocumentLayout* layout = document()->documentLayout();
    if (layout != watched_) {
        if (watched_)
            disconnect(watched_, nullptr, this, nullptr);
        watched_ = layout;
        const auto forget = [this] { labelsBottom_ = -1; };
        connect(layout, &QAbstractTextDocumentLayout::update, this, forget);
        connect(layout, &QAbstractTextDocumentLayout::documentSizeChanged, this, forget);
        labelsBottom_ = -1;
    }
    if (bottom > labelsBottom_) {
        labels_ = differingListLabels(*document(), bottom);
        labelsBottom_ = bottom;
    }
    return labels_;
}

} // namespace talvora::word
