#pragma once
// Writing bookmarks and comments: follows the runs of the stories as the
// writer puts them into the text, and tells where each bookmark lies and
// which comments the main text refers to (the model's conventions are in
// marks.h, the stored tables in marks_tables.h).

#include "word/marks.h"
#include "word/marks_tables.h"

#include <QTextCharFormat>

#include <cstdint>
#include <vector>

namespace talvora::word {

// A comment met in the main text, whose text is written after the headers.
struct PendingComment {
    int32_t reference = 0; // CP of its reference character
    CommentInfo info;
    int32_t rangeStart = -1, rangeEnd = -1; // the commented text; -1 for none
};

class MarkWriter {
public:
    // A run of the model written at [from, to) (CPs); `text` is its text in the model.
    void run(const QTextCharFormat& format, const QString& text, int32_t from, int32_t to);
    // The end of a story: no range goes on into the next.
    void endStory() { ranges_.endStory(); }
    // A comment's reference character, of `format`, is written at `cp`.
    void reference(const QTextCharFormat& format, int32_t cp);

    const std::vector<PendingComment>& comments() const { return comments_; }
    std::vector<BookmarkToWrite> bookmarks() const;
    // The comments as their tables take them; `starts`: where each one's
    // text starts in the comment story.
    std::vector<CommentToWrite> commentsToWrite(const std::vector<int32_t>& starts) const;

private:
    MarkRanges ranges_;
    std::vector<PendingComment> comments_;
};

} // namespace talvora::word
