#include "word/doc_writer.h"

#include "common/errors.h"
#include "word/binary.h"
#include "word/compound_file.h"
#include "word/doc_writer_stories.h"
#include "word/sections.h"
#include "word/fib.h"
#include "word/marks_tables.h"
#include "word/notes.h"
#include "word/sprm.h"
#include "word/symbol_fonts.h"
#include "word/table_format.h"
#include "word/text_formats.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <vector>

namespace talvora::word {

namespace {

constexpr uint32_t kTextOffset = 0x400;
constexpr uint16_t kLidRussian = 0x0419;
constexpr int kFibSize = fib::kBaseSize + 2 + 28 + 2 + 88 + 2 + fib::kRgFcLcb97Count * 8 + 2;
constexpr int kDopSize = 500;
const QString kNormalFont = QStringLiteral("Times New Roman");

class Sprms {
public:
    void u8(uint16_t code, uint8_t v) { w_.u16(code); w_.u8(v); }
    void u16(uint16_t code, uint16_t v) { w_.u16(code); w_.u16(v); }
    void i16(uint16_t code, int16_t v) { w_.u16(code); w_.i16(v); }
    void u32(uint16_t code, uint32_t v) { w_.u16(code); w_.u32(v); }
    void raw(uint16_t code, const QByteArray& operand) { w_.u16(code); w_.bytes(operand); }
    const QByteArray& bytes() const { return out_; }

private:
    QByteArray out_;
    ByteWriter w_{out_};
};

QByteArray colorRef(QRgb rgb, bool automatic = false)
{
    QByteArray b(4, '\0');
    b[0] = char(qRed(rgb));
    b[1] = char(qGreen(rgb));
    b[2] = char(qBlue(rgb));
    b[3] = automatic ? char(0xFF) : char(0);
    return b;
}

int16_t clamp16(int v) { return int16_t(std::clamp(v, -31680, 31680)); }

// Character modifiers for what differs from the style's properties.
QByteArray chpx(const CharProps& c, const CharProps& s)
{
    Sprms g;
    if (c.font != s.font) {
        g.u16(sprm::CRgFtc0, c.font);
        g.u16(sprm::CRgFtc1, c.font);
        g.u16(sprm::CRgFtc2, c.font);
    }
    if (c.halfPoints != s.halfPoints)
        g.u16(sprm::CHps, uint16_t(c.halfPoints));
    if (c.bold != s.bold)
        g.u8(sprm::CFBold, c.bold);
    if (c.italic != s.italic)
        g.u8(sprm::CFItalic, c.italic);
    if (c.strike != s.strike)
        g.u8(sprm::CFStrike, c.strike);
    if (c.doubleStrike != s.doubleStrike)
        g.u8(sprm::CFDStrike, c.doubleStrike);
    if (c.caps != s.caps)
        g.u8(sprm::CFCaps, c.caps);
    if (c.smallCaps != s.smallCaps)
        g.u8(sprm::CFSmallCaps, c.smallCaps);
    if (c.underline != s.underline)
        g.u8(sprm::CKul, c.underline);
    if (c.color) {
        g.u8(sprm::CIco, c.ico);
        g.raw(sprm::CCv, colorRef(*c.color));
    }
    if (c.highlight)
        g.u8(sprm::CHighlight, c.highlight);
    else if (c.shading) {
        QByteArray shd;
        ByteWriter w(shd);
        w.u8(10);
        w.bytes(colorRef(0, true));
        w.bytes(colorRef(*c.shading));
        w.u16(0); // clear pattern: the background colour shows
        g.raw(sprm::CShd, shd);
    }
    if (c.iss != s.iss)
        g.u8(sprm::CIss, c.iss);
    if (c.hpsPos != s.hpsPos)
        g.i16(sprm::CHpsPos, c.hpsPos);
    if (c.picLocation) {
        g.u8(sprm::CFSpec, 1);
        if (c.ole2) {
            g.u8(sprm::CFObj, 1);
            g.u8(sprm::CFOle2, 1);
        }
        g.u32(sprm::CPicLocation, *c.picLocation);
    } else if (c.special != s.special) {
        g.u8(sprm::CFSpec, c.special);
    }
    if (c.symbol) {
        QByteArray symbol;
        ByteWriter w(symbol);
        w.u16(c.symbol->font);
        w.u16(c.symbol->code);
        g.raw(sprm::CSymbol, symbol);
    }
    return g.bytes();
}

// Paragraph modifiers for what differs from the defaults; the style adds nothing else.
QByteArray papx(const ParaProps& p)
{
    Sprms g;
    if (p.jc != 0) {
        g.u8(sprm::PJc80, p.jc);
        g.u8(sprm::PJc, p.jc);
    }
    if (p.left != 0) {
        g.i16(sprm::PDxaLeft80, clamp16(p.left));
        g.i16(sprm::PDxaLeft, clamp16(p.left));
    }
    if (p.right != 0) {
        g.i16(sprm::PDxaRight80, clamp16(p.right));
        g.i16(sprm::PDxaRight, clamp16(p.right));
    }
    if (p.firstLine != 0) {
        g.i16(sprm::PDxaLeft1_80, clamp16(p.firstLine));
        g.i16(sprm::PDxaLeft1, clamp16(p.firstLine));
    }
    if (p.before != 0)
        g.u16(sprm::PDyaBefore, uint16_t(std::clamp(p.before, 0, 31680)));
    if (p.after != 0)
        g.u16(sprm::PDyaAfter, uint16_t(std::clamp(p.after, 0, 31680)));
    if (!(p.lineMultiple && p.lineSpacing == 240)) {
        QByteArray lspd;
        ByteWriter w(lspd);
        w.i16(clamp16(p.lineSpacing));
        w.i16(p.lineMultiple ? 1 : 0);
        g.raw(sprm::PDyaLine, lspd);
    }
    if (p.pageBreakBefore)
        g.u8(sprm::PFPageBreakBefore, 1);
    if (p.keep)
        g.u8(sprm::PFKeep, 1);
    if (p.keepNext)
        g.u8(sprm::PFKeepFollow, 1);
    if (p.inTable) {
        g.u8(sprm::PFInTable, 1);
        g.u32(sprm::PItap, uint32_t(std::max(1, p.tableDepth)));
    }
    // Nested tables end cells and rows with flagged paragraph marks.
    const bool nested = p.inTable && p.tableDepth > 1;
    if (nested && (p.innerCell || p.tableRowEnd))
        g.u8(sprm::PFInnerTableCell, 1);
    if (p.tableRowEnd)
        g.u8(nested ? sprm::PFInnerTtp : sprm::PFTtp, 1);
    if (p.listIndex > 0) {
        // The level first: a reader may take the level as it stands when the list is named.
        g.u8(sprm::PIlvl, uint8_t(std::clamp(p.listLevel, 0, 8)));
        g.u16(sprm::PIlfo, uint16_t(p.listIndex));
    }
    return g.bytes();
}

// Formatted disk pages: 512-byte pages mapping text byte ranges to properties.
class FkpBuilder {
public:
    explicit FkpBuilder(bool paragraphs) : paragraphs_(paragraphs) {}

    // `prop` is the stored property record (CHPX or PAPX in a page), empty for none.
    void add(uint32_t fcStart, uint32_t fcEnd, const QByteArray& prop)
    {
        if (!fits(prop)) {
            flush();
        }
        if (entries_.empty())
            pageStart_ = fcStart;
        Entry e{fcEnd, 0};
        if (!prop.isEmpty()) {
            auto it = offsets_.find(prop);
            if (it != offsets_.end()) {
                e.offset = *it;
            } else {
                propEnd_ = (propEnd_ - int(prop.size())) & ~1;
                props_.append({propEnd_, prop});
                offsets_.insert(prop, propEnd_);
                e.offset = propEnd_;
            }
        }
        entries_.push_back(e);
    }

    void flush()
    {
        if (entries_.empty())
            return;
        QByteArray page(512, '\0');
        const int n = int(entries_.size());
        put32(page, 0, pageStart_);
        for (int i = 0; i < n; ++i)
            put32(page, 4 * (i + 1), entries_[size_t(i)].fcEnd);
        const int table = 4 * (n + 1);
        for (int i = 0; i < n; ++i)
            page[table + (paragraphs_ ? 13 : 1) * i] = char(entries_[size_t(i)].offset / 2);
        for (const auto& [offset, prop] : props_)
            std::memcpy(page.data() + offset, prop.constData(), size_t(prop.size()));
        page[511] = char(n);
        pages_.push_back(page);
        firstFcs_.push_back(pageStart_);
        lastFc_ = entries_.back().fcEnd;
        entries_.clear();
        props_.clear();
        offsets_.clear();
        propEnd_ = 511;
    }

    const std::vector<QByteArray>& pages() const { return pages_; }
    const std::vector<uint32_t>& firstFcs() const { return firstFcs_; }
    uint32_t lastFc() const { return lastFc_; }

private:
    struct Entry {
        uint32_t fcEnd;
        int offset;
    };

    bool fits(const QByteArray& prop) const
    {
        const int n = int(entries_.size()) + 1;
        if (n > (paragraphs_ ? 0x1D : 0x65))
            return false;
        const int front = 4 * (n + 1) + n * (paragraphs_ ? 13 : 1);
        int end = propEnd_;
        if (!prop.isEmpty() && !offsets_.contains(prop))
            end = (end - int(prop.size())) & ~1;
        return front <= end;
    }

    bool paragraphs_;
    uint32_t pageStart_ = 0;
    uint32_t lastFc_ = 0;
    std::vector<Entry> entries_;
    QList<QPair<int, QByteArray>> props_;
    QHash<QByteArray, int> offsets_;
    int propEnd_ = 511;
    std::vector<QByteArray> pages_;
    std::vector<uint32_t> firstFcs_;
};

QByteArray chpxRecord(const QByteArray& grpprl)
{
    if (grpprl.isEmpty())
        return {};
    QByteArray r;
    r.append(char(grpprl.size()));
    r.append(grpprl);
    return r;
}

QByteArray papxRecord(uint16_t istd, const QByteArray& grpprl)
{
    QByteArray body;
    ByteWriter w(body);
    w.u16(istd);
    w.bytes(grpprl);
    QByteArray r;
    if (body.size() % 2 == 1) {
        r.append(char((body.size() + 1) / 2));
    } else {
        r.append('\0');
        r.append(char(body.size() / 2));
    }
    r.append(body);
    return r;
}

// The font table: names and their records.
class FontTable {
public:
    FontTable() { index(kNormalFont); }

    uint16_t index(const QString& family)
    {
        QString name = family.left(100);
        auto it = indices_.find(name.toLower());
        if (it != indices_.end())
            return *it;
        const uint16_t i = uint16_t(names_.size());
        names_ << name;
        indices_.insert(name.toLower(), i);
        return i;
    }

    QByteArray bytes() const
    {
        QByteArray out;
        ByteWriter w(out);
        w.u16(uint16_t(names_.size()));
        w.u16(0);
        for (const QString& name : names_) {
            const int cb = 39 + 2 * (int(name.size()) + 1);
            w.u8(uint8_t(cb));
            const QString lower = name.toLower();
            const bool mono = lower.contains(QLatin1String("courier")) || lower.contains(QLatin1String("mono"));
            const bool sans = lower.contains(QLatin1String("arial")) || lower.contains(QLatin1String("sans"))
                || lower.contains(QLatin1String("verdana")) || lower.contains(QLatin1String("tahoma"));
            // Pitch, TrueType, family: roman, swiss (sans serif) or modern (fixed pitch).
            // Fonts of symbols are decorative, with a character set of their own.
            const bool symbols = isSymbolEncodedFont(name);
            const uint8_t family = symbols ? 5 : mono ? 3 : sans ? 2 : 1;
            w.u8(uint8_t((mono ? 1 : 2) | 0x04 | (family << 4)));
            w.u16(400);  // weight
            w.u8(symbols ? 2 : 204); // the symbol or the Cyrillic character set
            w.u8(0);     // no alternative name
            w.zeros(10); // PANOSE
            w.zeros(24); // font signature
            for (QChar ch : name)
                w.u16(ch.unicode());
            w.u16(0);
        }
        return out;
    }

private:
    QStringList names_;
    QHash<QString, uint16_t> indices_;
};

QByteArray xstz(const QString& s)
{
    QByteArray out;
    ByteWriter w(out);
    w.u16(uint16_t(s.size()));
    for (QChar ch : s)
        w.u16(ch.unicode());
    w.u16(0);
    return out;
}

void appendUpx(ByteWriter& w, const QByteArray& upx)
{
    w.u16(uint16_t(upx.size()));
    w.bytes(upx);
    if (upx.size() % 2)
        w.u8(0);
}

// One style record (STD) with the 10-byte base used by Word 97.
QByteArray styleRecord(uint16_t sti, uint8_t kind, uint16_t base, uint16_t next, const QString& name,
                       const QByteArray& papxBody, const QByteArray& chpxBody)
{
    QByteArray std;
    ByteWriter w(std);
    w.u16(sti & 0x0FFF);
    w.u16(uint16_t((kind & 0x0F) | (base << 4)));
    w.u16(uint16_t((kind == 1 ? 2 : 1) | (next << 4)));
    w.u16(0); // size of the record, set below
    w.u16(0); // grfstd
    w.bytes(xstz(name));
    if (kind == 1) {
        QByteArray upx;
        ByteWriter u(upx);
        u.u16(0); // the style's own istd is implied
        u.bytes(papxBody);
        appendUpx(w, upx);
    }
    appendUpx(w, chpxBody);
    put16(std, 6, uint16_t(std.size()));
    return std;
}

QByteArray styleSheet(const CharProps& normal, const std::vector<int>& headingLevels)
{
    constexpr int kStyleCount = 15;
    std::vector<QByteArray> records(kStyleCount);
    {
        Sprms c;
        c.u16(sprm::CRgFtc0, normal.font);
        c.u16(sprm::CRgFtc1, normal.font);
        c.u16(sprm::CRgFtc2, normal.font);
        c.u16(sprm::CHps, uint16_t(normal.halfPoints));
        c.u16(0x486D, kLidRussian); // language, Word 97 form
        c.u16(0x4873, kLidRussian); // language
        records[0] = styleRecord(0, 1, 0x0FFF, 0, QStringLiteral("Normal"), {}, c.bytes());
    }
    for (int level : headingLevels) {
        Sprms p;
        p.u8(sprm::POutLvl, uint8_t(level - 1));
        p.u8(sprm::PFKeepFollow, 1);
        records[size_t(level)] = styleRecord(uint16_t(level), 1, 0, 0, QStringLiteral("heading %1").arg(level), p.bytes(), {});
    }
    records[10] = styleRecord(65, 2, 0x0FFF, 10, QStringLiteral("Default Paragraph Font"), {}, {});

    QByteArray out;
    ByteWriter w(out);
    w.u16(18);          // size of the header that follows
    w.u16(kStyleCount); // styles
    w.u16(10);          // size of the fixed part of each style record
    w.u16(1);           // built-in style names are written
    w.u16(0x005B);      // highest built-in style identifier known
    w.u16(kStyleCount); // fixed-position styles
    w.u16(0);           // version of built-in names
    w.u16(normal.font); // default fonts: ASCII, East Asian, other
    w.u16(normal.font);
    w.u16(normal.font);
    for (const QByteArray& r : records) {
        w.u16(uint16_t(r.size()));
        w.bytes(r);
    }
    return out;
}

// `footnoteFormat` and `endnoteFormat`: how notes are numbered (ListNumberFormat values, 0–15).
QByteArray documentProperties(int footnoteFormat, int endnoteFormat, bool oddAndEvenHeaders)
{
    QByteArray dop(kDopSize, '\0');
    // Widow control; footnotes at the bottom of the page; even pages with headers of their own.
    put16(dop, 0, uint16_t(0x0042 | (oddAndEvenHeaders ? 0x0001 : 0)));
    put16(dop, 2, 0x0004);  // footnotes numbered from 1
    put16(dop, 10, 709);    // default tab stop: 1.25 cm
    put16(dop, 14, 360);    // hyphenation zone
    put16(dop, 32, 1);      // revision number
    put16(dop, 52, 0x0004); // endnotes numbered from 1
    // Endnotes at the end of the document, and how both kinds of notes are numbered.
    put16(dop, 54, uint16_t(0x0003 | (footnoteFormat << 2) | (endnoteFormat << 6)));
    put16(dop, 492, uint16_t(footnoteFormat)); // the same, where Word 97 and later look
    put16(dop, 494, uint16_t(endnoteFormat));
    return dop;
}

QByteArray compObj()
{
    QByteArray out;
    ByteWriter w(out);
    w.u32(0xFFFE0001);
    w.u32(0x00000A03);
    w.u32(0xFFFFFFFF);
    w.bytes(wordDocumentClsid());
    auto ansi = [&](const QByteArray& s) {
        w.u32(uint32_t(s.size() + 1));
        w.bytes(s);
        w.u8(0);
    };
    ansi("Microsoft Word 97-2003 Document");
    ansi("MSWordDoc");
    ansi("Word.Document.8");
    w.u32(0x71B239F4);
    w.u32(0);
    w.u32(0);
    w.u32(0);
    return out;
}

QByteArray summaryInformation()
{
    QByteArray out;
    ByteWriter w(out);
    w.u16(0xFFFE);
    w.u16(0);
    w.u32(0x00020006);
    w.zeros(16);
    w.u32(1);
    w.bytes(QByteArray("\xE0\x85\x9F\xF2\xF9\x4F\x68\x10\xAB\x91\x08\x00\x2B\x27\xB3\xD9", 16));
    w.u32(48);
    // One section: the code page and the name of the writing program.
    const QByteArray app("Talvora");
    const uint32_t appSize = 8 + uint32_t((app.size() + 1 + 3) & ~3);
    const uint32_t headerSize = 8 + 2 * 8;
    const uint32_t codepageAt = headerSize;
    const uint32_t appAt = codepageAt + 8;
    w.u32(appAt + appSize);
    w.u32(2);
    w.u32(1);
    w.u32(codepageAt);
    w.u32(0x12);
    w.u32(appAt);
    w.u32(2); // VT_I2
    w.u16(1251);
    w.u16(0);
    w.u32(0x1E); // VT_LPSTR
    w.u32(uint32_t(app.size() + 1));
    w.bytes(app);
    w.u8(0);
    w.padTo(4);
    return out;
}

// The lists of the document: each one written with all nine levels; levels
// no paragraph uses are numbered "1.", "1.", … so that they look like something.

QByteArray listLevelRecord(int level, const ListLevel& def)
{
    QString text;
    QByteArray positions(9, '\0');
    int placeholders = 0;
    for (QChar c : def.text) {
        if (c.unicode() < 9) {
            if (c.unicode() > level)
                continue; // a level below this one has no number here yet
            if (placeholders < 9)
                positions[placeholders++] = char(text.size() + 1);
        } else if (c.unicode() < 0x20) {
            continue;
        }
        // Bullets go out as Unicode: no symbol font is written with them.
        text += def.numberFormat == NumberBullet ? visibleBullet(c) : c;
    }
    text.truncate(255);
    QByteArray out;
    ByteWriter w(out);
    w.i32(def.start);
    w.u8(uint8_t(std::clamp(def.numberFormat, 0, 255)));
    const bool noRestart = def.restartLimit >= 0;
    w.u8(uint8_t(std::clamp(def.alignment, 0, 2) | (noRestart ? 0x08 : 0)));
    w.bytes(positions);
    w.u8(uint8_t(std::clamp(def.follow, 0, 2)));
    w.i32(0); // dxaIndentSav
    w.u32(0);
    w.u8(0); // no character modifiers
    w.u8(0); // no paragraph modifiers: the paragraphs carry their own indents
    w.u8(uint8_t(noRestart ? std::clamp(def.restartLimit, 0, level) : 0)); // the level restarts only after higher ones
    w.u8(0);
    w.u16(uint16_t(text.size()));
    for (QChar c : text)
        w.u16(c.unicode());
    return out;
}

// The list definitions (PlfLst, followed by the levels) and the lists that
// paragraphs name by their position (PlfLfo).
std::pair<QByteArray, QByteArray> listTables(const std::vector<ListLevels>& lists, const std::vector<ListUse>& uses)
{
    QByteArray lst, levels, lfo;
    ByteWriter l(lst), v(levels), f(lfo);
    auto idOf = [](size_t definition) { return int32_t(0x1A2B0001 + definition); };
    l.i16(int16_t(lists.size()));
    for (size_t i = 0; i < lists.size(); ++i) {
        l.i32(idOf(i));
        l.i32(0); // template code
        for (int k = 0; k < 9; ++k)
            l.u16(0x0FFF); // no style tied to the levels
        l.u8(0);           // nine levels
        l.u8(0);
        for (int k = 0; k < 9; ++k) {
            ListLevel def;
            def.text = QString(QChar(char16_t(k))) + QLatin1Char('.');
            v.bytes(listLevelRecord(k, lists[i][size_t(k)].value_or(def)));
        }
    }
    f.u32(uint32_t(uses.size()));
    for (const ListUse& use : uses) {
        f.i32(idOf(size_t(use.definition)));
        f.u32(0);
        f.u32(0);
        f.u8(use.restartLevel >= 0 ? 1 : 0); // overridden levels
        f.u8(0);
        f.u8(0);
        f.u8(0);
    }
    // The extra data of each list: no field position, then its overridden
    // level: a new start for it.
    for (const ListUse& use : uses) {
        f.u32(0xFFFFFFFF);
        if (use.restartLevel >= 0) {
            f.i32(use.start);
            f.u32(uint32_t(use.restartLevel) | 0x10);
        }
    }
    return {lst + levels, lfo};
}

// How notes of one kind are numbered: as the first of them says.
int noteNumberFormat(const std::vector<PendingNote>& notes)
{
    return notes.empty() ? 0 : std::clamp(notes.front().numberFormat, 0, 15);
}

uint32_t fcOf(int32_t cp) { return kTextOffset + uint32_t(cp) * 2; }

// Puts the stories of a document into the streams of a .doc file: the
// WordDocument stream (FIB, text, formatted disk pages, section
// properties), the table stream with the tables that describe them, and the
// Data stream (pictures, property groups too large for their pages).
class DocWriter {
public:
    explicit DocWriter(const Document& document);
    DocWriter(const DocWriter&) = delete;
    DocWriter& operator=(const DocWriter&) = delete;

    QByteArray write();

private:
    static CharProps normalProps();

    void writeText();
    void writeFormattedPages();
    QByteArray writePages(const FkpBuilder& fkp, uint32_t& firstPage);
    void writeSection();
    QByteArray sectionSprms(const PageSetup& p) const;
    void writeFib();
    std::array<uint32_t, 22> fibCounts() const;

    void writeTableStream();
    void place(int index, const QByteArray& bytes);
    QByteArray sectionTable() const;
    QByteArray headerTable() const;
    void placeNotes(const std::vector<PendingNote>& notes, const std::vector<int32_t>& starts, int32_t ccp,
                    int refIndex, int textIndex);
    void placeFieldTables();
    void placeLists();
    void placeMarks();
    void placeDrawings();
    QByteArray pieceTable() const;

    QByteArray compoundFile() const;

    const Document& document_;
    const CharProps normal_;
    FontTable fonts_;
    StoryWriter stories_;
    int footnoteFormat_ = 0, endnoteFormat_ = 0;

    QByteArray word_;
    ByteWriter ww_{word_};
    QByteArray data_;
    FkpBuilder chpFkp_{false}, papFkp_{true};
    uint32_t firstChpPage_ = 0, firstPapPage_ = 0;
    QByteArray plcChpx_, plcPapx_;
    std::vector<uint32_t> fcSepx_; // per section

    QByteArray table_;
    ByteWriter tw_{table_};
    std::vector<std::pair<uint32_t, uint32_t>> fcLcb_ =
        std::vector<std::pair<uint32_t, uint32_t>>(fib::kRgFcLcb97Count, {0, 0});
};

DocWriter::DocWriter(const Document& document)
    : document_(document)
    , normal_(normalProps())
    , stories_(normal_, [this](const QString& family) { return fonts_.index(family); })
{
}

CharProps DocWriter::normalProps()
{
    CharProps normal;
    normal.font = 0;
    normal.halfPoints = 24;
    return normal;
}

QByteArray DocWriter::write()
{
    stories_.write(document_);
    if (qint64(stories_.text().size()) * 2 + kTextOffset > 0x3FFFFFFF)
        throw Error(QStringLiteral("Документ слишком велик для записи в формате Word 97–2003"));
    footnoteFormat_ = noteNumberFormat(stories_.footnotes());
    endnoteFormat_ = noteNumberFormat(stories_.endnotes());
    writeText();
    writeFormattedPages();
    writeSection();
    writeTableStream();
    writeFib();
    return compoundFile();
}

// Room for the FIB, then the text.
void DocWriter::writeText()
{
    ww_.zeros(kTextOffset);
    ww_.utf16(stories_.text());
    ww_.padTo(512);
}

void DocWriter::writeFormattedPages()
{
    data_ = stories_.pictureData();
    int32_t start = 0;
    for (const CharRun& r : stories_.charRuns()) {
        chpFkp_.add(fcOf(start), fcOf(r.cpEnd), chpxRecord(chpx(r.chp, normal_)));
        start = r.cpEnd;
    }
    chpFkp_.flush();
    start = 0;
    for (const ParaRun& r : stories_.paraRuns()) {
        QByteArray grpprl = papx(r.pap) + r.tableRow;
        if (grpprl.size() + 2 > kMaxPapxInPage)
            grpprl = moveToDataStream(data_, grpprl);
        papFkp_.add(fcOf(start), fcOf(r.cpEnd), papxRecord(r.pap.style, grpprl));
        start = r.cpEnd;
    }
    papFkp_.flush();
    plcChpx_ = writePages(chpFkp_, firstChpPage_);
    plcPapx_ = writePages(papFkp_, firstPapPage_);
}

// Appends the pages; returns the table of where they are (PLC of page numbers).
QByteArray DocWriter::writePages(const FkpBuilder& fkp, uint32_t& firstPage)
{
    QByteArray plc;
    ByteWriter pw(plc);
    std::vector<uint32_t> pns;
    firstPage = uint32_t(word_.size() / 512);
    for (const QByteArray& page : fkp.pages()) {
        pns.push_back(uint32_t(word_.size() / 512));
        ww_.bytes(page);
    }
    for (uint32_t fc : fkp.firstFcs())
        pw.u32(fc);
    pw.u32(fkp.lastFc());
    for (uint32_t pn : pns)
        pw.u32(pn);
    return plc;
}

void DocWriter::writeSection()
{
    std::vector<const PageSetup*> pages{&document_.page};
    for (const SectionBreak& b : stories_.sectionBreaks())
        pages.push_back(&document_.laterSections[size_t(b.section - 1)].page);
    for (const PageSetup* page : pages) {
        fcSepx_.push_back(uint32_t(word_.size()));
        const QByteArray sprms = sectionSprms(*page);
        ww_.u16(uint16_t(sprms.size()));
        ww_.bytes(sprms);
    }
}

QByteArray DocWriter::sectionSprms(const PageSetup& p) const
{
    Sprms s;
    s.u8(sprm::SBOrientation, p.landscape ? 2 : 1);
    s.u16(sprm::SXaPage, uint16_t(std::clamp(p.pageWidth, 144, 31680)));
    s.u16(sprm::SYaPage, uint16_t(std::clamp(p.pageHeight, 144, 31680)));
    s.u16(sprm::SDxaLeft, uint16_t(std::clamp(p.marginLeft, 0, 31680)));
    s.u16(sprm::SDxaRight, uint16_t(std::clamp(p.marginRight, 0, 31680)));
    s.i16(sprm::SDyaTop, clamp16(p.marginTop));
    s.i16(sprm::SDyaBottom, clamp16(p.marginBottom));
    s.u16(sprm::SDyaHdrTop, uint16_t(std::clamp(p.headerDistance, 0, 31680)));
    s.u16(sprm::SDyaHdrBottom, uint16_t(std::clamp(p.footerDistance, 0, 31680)));
    if (p.gutter)
        s.u16(sprm::SDzaGutter, uint16_t(std::clamp(p.gutter, 0, 31680)));
    if (p.titlePage)
        s.u8(sprm::SFTitlePage, 1);
    if (footnoteFormat_)
        s.u16(sprm::SNfcFtnRef, uint16_t(footnoteFormat_));
    if (endnoteFormat_)
        s.u16(sprm::SNfcEdnRef, uint16_t(endnoteFormat_));
    return s.bytes() + sectionLayoutSprms(p); // how the section starts, its columns
}

// The table stream: each table placed at an even offset, with its position
// and size noted for the FIB.
void DocWriter::writeTableStream()
{
    const StoryBounds& b = stories_.bounds();
    place(fib::StshfOrig, styleSheet(normal_, stories_.headingLevels()));
    fcLcb_[fib::Stshf] = fcLcb_[fib::StshfOrig];
    place(fib::PlcfSed, sectionTable());
    if (!b.hddStarts.empty())
        place(fib::PlcfHdd, headerTable());
    placeNotes(stories_.footnotes(), b.footnoteStarts, b.ccpFtn, fib::PlcffndRef, fib::PlcffndTxt);
    place(fib::PlcfBteChpx, plcChpx_);
    place(fib::PlcfBtePapx, plcPapx_);
    place(fib::SttbfFfn, fonts_.bytes());
    placeFieldTables();
    place(fib::Dop, documentProperties(footnoteFormat_, endnoteFormat_, document_.oddAndEvenHeaders));
    placeNotes(stories_.endnotes(), b.endnoteStarts, b.ccpEdn, fib::PlcfendRef, fib::PlcfendTxt);
    placeLists();
    placeMarks(); // bookmarks and comments
    placeDrawings();
    place(fib::Clx, pieceTable());
}

void DocWriter::place(int index, const QByteArray& bytes)
{
    tw_.padTo(2);
    fcLcb_[size_t(index)] = {uint32_t(table_.size()), uint32_t(bytes.size())};
    tw_.bytes(bytes);
}

// The sections end at their section marks; the last one at the end of the main text.
QByteArray DocWriter::sectionTable() const
{
    std::vector<int32_t> ends;
    for (const SectionBreak& b : stories_.sectionBreaks())
        ends.push_back(b.cpEnd);
    ends.push_back(stories_.bounds().ccpText);
    return sectionTableBytes(ends, fcSepx_);
}

QByteArray DocWriter::headerTable() const
{
    QByteArray hdd;
    ByteWriter h(hdd);
    for (int32_t cp : stories_.bounds().hddStarts)
        h.i32(cp);
    return hdd;
}

void DocWriter::placeNotes(const std::vector<PendingNote>& notes, const std::vector<int32_t>& starts, int32_t ccp,
                           int refIndex, int textIndex)
{
    if (notes.empty())
        return;
    std::vector<int32_t> refs;
    std::vector<bool> automatic;
    for (const PendingNote& n : notes) {
        refs.push_back(n.cp);
        automatic.push_back(n.automatic);
    }
    place(refIndex, noteReferenceTable(refs, automatic, stories_.bounds().ccpText));
    place(textIndex, noteTextTable(starts, ccp));
}

void DocWriter::placeFieldTables()
{
    const StoryBounds& b = stories_.bounds();
    const std::pair<int, QByteArray> fieldTables[] = {
        {fib::PlcfFldMom, stories_.fieldTable(0, b.ccpText)},
        {fib::PlcfFldHdr, stories_.fieldTable(b.hddStart, b.hddStart + b.ccpHdd)},
        {fib::PlcfFldFtn, stories_.fieldTable(b.ccpText, b.hddStart)},
        {fib::PlcfFldEdn, stories_.fieldTable(b.ednStart, b.ednStart + b.ccpEdn)},
        {fib::PlcfFldAtn, stories_.fieldTable(b.atnStart, b.atnStart + b.ccpAtn)},
    };
    for (const auto& [index, plc] : fieldTables)
        if (!plc.isEmpty())
            place(index, plc);
}

void DocWriter::placeLists()
{
    const std::vector<ListLevels>& lists = stories_.lists();
    if (lists.empty())
        return;
    const auto [lst, lfo] = listTables(lists, stories_.listUses());
    // Only the definitions count in the length; their levels follow them.
    place(fib::PlfLst, lst);
    fcLcb_[fib::PlfLst].second = uint32_t(2 + 28 * lists.size());
    place(fib::PlfLfo, lfo);
}

// Bookmarks of all stories; comments with their authors and the text they comment on.
void DocWriter::placeMarks()
{
    const StoryBounds& b = stories_.bounds();
    const BookmarkTables bookmarks =
        bookmarkTables(stories_.marks().bookmarks(), int32_t(stories_.text().size()) + 1);
    if (!bookmarks.names.isEmpty()) {
        place(fib::SttbfBkmk, bookmarks.names);
        place(fib::PlcfBkf, bookmarks.starts);
        place(fib::PlcfBkl, bookmarks.ends);
    }
    const CommentTableBytes comments =
        commentTables(stories_.marks().commentsToWrite(b.commentStarts), b.ccpText, b.ccpAtn);
    const std::pair<int, const QByteArray*> tables[] = {
        {fib::PlcfandRef, &comments.references}, {fib::PlcfandTxt, &comments.texts},
        {fib::GrpXstAtnOwners, &comments.authors}, {fib::SttbfAtnBkmk, &comments.tags},
        {fib::PlcfAtnBkf, &comments.tagStarts},   {fib::PlcfAtnBkl, &comments.tagEnds},
    };
    for (const auto& [index, bytes] : tables)
        if (!bytes->isEmpty())
            place(index, *bytes);
}

// Floating pictures, shapes and text boxes: their pictures go to the end of
// the WordDocument stream, their tables to the table stream.
void DocWriter::placeDrawings()
{
    const StoryBounds& b = stories_.bounds();
    for (const auto& [index, bytes] : stories_.drawings().tables(word_, b.textboxStarts))
        place(index, bytes);
    if (b.ccpTxbx)
        place(fib::PlcfFldTxbx, stories_.fieldTable(b.txbxStart, b.txbxStart + b.ccpTxbx));
    if (b.ccpHdrTxbx)
        place(fib::PlcffldHdrTxbx, stories_.fieldTable(b.hdrTxbxStart, b.hdrTxbxStart + b.ccpHdrTxbx));
    for (int index : {fib::PlcfFldTxbx, fib::PlcffldHdrTxbx})
        if (fcLcb_[size_t(index)].second == 0)
            fcLcb_[size_t(index)] = {0, 0};
}

// One piece: all the text, as Unicode.
QByteArray DocWriter::pieceTable() const
{
    QByteArray clx;
    ByteWriter c(clx);
    c.u8(2);
    c.u32(4 * 2 + 8);
    c.u32(0);
    c.u32(uint32_t(stories_.text().size()));
    c.u16(0);
    c.u32(kTextOffset); // Unicode text: the plain byte offset
    c.u16(0);
    return clx;
}

// The FIB, over the room left for it at the start of the stream.
void DocWriter::writeFib()
{
    QByteArray f;
    ByteWriter w(f);
    w.u16(fib::kIdent);
    w.u16(fib::kWord97);
    w.u16(0x6A62);       // product build
    w.u16(kLidRussian);
    w.u16(0);            // pnNext
    w.u16(fib::kFlagWhichTable | fib::kFlagExtChar);
    w.u16(0x00BF);       // nFibBack
    w.u32(0);            // key
    w.u8(0);             // created on Windows
    w.u8(0);
    w.u16(0);
    w.u16(0);
    w.u32(0);
    w.u32(0);
    w.u16(14);           // csw
    for (int i = 0; i < 14; ++i)
        w.u16(i == 13 ? kLidRussian : 0);
    w.u16(22);           // cslw
    for (uint32_t v : fibCounts())
        w.u32(v);
    w.u16(fib::kRgFcLcb97Count);
    for (auto [fc, lcb] : fcLcb_) {
        w.u32(fc);
        w.u32(lcb);
    }
    w.u16(0); // cswNew
    Q_ASSERT(f.size() == kFibSize);
    std::memcpy(word_.data(), f.constData(), size_t(f.size()));
}

// Besides the sizes, the older readers' hints: where the formatted disk
// pages start and how many there are (0xFFFFF: no fast-save pages).
std::array<uint32_t, 22> DocWriter::fibCounts() const
{
    const StoryBounds& b = stories_.bounds();
    std::array<uint32_t, 22> lw = {};
    lw[fib::CbMac] = uint32_t(word_.size());
    lw[fib::CcpText] = uint32_t(b.ccpText);
    lw[fib::CcpFtn] = uint32_t(b.ccpFtn);
    lw[fib::CcpHdd] = uint32_t(b.ccpHdd);
    lw[fib::CcpAtn] = uint32_t(b.ccpAtn);
    lw[fib::CcpEdn] = uint32_t(b.ccpEdn);
    lw[fib::CcpTxbx] = uint32_t(b.ccpTxbx);
    lw[fib::CcpHdrTxbx] = uint32_t(b.ccpHdrTxbx);
    lw[11] = 0xFFFFF;
    lw[12] = firstChpPage_;
    lw[13] = uint32_t(chpFkp_.pages().size());
    lw[14] = 0xFFFFF;
    lw[15] = firstPapPage_;
    lw[16] = uint32_t(papFkp_.pages().size());
    lw[17] = 0xFFFFF;
    return lw;
}

QByteArray DocWriter::compoundFile() const
{
    CompoundFileWriter cfb;
    cfb.setRootClsid(wordDocumentClsid());
    cfb.addStream(QStringLiteral("WordDocument"), word_);
    cfb.addStream(QStringLiteral("1Table"), table_);
    if (!data_.isEmpty())
        cfb.addStream(QStringLiteral("Data"), data_);
    if (!stories_.objects().empty())
        cfb.addStorage(stories_.objects().pool()); // the embedded objects
    cfb.addStream(QStringLiteral("\x01") + QStringLiteral("CompObj"), compObj());
    cfb.addStream(QStringLiteral("\x05") + QStringLiteral("SummaryInformation"), summaryInformation());
    return cfb.finish();
}

} // namespace

QByteArray writeDoc(const Document& document)
{
    DocWriter writer(document);
    return writer.write();
}

} // namespace talvora::word
