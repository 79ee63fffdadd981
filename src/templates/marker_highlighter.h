#pragma once
// Markers made visible in the designer's document: every sound marker on a
// coloured background, every broken one (see describeMarker) with a red wavy
// underline, and the tooltip of the marker under the mouse.
//
// Display only. The colours are drawn from the paragraphs' layouts in a
// layer of their own (word/view/layout_formats.h), beside the spelling
// underline and the document's own character formats: the writer never sees
// them, the document does not count as changed and the undo history does not
// grow. A marker is looked for in a paragraph's plain text, so one whose
// characters are formatted differently ("<!fld_" bold, "12>" plain) is found;
// a marker split across paragraphs is none. Paragraphs are highlighted again
// as they change, whoever changes them (typing, the automation, a paste).

#include "templates/marker_names.h"

#include <QObject>
#include <QPointer>
#include <QTextDocument>
#include <QTextCharFormat>

#include <optional>

class QTextCursor;
class QTextEdit;

namespace talvora::word {
class DocumentView;
}

namespace talvora::templates {

class MarkerHighlighter : public QObject {
    Q_OBJECT

public:
    // Highlights nothing until given a document (setDocument or followView).
    explicit MarkerHighlighter(MarkerCatalog catalog = {}, QObject* parent = nullptr);
    MarkerHighlighter(QTextDocument* document, MarkerCatalog catalog, QObject* parent = nullptr);
    ~MarkerHighlighter() override;

    // Highlights `document` from now on (every paragraph at once), and takes
    // the highlight away from the one before; nullptr stops.
    void setDocument(QTextDocument* document);
    QTextDocument* document() const { return doc_; }
    // Highlights every paragraph again.
    void rehighlight();

    // The template types and templates markers are checked against; the
    // document is highlighted again.
    void setCatalog(MarkerCatalog catalog);
    const MarkerCatalog& catalog() const { return catalog_; }

    // Highlights whatever document the view holds, from now on: the view
    // drops its document and reads a new one on every load.
    void followView(word::DocumentView& view);

    // The marker that covers the character at `position` of the document,
    // its start and end in document positions; none when no marker is there.
    std::optional<FoundMarker> markerAt(int position) const;
    // The marker under the cursor's selection start, or the one just before
    // a collapsed cursor's position (the insertion point after a marker).
    std::optional<FoundMarker> markerAt(const QTextCursor& cursor) const;
    // What a tooltip over the character at `position` shows; empty when no
    // marker is there.
    QString toolTipAt(int position) const;

    static QTextCharFormat soundFormat();
    static QTextCharFormat brokenFormat();

private:
    void highlightBlocks(int from, int to);
    void onContentsChange(int position, int removed, int added);

    MarkerCatalog catalog_;
    QPointer<QTextDocument> doc_;
    QMetaObject::Connection changes_;
    QMetaObject::Connection layoutChanges_;
};

// Shows the tooltip of the marker under the mouse in an editor whose
// document the highlighter highlights. Installed on the editor's viewport;
// belongs to the editor.
class MarkerToolTips : public QObject {
    Q_OBJECT

public:
    MarkerToolTips(QTextEdit* editor, const MarkerHighlighter& highlighter);

    // The tooltip for a point of the editor's viewport; empty over plain text.
    QString toolTipAt(const QPoint& viewportPoint) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTextEdit* editor_;
    QWidget* viewport_; // kept: the editor may be half destroyed when its viewport's last events come
    const MarkerHighlighter& highlighter_;
};

} // namespace talvora::templates
