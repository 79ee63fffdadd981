#pragma once
// DocumentView: the document area of a window. It holds one document (or
// none), shows it as a page, and edits it in place once activated, with the
// three command bars "Standard", "Formatting" and "Drawing" above the page.
//
// Its life follows an embedded object's:
//   Empty   — no document (at creation, and after a load that failed);
//   Loaded  — a document is held and shown, not editable;
//   Running — the same, started for automation (run(), automation());
//   Active  — edited in place, the command bars shown (activate()).
// close() takes an active or running view back to Loaded, keeping its
// changes. Hiding the view keeps everything.

#include "word/document.h"
#include "word/view/word_automation.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTextCursor>
#include <QWidget>

#include <memory>

class QAction;
class QMenu;
class QPrinter;
class QTextDocument;
class QTextEdit;
class QToolBar;

namespace talvora::word {

class CommentMarkers;
class EditorActions;
class OfficeConverter;
class PageView;
class SpellChecker;
class SpellHighlighter;
class ViewAutomation;

class DocumentView : public QWidget {
    Q_OBJECT
public:
    enum class State { Empty, Loaded, Running, Active };

    explicit DocumentView(QWidget* parent = nullptr);
    ~DocumentView() override;

    // --- the view operations ---

    // Drops the current document (unsaved changes included), then reads the
    // BLOB. Throws talvora::Error: "Invalid stream format" for another
    // signature, the read error for an empty buffer, the reader's error for
    // damaged bytes; the view is then left empty.
    void loadFromBlob(const QByteArray& blob);
    // The document as a BLOB; an empty view gives an empty one.
    QByteArray saveToBlob() const;
    // Holds a document read elsewhere (a .doc file, a new empty document).
    void loadDocument(Document document);
    // Drops the document: the view becomes empty.
    void clear();
    // Whether the document was changed (by typing or through the automation)
    // since it was loaded or last marked unchanged. An empty view never is.
    bool changedSinceLoaded() const;
    // The document as it stands now counts as unchanged (it was just stored).
    void markUnchanged();

    // The editing verb: the document becomes editable with its command bars.
    // Throws talvora::Error when the view is empty.
    void activate();
    // Ends editing, keeping the changes.
    void close();
    // Starts the document for automation without showing the command bars.
    // Throws talvora::Error when the view is empty.
    void run();
    bool running() const { return state_ == State::Running || state_ == State::Active; }
    bool isActive() const { return state_ == State::Active; }
    bool isEmpty() const { return state_ == State::Empty; }
    State state() const { return state_; }

    // The automation calls on this view's document; taking them starts a
    // loaded document. Each call throws when the view is empty.
    WordApplication& automation();

    // When on, the context menu of an inactive view offers the verbs.
    void setAutoVerbMenu(bool on) { autoVerbMenu_ = on; }
    bool autoVerbMenu() const { return autoVerbMenu_; }
    // The menu a right click opens now (the caller owns it): the editing
    // menu when active, the verbs when inactive with the verb menu on,
    // otherwise none. Over a misspelt word at the cursor the editing menu
    // begins with its replacements, "Добавить в словарь" and "Пропустить все".
    QMenu* createContextMenu(QWidget* parent = nullptr);
    // The same for a right click at `at` in the editor's viewport: the
    // spelling entries are those of the word under the mouse.
    QMenu* createContextMenu(const QPoint& at, QWidget* parent = nullptr);
    // The verbs the menu offers, in order; the first is the editing verb.
    static QStringList verbs();
    // Runs verb `index` of verbs().
    void doVerb(int index);

    // --- command bars ---
    static QStringList commandBarNames(); // "Standard", "Formatting", "Drawing"
    // Whether the bar is wanted; it shows while the view is active.
    bool commandBarVisible(const QString& name) const;
    void setCommandBarVisible(const QString& name, bool visible);
    QToolBar* commandBar(const QString& name) const;

    // --- the document and its editor ---
    const Document* document() const { return doc_.get(); }
    QTextEdit* textEdit() const { return editor_; }
    // The window that Application.Visible shows and hides (the view itself
    // unless set).
    void setApplicationWindow(QWidget* window) { appWindow_ = window; }
    QWidget* applicationWindow() const { return appWindow_ ? appWindow_ : const_cast<DocumentView*>(this); }

    // Writes the document as a .doc file; throws talvora::Error.
    void saveAsDoc(const QString& path) const;
    // Prints with the document's page set-up; throws talvora::Error when empty.
    void print(QPrinter* printer) const;
    void exportPdf(const QString& path) const;

    // The interactive forms, as the command bars run them: file dialogs
    // through the dialog service, errors shown in an error box.
    void saveAsDocInteractive();
    void printInteractive();
    void printPreviewInteractive();
    void exportPdfInteractive();
    // "Вставить файл…": a file chosen through the dialog service is inserted
    // at the cursor; a failure is shown and changes nothing.
    void insertFileInteractive();

    // Inserts the document in the file at `path` at the cursor, replacing
    // the selection, as one undo step (file_insertion.h says which files).
    // Throws talvora::Error, the document unchanged, when the view is not
    // being edited or the file cannot be read or converted.
    void insertFile(const QString& path);
    // What turns .docx, .odt and .rtf files into Word documents (LibreOffice
    // found on PATH unless set).
    void setOfficeConverter(const OfficeConverter& converter);
    const OfficeConverter& officeConverter() const { return *converter_; }

    // A command of the command bars by its name ("bold", "insertFile", …),
    // for menus that offer the same commands; null for an unknown name.
    QAction* commandAction(const QString& name) const;

    // For the automation: the model (throws when empty) and the selection.
    QTextDocument& textDocument() const;
    QTextCursor selectionCursor() const;
    void setSelectionCursor(const QTextCursor& cursor);
    // The automation is about to move the selection or change the text: the
    // editor lets go of the document until the event loop runs again, so a
    // run of calls is not laid out on screen call by call.
    void beginAutomation();
    // Whether the editor shows the document now.
    bool editorAttached() const { return attached_; }

    // --- spelling ---
    // Misspelt words are underlined while the document is edited (active),
    // once a checker is given (at any time); without one nothing is marked.
    // The program gives all its views one checker, so the dictionaries are
    // read once and a word added in one editor counts in all.
    void setSpellChecker(std::shared_ptr<SpellChecker> checker);
    const std::shared_ptr<SpellChecker>& spellChecker() const;
    SpellHighlighter& spelling() const { return *spell_; }

signals:
    // The input focus came into the view from another control of its window.
    void focusEntered();
    // The input focus went from the view to another control of its window.
    void focusLeft();
    void stateChanged(talvora::word::DocumentView::State state);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void setState(State state);
    void requireDocument(const char* what) const;
    void onFocusChanged(QWidget* old, QWidget* now);
    void updateBars();
    void attachEditor();
    void updateSpelling();
    QMenu* contextMenuAt(int position, QWidget* parent);

    std::unique_ptr<Document> doc_;
    QMetaObject::Connection focusConnection_;
    QTextDocument* placeholder_ = nullptr;
    PageView* page_ = nullptr;
    QTextEdit* editor_ = nullptr;
    QWidget* barHost_ = nullptr;
    EditorActions* actions_ = nullptr;
    std::unique_ptr<ViewAutomation> automation_;
    std::unique_ptr<OfficeConverter> converter_;
    SpellHighlighter* spell_ = nullptr;
    CommentMarkers* comments_ = nullptr; // the comments' markers and tool tips
    QWidget* appWindow_ = nullptr;
    State state_ = State::Empty;
    bool autoVerbMenu_ = true;
    bool focusWithin_ = false;
    bool attached_ = false;      // the editor shows doc_
    bool attachPending_ = false; // a re-attachment is queued
    QTextCursor detached_;       // the selection while the editor lets go
    bool wanted_[3] = {true, true, true};
};

} // namespace talvora::word
