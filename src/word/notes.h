#pragma once
// Footnotes and endnotes: the content a reference run carries (see
// NoteProperty in text_formats.h) and the stored tables that tie references
// to their text.

#include "word/binary.h"

#include <QByteArray>
#include <QString>
#include <QTextCharFormat>

#include <cstdint>
#include <vector>

class QTextDocument;

namespace talvora::word {

// The paragraphs of a note with their block and character formats. Tables
// and lists inside a note are kept as their paragraphs.
QByteArray saveNoteContent(const QTextDocument& note);
// Fills the empty `into` from saved content; false (and `into` left empty)
// when the bytes are not such content.
bool loadNoteContent(const QByteArray& content, QTextDocument& into);
// The note's text, one paragraph a line.
QString noteText(const QByteArray& content);

// A note as a reference run carries it.
struct NoteInfo {
    QByteArray content;
    int id = 0;
    bool endnote = false;
    bool customMark = false;
    int numberFormat = 0; // ListNumberFormat values
};
bool isNoteReference(const QTextFormat& format);
NoteInfo noteOf(const QTextFormat& format);
void setNote(QTextCharFormat& format, const NoteInfo& note);

// What a numbered note's reference run holds besides its number: text typed
// after the number in an editor.
QString textAfterNoteNumber(const QString& run, int numberFormat);

// A note as stored: the CP of its reference in the main text and the range
// of its text in the story of notes (absolute CPs, without the paragraph
// mark that ends it; empty when the tables do not give a sound one).
struct StoredNote {
    int32_t reference = 0;
    bool automatic = true; // numbered, rather than with a mark of its own
    int32_t from = 0, to = 0;
};
// Reads the reference table (CPs and 2-byte entries) and the text table (CPs
// only) of footnotes or endnotes whose story starts at `storyStart` and
// holds `storyLength` characters.
std::vector<StoredNote> readNoteTables(ByteView references, ByteView texts, int32_t ccpText, int32_t storyStart,
                                       int32_t storyLength);

// The same tables for writing: references at `references` (CPs in the main
// text, which holds `ccpText` characters), each note's text starting at
// `starts` (CPs in the story of notes, which holds `storyLength`).
QByteArray noteReferenceTable(const std::vector<int32_t>& references, const std::vector<bool>& automatic,
                              int32_t ccpText);
QByteArray noteTextTable(const std::vector<int32_t>& starts, int32_t storyLength);

} // namespace talvora::word
