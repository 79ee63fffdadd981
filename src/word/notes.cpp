#include "word/notes.h"

#include "word/text_formats.h"

#include <QDataStream>
#include <QIODevice>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

namespace talvora::word {

namespace {

constexpr quint32 kNoteMagic = 0x544E4F54; // "TNOT"
constexpr quint16 kNoteVersion = 1;
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;

} // namespace

QByteArray saveNoteContent(const QTextDocument& note)
{
    QByteArray out;
    QDataStream s(&out, QIODevice::WriteOnly);
    s.setVersion(kStreamVersion);
    s << kNoteMagic << kNoteVersion << quint32(note.blockCount());
    for (QTextBlock b = note.begin(); b.isValid(); b = b.next()) {
        s << QTextFormat(b.blockFormat()) << QTextFormat(b.charFormat());
        quint32 fragments = 0;
        for (auto it = b.begin(); !it.atEnd(); ++it)
            fragments += it.fragment().isValid();
        s << fragments;
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (f.isValid())
                s << f.text() << QTextFormat(f.charFormat());
        }
    }
    return out;
}

bool loadNoteContent(const QByteArray& content, QTextDocument& into)
{
    QDataStream s(content);
    s.setVersion(kStreamVersion);
    quint32 magic = 0, blocks = 0;
    quint16 version = 0;
    s >> magic >> version >> blocks;
    // Every block takes more than a byte, so a count past the size is damage.
    if (s.status() != QDataStream::Ok || magic != kNoteMagic || version != kNoteVersion || blocks > quint32(content.size()))
        return false;
    QTextCursor cursor(&into);
    auto fail = [&] {
        into.clear();
        return false;
    };
    for (quint32 i = 0; i < blocks; ++i) {
        QTextFormat blockFormat, blockChar;
        quint32 fragments = 0;
        s >> blockFormat >> blockChar >> fragments;
        if (s.status() != QDataStream::Ok || fragments > quint32(content.size()))
            return fail();
        if (i == 0) {
            cursor.setBlockFormat(blockFormat.toBlockFormat());
            cursor.setBlockCharFormat(blockChar.toCharFormat());
        } else {
            cursor.insertBlock(blockFormat.toBlockFormat(), blockChar.toCharFormat());
        }
        for (quint32 k = 0; k < fragments; ++k) {
            QString text;
            QTextFormat format;
            s >> text >> format;
            if (s.status() != QDataStream::Ok)
                return fail();
            // Paragraph separators would make blocks the count does not know of.
            for (QChar& c : text)
                if (c == QChar::ParagraphSeparator || c == u'\n' || c == u'\r')
                    c = QChar::LineSeparator;
            cursor.insertText(text, format.toCharFormat());
        }
    }
    return true;
}

QString noteText(const QByteArray& content)
{
    QTextDocument doc;
    if (!loadNoteContent(content, doc))
        return {};
    QString text = doc.toPlainText();
    text.replace(QChar::LineSeparator, QLatin1Char('\n'));
    return text;
}

bool isNoteReference(const QTextFormat& format)
{
    return format.hasProperty(NoteContentProperty);
}

NoteInfo noteOf(const QTextFormat& f)
{
    NoteInfo n;
    n.content = f.property(NoteContentProperty).toByteArray();
    n.id = f.intProperty(NoteIdProperty);
    n.endnote = f.boolProperty(NoteEndnoteProperty);
    n.customMark = f.boolProperty(NoteCustomMarkProperty);
    n.numberFormat = f.intProperty(NoteNumberFormatProperty);
    return n;
}

void setNote(QTextCharFormat& f, const NoteInfo& n)
{
    f.setProperty(NoteContentProperty, n.content);
    f.setProperty(NoteIdProperty, n.id);
    if (n.endnote)
        f.setProperty(NoteEndnoteProperty, true);
    else
        f.clearProperty(NoteEndnoteProperty);
    if (n.customMark)
        f.setProperty(NoteCustomMarkProperty, true);
    else
        f.clearProperty(NoteCustomMarkProperty);
    if (n.numberFormat)
        f.setProperty(NoteNumberFormatProperty, n.numberFormat);
    else
        f.clearProperty(NoteNumberFormatProperty);
}

QString textAfterNoteNumber(const QString& run, int numberFormat)
{
    // The characters a number of the format is made of: digits, Roman
    // numerals, or one letter repeated.
    auto inNumber = [&](QChar c) {
        switch (numberFormat) {
        case NumberUpperRoman:
        case NumberLowerRoman: return QStringLiteral("ivxlcdm").contains(c.toLower());
        case NumberUpperLetter:
        case NumberLowerLetter: return c.isLetter() && c == run.front();
        default: return c.isDigit();
        }
    };
    qsizetype i = 0;
    while (i < run.size() && inNumber(run[i]))
        ++i;
    return run.mid(i);
}

std::vector<StoredNote> readNoteTables(ByteView references, ByteView texts, int32_t ccpText, int32_t storyStart,
                                       int32_t storyLength)
{
    std::vector<StoredNote> notes;
    // References: n + 1 CPs and n 2-byte entries. Texts: a CP for each note,
    // one that ends the last, and one more.
    if (references.size() < 4 + 4 + 2)
        return notes;
    const qint64 n = (references.size() - 4) / 6;
    const qint64 textCps = texts.size() / 4;
    int32_t previous = -1;
    for (qint64 i = 0; i < n; ++i) {
        StoredNote note;
        note.reference = references.i32(4 * i);
        note.automatic = references.i16(4 * (n + 1) + 2 * i) != 0;
        // References lie in the main text, in order, one a character.
        if (note.reference < 0 || note.reference >= ccpText || note.reference <= previous)
            continue;
        previous = note.reference;
        if (i + 1 < textCps) {
            const int32_t from = texts.i32(4 * i);
            const int32_t to = texts.i32(4 * (i + 1));
            if (from >= 0 && to > from && to <= storyLength) {
                note.from = storyStart + from;
                note.to = storyStart + to - 1; // the mark that ends it stays out
            }
        }
        notes.push_back(note);
    }
    return notes;
}

QByteArray noteReferenceTable(const std::vector<int32_t>& references, const std::vector<bool>& automatic,
                              int32_t ccpText)
{
    QByteArray out;
    ByteWriter w(out);
    for (int32_t cp : references)
        w.i32(cp);
    w.i32(ccpText);
    for (bool a : automatic)
        w.i16(a ? 1 : 0);
    return out;
}

QByteArray noteTextTable(const std::vector<int32_t>& starts, int32_t storyLength)
{
    // The story ends with one more paragraph mark than its notes have.
    QByteArray out;
    ByteWriter w(out);
    for (int32_t cp : starts)
        w.i32(cp);
    w.i32(storyLength - 1);
    w.i32(storyLength);
    return out;
}

} // namespace talvora::word
