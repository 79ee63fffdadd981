#pragma once
// The numbers of Word's lists as Word shows them. Qt's layout counts the
// items of each QTextList on its own from 1 and knows a few number styles
// only; the model's lists keep Word's counting (ListNumbering: levels that
// continue across lists, start numbers, "1.2." with the higher levels,
// Russian letters). Where the two differ, the editor and the printout paint
// Word's label over the one Qt's layout drew.

#include <QColor>
#include <QFont>
#include <QPointer>
#include <QRectF>
#include <QString>
#include <QTextEdit>

#include <vector>

class QAbstractTextDocumentLayout;
class QPainter;
class QTextDocument;

namespace talvora::word {

struct ListLabel {
    QRectF qtRect;  // where Qt's layout drew its label (document coordinates)
    QPointF end;    // where a label ends: a space before the item's text
    qreal baseline = 0;
    QString text;   // Word's label
    QFont font;
    QColor color;
};

// The labels of the document's Word lists that Qt's layout shows otherwise,
// for the laid out paragraphs from the start down to `bottom` (document
// coordinates; all of them by default).
std::vector<ListLabel> differingListLabels(const QTextDocument& doc, qreal bottom = 1e12);

// Paints the labels that meet `clip` over Qt's, on paper of colour `paper`;
// the painter is in document coordinates.
void paintListLabels(QPainter& painter, const std::vector<ListLabel>& labels, const QRectF& clip,
                     const QColor& paper);

// The editor of the document view: a QTextEdit that shows Word's list labels.
class DocumentTextEdit : public QTextEdit {
    Q_OBJECT
public:
    using QTextEdit::QTextEdit;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    const std::vector<ListLabel>& labelsDownTo(qreal bottom);

    // The labels found down to `labelsBottom_`, kept until the layout changes
    // (a blinking cursor repaints often; the labels stay the same).
    std::vector<ListLabel> labels_;
    qreal labelsBottom_ = -1;
    QPointer<QAbstractTextDocumentLayout> watched_;
};

} // namespace talvora::word
