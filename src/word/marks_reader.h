#pragma once
// Reading the bookmarks and comments of a Word 97–2003 file: putting them
// on the characters of the stories as the reader builds them (the model's
// conventions are in marks.h, the stored tables in marks_tables.h).

#include "word/marks.h"
#include "word/marks_tables.h"

#include <QString>
#include <QStringList>
#include <QTextCharFormat>

#include <cstdint>
#include <functional>
#include <vector>

class QTextCursor;
class QTextDocument;

namespace talvora::word {

class WordFile;

// The bookmarks and comments of one file, ready to be put on the stories.
class StoredMarks {
public:
    // Builds the stored text [from, to) into an empty document.
    using Build = std::function<void(QTextDocument&, int32_t, int32_t)>;
    // Reads the tables of `file`, whose text `text` (all stories) holds
    // `textLength` characters, and builds the text of each comment.
    void read(const WordFile& file, const char16_t* text, int32_t textLength, int32_t ccpText, int32_t commentStart,
              const Build& build);

private:
    friend class MarkBuilder;
    struct Mark {
        QString key; // a bookmark's name, or a comment's id
        bool comment = false;
        int32_t start = 0, end = 0;
        bool placed = false; // a story has taken it
    };
    struct Comment {
        int32_t reference = 0;
        CommentInfo info;
    };
    std::vector<Mark> marks_;       // by start
    std::vector<Comment> comments_; // by reference
};

// Puts the marks on one story while the reader goes through its characters
// in order (see StoryBuilder): the ranges that cover a character go into its
// format, empty bookmarks become markers, comments become references.
class MarkBuilder {
public:
    // The story is the stored text [from, to]; `marks` may be null (no marks).
    MarkBuilder(StoredMarks* marks, int32_t from, int32_t to);

    // Whether a range starts or ends at or before `cp`: the caller inserts
    // what it holds before calling advance().
    bool pending(int32_t cp) const
    {
        return (next_ < limit_ && marks_->marks_[next_].start <= cp) || (!active_.empty() && firstEnd_ <= cp);
    }
    // Moves on to `cp`; markers for empty bookmarks (and ranges that covered
    // nothing shown) go in at `cursor` in the format `around` has there.
    void advance(int32_t cp, QTextCursor& cursor, const QTextCharFormat& around);
    // `format` with the ranges now open; `shown` says the format is for
    // characters that will be shown (which then carry the ranges).
    QTextCharFormat apply(QTextCharFormat format, bool shown = true);
    // The comment whose reference is at `cp`; the characters come in order.
    const CommentInfo* commentAt(int32_t cp);
    // The first character at `cp` or after where a range starts or ends or a
    // comment is referred to: the characters before it need none of the above.
    int32_t nextStop(int32_t cp);
    // What is left goes to the end of the story.
    void finish(QTextDocument& story);

private:
    struct Active {
        size_t mark;
        bool carried = false;
    };
    void updateNames();
    void insertMarker(QTextCursor& cursor, const QTextCharFormat& around);

    StoredMarks* marks_;
    int32_t to_;
    size_t next_ = 0, limit_ = 0; // the marks of this story: [next_, limit_) still to start
    size_t nextComment_ = 0;
    std::vector<Active> active_;
    int32_t firstEnd_ = 0;
    QStringList bookmarks_, comments_; // open now
    QStringList points_;               // waiting for a marker
};

} // namespace talvora::word
