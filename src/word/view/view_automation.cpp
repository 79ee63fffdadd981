#include "word/view/view_automation.h"

#include "common/errors.h"
#include "word/view/document_view.h"
#include "word/view/text_edits.h"
#include "word/view/transfer_buffer.h"

#include <QTextCursor>
#include <QTextDocument>

#include <array>

namespace talvora::word {

class ViewAutomation::Find : public WordFind {
public:
    explicit Find(DocumentView& view) : view_(view) {}
    bool forward() const override { return forward_; }
    void setForward(bool forward) override { forward_ = forward; }
    QString text() const override { return text_; }
    void setText(const QString& text) override { text_ = text; }

    bool execute() override
    {
        QTextDocument& doc = view_.textDocument();
        if (text_.isEmpty())
            return false;
        // After a selection going forward, before it going back; within a
        // paragraph across runs and across empty bookmarks' markers.
        const QTextCursor found = findText(doc, text_, view_.selectionCursor(), forward_);
        if (found.isNull())
            return false;
        view_.beginAutomation();
        QTextCursor sel(&doc);
        sel.setPosition(found.selectionStart());
        sel.setPosition(found.selectionEnd(), QTextCursor::KeepAnchor);
        view_.setSelectionCursor(sel);
        return true;
    }

private:
    DocumentView& view_;
    bool forward_ = true;
    QString text_;
};

class ViewAutomation::Selection : public WordSelection {
public:
    explicit Selection(DocumentView& view) : view_(view), find_(view) {}

    int start() const override { return cursor().selectionStart(); }
    int end() const override { return cursor().selectionEnd(); }

    void setStart(int position) override
    {
        const QTextCursor c = cursor();
        const int s = clamp(position);
        select(s, std::max(s, c.selectionEnd()));
    }

    void setEnd(int position) override
    {
        const QTextCursor c = cursor();
        const int e = clamp(position);
        select(std::min(e, c.selectionStart()), e);
    }

    WordFind& find() override
    {
        view_.textDocument();
        return find_;
    }

    void typeText(const QString& text) override
    {
        QTextCursor c = editCursor();
        const QTextCharFormat fmt = formatAtSelectionStart(c);
        insertFormattedText(c, text, fmt);
        view_.setSelectionCursor(c);
    }

    void insertAfter(const QString& text) override
    {
        QTextCursor c = editCursor();
        const int start = c.selectionStart();
        QTextCursor at(c);
        at.setPosition(c.selectionEnd());
        insertFormattedText(at, text, formatAtSelectionStart(at));
        select(start, at.position());
    }

    void setText(const QString& text) override
    {
        QTextCursor c = editCursor();
        const QTextCharFormat fmt = formatAtSelectionStart(c);
        const int start = insertFormattedText(c, text, fmt);
        select(start, c.position());
    }

    void wholeStory() override { select(0, lastPosition(view_.textDocument())); }

    void copy() override { transferBuffer().copyFrom(cursor()); }

    void paste() override
    {
        QTextCursor c = editCursor();
        transferBuffer().pasteInto(c);
        view_.setSelectionCursor(c);
    }

    QString rangeText() const override { return wordText(cursor()); }

private:
    QTextCursor cursor() const
    {
        view_.textDocument(); // throws when there is no document
        return view_.selectionCursor();
    }

    // The cursor to change: the editor lets go of the document first.
    QTextCursor editCursor()
    {
        view_.textDocument();
        view_.beginAutomation();
        return view_.selectionCursor();
    }

    int clamp(int position) const
    {
        const QTextDocument& doc = view_.textDocument();
        if (position < 0)
            throw Error(QStringLiteral("Недопустимая позиция в документе: %1").arg(position));
        return std::min(position, lastPosition(doc));
    }

    void select(int start, int end)
    {
        view_.beginAutomation();
        QTextCursor c(&view_.textDocument());
        c.setPosition(start);
        c.setPosition(end, QTextCursor::KeepAnchor);
        view_.setSelectionCursor(c);
    }

    DocumentView& view_;
    Find find_;
};

class ViewAutomation::ActiveDocument : public WordDocument {
public:
    ActiveDocument(DocumentView& view, WordSelection& selection) : view_(view), selection_(selection) {}
    void select() override { selection_.wholeStory(); }
    void saveAs(const QString& path) override { view_.saveAsDoc(path); }

private:
    DocumentView& view_;
    WordSelection& selection_;
};

class ViewAutomation::Bar : public WordCommandBar {
public:
    Bar(DocumentView& view, QString name) : view_(view), name_(std::move(name)) {}
    bool visible() const override { return view_.commandBarVisible(name_); }
    void setVisible(bool visible) override { view_.setCommandBarVisible(name_, visible); }

private:
    DocumentView& view_;
    QString name_;
};

class ViewAutomation::Bars : public WordCommandBars {
public:
    explicit Bars(DocumentView& view)
    {
        for (const QString& name : DocumentView::commandBarNames())
            bars_.push_back(std::make_unique<Bar>(view, name));
    }

    WordCommandBar& item(const QString& name) override
    {
        const QStringList names = DocumentView::commandBarNames();
        for (qsizetype i = 0; i < names.size(); ++i)
            if (names[i].compare(name, Qt::CaseInsensitive) == 0)
                return *bars_[size_t(i)];
        throw Error(QStringLiteral("Панель команд «%1» не найдена").arg(name));
    }

private:
    std::vector<std::unique_ptr<Bar>> bars_;
};

ViewAutomation::ViewAutomation(DocumentView& view)
    : view_(view),
      selection_(std::make_unique<Selection>(view)),
      document_(std::make_unique<ActiveDocument>(view, *selection_)),
      bars_(std::make_unique<Bars>(view))
{
}

ViewAutomation::~ViewAutomation() = default;

WordSelection& ViewAutomation::selection()
{
    return *selection_;
}

WordDocument& ViewAutomation::activeDocument()
{
    view_.textDocument();
    return *document_;
}

WordCommandBars& ViewAutomation::commandBars()
{
    return *bars_;
}

bool ViewAutomation::visible() const
{
    return view_.applicationWindow()->isVisible();
}

void ViewAutomation::setVisible(bool visible)
{
    view_.applicationWindow()->setVisible(visible);
}

} // namespace talvora::word
