#pragma once
// The editor's commands, grouped in the three command bars:
//   "Standard"   — save as .doc, print, print preview, export to PDF,
//                  undo/redo, cut/copy/paste, insert a file;
//   "Formatting" — font, size, bold/italic/underline, colour, alignment,
//                  numbered and bulleted lists, indent;
//   "Drawing"    — insert a table or a picture, insert and delete table
//                  rows and columns.
// The commands also answer the keys a Word user expects (Ctrl+B/I/U,
// Ctrl+Z/Y, Ctrl+A, Ctrl+P, Ctrl+L/E/R/J) while the view is being edited.
// The bars show icons (the desktop theme's, or our own where the theme has
// none); each button's tooltip is its caption with the key, if any, and its
// accessible name the caption.

#include <QHash>
#include <QKeySequence>
#include <QObject>
#include <QString>

class QAction;
class QComboBox;
class QFontComboBox;
class QTextCharFormat;
class QTextEdit;
class QToolBar;
class QWidget;

namespace talvora::word {

class DocumentView;

class EditorActions : public QObject {
    Q_OBJECT
public:
    EditorActions(DocumentView& view, QTextEdit& editor, QWidget* barParent);

    QToolBar* standardBar() const { return standard_; }
    QToolBar* formattingBar() const { return formatting_; }
    QToolBar* drawingBar() const { return drawing_; }
    // A command by its object name ("bold", "print", "insertTable", ...).
    QAction* action(const QString& name) const { return actions_.value(name); }
    // Commands work only while the document is being edited.
    void setEditing(bool editing);

    // The commands that take no dialog, for tests and the keys.
    void insertTable(int rows, int columns);
    void insertPicture(const QString& path);

private:
    QAction* add(QToolBar* bar, const QString& name, const QString& text, const QKeySequence& key = {},
                 bool checkable = false);
    void mergeFormat(const QTextCharFormat& format);
    void showCurrentFormat();
    void setList(int style);
    void indent(int delta);
    void tableRow(bool insert);
    void tableColumn(bool insert);
    void chooseColor();
    void askTable();
    void askPicture();

    DocumentView& view_;
    QTextEdit& editor_;
    QToolBar* standard_ = nullptr;
    QToolBar* formatting_ = nullptr;
    QToolBar* drawing_ = nullptr;
    QFontComboBox* font_ = nullptr;
    QComboBox* size_ = nullptr;
    QHash<QString, QAction*> actions_;
    bool editing_ = false;
};

} // namespace talvora::word
