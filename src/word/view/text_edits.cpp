#include "word/view/text_edits.h"

#include "word/marks.h"
#include "word/notes.h"
#include "word/text_formats.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <optional>
#include <vector>

namespace talvora::word {

namespace {
constexpr char16_t kFrameStart = 0xFDD0;
constexpr char16_t kFrameEnd = 0xFDD1;

QTextCharFormat plainCharFormat(const QTextCharFormat& fmt, const QTextBlock& block)
{
    if (fmt.isImageFormat() || fmt.objectType() != QTextFormat::NoObject)
        return block.charFormat();
    return fmt;
}
} // namespace

int lastPosition(const QTextDocument& doc)
{
    return std::max(0, doc.characterCount() - 1);
}

QString insertableText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text.at(i).unicode();
        switch (c) {
        case u'\r':
            if (i + 1 < text.size() && text.at(i + 1) == u'\n')
                ++i;
            out.append(u'\n');
            break;
        case u'\n':
        case QChar::ParagraphSeparator:
            out.append(u'\n');
            break;
        case u'\v':
        case QChar::LineSeparator:
            out.append(QChar(QChar::LineSeparator));
            break;
        case u'\t':
            out.append(u'\t');
            break;
        case kFrameStart:
        case kFrameEnd:
        case QChar::ObjectReplacementCharacter:
            break;
        default:
            if (c >= 0x20 && c != 0x7F)
                out.append(QChar(c));
        }
    }
    return out;
}

QTextCharFormat formatAtSelectionStart(const QTextCursor& cursor)
{
    const QTextDocument* doc = cursor.document();
    const int start = cursor.selectionStart();
    const QTextBlock block = doc->findBlock(start);
    if (cursor.hasSelection() && start < block.position() + block.length() - 1) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (start >= f.position() && start < f.position() + f.length())
                return plainCharFormat(f.charFormat(), block);
        }
    }
    QTextCursor at(cursor);
    at.setPosition(start);
    return formatForTyping(*doc, start, plainCharFormat(at.charFormat(), block));
}

namespace {
// The format of the first character at or after `position` that is not a
// paragraph mark; none at the end of the document.
std::optional<QTextCharFormat> nextCharacterFormat(const QTextDocument& doc, int position)
{
    for (QTextBlock b = doc.findBlock(position); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.position() + f.length() > position)
                return f.charFormat();
        }
    }
    return std::nullopt;
}

// Keeps of the names in `property` only those the next character carries too.
void keepGoingOn(QTextCharFormat& format, int property, const std::optional<QTextCharFormat>& next)
{
    if (!format.hasProperty(property))
        return;
    const QStringList after = next ? next->property(property).toStringList() : QStringList();
    QStringList names = format.property(property).toStringList();
    names.removeIf([&after](const QString& n) { return !after.contains(n); });
    if (names.isEmpty())
        format.clearProperty(property);
    else
        format.setProperty(property, names);
}
} // namespace

QTextCharFormat formatForTyping(const QTextDocument& doc, int position, QTextCharFormat format)
{
    if (isCommentReference(format)) {
        format.clearProperty(QTextFormat::ObjectType);
        for (int p : {CommentContentProperty, CommentIdProperty, CommentAuthorProperty, CommentInitialsProperty,
                      CommentDateProperty})
            format.clearProperty(p);
    }
    for (int p : {NoteContentProperty, NoteIdProperty, NoteEndnoteProperty, NoteCustomMarkProperty,
                  NoteNumberFormatProperty})
        format.clearProperty(p);
    format.clearProperty(BookmarkPointProperty);
    if (format.hasProperty(BookmarksProperty) || format.hasProperty(CommentRangesProperty)) {
        const std::optional<QTextCharFormat> next = nextCharacterFormat(doc, position);
        keepGoingOn(format, BookmarksProperty, next);
        keepGoingOn(format, CommentRangesProperty, next);
    }
    return format;
}

QTextCursor findText(const QTextDocument& doc, const QString& text, const QTextCursor& from, bool forward)
{
    if (text.isEmpty())
        return {};
    // As QTextDocument::find: going back, the character at the selection's
    // start is not searched.
    int pos = forward ? from.selectionEnd() : from.selectionStart() - 1;
    if (pos < 0)
        return {};
    QTextBlock block = doc.findBlock(pos);
    int offset = pos - block.position();
    if (!forward && offset >= block.length() - 1)
        offset = block.length() - 2; // the paragraph mark is not searched
    while (block.isValid()) {
        const QString raw = block.text();
        QString shown;            // the paragraph without its markers
        std::vector<int> origin;  // shown index -> index in the paragraph
        shown.reserve(raw.size());
        origin.reserve(size_t(raw.size()));
        int limit = 0;            // shown characters before the search's start
        for (qsizetype i = 0; i < raw.size(); ++i) {
            if (i == offset + (forward ? 0 : 1))
                limit = int(shown.size());
            const QChar c = raw.at(i);
            if (c == QChar(kBookmarkMarker))
                continue;
            shown.append(c == QChar::Nbsp ? QChar(u' ') : c);
            origin.push_back(int(i));
        }
        if (offset + (forward ? 0 : 1) >= raw.size())
            limit = int(shown.size());
        qsizetype at = -1;
        if (forward)
            at = shown.indexOf(text, limit, Qt::CaseInsensitive);
        else if (limit > 0)
            at = shown.lastIndexOf(text, limit - 1, Qt::CaseInsensitive);
        if (at >= 0) {
            QTextCursor found(const_cast<QTextDocument*>(&doc));
            found.setPosition(block.position() + origin[size_t(at)]);
            found.setPosition(block.position() + origin[size_t(at + text.size() - 1)] + 1, QTextCursor::KeepAnchor);
            return found;
        }
        block = forward ? block.next() : block.previous();
        offset = forward ? 0 : block.length() - 2;
    }
    return {};
}

int insertFormattedText(QTextCursor& cursor, const QString& text, const QTextCharFormat& format)
{
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const int start = cursor.position();
    const QStringList paragraphs = insertableText(text).split(u'\n');
    for (qsizetype i = 0; i < paragraphs.size(); ++i) {
        if (i > 0)
            cursor.insertBlock(cursor.blockFormat(), format);
        if (!paragraphs[i].isEmpty())
            cursor.insertText(paragraphs[i], format);
    }
    cursor.endEditBlock();
    return start;
}

QString wordText(const QTextCursor& cursor)
{
    const QString raw = cursor.selectedText();
    QString out;
    out.reserve(raw.size());
    for (QChar ch : raw) {
        switch (ch.unicode()) {
        case QChar::ParagraphSeparator:
            out.append(u'\r');
            break;
        case QChar::LineSeparator:
            out.append(u'\v');
            break;
        case kFrameStart:
        case kFrameEnd:
        case QChar::ObjectReplacementCharacter:
            break;
        default:
            out.append(ch);
        }
    }
    return out;
}

} // namespace talvora::word
