#include "word/doc_reader_styles.h"

#include "word/doc_reader_file.h"
#include "word/fib.h"
#include "word/word6_format.h"

namespace talvora::word {

namespace {

// Base chains longer than this come only from damaged files; their far end is ignored.
constexpr int kMaxStyleDepth = 32;

} // namespace

StyleSheet::StyleSheet(const WordFile& file)
{
    readFonts(file);
    readStyles(file);
}

ByteView StyleSheet::sprms(const WordFile& file, ByteView stored)
{
    if (!file.word6())
        return stored;
    translated_.push_back(word6ToCurrentSprms(stored));
    return ByteView(translated_.back());
}

// Word 6.0/95: the table's size, then the fonts one after another, each with
// its 8-bit name.
void StyleSheet::readWord6Fonts(const WordFile& file)
{
    const ByteView st = file.tableRange(fib::SttbfFfn);
    if (st.size() < 2)
        return;
    const qint64 end = std::min<qint64>(st.size(), st.u16(0));
    const CodePage codePage(file.codePage());
    qint64 at = 2;
    while (at < end && fonts_.size() < 0x8000) {
        const int cb = st.u8(at); // the size less one
        QString name;
        uint8_t charset = 1;
        if (cb >= 5 && st.ok(at + 1, cb)) {
            charset = st.u8(at + 4);
            const int nameCodePage = codePageOfCharset(charset);
            const CodePage names(nameCodePage ? nameCodePage : codePage.number());
            for (qint64 k = at + 6; k < at + 1 + cb && st.u8(k) != 0; ++k)
                name.append(QChar(names[st.u8(k)]));
        }
        fonts_ << name;
        charsets_.push_back(charset);
        at += 1 + cb;
    }
}

void StyleSheet::readFonts(const WordFile& file)
{
    if (file.word6()) {
        readWord6Fonts(file);
        return;
    }
    const ByteView st = file.tableRange(fib::SttbfFfn);
    if (st.size() < 4)
        return;
    qint64 at = 0;
    int count = st.u16(0);
    if (count == 0xFFFF) {
        count = st.u16(2);
        at = 2;
    }
    const int extra = st.u16(at + 2);
    at += 4;
    for (int i = 0; i < count && st.ok(at, 1); ++i) {
        const int cb = st.u8(at);
        QString name;
        if (st.ok(at + 1, cb)) {
            for (qint64 k = 39; k + 1 < cb; k += 2) {
                const char16_t c = st.u16(at + 1 + k);
                if (c == 0)
                    break;
                name.append(QChar(c));
            }
        }
        fonts_ << name;
        charsets_.push_back(st.ok(at + 4, 1) ? st.u8(at + 4) : 1);
        at += 1 + cb + extra;
    }
}

void StyleSheet::readStyles(const WordFile& file)
{
    const ByteView s = file.tableRange(fib::Stshf);
    if (s.size() < 4)
        return;
    const int cbStshi = s.u16(0);
    if (!s.ok(2, cbStshi) || cbStshi < 4)
        return;
    const int cstd = s.u16(2);
    const int cbBase = s.u16(4);
    if (cbStshi >= 14)
        defaultFont_ = s.u16(2 + 12);
    qint64 at = 2 + cbStshi;
    styles_.resize(size_t(cstd));
    for (int i = 0; i < cstd && s.ok(at, 2); ++i) {
        const int cbStd = s.u16(at);
        at += 2;
        if (cbStd == 0)
            continue;
        if (!s.ok(at, cbStd))
            break;
        const ByteView std = s.sub(at, cbStd);
        at += cbStd;
        if (cbStd < cbBase || cbBase < 10)
            continue;
        StyleDef& d = styles_[size_t(i)];
        d.present = true;
        d.sti = std.u16(0) & 0x0FFF;
        d.kind = std.u16(2) & 0x000F;
        d.base = std.u16(2) >> 4;
        const int cupx = std.u16(4) & 0x000F;
        qint64 p = cbBase;
        if (file.word6()) {
            // An 8-bit name with its length and a closing zero; each group
            // starts at an even offset.
            if (std.ok(p, 1)) {
                const int cch = std.u8(p);
                if (std.ok(p + 1, cch))
                    d.name = CodePage(file.codePage()).decode(std.sub(p + 1, cch));
                p += 1 + cch + 1;
            }
            p += p & 1;
        } else if (std.ok(p, 2)) {
            const int cch = std.u16(p);
            if (std.ok(p + 2, 2 * qint64(cch))) {
                for (int k = 0; k < cch; ++k)
                    d.name.append(QChar(char16_t(std.u16(p + 2 + 2 * k))));
            }
            p += 2 + 2 * qint64(cch) + 2;
        }
        // The property groups, each with its length, padded to even size.
        std::vector<ByteView> upx;
        for (int k = 0; k < cupx && std.ok(p, 2); ++k) {
            const int cb = std.u16(p);
            if (!std.ok(p + 2, cb))
                break;
            upx.push_back(std.sub(p + 2, cb));
            p += 2 + cb + (cb & 1);
        }
        auto papxOf = [&](ByteView u) { return u.size() >= 2 ? sprms(file, u.sub(2, u.size() - 2)) : ByteView(); };
        auto chpxOf = [&](ByteView u) { return sprms(file, u); };
        if (d.kind == 1) {
            if (upx.size() > 0)
                d.papx = papxOf(upx[0]);
            if (upx.size() > 1)
                d.chpx = chpxOf(upx[1]);
        } else if (d.kind == 2) {
            if (upx.size() > 0)
                d.chpx = chpxOf(upx[0]);
        } else if (d.kind == 3) {
            if (upx.size() > 1)
                d.papx = papxOf(upx[1]);
            if (upx.size() > 2)
                d.chpx = chpxOf(upx[2]);
        } else if (d.kind == 4) {
            if (upx.size() > 0)
                d.papx = papxOf(upx[0]);
        }
    }
    stylePap_.resize(styles_.size());
    styleChp_.resize(styles_.size());
    resolving_.assign(styles_.size(), 0);
}

const ParaProps& StyleSheet::styleParaProps(uint16_t istd, int depth)
{
    static const ParaProps none;
    if (istd >= styles_.size() || !styles_[istd].present || depth > kMaxStyleDepth)
        return none;
    if (stylePap_[istd])
        return *stylePap_[istd];
    if (resolving_[istd] & 1)
        return none; // a base chain that loops back
    resolving_[istd] |= 1;
    const StyleDef& d = styles_[istd];
    ParaProps p = d.base != 0x0FFF && d.base != istd ? styleParaProps(d.base, depth + 1) : ParaProps{};
    forEachSprm(d.papx, [&](uint16_t code, ByteView o) { applyParaSprm(p, code, o); });
    p.style = istd;
    resolving_[istd] &= ~1;
    stylePap_[istd] = p;
    return *stylePap_[istd];
}

const CharProps& StyleSheet::styleCharProps(uint16_t istd, int depth)
{
    static thread_local CharProps none;
    none = CharProps{};
    none.font = defaultFont_;
    if (istd >= styles_.size() || !styles_[istd].present || depth > kMaxStyleDepth)
        return none;
    if (styleChp_[istd])
        return *styleChp_[istd];
    if (resolving_[istd] & 2)
        return none;
    resolving_[istd] |= 2;
    const StyleDef& d = styles_[istd];
    const CharProps base = d.base != 0x0FFF && d.base != istd ? styleCharProps(d.base, depth + 1) : none;
    CharProps c = base;
    forEachSprm(d.chpx, [&](uint16_t code, ByteView o) { applyCharSprm(c, base, code, o); });
    resolving_[istd] &= ~2;
    styleChp_[istd] = c;
    return *styleChp_[istd];
}

CharProps StyleSheet::withCharStyle(const CharProps& paragraphBase, uint16_t charStyle) const
{
    CharProps base = paragraphBase;
    if (charStyle != 10 && charStyle < styles_.size() && styles_[charStyle].present && styles_[charStyle].kind == 2) {
        std::vector<uint16_t> chain;
        for (uint16_t s = charStyle; s < styles_.size() && styles_[s].present && styles_[s].kind == 2 && chain.size() < 16;
             s = styles_[s].base)
            chain.push_back(s);
        for (auto it = chain.rbegin(); it != chain.rend(); ++it) {
            const CharProps before = base;
            forEachSprm(styles_[*it].chpx, [&](uint16_t code, ByteView o) { applyCharSprm(base, before, code, o); });
        }
        base.charStyle = charStyle;
    }
    return base;
}

int StyleSheet::headingLevel(uint16_t istd) const
{
    if (istd < styles_.size() && styles_[istd].present) {
        const uint16_t sti = styles_[istd].sti;
        if (sti >= 1 && sti <= 9)
            return sti;
    }
    return 0;
}

} // namespace talvora::word
