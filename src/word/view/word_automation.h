#pragma once
// The automation calls through which the program drives a document: the
// selection, searching, typing, the transfer buffer, the whole text, the
// command bars and saving as a file. The windows and the document assembly
// talk to documents only through these calls and through DocumentView's own
// operations, so another engine can stand behind them.
//
// Positions are character positions of the model (QTextDocument cursor
// positions): 0 is the document start, each paragraph mark counts one.
// Every call throws talvora::Error when it cannot be done: the view holds
// no document, a position is negative, a command bar has no such name, a
// file cannot be written.

#include <QString>

namespace talvora::word {

class WordFind {
public:
    virtual ~WordFind() = default;
    virtual bool forward() const = 0;
    virtual void setForward(bool forward) = 0;
    virtual QString text() const = 0;
    virtual void setText(const QString& text) = 0;
    // Searches from the selection (after it going forward, before it going
    // back), ignoring case and formatting runs. A match becomes the
    // selection and gives true; otherwise the selection stays and the
    // result is false.
    virtual bool execute() = 0;
};

class WordSelection {
public:
    virtual ~WordSelection() = default;

    virtual int start() const = 0;
    virtual int end() const = 0;
    // A start past the end moves the end along, an end before the start
    // moves the start along. Positions past the document's end stand for
    // the end; negative ones are an error.
    virtual void setStart(int position) = 0;
    virtual void setEnd(int position) = 0;

    virtual WordFind& find() = 0;

    // Replaces the selection; the insertion point ends after the text. The
    // text takes the character format of the selection's first character.
    // "\r", "\n" and "\r\n" start a new paragraph, "\v" breaks the line.
    virtual void typeText(const QString& text) = 0;
    // Adds the text after the selection, which grows over it.
    virtual void insertAfter(const QString& text) = 0;
    // Replaces the selection, which then covers the new text.
    virtual void setText(const QString& text) = 0;

    // Selects the whole document.
    virtual void wholeStory() = 0;
    // Puts the selection, with its formatting, tables and pictures, into
    // the program's transfer buffer (never the system clipboard).
    virtual void copy() = 0;
    // Replaces the selection by the transfer buffer's content; the
    // insertion point ends after it.
    virtual void paste() = 0;

    // Selection.Range.Text: the selected text, paragraphs separated by
    // "\r", line breaks as "\v".
    virtual QString rangeText() const = 0;
};

class WordDocument {
public:
    virtual ~WordDocument() = default;
    // Selects the whole document.
    virtual void select() = 0;
    // Writes the document as a Word 97–2003 file at the full path given.
    virtual void saveAs(const QString& path) = 0;
};

class WordCommandBar {
public:
    virtual ~WordCommandBar() = default;
    virtual bool visible() const = 0;
    virtual void setVisible(bool visible) = 0;
};

class WordCommandBars {
public:
    virtual ~WordCommandBars() = default;
    // "Standard", "Formatting" or "Drawing" (case does not matter).
    virtual WordCommandBar& item(const QString& name) = 0;
};

class WordApplication {
public:
    virtual ~WordApplication() = default;
    virtual WordSelection& selection() = 0;
    virtual WordDocument& activeDocument() = 0;
    virtual WordCommandBars& commandBars() = 0;
    // Whether the window holding the document is shown.
    virtual bool visible() const = 0;
    virtual void setVisible(bool visible) = 0;
};

} // namespace talvora::word
