#include "word/view/transfer_buffer.h"

#include "common/errors.h"
#include "word/field_ids.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

namespace talvora::word {

namespace {

// Calls `f(fragment)` for every text fragment of the document that overlaps
// [from, to).
template <typename F>
void forEachFragment(const QTextDocument& doc, int from, int to, F f)
{
    for (QTextBlock b = doc.findBlock(from); b.isValid() && b.position() < to; b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment frag = it.fragment();
            if (frag.position() + frag.length() > from && frag.position() < to)
                f(frag);
        }
}

QString freeImageName(const QTextDocument& doc, const QString& base)
{
    for (int n = 1;; ++n) {
        const QString candidate = QStringLiteral("%1-%2").arg(base).arg(n);
        if (!doc.resource(QTextDocument::ImageResource, QUrl(candidate)).isValid())
            return candidate;
    }
}

} // namespace

void TransferBuffer::clear()
{
    filled_ = false;
    fragment_ = QTextDocumentFragment();
    images_.clear();
}

void TransferBuffer::copyFrom(const QTextCursor& selection)
{
    clear();
    fragment_ = QTextDocumentFragment(selection);
    filled_ = true;
    const QTextDocument* doc = selection.document();
    if (!doc || !selection.hasSelection())
        return;
    forEachFragment(*doc, selection.selectionStart(), selection.selectionEnd(), [&](const QTextFragment& f) {
        const QTextCharFormat fmt = f.charFormat();
        if (!fmt.isImageFormat())
            return;
        const QString name = fmt.toImageFormat().name();
        const QVariant image = doc->resource(QTextDocument::ImageResource, QUrl(name));
        if (image.isValid())
            images_.insert(name, image);
    });
}

void TransferBuffer::pasteInto(QTextCursor& cursor) const
{
    if (!filled_)
        throw Error(QStringLiteral("Буфер обмена документов пуст: нечего вставить"));
    QTextDocument* doc = cursor.document();
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int start = cursor.position();
    const int before = doc->characterCount();
    if (!fragment_.isEmpty())
        cursor.insertFragment(fragment_);
    const int end = start + doc->characterCount() - before;

    // Bring the images along; a name the target already uses for another
    // picture is given a fresh one in the pasted range.
    QHash<QString, QString> renamed;
    for (auto it = images_.cbegin(); it != images_.cend(); ++it) {
        const QVariant present = doc->resource(QTextDocument::ImageResource, QUrl(it.key()));
        if (!present.isValid()) {
            doc->addResource(QTextDocument::ImageResource, QUrl(it.key()), it.value());
        } else if (present != it.value()) {
            const QString fresh = freeImageName(*doc, it.key());
            doc->addResource(QTextDocument::ImageResource, QUrl(fresh), it.value());
            renamed.insert(it.key(), fresh);
        }
    }
    if (!renamed.isEmpty()) {
        std::vector<std::pair<int, int>> spans;
        std::vector<QTextImageFormat> formats;
        forEachFragment(*doc, start, end, [&](const QTextFragment& f) {
            if (!f.charFormat().isImageFormat())
                return;
            QTextImageFormat fmt = f.charFormat().toImageFormat();
            if (!renamed.contains(fmt.name()))
                return;
            fmt.setName(renamed.value(fmt.name()));
            spans.emplace_back(f.position(), f.position() + f.length());
            formats.push_back(fmt);
        });
        for (size_t i = 0; i < spans.size(); ++i) {
            QTextCursor c(doc);
            c.setPosition(spans[i].first);
            c.setPosition(spans[i].second, QTextCursor::KeepAnchor);
            c.setCharFormat(formats[i]);
        }
    }
    // Fields pasted are copies: ids of their own (field_ids.h).
    separateFieldIds(*doc, start, end);
    cursor.endEditBlock();
    cursor.setPosition(end);
}

QString TransferBuffer::plainText() const
{
    return fragment_.toPlainText();
}

TransferBuffer& transferBuffer()
{
    static TransferBuffer buffer;
    return buffer;
}

} // namespace talvora::word
