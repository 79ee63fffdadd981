#pragma once
// SpellHighlighter underlines the misspelt words of the document an editor
// shows with a red wavy line, as a word processor does while one types.
//
// The underline is drawn from the blocks' layouts in a layer of its own
// (layout_formats.h), beside any other display-only marks, never written into the
// document: the document, its undo history and its modified flag are not
// touched, and nothing of it reaches a saved or printed document.
//
// Only the blocks on screen (and a screen's height around them) are checked,
// when they come into view or change; each block remembers the text it was
// checked for, and the checker remembers its words, so scrolling back and
// forth or typing costs next to nothing. The word being typed is left
// unmarked until the cursor leaves it.

#include <QObject>
#include <QPointer>
#include <QTextCharFormat>
#include <QTextCursor>

#include <memory>

class QMenu;
class QTextBlock;
class QTextDocument;
class QTextEdit;
class QTimer;

namespace talvora::word {

class SpellChecker;

class SpellHighlighter : public QObject {
    Q_OBJECT
public:
    explicit SpellHighlighter(QTextEdit& editor, QObject* parent = nullptr);
    ~SpellHighlighter() override;

    void setChecker(std::shared_ptr<SpellChecker> checker);
    SpellChecker* checker() const { return checker_.get(); }
    const std::shared_ptr<SpellChecker>& sharedChecker() const { return checker_; }

    // Starts marking `document` (the one the editor shows), or stops marking
    // and takes the marks away (nullptr).
    void setDocument(QTextDocument* document);
    QTextDocument* document() const { return doc_; }

    // The blocks on screen are checked at once instead of on the next turn
    // of the event loop.
    void checkVisibleNow();
    // Checks the blocks from `first` to `last`, on screen or not.
    void checkBlocks(const QTextBlock& first, const QTextBlock& last);

    // The misspelt word at a document position (its start, end or inside),
    // selected; a null cursor when the word there is not misspelt.
    QTextCursor misspeltWordAt(int position) const;
    // Over a misspelt word at `position`, puts at the head of `menu` the
    // word's replacements (choosing one replaces the word, one undo step),
    // "Добавить в словарь" and "Пропустить все"; elsewhere adds nothing.
    void addMenuActions(QMenu& menu, int position);

private:
    struct BlockState;

    void onContentsChange(int position, int removed, int added);
    void onCursorMoved();
    void schedule();
    void recheckAll();
    void checkBlock(const QTextBlock& block, int skipAt = -1);
    void removeMarks();
    bool upToDate(const QTextBlock& block) const;
    QTextBlock firstVisible() const;
    QTextBlock lastVisible() const;
    bool eventFilter(QObject* watched, QEvent* event) override;

    QTextEdit& editor_;
    std::shared_ptr<SpellChecker> checker_;
    QPointer<QTextDocument> doc_;
    QTimer* pass_ = nullptr;
    QTextCharFormat mark_;
    quint64 generation_ = 1; // blocks checked before a change of words or document are stale
    bool applying_ = false;
    QTextCursor typing_; // the word left unmarked while it is typed
    QList<QMetaObject::Connection> connections_;
};

} // namespace talvora::word
