#pragma once
// The separate document window: a standalone editor with its own document,
// not linked to the database. Documents are copied into it to be looked at,
// edited, printed, saved as .doc files or handed to the desktop's word
// processor.

#include "word/view/word_automation.h"

#include <QMainWindow>
#include <QUrl>

#include <functional>

namespace talvora::word {

class DocumentView;

class SeparateDocumentWindow : public QMainWindow {
    Q_OBJECT
public:
    // A window holding a new empty document, being edited. It deletes
    // itself when closed.
    explicit SeparateDocumentWindow(QWidget* parent = nullptr);
    ~SeparateDocumentWindow() override;

    DocumentView& view() const { return *view_; }
    // Application.Visible shows and hides this window.
    WordApplication& automation();

    // Writes the document into a temporary .doc file and hands it to the
    // desktop's default application. Returns the file's path. Throws
    // talvora::Error when the file cannot be written or opened.
    QString openInTextEditor();
    // How a file is handed to the desktop (QDesktopServices::openUrl unless
    // replaced, in tests).
    std::function<bool(const QUrl&)> urlOpener;

    // The window title for a document taken from `source` (a file name, or
    // empty for a copied document).
    void setSource(const QString& source);

private:
    DocumentView* view_ = nullptr;
};

// Opens a new separate window (visible) and returns it. The window owns
// itself. This is the separate-window sequence: the caller then pastes the
// copied content through its automation (WholeStory, then Paste).
SeparateDocumentWindow* openSeparateWindow();

// The separate window as a program of its own: opens a .doc file or a
// document BLOB at `path`, runs until the window is closed and returns the
// exit status (0; 1 when the file cannot be read — the error is shown in a
// message box). Needs a QApplication.
int runSeparateWindowEditor(const QString& path);

} // namespace talvora::word
