#pragma once
// Bookmarks and comments as the model keeps them: on the characters they
// belong to, so that edits of the QTextDocument carry them along.
//
// - A bookmark covering text: every character it covers carries its name in
//   BookmarksProperty. Its range is the first unbroken run of characters
//   carrying the name, in document order; paragraph and cell marks do not
//   break it (they carry nothing), a character without the name does.
//   Deleting all its characters deletes it; a later run with the same name
//   (a copy) is not it.
// - An empty bookmark (a point) is one U+200B character whose format names
//   it in BookmarkPointProperty; the marker takes the format of the text
//   around it. Deleting the marker deletes the bookmark.
// - A comment is its reference: one U+FFFC character whose object type is
//   CommentObjectType, carrying the comment's text (saveNoteContent() in
//   notes.h), author, initials and date. The text it comments on, when it
//   has one, carries the comment's id in CommentRangesProperty; the range is
//   the last unbroken run of such characters before the reference.

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>
#include <QTextCharFormat>

#include <cstdint>
#include <vector>

class QTextCursor;
class QTextDocument;

namespace talvora::word {

enum MarkProperty {
    BookmarksProperty = QTextFormat::UserProperty + 0xB00, // QStringList: the bookmarks covering the character
    BookmarkPointProperty,   // QStringList: on a U+200B marker, the empty bookmarks standing there
    CommentRangesProperty,   // QStringList: the ids (in decimal) of the comments whose text covers the character
    CommentContentProperty,  // QByteArray, on the reference: the comment's paragraphs (saveNoteContent())
    CommentIdProperty,       // int: tells two comments apart; their ranges name it
    CommentAuthorProperty,   // QString
    CommentInitialsProperty, // QString
    CommentDateProperty,     // QDateTime; absent when not known
};

inline constexpr int CommentObjectType = QTextFormat::UserObject + 0xB0;
inline constexpr char16_t kBookmarkMarker = 0x200B;

struct CommentInfo {
    QByteArray content;
    int id = 0;
    QString author;
    QString initials;
    QDateTime date;
};

// A comment's reference character.
bool isCommentReference(const QTextFormat& format);
CommentInfo commentOf(const QTextFormat& format);
// Makes `format` the format of a reference to `comment`.
void setComment(QTextCharFormat& format, const CommentInfo& comment);
// A new reference character at `cursor`, in the format of the text around it.
void insertComment(QTextCursor& cursor, const CommentInfo& comment);

// Follows the runs of characters that carry bookmarks and comment ranges,
// run by run in document order, and tells where each bookmark lies and which
// text each comment covers. Positions are the caller's own: QTextDocument
// positions or stored CPs. A run that holds only point markers covers nothing.
class MarkRanges {
public:
    struct Range {
        QString name;
        int32_t from = 0, to = 0; // [from, to); equal for an empty bookmark
    };

    // A run [from, to) of one format; `points` (before the run's first
    // character) when the run holds point markers.
    void run(const QTextFormat& format, int32_t from, int32_t to, bool points);
    // The end of a story: no range goes on into the next one.
    void endStory();
    // The range of comment `id` at its reference, which stands at `at`: the
    // last run of its characters before that; from == to == at when none.
    Range commentRange(int id, int32_t at);

    // The bookmarks in the order they start; each name once.
    std::vector<Range> bookmarks() const;

private:
    struct Open {
        QString name;
        int32_t from, to;
        bool closed = false;
    };
    std::vector<Open> bookmarks_; // by first appearance
    std::vector<Open> comments_;  // runs of comment ranges, the last of each id
    std::vector<size_t> openBookmarks_, openComments_; // not closed yet
    QHash<QString, size_t> bookmarkIndex_;
    QHash<QString, size_t> commentIndex_;
};

// What the model holds: the bookmarks of a story with their positions, and
// its comments with their references' positions and the text they cover.
struct BookmarkAt {
    QString name;
    int from = 0, to = 0;
};
std::vector<BookmarkAt> bookmarksOf(const QTextDocument& story);

struct CommentAt {
    CommentInfo comment;
    int position = 0;           // of the reference
    int rangeFrom = 0, rangeTo = 0; // the text commented on; empty for a comment at a point
};
std::vector<CommentAt> commentsOf(const QTextDocument& story);

// A comment's text as plain text, one paragraph a line.
QString commentText(const CommentInfo& comment);

} // namespace talvora::word
