#include "word/marks.h"

#include "word/notes.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>

namespace talvora::word {

bool isCommentReference(const QTextFormat& format)
{
    return format.objectType() == CommentObjectType;
}

CommentInfo commentOf(const QTextFormat& f)
{
    CommentInfo c;
    c.content = f.property(CommentContentProperty).toByteArray();
    c.id = f.intProperty(CommentIdProperty);
    c.author = f.stringProperty(CommentAuthorProperty);
    c.initials = f.stringProperty(CommentInitialsProperty);
    c.date = f.property(CommentDateProperty).toDateTime();
    return c;
}

void setComment(QTextCharFormat& f, const CommentInfo& c)
{
    f.setObjectType(CommentObjectType);
    f.clearProperty(BookmarkPointProperty);
    f.setProperty(CommentContentProperty, c.content);
    f.setProperty(CommentIdProperty, c.id);
    f.setProperty(CommentAuthorProperty, c.author);
    f.setProperty(CommentInitialsProperty, c.initials);
    if (c.date.isValid())
        f.setProperty(CommentDateProperty, c.date);
    else
        f.clearProperty(CommentDateProperty);
}

void insertComment(QTextCursor& cursor, const CommentInfo& comment)
{
    QTextCharFormat f = cursor.charFormat();
    setComment(f, comment);
    cursor.insertText(QString(QChar::ObjectReplacementCharacter), f);
}

QString commentText(const CommentInfo& comment)
{
    return noteText(comment.content);
}

void MarkRanges::run(const QTextFormat& format, int32_t from, int32_t to, bool points)
{
    if (points) {
        for (const QString& name : format.property(BookmarkPointProperty).toStringList()) {
            if (!bookmarkIndex_.contains(name)) {
                bookmarkIndex_.insert(name, bookmarks_.size());
                bookmarks_.push_back({name, from, from, true});
            }
        }
    }
    if (to <= from)
        return;
    const QStringList names = format.property(BookmarksProperty).toStringList();
    const QStringList ids = format.property(CommentRangesProperty).toStringList();
    // What this run does not carry stops here.
    auto closeOthers = [](std::vector<Open>& all, std::vector<size_t>& open, const QStringList& carried) {
        std::erase_if(open, [&](size_t i) {
            if (carried.contains(all[i].name))
                return false;
            all[i].closed = true;
            return true;
        });
    };
    closeOthers(bookmarks_, openBookmarks_, names);
    closeOthers(comments_, openComments_, ids);
    for (const QString& name : names) {
        const auto it = bookmarkIndex_.constFind(name);
        if (it == bookmarkIndex_.constEnd()) {
            bookmarkIndex_.insert(name, bookmarks_.size());
            openBookmarks_.push_back(bookmarks_.size());
            bookmarks_.push_back({name, from, to});
        } else if (!bookmarks_[*it].closed) {
            bookmarks_[*it].to = to;
        }
    }
    for (const QString& id : ids) {
        const auto it = commentIndex_.constFind(id);
        if (it == commentIndex_.constEnd()) {
            commentIndex_.insert(id, comments_.size());
            openComments_.push_back(comments_.size());
            comments_.push_back({id, from, to});
        } else if (comments_[*it].closed) {
            comments_[*it] = {id, from, to}; // a later run: the one before is not the last
            openComments_.push_back(*it);
        } else {
            comments_[*it].to = to;
        }
    }
}

void MarkRanges::endStory()
{
    for (size_t i : openBookmarks_)
        bookmarks_[i].closed = true;
    for (size_t i : openComments_)
        comments_[i].closed = true;
    openBookmarks_.clear();
    openComments_.clear();
}

MarkRanges::Range MarkRanges::commentRange(int id, int32_t at)
{
    const QString key = QString::number(id);
    const auto it = commentIndex_.find(key);
    if (it == commentIndex_.end())
        return {key, at, at};
    Open& open = comments_[*it];
    Range r{key, at, at};
    if (open.from < open.to && open.to <= at)
        r = {key, open.from, open.to};
    // A copy of the comment further on covers its own text.
    if (!open.closed)
        std::erase(openComments_, *it);
    open.closed = true;
    open.from = open.to = at;
    return r;
}

std::vector<MarkRanges::Range> MarkRanges::bookmarks() const
{
    std::vector<Range> out;
    out.reserve(bookmarks_.size());
    for (const Open& open : bookmarks_)
        out.push_back({open.name, open.from, open.to});
    std::stable_sort(out.begin(), out.end(), [](const Range& a, const Range& b) { return a.from < b.from; });
    return out;
}

namespace {

// Goes through the fragments of `story` in order, telling `ranges` of each
// and `reference` of each comment reference character.
template <typename OnReference>
void followMarks(const QTextDocument& story, MarkRanges& ranges, OnReference reference)
{
    for (QTextBlock b = story.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            if (!f.isValid())
                continue;
            const QTextCharFormat format = f.charFormat();
            const QString text = f.text();
            if (isCommentReference(format))
                for (qsizetype k = 0; k < text.size(); ++k)
                    if (text[k] == QChar::ObjectReplacementCharacter)
                        reference(format, f.position() + int(k), ranges);
            int markers = 0;
            if (format.hasProperty(BookmarkPointProperty))
                markers = int(text.count(QChar(kBookmarkMarker)));
            ranges.run(format, f.position(), f.position(), markers > 0);
            ranges.run(format, f.position() + markers, f.position() + f.length(), false);
        }
    }
}

} // namespace

std::vector<BookmarkAt> bookmarksOf(const QTextDocument& story)
{
    MarkRanges ranges;
    followMarks(story, ranges, [](const QTextCharFormat&, int, MarkRanges&) {});
    std::vector<BookmarkAt> out;
    for (const MarkRanges::Range& r : ranges.bookmarks())
        out.push_back({r.name, int(r.from), int(r.to)});
    return out;
}

std::vector<CommentAt> commentsOf(const QTextDocument& story)
{
    MarkRanges ranges;
    std::vector<CommentAt> out;
    followMarks(story, ranges, [&](const QTextCharFormat& format, int position, MarkRanges& r) {
        const CommentInfo info = commentOf(format);
        const MarkRanges::Range range = r.commentRange(info.id, position);
        out.push_back({info, position, int(range.from), int(range.to)});
    });
    return out;
}

} // namespace talvora::word
