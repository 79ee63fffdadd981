#include "word/marks_reader.h"

#include "word/doc_reader_file.h"
#include "word/document.h"
#include "word/fib.h"
#include "word/notes.h"
#include "word/word6_format.h"

#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace talvora::word {

void StoredMarks::read(const WordFile& file, const char16_t* text, int32_t textLength, int32_t ccpText,
                       int32_t commentStart, const Build& build)
{
    // Word 6.0/95 files keep the names as 8-bit strings in the document's code page.
    const std::vector<StoredBookmark> bookmarks =
        file.word6() ? readBookmarkTables(readWord6Strings(file.tableRange(fib::SttbfBkmk), CodePage(file.codePage())),
                                          file.tableRange(fib::PlcfBkf), file.tableRange(fib::PlcfBkl), textLength)
                     : readBookmarkTables(file.tableRange(fib::SttbfBkmk), file.tableRange(fib::PlcfBkf),
                                          file.tableRange(fib::PlcfBkl), textLength);
    for (const StoredBookmark& b : bookmarks) {
        // Word's "where you last edited" bookmark is made anew at every save;
        // kept, its marker could split a word a search looks for.
        if (b.name.compare(QLatin1String("_GoBack"), Qt::CaseInsensitive) == 0)
            continue;
        Mark m{b.name, false, b.start, b.end};
        // The main text ends with its last paragraph mark: what goes past it
        // stays at its end.
        if (m.start < ccpText)
            m.end = std::min(m.end, ccpText);
        else if (m.start == ccpText && m.end == ccpText && ccpText > 0)
            m.start = m.end = ccpText - 1;
        marks_.push_back(m);
    }

    std::vector<StoredComment> comments;
    const int32_t commentLength = file.storyLength(fib::CcpAtn);
    // The comments of Word 6.0/95 files are stored in another form: not read.
    if (commentLength > 0 && !file.word6() && qint64(commentStart) + commentLength <= textLength) {
        const CommentTables tables{file.tableRange(fib::PlcfandRef),      file.tableRange(fib::PlcfandTxt),
                                   file.tableRange(fib::GrpXstAtnOwners), file.tableRange(fib::SttbfAtnBkmk),
                                   file.tableRange(fib::PlcfAtnBkf),      file.tableRange(fib::PlcfAtnBkl)};
        comments = readCommentTables(tables, ccpText, commentStart, commentLength);
    }
    int id = 0;
    for (const StoredComment& c : comments) {
        Comment comment{c.reference, {}};
        comment.info.id = ++id;
        comment.info.author = c.author;
        comment.info.initials = c.initials;
        comments_.push_back(comment);
        if (c.rangeStart >= 0)
            marks_.push_back({QString::number(id), true, c.rangeStart, std::min(c.rangeEnd, ccpText)});
    }
    std::stable_sort(marks_.begin(), marks_.end(), [](const Mark& a, const Mark& b) { return a.start < b.start; });

    // Each comment's text starts with its own reference mark, which the model
    // puts back when writing. Texts of a damaged file may overlap or repeat:
    // what all of them hold together is bounded by the story itself.
    qint64 budget = 4 * qint64(commentLength) + 65536;
    for (size_t k = 0; k < comments.size(); ++k) {
        int32_t from = comments[k].from;
        const int32_t to = comments[k].to;
        if (from < to && text[from] == 0x05)
            ++from;
        auto content = Document().takeText();
        if (from < to && to - from <= budget) {
            budget -= to - from;
            build(*content, from, to);
        }
        comments_[k].info.content = saveNoteContent(*content);
    }
}

MarkBuilder::MarkBuilder(StoredMarks* marks, int32_t from, int32_t to) : marks_(marks), to_(to)
{
    if (!marks_)
        return;
    const auto& all = marks_->marks_;
    next_ = size_t(std::lower_bound(all.begin(), all.end(), from,
                                    [](const StoredMarks::Mark& m, int32_t cp) { return m.start < cp; })
                   - all.begin());
    limit_ = size_t(std::upper_bound(all.begin(), all.end(), to,
                                     [](int32_t cp, const StoredMarks::Mark& m) { return cp < m.start; })
                    - all.begin());
    limit_ = std::max(limit_, next_);
}

void MarkBuilder::advance(int32_t cp, QTextCursor& cursor, const QTextCharFormat& around)
{
    auto& all = marks_->marks_;
    bool changed = false;
    while (next_ < limit_ && all[next_].start <= cp) {
        StoredMarks::Mark& m = all[next_];
        const size_t index = next_++;
        if (m.placed)
            continue;
        m.placed = true;
        if (m.start < m.end)
            active_.push_back({index});
        else if (!m.comment)
            points_ << m.key;
        changed = true;
    }
    // A range that covered nothing shown stays as an empty bookmark where it ends.
    changed |= std::erase_if(active_, [&](const Active& a) {
                   const StoredMarks::Mark& m = all[a.mark];
                   if (m.end > cp)
                       return false;
                   if (!a.carried && !m.comment)
                       points_ << m.key;
                   return true;
               }) > 0;
    if (changed)
        updateNames();
    if (!points_.isEmpty())
        insertMarker(cursor, around);
}

void MarkBuilder::updateNames()
{
    bookmarks_.clear();
    comments_.clear();
    firstEnd_ = INT32_MAX;
    for (const Active& a : active_) {
        const StoredMarks::Mark& m = marks_->marks_[a.mark];
        (m.comment ? comments_ : bookmarks_) << m.key;
        firstEnd_ = std::min(firstEnd_, m.end);
    }
}

QTextCharFormat MarkBuilder::apply(QTextCharFormat format, bool shown)
{
    if (shown)
        for (Active& a : active_)
            a.carried = true;
    auto put = [&](int property, const QStringList& names) {
        if (!names.isEmpty())
            format.setProperty(property, names);
        else if (format.hasProperty(property))
            format.clearProperty(property);
    };
    put(BookmarksProperty, bookmarks_);
    put(CommentRangesProperty, comments_);
    if (format.hasProperty(BookmarkPointProperty))
        format.clearProperty(BookmarkPointProperty);
    return format;
}

void MarkBuilder::insertMarker(QTextCursor& cursor, const QTextCharFormat& around)
{
    QTextCharFormat f = apply(around, false);
    f.setProperty(BookmarkPointProperty, points_);
    points_.clear();
    cursor.insertText(QString(QChar(kBookmarkMarker)), f);
}

const CommentInfo* MarkBuilder::commentAt(int32_t cp)
{
    if (!marks_)
        return nullptr;
    const auto& comments = marks_->comments_;
    while (nextComment_ < comments.size() && comments[nextComment_].reference < cp)
        ++nextComment_;
    if (nextComment_ < comments.size() && comments[nextComment_].reference == cp)
        return &comments[nextComment_].info;
    return nullptr;
}

int32_t MarkBuilder::nextStop(int32_t cp)
{
    if (!marks_)
        return INT32_MAX;
    int32_t stop = next_ < limit_ ? marks_->marks_[next_].start : INT32_MAX;
    if (!active_.empty())
        stop = std::min(stop, firstEnd_);
    const auto& comments = marks_->comments_;
    while (nextComment_ < comments.size() && comments[nextComment_].reference < cp)
        ++nextComment_;
    if (nextComment_ < comments.size())
        stop = std::min(stop, comments[nextComment_].reference);
    return stop;
}

void MarkBuilder::finish(QTextDocument& story)
{
    if (!marks_)
        return;
    auto& all = marks_->marks_;
    // Marks the story's characters did not reach: they start after the last
    // character shown, and so cover nothing shown.
    for (; next_ < limit_; ++next_) {
        StoredMarks::Mark& m = all[next_];
        if (m.placed)
            continue;
        m.placed = true;
        if (!m.comment)
            points_ << m.key;
    }
    for (const Active& a : active_)
        if (!a.carried && !all[a.mark].comment)
            points_ << all[a.mark].key;
    active_.clear();
    updateNames();
    if (points_.isEmpty())
        return;
    QTextCursor end(&story);
    end.movePosition(QTextCursor::End);
    insertMarker(end, end.blockCharFormat());
}

} // namespace talvora::word
