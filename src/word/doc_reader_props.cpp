#include "word/doc_reader_props.h"

#include "word/doc_reader_file.h"
#include "word/doc_reader_lists.h"
#include "word/doc_reader_styles.h"
#include "word/doc_reader_text.h"
#include "word/fib.h"
#include "word/word6_format.h"

#include <algorithm>
#include <iterator>

namespace talvora::word {

namespace {

// The run holding byte `fc`, or null; `nextIndex` receives the index of the first run after it.
const FkpRun* runAt(const std::vector<FkpRun>& runs, uint32_t fc, size_t* nextIndex = nullptr)
{
    auto it = std::upper_bound(runs.begin(), runs.end(), fc, [](uint32_t v, const FkpRun& r) { return v < r.fcStart; });
    if (nextIndex)
        *nextIndex = size_t(it - runs.begin());
    if (it == runs.begin())
        return nullptr;
    const FkpRun& r = *std::prev(it);
    return fc < r.fcEnd ? &r : nullptr;
}

} // namespace

TextProperties::TextProperties(const WordFile& file, const TextPieces& text, StyleSheet& styles,
                               const ListTable& lists)
    : wv_(file.wordStream())
    , dv_(file.dataStream())
    , text_(text)
    , styles_(styles)
    , lists_(lists)
    , word6_(file.word6())
{
    chpRuns_ = readFkps(file, false);
    papRuns_ = readFkps(file, true);
    buildSegments();
}

ByteView TextProperties::sprms(ByteView stored)
{
    if (!word6_ || stored.size() == 0)
        return stored;
    auto it = translatedAt_.find(stored.data());
    if (it != translatedAt_.end())
        return *it;
    translated_.push_back(word6ToCurrentSprms(stored));
    const ByteView view(translated_.back());
    translatedAt_.insert(stored.data(), view);
    return view;
}

// The pages of the runs, as the table lists them.
std::vector<uint32_t> TextProperties::pageNumbers(const WordFile& file, bool paragraphs) const
{
    std::vector<uint32_t> pages;
    const ByteView plc = file.tableRange(paragraphs ? fib::PlcfBtePapx : fib::PlcfBteChpx);
    // Word 97 pages are numbered in four bytes, Word 6.0/95 ones in two.
    const int pnSize = word6_ ? 2 : 4;
    if (plc.size() >= 8 + pnSize) {
        const qint64 n = (plc.size() - 4) / (4 + pnSize);
        pages.reserve(size_t(n));
        for (qint64 i = 0; i < n; ++i) {
            const qint64 at = 4 * (n + 1) + pnSize * i;
            pages.push_back(word6_ ? plc.u16(at) : plc.u32(at) & 0x3FFFFF);
        }
    }
    if (word6_) {
        // The table may list fewer pages than the file has: the rest follow
        // the last one it lists, or the first the FIB names.
        const auto [first, count] = file.runPages(paragraphs);
        const qint64 pagesInStream = file.wordStream().size() / 512;
        for (qint64 pn = pages.empty() ? first : qint64(pages.back()) + 1;
             qint64(pages.size()) < count && pn < pagesInStream; ++pn)
            pages.push_back(uint32_t(pn));
    }
    return pages;
}

std::vector<FkpRun> TextProperties::readFkps(const WordFile& file, bool paragraphs)
{
    std::vector<FkpRun> runs;
    std::vector<uint32_t> pages = pageNumbers(file, paragraphs);
    // A paragraph run's entry: its offset in words and what Word keeps of the
    // paragraph's height, 12 bytes in Word 97 and 6 in Word 6.0/95.
    const qint64 bxSize = paragraphs ? (word6_ ? 7 : 13) : 1;
    std::sort(pages.begin(), pages.end());
    pages.erase(std::unique(pages.begin(), pages.end()), pages.end());
    // A run covers at least one character, so more runs than characters (plus
    // one per page) can only come from a damaged file.
    const size_t maxRuns = size_t(text_.text().size()) + pages.size() + 16;

    for (uint32_t pn : pages) {
        const qint64 base = qint64(pn) * 512;
        if (!wv_.ok(base, 512))
            continue;
        const ByteView page = wv_.sub(base, 512);
        const int count = page.u8(511);
        const qint64 tableEnd = 4 * qint64(count + 1) + qint64(count) * bxSize;
        if (count == 0 || tableEnd > 511)
            continue;
        for (int i = 0; i < count; ++i) {
            FkpRun run;
            run.fcStart = page.u32(4 * i);
            run.fcEnd = page.u32(4 * (i + 1));
            if (run.fcEnd <= run.fcStart)
                continue;
            const int b = page.u8(4 * qint64(count + 1) + bxSize * i);
            if (b != 0) {
                const qint64 off = 2 * qint64(b);
                if (!paragraphs) {
                    const int cb = page.u8(off);
                    if (page.ok(off + 1, cb) && off + 1 + cb <= 511)
                        run.grpprl = sprms(page.sub(off + 1, cb));
                } else {
                    int cb = page.u8(off);
                    qint64 start = off + 1;
                    // Word 97 counts the words of this byte and the data after
                    // it; Word 6.0/95 those of the data alone.
                    qint64 size = word6_ ? 2 * qint64(cb) : 2 * qint64(cb) - 1;
                    if (cb == 0 && !word6_) {
                        size = 2 * qint64(page.u8(off + 1));
                        start = off + 2;
                    }
                    if (size >= 2 && page.ok(start, size) && start + size <= 511) {
                        run.istd = page.u16(start);
                        run.grpprl = sprms(page.sub(start + 2, size - 2));
                    }
                }
            }
            runs.push_back(run);
            if (runs.size() > maxRuns)
                damagedDoc(QStringLiteral("слишком много участков форматирования"));
        }
    }
    std::stable_sort(runs.begin(), runs.end(), [](const FkpRun& a, const FkpRun& b) { return a.fcStart < b.fcStart; });
    return runs;
}

void TextProperties::buildSegments()
{
    const std::vector<Piece>& pieces = text_.pieces();
    const int32_t textLength = text_.length();
    int32_t cp = 0;
    for (size_t pi = 0; pi < pieces.size() && cp < textLength; ++pi) {
        const Piece& p = pieces[pi];
        cp = std::max(cp, p.cpStart);
        const int32_t end = std::min(p.cpEnd, textLength);
        const int bpc = p.bytesPerChar();
        while (cp < end) {
            const uint32_t fc = p.fc + uint32_t(cp - p.cpStart) * uint32_t(bpc);
            size_t next = 0;
            const FkpRun* run = runAt(chpRuns_, fc, &next);
            uint32_t fcEnd = 0;
            Segment s;
            s.piece = int(pi);
            s.cpStart = cp;
            if (run) {
                fcEnd = run->fcEnd;
                s.grpprl = run->grpprl;
            } else {
                fcEnd = next < chpRuns_.size() ? chpRuns_[next].fcStart : 0xFFFFFFFF;
            }
            const qint64 span = (qint64(fcEnd) - fc + bpc - 1) / bpc;
            s.cpEnd = int32_t(std::min<qint64>(end, cp + std::max<qint64>(1, span)));
            if (!segments_.empty() && segments_.back().cpEnd == s.cpStart
                && segments_.back().grpprl.data() == s.grpprl.data() && segments_.back().grpprl.size() == s.grpprl.size()
                && segments_.back().piece == s.piece)
                segments_.back().cpEnd = s.cpEnd;
            else
                segments_.push_back(s);
            cp = s.cpEnd;
        }
    }
}

void TextProperties::forEachParaSprm(int32_t markCp, uint16_t* istd,
                                     const std::function<void(uint16_t, ByteView)>& visit) const
{
    int piece = 0;
    const uint32_t fc = text_.fcOf(markCp, &piece);
    const FkpRun* run = runAt(papRuns_, fc);
    if (istd)
        *istd = run ? run->istd : 0;
    auto apply = [&](uint16_t code, ByteView o) {
        if (code == sprm::PHugePapx) {
            // The properties did not fit the page; they are in the Data stream.
            const uint32_t at = o.u32(0);
            if (dv_.ok(at, 2) && dv_.ok(at + 2, dv_.u16(at)))
                forEachSprm(dv_.sub(at + 2, dv_.u16(at)), visit);
            return;
        }
        visit(code, o);
    };
    if (run)
        forEachSprm(run->grpprl, apply);
    if (!text_.pieces().empty())
        forEachSprm(text_.pieceGrpprl(piece), apply);
}

ParaProps TextProperties::paraProps(int32_t markCp)
{
    uint16_t istd = 0;
    ParaProps p;
    bool first = true;
    forEachParaSprm(markCp, &istd, [&](uint16_t code, ByteView o) {
        if (first) {
            p = styles_.paraProps(istd);
            first = false;
        }
        applyParaSprm(p, code, o);
    });
    if (first)
        p = styles_.paraProps(istd);
    // A list level brings its own indents; the paragraph's own properties
    // come after them.
    if (const StoredLevel* level = lists_.level(p); level && level->papx.size() > 0) {
        ParaProps q = styles_.paraProps(istd);
        forEachSprm(level->papx, [&](uint16_t code, ByteView o) { applyParaSprm(q, code, o); });
        forEachParaSprm(markCp, nullptr, [&](uint16_t code, ByteView o) { applyParaSprm(q, code, o); });
        p = q;
    }
    p.style = istd;
    if (word6_)
        lists_.applyWord6List(markCp, p); // Word 6.0/95 paragraphs number themselves
    return p;
}

TableRowDef TextProperties::rowDef(int32_t markCp) const
{
    TableRowReader reader;
    forEachParaSprm(markCp, nullptr, [&](uint16_t code, ByteView o) { reader.apply(code, o); });
    return reader.finish();
}

CharProps TextProperties::charProps(const ParaProps& pap, const Segment& seg)
{
    // A character style named in the run applies over the paragraph style.
    uint16_t charStyle = 10;
    forEachSprm(seg.grpprl, [&](uint16_t code, ByteView o) {
        if (code == sprm::CIstd)
            charStyle = o.u16(0);
    });
    const CharProps base = styles_.withCharStyle(styles_.charProps(pap.style), charStyle);
    CharProps c = base;
    forEachSprm(seg.grpprl, [&](uint16_t code, ByteView o) { applyCharSprm(c, base, code, o); });
    forEachSprm(text_.pieceGrpprl(seg.piece), [&](uint16_t code, ByteView o) { applyCharSprm(c, base, code, o); });
    return c;
}

} // namespace talvora::word
