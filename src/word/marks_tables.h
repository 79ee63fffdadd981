#pragma once
// The stored tables of bookmarks and comments in a Word 97–2003 file: the
// names and the start and end tables of bookmarks; the references, texts,
// authors and commented ranges of comments.

#include "word/binary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

namespace talvora::word {

// Where the tables are among the FIB's (fc, lcb) pairs.
namespace fib {
enum MarkTableIndex {
    PlcfandRef = 4,
    PlcfandTxt = 5,
    PlcfFldAtn = 19,
    SttbfBkmk = 21,
    PlcfBkf = 22,
    PlcfBkl = 23,
    GrpXstAtnOwners = 36,
    SttbfAtnBkmk = 37,
    PlcfAtnBkf = 42,
    PlcfAtnBkl = 43,
};
} // namespace fib

// The strings of a stored string table (STTB) with the extra bytes after
// each; nothing when the table is damaged.
struct StoredString {
    QString text;
    ByteView extra;
};
std::vector<StoredString> readStringTable(ByteView table);

// A bookmark as stored: [start, end) in CPs over all stories.
struct StoredBookmark {
    QString name;
    int32_t start = 0, end = 0;
};
// Reads the names (SttbfBkmk) with the tables of where bookmarks start
// (PlcfBkf) and end (PlcfBkl). Bookmarks the tables do not give a sound
// range for (an end index past the ends, a CP past `textLength`, an end
// before the start) and repeated names are left out.
std::vector<StoredBookmark> readBookmarkTables(ByteView names, ByteView starts, ByteView ends, int32_t textLength);
// The same with the names already read (Word 6.0/95 files store them as
// 8-bit strings in a table of another form).
std::vector<StoredBookmark> readBookmarkTables(const QStringList& names, ByteView starts, ByteView ends,
                                               int32_t textLength);

// The tables of the comments of a file.
struct CommentTables {
    ByteView references; // PlcfandRef
    ByteView texts;      // PlcfandTxt
    ByteView authors;    // GrpXstAtnOwners
    ByteView tags;       // SttbfAtnBkmk
    ByteView tagStarts;  // PlcfAtnBkf
    ByteView tagEnds;    // PlcfAtnBkl
};

struct StoredComment {
    int32_t reference = 0; // CP of its reference character in the main text
    QString author, initials;
    int32_t from = 0, to = 0;              // its text, absolute CPs without the mark that ends it; empty when unsound
    int32_t rangeStart = -1, rangeEnd = -1; // the text it comments on; -1 when none
};
// Comments whose story starts at `storyStart` and holds `storyLength`
// characters, in the order of their references (one a character).
std::vector<StoredComment> readCommentTables(const CommentTables& tables, int32_t ccpText, int32_t storyStart,
                                             int32_t storyLength);

// --- writing ---

// A bookmark or a commented range to write: [start, end) in CPs.
struct BookmarkToWrite {
    QString name;
    int32_t start = 0, end = 0;
};
struct BookmarkTables {
    QByteArray names, starts, ends;
};
// The three tables of `bookmarks` (given in any order); `lastCp` is the
// CP past the last one any of them may have.
BookmarkTables bookmarkTables(std::vector<BookmarkToWrite> bookmarks, int32_t lastCp);

struct CommentToWrite {
    int32_t reference = 0; // in the main text
    QString author, initials;
    int32_t textStart = 0;  // in the comment story
    int32_t rangeStart = -1, rangeEnd = -1; // the commented text; -1 for a comment at a point
};
struct CommentTableBytes {
    QByteArray references, texts, authors, tags, tagStarts, tagEnds; // tags empty when no comment has a range
};
// The tables of `comments`, in the order of their references; the comment
// story holds `storyLength` characters, its last paragraph mark included.
CommentTableBytes commentTables(const std::vector<CommentToWrite>& comments, int32_t ccpText, int32_t storyLength);

} // namespace talvora::word
