#include "word/view/spell_highlighter.h"

#include "ui/error_display.h"
#include "word/view/layout_formats.h"
#include "word/view/spell_checker.h"

#include <QAction>
#include <QEvent>
#include <QMenu>
#include <QScrollBar>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTextLayout>
#include <QTimer>

#include <optional>

namespace talvora::word {

namespace {

// Changes of more blocks than this are checked on the next pass over the
// screen rather than at once (a paste of pages, a replaced document).
constexpr int kBlocksCheckedAtOnce = 40;

// The word of `text` at `position` (its start, end or inside), if any.
std::optional<WordSpan> wordAt(const QString& text, int position)
{
    for (const WordSpan& w : spellWords(text))
        if (position >= w.start && position <= w.start + w.length)
            return w;
    return std::nullopt;
}

void replaceWord(QTextCursor word, const QString& was, const QString& replacement)
{
    // The document may have changed since the menu was opened.
    if (word.isNull() || word.selectedText() != was)
        return;
    QTextCursor first(word);
    first.setPosition(word.selectionStart() + 1);
    const QTextCharFormat format = first.charFormat();
    word.beginEditBlock();
    word.insertText(replacement, format);
    word.endEditBlock();
}

} // namespace

struct SpellHighlighter::BlockState : QTextBlockUserData {
    const SpellHighlighter* owner = nullptr;
    quint64 generation = 0;
    int revision = -1;
    bool marked = false;
};

SpellHighlighter::SpellHighlighter(QTextEdit& editor, QObject* parent)
    : QObject(parent), editor_(editor), pass_(new QTimer(this))
{
    pass_->setSingleShot(true);
    pass_->setInterval(0);
    connect(pass_, &QTimer::timeout, this, &SpellHighlighter::checkVisibleNow);
    mark_.setUnderlineStyle(QTextCharFormat::WaveUnderline);
    mark_.setUnderlineColor(Qt::red);
    connect(editor_.verticalScrollBar(), &QScrollBar::valueChanged, this, &SpellHighlighter::schedule);
    connect(&editor_, &QTextEdit::cursorPositionChanged, this, &SpellHighlighter::onCursorMoved);
    editor_.viewport()->installEventFilter(this);
}

SpellHighlighter::~SpellHighlighter() = default;

void SpellHighlighter::setChecker(std::shared_ptr<SpellChecker> checker)
{
    if (checker_ == checker)
        return;
    if (checker_)
        disconnect(checker_.get(), nullptr, this, nullptr);
    checker_ = std::move(checker);
    if (checker_)
        connect(checker_.get(), &SpellChecker::wordsChanged, this, &SpellHighlighter::recheckAll);
    recheckAll();
}

void SpellHighlighter::setDocument(QTextDocument* document)
{
    if (doc_ == document)
        return;
    if (doc_) {
        for (const auto& c : std::as_const(connections_))
            disconnect(c);
        connections_.clear();
        removeMarks();
    }
    doc_ = document;
    typing_ = QTextCursor();
    ++generation_;
    if (!doc_) {
        pass_->stop();
        return;
    }
    connections_ << connect(doc_, &QTextDocument::contentsChange, this, &SpellHighlighter::onContentsChange);
    schedule();
}

void SpellHighlighter::schedule()
{
    if (doc_ && checker_ && checker_->available())
        pass_->start();
}

void SpellHighlighter::recheckAll()
{
    ++generation_;
    schedule();
}

bool SpellHighlighter::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::Resize || event->type() == QEvent::Show)
        schedule();
    return QObject::eventFilter(watched, event);
}

bool SpellHighlighter::upToDate(const QTextBlock& block) const
{
    const auto* state = dynamic_cast<const BlockState*>(block.userData());
    return state && state->owner == this && state->generation == generation_ && state->revision == block.revision();
}

QTextBlock SpellHighlighter::firstVisible() const
{
    // A screen's height above, so that a page up finds its words marked.
    const int height = editor_.viewport()->height();
    return editor_.cursorForPosition(QPoint(0, -height)).block();
}

QTextBlock SpellHighlighter::lastVisible() const
{
    const QWidget* viewport = editor_.viewport();
    return editor_.cursorForPosition(QPoint(viewport->width(), 2 * viewport->height())).block();
}

void SpellHighlighter::checkVisibleNow()
{
    pass_->stop();
    if (!doc_ || !checker_ || !checker_->available() || editor_.document() != doc_)
        return;
    checkBlocks(firstVisible(), lastVisible());
}

void SpellHighlighter::checkBlocks(const QTextBlock& first, const QTextBlock& last)
{
    if (!doc_ || !checker_ || !checker_->available() || !first.isValid())
        return;
    const int lastNumber = last.isValid() ? last.blockNumber() : doc_->blockCount() - 1;
    const QTextBlock typingBlock = typing_.isNull() ? QTextBlock() : typing_.block();
    for (QTextBlock b = first; b.isValid() && b.blockNumber() <= lastNumber; b = b.next())
        if (!upToDate(b))
            checkBlock(b, b == typingBlock ? typing_.positionInBlock() : -1);
}

void SpellHighlighter::checkBlock(const QTextBlock& block, int skipAt)
{
    QList<QTextLayout::FormatRange> marks;
    const QString text = block.text();
    for (const WordSpan& w : spellWords(text)) {
        if (skipAt >= w.start && skipAt <= w.start + w.length)
            continue;
        if (!checker_->isCorrect(QStringView(text).mid(w.start, w.length)))
            marks.append({w.start, w.length, mark_});
    }
    QTextBlock b = block;
    auto* state = dynamic_cast<BlockState*>(b.userData());
    if (!state) {
        state = new BlockState; // the block owns it
        b.setUserData(state);
    }
    applying_ = true;
    setLayerFormats(b, FormatLayer::Spelling, marks);
    applying_ = false;
    state->owner = this;
    state->generation = generation_;
    state->revision = b.revision();
    state->marked = !marks.isEmpty();
}

void SpellHighlighter::removeMarks()
{
    applying_ = true;
    for (QTextBlock b = doc_->begin(); b.isValid(); b = b.next()) {
        auto* state = dynamic_cast<BlockState*>(b.userData());
        if (!state)
            continue;
        if (state->marked)
            setLayerFormats(b, FormatLayer::Spelling, {});
        state->marked = false;
        state->generation = 0;
    }
    applying_ = false;
}

void SpellHighlighter::onContentsChange(int position, int removed, int added)
{
    Q_UNUSED(removed);
    if (applying_ || !doc_ || !checker_ || !checker_->available())
        return;
    const QTextBlock first = doc_->findBlock(position);
    QTextBlock last = doc_->findBlock(position + added);
    if (!last.isValid())
        last = doc_->lastBlock();
    if (!first.isValid())
        return;

    // Typing: the change ends where the editor's cursor stands. The word
    // there is left alone until the cursor leaves it.
    const QTextCursor cursor = editor_.textCursor();
    const bool typing = editor_.document() == doc_ && !cursor.hasSelection() && added + removed <= 2 &&
                        cursor.position() == position + added;
    const QTextCursor wasTyping = typing_;
    typing_ = QTextCursor();
    if (typing && wordAt(cursor.block().text(), cursor.positionInBlock()))
        typing_ = cursor;

    // Marks of a changed block no longer sit on their words: each changed
    // block is checked again now, or loses its marks until the next pass.
    const bool fewBlocks = last.blockNumber() - first.blockNumber() < kBlocksCheckedAtOnce;
    const QTextBlock typingBlock = typing_.isNull() ? QTextBlock() : typing_.block();
    for (QTextBlock b = first; b.isValid() && b.blockNumber() <= last.blockNumber(); b = b.next()) {
        if (fewBlocks) {
            checkBlock(b, b == typingBlock ? typing_.positionInBlock() : -1);
        } else if (auto* state = dynamic_cast<BlockState*>(b.userData()); state && state->marked) {
            applying_ = true;
            setLayerFormats(b, FormatLayer::Spelling, {});
            applying_ = false;
            state->marked = false;
        }
    }
    // The word typed before, if the typing has moved elsewhere.
    if (!wasTyping.isNull() && wasTyping.block() != typingBlock && wasTyping.block().isValid())
        checkBlock(wasTyping.block());
    if (!fewBlocks)
        schedule();
}

void SpellHighlighter::onCursorMoved()
{
    if (typing_.isNull() || !doc_)
        return;
    const QTextCursor cursor = editor_.textCursor();
    const QTextBlock block = typing_.block();
    if (cursor.block() == block) {
        const std::optional<WordSpan> word = wordAt(block.text(), typing_.positionInBlock());
        const int at = cursor.positionInBlock();
        if (word && at >= word->start && at <= word->start + word->length)
            return; // still in the word being typed
    }
    typing_ = QTextCursor();
    if (block.isValid() && checker_ && checker_->available())
        checkBlock(block);
}

QTextCursor SpellHighlighter::misspeltWordAt(int position) const
{
    if (!doc_ || !checker_ || !checker_->available() || position < 0)
        return {};
    const QTextBlock block = doc_->findBlock(position);
    if (!block.isValid())
        return {};
    const QString text = block.text();
    const std::optional<WordSpan> word = wordAt(text, position - block.position());
    if (!word || checker_->isCorrect(QStringView(text).mid(word->start, word->length)))
        return {};
    QTextCursor c(doc_);
    c.setPosition(block.position() + word->start);
    c.setPosition(block.position() + word->start + word->length, QTextCursor::KeepAnchor);
    return c;
}

void SpellHighlighter::addMenuActions(QMenu& menu, int position)
{
    const QTextCursor word = misspeltWordAt(position);
    if (word.isNull())
        return;
    const QString text = word.selectedText();
    const std::shared_ptr<SpellChecker> checker = checker_;
    QAction* before = menu.actions().value(0);

    const QStringList suggestions = checker->suggestions(text);
    for (const QString& s : suggestions) {
        auto* action = new QAction(s, &menu);
        QFont bold = action->font();
        bold.setBold(true);
        action->setFont(bold);
        connect(action, &QAction::triggered, action, ui::guarded([word, text, s] { replaceWord(word, text, s); }));
        menu.insertAction(before, action);
    }
    if (suggestions.isEmpty()) {
        auto* none = new QAction(QStringLiteral("Нет вариантов"), &menu);
        none->setEnabled(false);
        menu.insertAction(before, none);
    }
    menu.insertSeparator(before);
    auto* add = new QAction(QStringLiteral("Добавить в словарь"), &menu);
    connect(add, &QAction::triggered, add, ui::guarded([checker, text] { checker->addToDictionary(text); }));
    menu.insertAction(before, add);
    auto* ignore = new QAction(QStringLiteral("Пропустить все"), &menu);
    connect(ignore, &QAction::triggered, ignore, ui::guarded([checker, text] { checker->ignoreAll(text); }));
    menu.insertAction(before, ignore);
    if (before)
        menu.insertSeparator(before);
}

} // namespace talvora::word
