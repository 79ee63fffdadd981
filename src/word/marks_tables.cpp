#include "word/marks_tables.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <numeric>

namespace talvora::word {

namespace {

constexpr qint64 kAtrdSize = 30;        // a comment's entry in the reference table
constexpr int kMaxInitials = 9;
constexpr size_t kMaxBookmarks = 0x3FFB; // how many one table may hold
constexpr uint16_t kAnnotationClass = 0x0100;

QString utf16At(ByteView v, qint64 offset, qint64 count)
{
    QString s;
    s.reserve(qsizetype(count));
    for (qint64 k = 0; k < count; ++k)
        s.append(QChar(v.u16(offset + 2 * k)));
    return s;
}

// The CPs of a PLC whose entries take `dataSize` bytes: n + 1 of them for n
// entries. Zero entries when the size does not fit.
qint64 plcCount(ByteView plc, qint64 dataSize)
{
    if (plc.size() < 4)
        return 0;
    return (plc.size() - 4) / (4 + dataSize);
}

void writeString(ByteWriter& w, const QString& s)
{
    w.u16(uint16_t(s.size()));
    for (QChar c : s)
        w.u16(c.unicode());
}

// Starts and ends of ranges as the two bookmark tables store them: the
// starts in order with, for each, the index of its end among the ends in order.
struct RangeTables {
    QByteArray starts, ends;
};

RangeTables rangeTables(const std::vector<std::pair<int32_t, int32_t>>& ranges, int32_t lastCp)
{
    // `ranges` are in the order of their starts.
    std::vector<size_t> byEnd(ranges.size());
    std::iota(byEnd.begin(), byEnd.end(), size_t(0));
    std::stable_sort(byEnd.begin(), byEnd.end(),
                     [&](size_t a, size_t b) { return ranges[a].second < ranges[b].second; });
    std::vector<uint16_t> endIndex(ranges.size());
    for (size_t k = 0; k < byEnd.size(); ++k)
        endIndex[byEnd[k]] = uint16_t(k);
    RangeTables t;
    ByteWriter s(t.starts), e(t.ends);
    for (const auto& r : ranges)
        s.i32(r.first);
    s.i32(lastCp);
    for (uint16_t index : endIndex) {
        s.u16(index);
        s.u16(0); // an ordinary bookmark: no table columns
    }
    for (size_t k : byEnd)
        e.i32(ranges[k].second);
    e.i32(lastCp);
    return t;
}

// The ranges of a pair of start and end tables, in the order of the starts;
// an entry without a sound range gets start -1.
std::vector<std::pair<int32_t, int32_t>> readRanges(ByteView starts, ByteView ends, int32_t lastCp)
{
    const qint64 n = plcCount(starts, 4);
    const qint64 endCount = ends.size() / 4 - 1;
    std::vector<std::pair<int32_t, int32_t>> out;
    out.reserve(size_t(n));
    for (qint64 i = 0; i < n; ++i) {
        const int32_t start = starts.i32(4 * i);
        const qint64 endAt = starts.u16(4 * (n + 1) + 4 * i);
        const int32_t end = endAt < endCount ? ends.i32(4 * endAt) : -1;
        if (start < 0 || end < start || end > lastCp)
            out.push_back({-1, -1});
        else
            out.push_back({start, end});
    }
    return out;
}

} // namespace

std::vector<StoredString> readStringTable(ByteView t)
{
    std::vector<StoredString> out;
    if (t.size() < 4)
        return out;
    const bool extended = t.u16(0) == 0xFFFF;
    qint64 at = extended ? 2 : 0;
    if (!t.ok(at, 4))
        return out;
    const qint64 count = t.u16(at);
    const qint64 extra = t.u16(at + 2);
    at += 4;
    for (qint64 i = 0; i < count; ++i) {
        StoredString s;
        if (extended) {
            if (!t.ok(at, 2))
                break;
            const qint64 cch = t.u16(at);
            if (!t.ok(at + 2, 2 * cch))
                break;
            s.text = utf16At(t, at + 2, cch);
            at += 2 + 2 * cch;
        } else {
            if (!t.ok(at, 1))
                break;
            const qint64 cch = t.u8(at);
            if (!t.ok(at + 1, cch))
                break;
            s.text = QString::fromLatin1(t.data() + at + 1, qsizetype(cch));
            at += 1 + cch;
        }
        if (!t.ok(at, extra))
            break;
        s.extra = t.sub(at, extra);
        at += extra;
        out.push_back(std::move(s));
    }
    return out;
}

std::vector<StoredBookmark> readBookmarkTables(ByteView names, ByteView starts, ByteView ends, int32_t textLength)
{
    QStringList strings;
    for (const StoredString& s : readStringTable(names))
        strings << s.text;
    return readBookmarkTables(strings, starts, ends, textLength);
}

std::vector<StoredBookmark> readBookmarkTables(const QStringList& strings, ByteView starts, ByteView ends,
                                               int32_t textLength)
{
    std::vector<StoredBookmark> out;
    const auto ranges = readRanges(starts, ends, textLength);
    QSet<QString> seen;
    for (size_t i = 0; i < size_t(strings.size()) && i < ranges.size(); ++i) {
        const QString& name = strings[qsizetype(i)];
        if (ranges[i].first < 0 || name.isEmpty() || seen.contains(name))
            continue;
        seen.insert(name);
        out.push_back({name, ranges[i].first, ranges[i].second});
    }
    return out;
}

std::vector<StoredComment> readCommentTables(const CommentTables& t, int32_t ccpText, int32_t storyStart,
                                             int32_t storyLength)
{
    std::vector<StoredComment> out;
    const qint64 n = plcCount(t.references, kAtrdSize);
    if (n == 0)
        return out;

    QStringList authors;
    for (qint64 at = 0; t.authors.ok(at, 2);) {
        const qint64 cch = t.authors.u16(at);
        if (!t.authors.ok(at + 2, 2 * cch))
            break;
        authors << utf16At(t.authors, at + 2, cch);
        at += 2 + 2 * cch;
    }

    // The commented ranges by their tags.
    QHash<uint32_t, std::pair<int32_t, int32_t>> ranges;
    const std::vector<StoredString> tags = readStringTable(t.tags);
    const auto tagRanges = readRanges(t.tagStarts, t.tagEnds, ccpText);
    for (size_t i = 0; i < tags.size() && i < tagRanges.size(); ++i)
        if (tags[i].extra.ok(2, 4) && tagRanges[i].first >= 0)
            ranges.insert(tags[i].extra.u32(2), tagRanges[i]);

    const qint64 textCps = t.texts.size() / 4;
    const qint64 data = 4 * (n + 1);
    int32_t previous = -1;
    for (qint64 i = 0; i < n; ++i) {
        StoredComment c;
        c.reference = t.references.i32(4 * i);
        // References lie in the main text, in order, one a character.
        if (c.reference < 0 || c.reference >= ccpText || c.reference <= previous)
            continue;
        previous = c.reference;
        const qint64 entry = data + kAtrdSize * i;
        const qint64 initials = std::min<qint64>(t.references.u16(entry), kMaxInitials);
        c.initials = utf16At(t.references, entry + 2, initials);
        const int16_t author = t.references.i16(entry + 20);
        if (author >= 0 && author < authors.size())
            c.author = authors[author];
        const uint32_t tag = t.references.u32(entry + 26);
        if (tag != 0xFFFFFFFF) {
            const auto it = ranges.constFind(tag);
            if (it != ranges.constEnd() && it->first < it->second) {
                c.rangeStart = it->first;
                c.rangeEnd = it->second;
            }
        }
        c.from = c.to = storyStart;
        if (i + 1 < textCps) {
            const int32_t from = t.texts.i32(4 * i);
            const int32_t to = t.texts.i32(4 * (i + 1));
            if (from >= 0 && to > from && to <= storyLength) {
                c.from = storyStart + from;
                c.to = storyStart + to - 1; // the mark that ends it stays out
            }
        }
        out.push_back(c);
    }
    return out;
}

BookmarkTables bookmarkTables(std::vector<BookmarkToWrite> bookmarks, int32_t lastCp)
{
    BookmarkTables out;
    if (bookmarks.empty())
        return out;
    if (bookmarks.size() > kMaxBookmarks)
        bookmarks.resize(kMaxBookmarks);
    std::stable_sort(bookmarks.begin(), bookmarks.end(),
                     [](const BookmarkToWrite& a, const BookmarkToWrite& b) { return a.start < b.start; });
    ByteWriter n(out.names);
    n.u16(0xFFFF);
    n.u16(uint16_t(bookmarks.size()));
    n.u16(0);
    std::vector<std::pair<int32_t, int32_t>> ranges;
    for (const BookmarkToWrite& b : bookmarks) {
        writeString(n, b.name.left(0xFFFF));
        ranges.push_back({b.start, b.end});
    }
    RangeTables r = rangeTables(ranges, lastCp);
    out.starts = std::move(r.starts);
    out.ends = std::move(r.ends);
    return out;
}

CommentTableBytes commentTables(const std::vector<CommentToWrite>& comments, int32_t ccpText, int32_t storyLength)
{
    CommentTableBytes out;
    if (comments.empty())
        return out;
    QStringList authors;
    ByteWriter a(out.authors);
    auto authorIndex = [&](const QString& name) {
        qsizetype k = authors.indexOf(name);
        if (k < 0) {
            k = authors.size();
            authors << name;
            writeString(a, name.left(0xFFFF));
        }
        return int16_t(std::min<qsizetype>(k, 0x7FFF));
    };

    // The commented ranges, tagged by the comment's place in the table, in the order of their starts.
    std::vector<size_t> ranged;
    for (size_t k = 0; k < comments.size(); ++k)
        if (comments[k].rangeStart >= 0 && comments[k].rangeStart < comments[k].rangeEnd)
            ranged.push_back(k);
    std::stable_sort(ranged.begin(), ranged.end(),
                     [&](size_t x, size_t y) { return comments[x].rangeStart < comments[y].rangeStart; });
    if (ranged.size() > kMaxBookmarks)
        ranged.resize(kMaxBookmarks);
    std::vector<bool> hasRange(comments.size());
    for (size_t k : ranged)
        hasRange[k] = true;

    ByteWriter r(out.references);
    for (const CommentToWrite& c : comments)
        r.i32(c.reference);
    r.i32(ccpText);
    for (size_t k = 0; k < comments.size(); ++k) {
        const CommentToWrite& c = comments[k];
        const QString initials = c.initials.left(kMaxInitials);
        r.u16(uint16_t(initials.size()));
        for (int i = 0; i < kMaxInitials; ++i)
            r.u16(i < initials.size() ? initials[i].unicode() : 0);
        r.i16(authorIndex(c.author));
        r.u16(0);
        r.u16(0);
        r.i32(hasRange[k] ? int32_t(k) : -1);
    }

    ByteWriter x(out.texts);
    for (const CommentToWrite& c : comments)
        x.i32(c.textStart);
    x.i32(storyLength - 1);
    x.i32(storyLength);

    if (!ranged.empty()) {
        ByteWriter g(out.tags);
        g.u16(0xFFFF);
        g.u16(uint16_t(ranged.size()));
        g.u16(10);
        std::vector<std::pair<int32_t, int32_t>> ranges;
        for (size_t k : ranged) {
            g.u16(0); // no name
            g.u16(kAnnotationClass);
            g.u32(uint32_t(k));
            g.u32(0xFFFFFFFF);
            ranges.push_back({comments[k].rangeStart, comments[k].rangeEnd});
        }
        RangeTables t = rangeTables(ranges, ccpText + 1);
        out.tagStarts = std::move(t.starts);
        out.tagEnds = std::move(t.ends);
    }
    return out;
}

} // namespace talvora::word
