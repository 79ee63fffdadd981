#include "templates/marker_highlighter.h"

#include "word/view/document_view.h"
#include "word/view/layout_formats.h"

#include <QAbstractTextDocumentLayout>
#include <QHelpEvent>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QToolTip>

namespace talvora::templates {

MarkerHighlighter::MarkerHighlighter(MarkerCatalog catalog, QObject* parent)
    : QObject(parent), catalog_(std::move(catalog))
{
}

MarkerHighlighter::MarkerHighlighter(QTextDocument* document, MarkerCatalog catalog, QObject* parent)
    : QObject(parent), catalog_(std::move(catalog))
{
    setDocument(document);
}

MarkerHighlighter::~MarkerHighlighter()
{
    setDocument(nullptr);
}

void MarkerHighlighter::setDocument(QTextDocument* document)
{
    if (doc_ == document)
        return;
    if (doc_) {
        disconnect(changes_);
        disconnect(layoutChanges_);
        for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next())
            word::setLayerFormats(b, word::FormatLayer::Markers, {});
    }
    doc_ = document;
    if (!doc_)
        return;
    changes_ = connect(doc_, &QTextDocument::contentsChange, this, &MarkerHighlighter::onContentsChange);
    // A new layout (an editor takes the document, or lets go of it) drops
    // every paragraph's layout, and the highlight with it.
    layoutChanges_ = connect(doc_, &QTextDocument::documentLayoutChanged, this, &MarkerHighlighter::rehighlight);
    rehighlight();
}

void MarkerHighlighter::rehighlight()
{
    if (doc_)
        highlightBlocks(0, doc_->characterCount());
}

void MarkerHighlighter::onContentsChange(int position, int removed, int added)
{
    Q_UNUSED(removed);
    highlightBlocks(position, position + added);
}

void MarkerHighlighter::highlightBlocks(int from, int to)
{
    if (!doc_)
        return;
    QTextBlock block = doc_->findBlock(from);
    const QTextBlock last = doc_->findBlock(to).isValid() ? doc_->findBlock(to) : doc_->lastBlock();
    const QTextCharFormat sound = soundFormat();
    const QTextCharFormat broken = brokenFormat();
    for (; block.isValid(); block = block.next()) {
        QList<QTextLayout::FormatRange> ranges;
        for (const FoundMarker& m : findMarkers(block.text(), catalog_))
            ranges.append({m.start, m.length, m.description.ok() ? sound : broken});
        word::setLayerFormats(block, word::FormatLayer::Markers, std::move(ranges));
        if (block == last)
            break;
    }
}

void MarkerHighlighter::setCatalog(MarkerCatalog catalog)
{
    catalog_ = std::move(catalog);
    if (document())
        rehighlight();
}

void MarkerHighlighter::followView(word::DocumentView& view)
{
    // A new document on every load; the same one while it is run or edited.
    const auto attach = [this, &view] {
        QTextDocument* now = view.isEmpty() ? nullptr : &view.textDocument();
        if (now != document())
            setDocument(now);
    };
    connect(&view, &word::DocumentView::stateChanged, this, attach);
    attach();
}

QTextCharFormat MarkerHighlighter::soundFormat()
{
    QTextCharFormat f;
    f.setBackground(QColor(0xd8, 0xea, 0xff));
    return f;
}

QTextCharFormat MarkerHighlighter::brokenFormat()
{
    QTextCharFormat f;
    f.setBackground(QColor(0xff, 0xe4, 0xe1));
    f.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    f.setUnderlineColor(Qt::red);
    return f;
}

std::optional<FoundMarker> MarkerHighlighter::markerAt(int position) const
{
    const QTextDocument* doc = document();
    if (!doc || position < 0)
        return std::nullopt;
    const QTextBlock block = doc->findBlock(position);
    if (!block.isValid())
        return std::nullopt;
    const int inBlock = position - block.position();
    for (FoundMarker m : findMarkers(block.text(), catalog_)) {
        if (inBlock >= m.start && inBlock < m.end()) {
            m.start += block.position();
            return m;
        }
    }
    return std::nullopt;
}

std::optional<FoundMarker> MarkerHighlighter::markerAt(const QTextCursor& cursor) const
{
    if (cursor.hasSelection())
        return markerAt(cursor.selectionStart());
    if (auto m = markerAt(cursor.position()))
        return m;
    return markerAt(cursor.position() - 1);
}

QString MarkerHighlighter::toolTipAt(int position) const
{
    const std::optional<FoundMarker> m = markerAt(position);
    if (!m)
        return {};
    const QTextBlock block = document()->findBlock(m->start);
    const QString text = block.text().mid(m->start - block.position(), m->length);
    return markerToolTip(text, m->description);
}

// ---------------------------------------------------------------- tooltips

MarkerToolTips::MarkerToolTips(QTextEdit* editor, const MarkerHighlighter& highlighter)
    : QObject(editor), editor_(editor), viewport_(editor->viewport()), highlighter_(highlighter)
{
    editor_->viewport()->installEventFilter(this);
}

QString MarkerToolTips::toolTipAt(const QPoint& viewportPoint) const
{
    // The editor may show another document for a while (a view lets go of
    // its document while the automation works on it).
    QTextDocument* doc = editor_->document();
    if (!doc || doc != highlighter_.document())
        return {};
    const QPoint inDocument = viewportPoint
                              + QPoint(editor_->horizontalScrollBar()->value(), editor_->verticalScrollBar()->value());
    const int position = doc->documentLayout()->hitTest(inDocument, Qt::ExactHit);
    return position < 0 ? QString() : highlighter_.toolTipAt(position);
}

bool MarkerToolTips::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == viewport_ && event->type() == QEvent::ToolTip) {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QString tip = toolTipAt(help->pos());
        if (tip.isEmpty()) {
            QToolTip::hideText();
            return false;
        }
        QToolTip::showText(help->globalPos(), tip, editor_->viewport());
        return true;
    }
    return QObject::eventFilter(watched, event);
}

} // namespace talvora::templates
