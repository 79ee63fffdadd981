#pragma once
// A builder of small Word 6.0/95 documents for the tests: a compound file
// with one WordDocument stream holding the older FIB, the 8-bit text, the
// pages of character and paragraph runs with one-byte modifiers, the style
// sheet, the font table, one section and the header stories. The text is
// encoded here, independently of the reader, for the code pages the tests use.

#include "word/binary.h"
#include "word/compound_file.h"

#include <QByteArray>
#include <QString>

#include <algorithm>
#include <cstdint>
#include <map>
#include <vector>

namespace talvora::word::test {

// One-byte modifiers as Word 6.0/95 stores them.
namespace w6 {
inline QByteArray op1(uint8_t code, uint8_t v) { return QByteArray(1, char(code)) + char(v); }
inline QByteArray op2(uint8_t code, uint16_t v)
{
    QByteArray g(1, char(code));
    g.append(char(v & 0xFF)).append(char(v >> 8));
    return g;
}
inline QByteArray bold() { return op1(85, 1); }
inline QByteArray italic() { return op1(86, 1); }
inline QByteArray underline() { return op1(94, 1); }
inline QByteArray size(uint16_t halfPoints) { return op2(99, halfPoints); }
inline QByteArray raised(int16_t halfPoints) { return op2(101, uint16_t(halfPoints)); }
inline QByteArray font(uint16_t index) { return op2(93, index); }
inline QByteArray align(uint8_t jc) { return op1(5, jc); }
inline QByteArray leftIndent(int16_t twips) { return op2(17, uint16_t(twips)); }
inline QByteArray rightIndent(int16_t twips) { return op2(16, uint16_t(twips)); }
inline QByteArray firstLine(int16_t twips) { return op2(19, uint16_t(twips)); }
inline QByteArray spaceAfter(uint16_t twips) { return op2(22, twips); }
inline QByteArray inTable() { return op1(24, 1); }
inline QByteArray rowEnd() { return op1(25, 1); }
// A row of cells with right edges `bounds` (the first is the left edge),
// each cell with single borders when `borders`.
inline QByteArray rowDefinition(const std::vector<int16_t>& bounds, bool borders)
{
    QByteArray body;
    ByteWriter w(body);
    const int cells = int(bounds.size()) - 1;
    w.u8(uint8_t(cells));
    for (int16_t b : bounds)
        w.i16(b);
    for (int i = 0; i < cells; ++i) {
        w.u16(0);
        const uint16_t brc = borders ? uint16_t(1 | (1 << 3)) : 0; // thin single line
        for (int s = 0; s < 4; ++s)
            w.u16(brc);
    }
    QByteArray g(1, char(190));
    ByteWriter h(g);
    h.u16(uint16_t(body.size() + 1));
    g.append(body);
    return g;
}
// A note reference character (an automatically numbered one).
inline QByteArray special() { return op1(117, 1); }
// The autonumber description (ANLD) of a paragraph: number format, the text
// before and after the number (8-bit, at most 32 bytes together), the first
// number, the font of the number, its alignment; `previous` shows the numbers
// of the higher outline levels too.
inline QByteArray anld(uint8_t nfc, const QByteArray& before, const QByteArray& after, uint16_t startAt = 1,
                       uint16_t font = 0, uint8_t jc = 0, bool previous = false)
{
    QByteArray a(52, '\0');
    a[0] = char(nfc);
    a[1] = char(before.size());
    a[2] = char(after.size());
    a[3] = char(jc | (previous ? 0x04 : 0) | 0x08); // hanging
    put16(a, 6, font);
    put16(a, 8, 24);
    put16(a, 10, startAt);
    put16(a, 12, 360);
    a.replace(20, before.size(), before);
    a.replace(20 + before.size(), after.size(), after);
    return a;
}
// A paragraph's autonumber level (1–9 outline, 10 numbered, 11 bulleted, 12
// skipped) with its description.
inline QByteArray numbering(uint8_t level, const QByteArray& description)
{
    QByteArray g = op1(13, level);
    if (!description.isNull()) {
        g.append(char(12));
        g.append(char(description.size()));
        g.append(description);
    }
    return g;
}
inline QByteArray sectionHeaders(uint8_t bits) { return op1(153, bits); }
inline QByteArray landscape() { return op1(162, 2); }
inline QByteArray pageWidth(uint16_t twips) { return op2(164, twips); }
inline QByteArray pageHeight(uint16_t twips) { return op2(165, twips); }
} // namespace w6

struct Word6Run {
    QString text;
    QByteArray chpx;      // one-byte modifiers
    int codePage = 1251;  // how the text is stored (1251 or 1252)
};

struct Word6Paragraph {
    std::vector<Word6Run> runs;
    QByteArray papx;
    uint16_t istd = 0;
    char mark = '\r'; // 0x07 ends a table cell
};

struct Word6Font {
    QString name;
    uint8_t charset = 204;
};

// A bookmark over the CPs [start, end) of all stories.
struct Word6Bookmark {
    QString name;
    int32_t start = 0, end = 0;
};

// An endnote: its reference is the character at `reference` in the main text
// (a U+0002 there), its text one paragraph.
struct Word6Note {
    int32_t reference = 0;
    QString text;
};

struct Word6Options {
    uint16_t nFib = 104;
    uint16_t lid = 0x0419;
    bool pieceTable = true;     // a fast-saved file, its text in two pieces stored out of order
    QByteArray pieceModifier;   // a group the second piece adds to its text (with a piece table)
    uint16_t singlePieceModifier = 0; // a one-modifier prm for the first piece, instead
    bool encrypted = false;
    bool listFirstPageOnly = false; // the run tables name only their first page
    std::vector<Word6Font> fonts = {{QStringLiteral("Times New Roman"), 204}, {QStringLiteral("Arial"), 204},
                                    {QStringLiteral("Symbol"), 2}};
    QByteArray sepx;
    std::vector<QString> headerStories; // the section's, in the order its header bits give
    uint8_t noteSeparators = 0;        // bits of the note separator stories, stored before them
    std::vector<Word6Bookmark> bookmarks;
    std::vector<Word6Note> endnotes;
};

// `text` in code page 1251 or 1252, for the characters the tests use.
inline QByteArray encode8bit(const QString& text, int codePage)
{
    QByteArray out;
    for (QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c < 0x80)
            out.append(char(c));
        else if (codePage == 1251 && c >= 0x0410 && c <= 0x044F)
            out.append(char(0xC0 + (c - 0x0410)));
        else if (codePage == 1251 && c == 0x0401)
            out.append(char(0xA8));
        else if (codePage == 1251 && c == 0x0451)
            out.append(char(0xB8));
        else if (codePage == 1251 && c == 0x2116)
            out.append(char(0xB9));
        else if (c == 0x2014)
            out.append(char(0x97));
        else if (c == 0x00AB || c == 0x00BB || c == 0x00B0 || c == 0x00B1 || c == 0x00A7 || c == 0x00B5)
            out.append(char(c)); // the same in both
        else if (codePage == 1252 && c >= 0xA0 && c <= 0xFF)
            out.append(char(c));
        else
            out.append('?');
    }
    return out;
}

inline QByteArray buildWord6Doc(const std::vector<Word6Paragraph>& paragraphs, const Word6Options& o = {})
{
    constexpr uint32_t fcMin = 0x300;
    // The text of all stories, with the run of each character.
    QByteArray bytes;
    std::vector<int> chpxOf;   // per character: index into chpxs
    std::vector<int> papxOf;   // per character: its paragraph (-1: a header's)
    std::vector<QByteArray> chpxs{QByteArray()};
    auto addText = [&](const QByteArray& b, const QByteArray& chpx, int para) {
        auto it = std::find(chpxs.begin(), chpxs.end(), chpx);
        const int index = it == chpxs.end() ? int(chpxs.size()) : int(it - chpxs.begin());
        if (it == chpxs.end())
            chpxs.push_back(chpx);
        bytes.append(b);
        chpxOf.insert(chpxOf.end(), size_t(b.size()), index);
        papxOf.insert(papxOf.end(), size_t(b.size()), para);
    };
    for (size_t p = 0; p < paragraphs.size(); ++p) {
        QByteArray markChpx;
        for (const Word6Run& r : paragraphs[p].runs) {
            addText(encode8bit(r.text, r.codePage), r.chpx, int(p));
            markChpx = r.chpx;
        }
        addText(QByteArray(1, paragraphs[p].mark), markChpx, int(p));
    }
    const int32_t ccpText = int32_t(bytes.size());
    std::vector<int32_t> storyStarts;
    for (const QString& story : o.headerStories) {
        storyStarts.push_back(int32_t(bytes.size()) - ccpText);
        addText(encode8bit(story, 1251) + '\r', {}, -1);
    }
    int32_t ccpHdd = 0;
    if (!o.headerStories.empty()) {
        storyStarts.push_back(int32_t(bytes.size()) - ccpText);
        addText(QByteArray("\r"), {}, -1);
        ccpHdd = int32_t(bytes.size()) - ccpText;
        storyStarts.push_back(ccpHdd);
    }
    // The endnotes' story follows the headers': each note its mark, its text
    // and a paragraph mark, then one more paragraph mark.
    std::vector<int32_t> noteStarts;
    int32_t ccpEdn = 0;
    if (!o.endnotes.empty()) {
        const int32_t ednStart = int32_t(bytes.size());
        for (const Word6Note& note : o.endnotes) {
            noteStarts.push_back(int32_t(bytes.size()) - ednStart);
            addText(QByteArray(1, '\x02'), w6::special(), -1);
            addText(encode8bit(note.text, 1251) + '\r', {}, -1);
        }
        addText(QByteArray("\r"), {}, -1);
        ccpEdn = int32_t(bytes.size()) - ednStart;
    }
    const int32_t n = int32_t(bytes.size());

    // Where each character lies: with a piece table, the second half first.
    const int32_t split = o.pieceTable ? ccpText / 2 : 0;
    auto fcOf = [&](int32_t cp) {
        if (!o.pieceTable)
            return fcMin + uint32_t(cp);
        return cp < split ? fcMin + uint32_t(n - split + cp) : fcMin + uint32_t(cp - split);
    };
    QByteArray word(int(fcMin), '\0');
    word.resize(fcMin + n);
    for (int32_t cp = 0; cp < n; ++cp)
        word[qsizetype(fcOf(cp))] = bytes[cp];
    std::vector<int32_t> cpAt(static_cast<size_t>(n));
    for (int32_t cp = 0; cp < n; ++cp)
        cpAt[fcOf(cp) - fcMin] = cp;
    const uint32_t fcMac = fcMin + uint32_t(n);

    // Runs in the order of the stream.
    struct Run {
        uint32_t from, to;
        QByteArray grpprl;
        uint16_t istd = 0;
    };
    std::vector<Run> chpRuns, papRuns;
    bool paraOpen = false;
    for (int32_t i = 0; i < n; ++i) {
        const int32_t cp = cpAt[size_t(i)];
        const QByteArray& g = chpxs[size_t(chpxOf[size_t(cp)])];
        if (!chpRuns.empty() && chpRuns.back().to == fcMin + uint32_t(i) && chpRuns.back().grpprl == g)
            ++chpRuns.back().to;
        else
            chpRuns.push_back({fcMin + uint32_t(i), fcMin + uint32_t(i) + 1, g});
        // A paragraph run ends with a paragraph or cell mark.
        const int para = papxOf[size_t(cp)];
        if (!paraOpen)
            papRuns.push_back({fcMin + uint32_t(i), fcMin + uint32_t(i), {}, 0});
        Run& r = papRuns.back();
        ++r.to;
        if (para >= 0) {
            r.grpprl = paragraphs[size_t(para)].papx;
            r.istd = paragraphs[size_t(para)].istd;
        }
        paraOpen = bytes[cp] != '\r' && bytes[cp] != '\x07';
    }

    // Pages of runs, a few runs a page so that tests get several pages.
    auto pad512 = [&] { word.append(QByteArray((512 - word.size() % 512) % 512, '\0')); };
    struct PageRef {
        uint32_t firstFc;
        uint16_t pn;
    };
    auto writePages = [&](const std::vector<Run>& runs, bool paragraphsPage, std::vector<PageRef>& refs) {
        const size_t perPage = paragraphsPage ? 6 : 8;
        for (size_t first = 0; first < runs.size(); first += perPage) {
            const size_t count = std::min(perPage, runs.size() - first);
            pad512();
            const qsizetype base = word.size();
            QByteArray page(512, '\0');
            qsizetype heap = 511;
            for (size_t k = 0; k < count; ++k) {
                const Run& r = runs[first + k];
                put32(page, qsizetype(4 * k), r.from);
                if (k + 1 == count)
                    put32(page, qsizetype(4 * (k + 1)), r.to);
                QByteArray entry;
                if (paragraphsPage) {
                    QByteArray data;
                    ByteWriter w(data);
                    w.u16(r.istd);
                    w.bytes(r.grpprl);
                    if (data.size() % 2)
                        data.append('\0');
                    entry.append(char(data.size() / 2));
                    entry.append(data);
                } else if (!r.grpprl.isEmpty()) {
                    entry.append(char(r.grpprl.size()));
                    entry.append(r.grpprl);
                }
                uint8_t offsetWords = 0;
                if (!entry.isEmpty()) {
                    heap -= entry.size();
                    heap &= ~qsizetype(1);
                    page.replace(heap, entry.size(), entry);
                    offsetWords = uint8_t(heap / 2);
                }
                const qsizetype bxAt = qsizetype(4 * (count + 1) + (paragraphsPage ? 7 : 1) * k);
                page[bxAt] = char(offsetWords);
            }
            page[511] = char(count);
            word.append(page);
            refs.push_back({runs[first].from, uint16_t(base / 512)});
        }
    };
    std::vector<PageRef> chpPages, papPages;
    writePages(chpRuns, false, chpPages);
    writePages(papRuns, true, papPages);

    // The tables follow.
    std::map<int, std::pair<uint32_t, uint32_t>> tables;
    auto table = [&](int index, const QByteArray& data) {
        tables[index] = {uint32_t(word.size()), uint32_t(data.size())};
        word.append(data);
    };
    auto bte = [&](const std::vector<PageRef>& pages, uint32_t lastFc) {
        QByteArray plc;
        ByteWriter w(plc);
        const size_t listed = o.listFirstPageOnly ? 1 : pages.size();
        for (size_t k = 0; k < listed; ++k)
            w.u32(pages[k].firstFc);
        w.u32(listed == pages.size() ? lastFc : pages[listed].firstFc);
        for (size_t k = 0; k < listed; ++k)
            w.u16(pages[k].pn);
        return plc;
    };
    table(12, bte(chpPages, fcMac));
    table(13, bte(papPages, fcMac));

    // Style sheet: Normal (12 pt in font 0), heading 1 (bold, 16 pt), the
    // default paragraph font.
    {
        QByteArray s;
        ByteWriter w(s);
        w.u16(14);
        w.u16(11); // cstd
        w.u16(10); // cbSTDBaseInFile
        w.u16(0);
        w.u16(0x5B);
        w.u16(11);
        w.u16(0);
        w.u16(0); // ftcStandardChpStsh
        auto style = [&](uint16_t sti, uint8_t kind, uint16_t base, const QByteArray& name, const QByteArray& papx,
                         const QByteArray& chpx) {
            QByteArray d;
            ByteWriter x(d);
            x.u16(sti);
            x.u16(uint16_t(kind | (base << 4)));
            x.u16(uint16_t((kind == 1 ? 2 : 1) | (0 << 4)));
            x.u16(0);
            x.u16(0);
            x.u8(uint8_t(name.size()));
            x.bytes(name);
            x.u8(0);
            if (d.size() % 2)
                x.u8(0);
            if (kind == 1) {
                x.u16(uint16_t(2 + papx.size()));
                x.u16(0);
                x.bytes(papx);
                if (d.size() % 2)
                    x.u8(0);
            }
            x.u16(uint16_t(chpx.size()));
            x.bytes(chpx);
            if (d.size() % 2)
                x.u8(0);
            w.u16(uint16_t(d.size()));
            w.bytes(d);
        };
        style(0, 1, 0xFFF, "Normal", {}, w6::font(0) + w6::size(24));
        style(1, 1, 0, "heading 1", w6::spaceAfter(120), w6::bold() + w6::size(32));
        for (int i = 2; i < 10; ++i)
            w.u16(0);
        style(65, 2, 0xFFF, "Default Paragraph Font", {}, {});
        table(1, s);
        tables[0] = tables[1];
    }
    {
        QByteArray f;
        ByteWriter w(f);
        w.u16(0);
        for (const Word6Font& font : o.fonts) {
            const QByteArray name = encode8bit(font.name, 1252);
            w.u8(uint8_t(6 + name.size()));
            w.u8(0x16);
            w.u16(400);
            w.u8(font.charset);
            w.u8(0);
            w.bytes(name);
            w.u8(0);
        }
        put16(f, 0, uint16_t(f.size()));
        table(15, f);
    }
    {
        // One section over the main text.
        const uint32_t fcSepx = uint32_t(word.size());
        QByteArray sepx;
        ByteWriter w(sepx);
        w.u16(uint16_t(o.sepx.size()));
        w.bytes(o.sepx);
        word.append(sepx);
        QByteArray plc;
        ByteWriter p(plc);
        p.u32(0);
        p.u32(uint32_t(ccpText));
        p.u16(0);
        p.u32(fcSepx);
        p.u16(0);
        p.u32(0xFFFFFFFF);
        table(6, plc);
    }
    if (!storyStarts.empty()) {
        QByteArray plc;
        ByteWriter w(plc);
        for (int32_t cp : storyStarts)
            w.u32(uint32_t(cp));
        table(11, plc);
    }
    if (!o.bookmarks.empty()) {
        // Names as 8-bit strings after the table's size; starts in order, each
        // with the index of its end among the ends in order.
        std::vector<Word6Bookmark> marks = o.bookmarks;
        std::stable_sort(marks.begin(), marks.end(), [](const auto& a, const auto& b) { return a.start < b.start; });
        std::vector<size_t> byEnd(marks.size());
        for (size_t k = 0; k < byEnd.size(); ++k)
            byEnd[k] = k;
        std::stable_sort(byEnd.begin(), byEnd.end(), [&](size_t a, size_t b) { return marks[a].end < marks[b].end; });
        std::vector<uint16_t> endIndex(marks.size());
        for (size_t k = 0; k < byEnd.size(); ++k)
            endIndex[byEnd[k]] = uint16_t(k);
        QByteArray names, starts, ends;
        ByteWriter nw(names), sw(starts), ew(ends);
        nw.u16(0);
        for (const Word6Bookmark& m : marks) {
            const QByteArray name = encode8bit(m.name, 1251);
            nw.u8(uint8_t(name.size()));
            nw.bytes(name);
            sw.i32(m.start);
        }
        put16(names, 0, uint16_t(names.size()));
        sw.i32(n);
        for (uint16_t index : endIndex) {
            sw.u16(index);
            sw.u16(0);
        }
        for (size_t k : byEnd)
            ew.i32(marks[k].end);
        ew.i32(n);
        table(21, names);
        table(22, starts);
        table(23, ends);
    }
    std::map<int, std::pair<uint32_t, uint32_t>> laterTables; // by their place in the FIB
    if (!o.endnotes.empty()) {
        QByteArray refs, texts;
        ByteWriter r(refs), t(texts);
        for (const Word6Note& note : o.endnotes)
            r.i32(note.reference);
        r.i32(ccpText);
        for (size_t k = 0; k < o.endnotes.size(); ++k)
            r.i16(1);
        for (int32_t start : noteStarts)
            t.i32(start);
        t.i32(ccpEdn - 1);
        t.i32(ccpEdn);
        laterTables[0x1D2] = {uint32_t(word.size()), uint32_t(refs.size())};
        word.append(refs);
        laterTables[0x1DA] = {uint32_t(word.size()), uint32_t(texts.size())};
        word.append(texts);
    }
    {
        QByteArray dop(84, '\0');
        dop[1] = char(o.noteSeparators);
        table(31, dop);
    }
    if (o.pieceTable) {
        QByteArray clx;
        ByteWriter w(clx);
        if (!o.pieceModifier.isEmpty()) {
            w.u8(1);
            w.u16(uint16_t(o.pieceModifier.size()));
            w.bytes(o.pieceModifier);
        }
        w.u8(2);
        QByteArray plc;
        ByteWriter p(plc);
        p.u32(0);
        p.u32(uint32_t(split));
        p.u32(uint32_t(n));
        p.u16(0);
        p.u32(fcOf(0));
        p.u16(o.singlePieceModifier);
        p.u16(0);
        p.u32(fcOf(split));
        p.u16(o.pieceModifier.isEmpty() ? 0 : 1); // the first group
        w.u32(uint32_t(plc.size()));
        w.bytes(plc);
        table(33, clx);
    }

    // The FIB.
    put16(word, 0x00, 0xA5DC);
    put16(word, 0x02, o.nFib);
    put16(word, 0x04, 0x6027);
    put16(word, 0x06, o.lid);
    put16(word, 0x0A, uint16_t((o.pieceTable ? 0x0004 : 0) | (o.encrypted ? 0x0100 : 0)));
    put16(word, 0x0C, o.nFib);
    put32(word, 0x18, fcMin);
    put32(word, 0x1C, fcMac);
    put32(word, 0x20, uint32_t(word.size()));
    put32(word, 0x34, uint32_t(ccpText));
    put32(word, 0x3C, uint32_t(ccpHdd));
    put32(word, 0x48, uint32_t(ccpEdn));
    for (const auto& [at, where] : laterTables) {
        put32(word, at, where.first);
        put32(word, at + 4, where.second);
    }
    for (const auto& [index, where] : tables) {
        put32(word, 0x58 + 8 * index, where.first);
        put32(word, 0x58 + 8 * index + 4, where.second);
    }
    put16(word, 0x18A, chpPages.empty() ? 0 : chpPages.front().pn);
    put16(word, 0x18C, papPages.empty() ? 0 : papPages.front().pn);
    put16(word, 0x18E, uint16_t(chpPages.size()));
    put16(word, 0x190, uint16_t(papPages.size()));

    CompoundFileWriter cfb;
    // {00020900-0000-0000-C000-000000000046}: a Word 6.0/95 document.
    cfb.setRootClsid(QByteArray::fromHex("0009020000000000c000000000000046"));
    cfb.addStream(QStringLiteral("WordDocument"), word);
    return cfb.finish();
}

} // namespace talvora::word::test
