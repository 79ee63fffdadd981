#include "word/sprm.h"

#include <algorithm>

namespace talvora::word {

namespace {

// The operand size of the modifier whose operand starts at `at`, or -1 when it
// cannot be known (cut short).
qint64 operandSize(uint16_t code, ByteView g, qint64 at)
{
    switch (code >> 13) {
    case 0:
    case 1:
        return 1;
    case 2:
    case 4:
    case 5:
        return 2;
    case 3:
        return 4;
    case 7:
        return 3;
    default:
        break;
    }
    if (code == sprm::TDefTable || code == sprm::TDefTable10) {
        if (!g.ok(at, 2))
            return -1;
        // The count includes one byte of itself beyond the two stored.
        return qint64(g.u16(at)) + 1;
    }
    if (!g.ok(at, 1))
        return -1;
    const int cb = g.u8(at);
    if (code == sprm::PChgTabs && cb == 255) {
        // The size follows from the counts of removed and added tab stops.
        if (!g.ok(at + 1, 1))
            return -1;
        const int del = g.u8(at + 1);
        const qint64 addAt = at + 2 + 4 * qint64(del);
        if (!g.ok(addAt, 1))
            return -1;
        const int add = g.u8(addAt);
        return 1 + 1 + 4 * qint64(del) + 1 + 3 * qint64(add);
    }
    return 1 + qint64(cb);
}

bool toggle(uint8_t value, bool base)
{
    switch (value) {
    case 0: return false;
    case 1: return true;
    case 0x80: return base;
    case 0x81: return !base;
    default: return base;
    }
}

QRgb colorRef(ByteView o, qint64 at, bool& automatic)
{
    const uint8_t r = o.u8(at), g = o.u8(at + 1), b = o.u8(at + 2), flag = o.u8(at + 3);
    automatic = flag == 0xFF;
    return qRgb(r, g, b);
}

} // namespace

void forEachSprm(ByteView g, const std::function<void(uint16_t, ByteView)>& visit)
{
    qint64 at = 0;
    while (g.ok(at, 2)) {
        const uint16_t code = g.u16(at);
        at += 2;
        const qint64 n = operandSize(code, g, at);
        if (n < 0 || !g.ok(at, n))
            return;
        visit(code, g.sub(at, n));
        at += n;
    }
}

QRgb icoColor(uint8_t ico)
{
    static const QRgb table[17] = {
        qRgb(0, 0, 0),       qRgb(0, 0, 0),       qRgb(0, 0, 255),     qRgb(0, 255, 255),
        qRgb(0, 255, 0),     qRgb(255, 0, 255),   qRgb(255, 0, 0),     qRgb(255, 255, 0),
        qRgb(255, 255, 255), qRgb(0, 0, 128),     qRgb(0, 128, 128),   qRgb(0, 128, 0),
        qRgb(128, 0, 128),   qRgb(128, 0, 0),     qRgb(128, 128, 0),   qRgb(128, 128, 128),
        qRgb(192, 192, 192),
    };
    return ico <= 16 ? table[ico] : table[0];
}

uint8_t icoForColor(QRgb rgb)
{
    for (uint8_t i = 1; i <= 16; ++i)
        if ((icoColor(i) & 0xFFFFFF) == (rgb & 0xFFFFFF))
            return i;
    return 0;
}

void applyCharSprm(CharProps& c, const CharProps& base, uint16_t code, ByteView o)
{
    switch (code) {
    case sprm::CFBold: c.bold = toggle(o.u8(0), base.bold); break;
    case sprm::CFItalic: c.italic = toggle(o.u8(0), base.italic); break;
    case sprm::CFStrike: c.strike = toggle(o.u8(0), base.strike); break;
    case sprm::CFDStrike: c.doubleStrike = toggle(o.u8(0), base.doubleStrike); break;
    case sprm::CFCaps: c.caps = toggle(o.u8(0), base.caps); break;
    case sprm::CFSmallCaps: c.smallCaps = toggle(o.u8(0), base.smallCaps); break;
    case sprm::CFVanish: c.hidden = toggle(o.u8(0), base.hidden); break;
    case sprm::CFSpec: c.special = o.u8(0) != 0; break;
    case sprm::CFFldVanish: c.fieldVanish = o.u8(0) != 0; break;
    case sprm::CFRMarkDel: c.deleted = o.u8(0) != 0; break;
    case sprm::CPicLocation: c.picLocation = o.u32(0); break;
    case sprm::CSymbol: c.symbol = CharProps::Symbol{o.u16(0), o.u16(2)}; break;
    case sprm::CFData: c.data = o.u8(0) != 0; break;
    case sprm::CFOle2: c.ole2 = o.u8(0) != 0; break;
    case sprm::CKul: c.underline = o.u8(0); break;
    case sprm::CIco:
        c.ico = o.u8(0) <= 16 ? o.u8(0) : 0;
        c.color.reset();
        break;
    case sprm::CCv: {
        bool automatic = false;
        const QRgb rgb = colorRef(o, 0, automatic);
        if (automatic) {
            c.color.reset();
            c.ico = 0;
        } else {
            c.color = rgb;
        }
        break;
    }
    case sprm::CHighlight: c.highlight = o.u8(0) <= 16 ? o.u8(0) : 0; break;
    case sprm::CShd80: {
        const uint16_t shd = o.u16(0);
        const uint8_t fore = shd & 0x1F, back = (shd >> 5) & 0x1F, pattern = shd >> 10;
        if (pattern == 0 && back != 0)
            c.shading = icoColor(back);
        else if (pattern == 1 && fore != 0)
            c.shading = icoColor(fore);
        else
            c.shading.reset();
        break;
    }
    case sprm::CShd: {
        if (!o.ok(1, 10))
            break;
        bool foreAuto = false, backAuto = false;
        const QRgb fore = colorRef(o, 1, foreAuto);
        const QRgb back = colorRef(o, 5, backAuto);
        const uint16_t pattern = o.u16(9);
        if (pattern == 0 && !backAuto)
            c.shading = back;
        else if (pattern == 1 && !foreAuto)
            c.shading = fore;
        else
            c.shading.reset();
        break;
    }
    case sprm::CHps: {
        const int hps = o.u16(0);
        if (hps >= 2 && hps <= 3276)
            c.halfPoints = hps;
        break;
    }
    case sprm::CIss: c.iss = o.u8(0) <= 2 ? o.u8(0) : 0; break;
    case sprm::CHpsPos: c.hpsPos = o.i16(0); break;
    case sprm::CRgFtc0: c.font = o.u16(0); break;
    case sprm::CIstd: c.charStyle = o.u16(0); break;
    default: break;
    }
}

void applyParaSprm(ParaProps& p, uint16_t code, ByteView o)
{
    switch (code) {
    case sprm::PIstd: p.style = o.u16(0); break;
    case sprm::PJc80:
    case sprm::PJc: p.jc = o.u8(0); break;
    case sprm::PFKeep: p.keep = o.u8(0) != 0; break;
    case sprm::PFKeepFollow: p.keepNext = o.u8(0) != 0; break;
    case sprm::PFPageBreakBefore: p.pageBreakBefore = o.u8(0) != 0; break;
    case sprm::PDxaRight80:
    case sprm::PDxaRight: p.right = o.i16(0); break;
    case sprm::PDxaLeft80:
    case sprm::PDxaLeft: p.left = o.i16(0); break;
    case sprm::PNest80:
    case sprm::PNest: p.left = std::max(0, p.left + o.i16(0)); break;
    case sprm::PDxaLeft1_80:
    case sprm::PDxaLeft1: p.firstLine = o.i16(0); break;
    case sprm::PDyaLine:
        p.lineSpacing = o.i16(0);
        p.lineMultiple = o.i16(2) != 0;
        break;
    case sprm::PDyaBefore: p.before = o.u16(0); break;
    case sprm::PDyaAfter: p.after = o.u16(0); break;
    case sprm::PFInTable: p.inTable = o.u8(0) != 0; break;
    case sprm::PFTtp: p.tableRowEnd = o.u8(0) != 0; break;
    case sprm::PFInnerTtp: p.tableRowEnd = o.u8(0) != 0; break;
    case sprm::PItap: p.tableDepth = int(std::clamp<int32_t>(o.i32(0), 0, 64)); break;
    case sprm::PDtap: p.tableDepth = int(std::clamp<int64_t>(int64_t(p.tableDepth) + o.i32(0), 0, 64)); break;
    case sprm::PFInnerTableCell: p.innerCell = o.u8(0) != 0; break;
    case sprm::POutLvl: p.outlineLevel = o.u8(0) <= 9 ? o.u8(0) : 9; break;
    case sprm::PIlvl: p.listLevel = o.u8(0); break;
    case sprm::PIlfo: p.listIndex = o.i16(0); break;
    case sprm::PNLvlAnm80: p.anlLevel = o.u8(0); break;
    case sprm::PAnld80: p.anld = o.size() > 1 ? QByteArray(o.data() + 1, qsizetype(o.size() - 1)) : QByteArray(); break;
    default: break;
    }
}

void applySectionSprm(SectionProps& s, uint16_t code, ByteView o)
{
    switch (code) {
    case sprm::SBOrientation: s.landscape = o.u8(0) == 2; break;
    case sprm::SXaPage: s.pageWidth = o.u16(0); break;
    case sprm::SYaPage: s.pageHeight = o.u16(0); break;
    case sprm::SDxaLeft: s.left = o.u16(0); break;
    case sprm::SDxaRight: s.right = o.u16(0); break;
    case sprm::SDyaTop: s.top = o.i16(0); break;
    case sprm::SDyaBottom: s.bottom = o.i16(0); break;
    case sprm::SDyaHdrTop: s.headerTop = o.u16(0); break;
    case sprm::SDyaHdrBottom: s.footerBottom = o.u16(0); break;
    case sprm::SDzaGutter: s.gutter = o.u16(0); break;
    case sprm::SFTitlePage: s.titlePage = o.u8(0) != 0; break;
    case sprm::SGprfIhdt: s.headerStories = o.u8(0); break;
    case sprm::SBkc: s.bkc = o.u8(0) <= 4 ? o.u8(0) : 2; break;
    case sprm::SCcolumns: s.columns = std::clamp(int(o.u16(0)) + 1, 1, 45); break;
    case sprm::SDxaColumns: s.columnSpacing = std::clamp(int(o.i16(0)), 0, 31680); break;
    case sprm::SLBetween: s.columnLine = o.u8(0) != 0; break;
    case sprm::SNfcFtnRef: s.footnoteFormat = o.u16(0); break;
    case sprm::SNfcEdnRef: s.endnoteFormat = o.u16(0); break;
    default: break;
    }
}

} // namespace talvora::word
