#pragma once
// The program's own clipboard for content that passes between documents
// inside one operation (a template's content into the assembled document, a
// marker into the marker box). Keeping it apart from the system clipboard
// means an assembly never overwrites what the user copied there.
//
// It holds rich content: a QTextDocumentFragment with its formats, lists
// and tables, plus the images the fragment shows, which a fragment alone
// does not carry from one QTextDocument to another.

#include <QHash>
#include <QString>
#include <QTextDocumentFragment>
#include <QVariant>

class QTextCursor;

namespace talvora::word {

class TransferBuffer {
public:
    // True until something is copied (an empty selection copies empty content).
    bool isEmpty() const { return !filled_; }
    void clear();

    // Takes the cursor's selection with the images it shows.
    void copyFrom(const QTextCursor& selection);
    // Replaces the cursor's selection by the content; the cursor ends after
    // it. Throws talvora::Error when nothing was copied.
    void pasteInto(QTextCursor& cursor) const;

    // The content as plain text, paragraphs separated by '\n'.
    QString plainText() const;
    const QTextDocumentFragment& fragment() const { return fragment_; }

private:
    bool filled_ = false;
    QTextDocumentFragment fragment_;
    QHash<QString, QVariant> images_; // image name → the image resource
};

// The buffer of the running program.
TransferBuffer& transferBuffer();

} // namespace talvora::word
