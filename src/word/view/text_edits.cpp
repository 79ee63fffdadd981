#include "word/view/text_edits.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

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
    return plainCharFormat(at.charFormat(), block);
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
