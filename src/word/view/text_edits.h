#pragma once
// The editing steps behind the automation calls, on a QTextCursor of the
// model: what a typed text becomes, which format it takes, the selection's
// text as Word gives it. Kept apart from the widgets so they are easy to test.

#include <QString>
#include <QTextCursor>
#include <QTextCharFormat>

class QTextDocument;

namespace talvora::word {

// The last position a selection can reach: before the final paragraph mark.
int lastPosition(const QTextDocument& doc);

// The text as the model stores it: "\r\n", "\r" and "\n" become one
// paragraph break ('\n' here), "\v" a line break (U+2028); other control
// characters and the model's own structure marks (frame bounds, object
// placeholders) are dropped.
QString insertableText(const QString& text);

// The character format of the selection's first character (for an empty
// selection, of the character before it, or after it at a paragraph start,
// as formatForTyping() gives it), never a picture's.
QTextCharFormat formatAtSelectionStart(const QTextCursor& cursor);

// What `format`, the format of the character before `position`, becomes for
// text typed there: without what belongs to that character alone (a
// comment's or note's reference, an empty bookmark's marker) and without
// the bookmarks and commented text that end at `position` — text typed at a
// bookmark's end goes after it, as in Word; inside it, it joins it.
QTextCharFormat formatForTyping(const QTextDocument& doc, int position, QTextCharFormat format);

// Looks for `text` within one paragraph, ignoring case, from after the
// cursor's selection going forward or from before it going back, like
// QTextDocument::find, except that the markers of empty bookmarks and empty
// fields (U+200B) between its letters do not stop a match. A null cursor
// when it is not there.
QTextCursor findText(const QTextDocument& doc, const QString& text, const QTextCursor& from, bool forward);

// Inserts the text at the cursor (replacing its selection) with the format,
// splitting paragraphs where it has breaks; the cursor ends after it.
// Returns the position where the text starts.
int insertFormattedText(QTextCursor& cursor, const QString& text, const QTextCharFormat& format);

// The selected text with paragraphs separated by "\r" and line breaks as
// "\v"; table and picture marks are left out.
QString wordText(const QTextCursor& cursor);

} // namespace talvora::word
