#pragma once
// Comments in the editor: each comment's reference character shows as a
// small note marker in the text, and resting the mouse on it shows the
// comment's author and text as a tool tip. Nothing of this is in the
// document: the markers are drawn by the editor's layout only (printing and
// PDF export lay the document out without them).

#include <QObject>
#include <QPoint>
#include <QString>
#include <QTextObjectInterface>

class QTextDocument;
class QTextEdit;

namespace talvora::word {

class CommentMarkers : public QObject, public QTextObjectInterface {
    Q_OBJECT
    Q_INTERFACES(QTextObjectInterface)
public:
    // Watches `editor`'s viewport for tool tip requests.
    explicit CommentMarkers(QTextEdit& editor, QObject* parent = nullptr);

    // Draws the markers of `document`, which the editor has just been given
    // (its layout is the editor's).
    void attach(QTextDocument& document);

    // The tool tip at a point of the editor's viewport: the author (with the
    // date when known) on the first line, the comment's text below; empty
    // where no marker is.
    QString toolTipAt(const QPoint& viewportPosition) const;

    QSizeF intrinsicSize(QTextDocument* document, int position, const QTextFormat& format) override;
    void drawObject(QPainter* painter, const QRectF& rect, QTextDocument* document, int position,
                    const QTextFormat& format) override;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit& editor_;
    // The editor's viewport, compared by address only: its events still come
    // while the editor is being destroyed, when the editor must not be called.
    const QObject* const viewport_;
};

} // namespace talvora::word
