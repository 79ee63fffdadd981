#include "word/view/comment_markers.h"

#include "word/marks.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QHelpEvent>
#include <QPainter>
#include <QPainterPath>
#include <QScrollBar>
#include <QTextDocument>
#include <QTextEdit>
#include <QToolTip>

namespace talvora::word {

CommentMarkers::CommentMarkers(QTextEdit& editor, QObject* parent)
    : QObject(parent), editor_(editor), viewport_(editor.viewport())
{
    editor_.viewport()->installEventFilter(this);
}

void CommentMarkers::attach(QTextDocument& document)
{
    document.documentLayout()->registerHandler(CommentObjectType, this);
}

QString CommentMarkers::toolTipAt(const QPoint& at) const
{
    const QTextDocument* doc = editor_.document();
    if (!doc)
        return {};
    const QPointF inDocument(at.x() + editor_.horizontalScrollBar()->value(),
                             at.y() + editor_.verticalScrollBar()->value());
    const QTextFormat format = doc->documentLayout()->formatAt(inDocument);
    if (!isCommentReference(format))
        return {};
    const CommentInfo comment = commentOf(format);
    QString head = comment.author.isEmpty() ? comment.initials : comment.author;
    if (comment.date.isValid())
        head += (head.isEmpty() ? QString() : QStringLiteral(", ")) + comment.date.toString(QStringLiteral("dd.MM.yyyy hh:mm"));
    const QString text = commentText(comment).trimmed();
    return head.isEmpty() ? text : head + QLatin1Char('\n') + text;
}

bool CommentMarkers::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ToolTip && watched == viewport_) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (!tip.isEmpty()) {
            QToolTip::showText(help->globalPos(), tip, editor_.viewport());
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}

// A note a little smaller than the text's capitals, standing on the line.
QSizeF CommentMarkers::intrinsicSize(QTextDocument*, int, const QTextFormat& format)
{
    const QFontMetricsF metrics(format.toCharFormat().font());
    const qreal height = std::max<qreal>(6, metrics.capHeight());
    return {height * 0.9 + 2, height};
}

void CommentMarkers::drawObject(QPainter* painter, const QRectF& rect, QTextDocument*, int, const QTextFormat&)
{
    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRectF note = rect.adjusted(1, 0, -1, -rect.height() * 0.2);
    QPainterPath path;
    path.addRoundedRect(note, 1.5, 1.5);
    // The tail of a speech bubble under its left half.
    path.moveTo(note.left() + note.width() * 0.25, note.bottom());
    path.lineTo(note.left() + note.width() * 0.2, rect.bottom());
    path.lineTo(note.left() + note.width() * 0.5, note.bottom());
    painter->setPen(QPen(QColor(0xB0, 0x8A, 0x00), 1));
    painter->setBrush(QColor(0xFF, 0xE0, 0x66));
    painter->drawPath(path.simplified());
    painter->restore();
}

} // namespace talvora::word
