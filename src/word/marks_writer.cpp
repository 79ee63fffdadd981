#include "word/marks_writer.h"

namespace talvora::word {

void MarkWriter::run(const QTextCharFormat& format, const QString& text, int32_t from, int32_t to)
{
    const bool points = format.hasProperty(BookmarkPointProperty) && text.contains(QChar(kBookmarkMarker));
    ranges_.run(format, from, to, points);
}

void MarkWriter::reference(const QTextCharFormat& format, int32_t cp)
{
    PendingComment c;
    c.reference = cp;
    c.info = commentOf(format);
    const MarkRanges::Range range = ranges_.commentRange(c.info.id, cp);
    if (range.from < range.to) {
        c.rangeStart = range.from;
        c.rangeEnd = range.to;
    }
    comments_.push_back(std::move(c));
}

std::vector<BookmarkToWrite> MarkWriter::bookmarks() const
{
    std::vector<BookmarkToWrite> out;
    for (const MarkRanges::Range& r : ranges_.bookmarks())
        out.push_back({r.name, r.from, r.to});
    return out;
}

std::vector<CommentToWrite> MarkWriter::commentsToWrite(const std::vector<int32_t>& starts) const
{
    std::vector<CommentToWrite> out;
    for (size_t k = 0; k < comments_.size() && k < starts.size(); ++k) {
        const PendingComment& c = comments_[k];
        out.push_back({c.reference, c.info.author, c.info.initials, starts[k], c.rangeStart, c.rangeEnd});
    }
    return out;
}

} // namespace talvora::word
