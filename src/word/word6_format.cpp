#include "word/word6_format.h"

#include "word/sprm.h"

#include <QStringDecoder>

#include <algorithm>

namespace talvora::word {

namespace {

constexpr char16_t kCp1251High[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
};

constexpr char16_t kCp1252Control[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// How a Word 6/95 modifier's operand is stored.
enum Operand : int8_t {
    Var = -1,     // a count byte, then that many bytes
    Tabs = -2,    // tab stops: a count byte, or 255 and the counts of what is removed and added
    Table = -3,   // a two-byte count, one less than the operand's size
};

int8_t operandKind(uint8_t code)
{
    switch (code) {
    case 0: case 83:
        return 0;
    case 4: case 5: case 6: case 7: case 8: case 9: case 10: case 11: case 13: case 14: case 24: case 25: case 29:
    case 37: case 44: case 50: case 51: case 65: case 66: case 67: case 71: case 75: case 85: case 86: case 87:
    case 88: case 89: case 90: case 91: case 92: case 94: case 98: case 100: case 102: case 104:
    case 117: case 118: case 119: case 131: case 132: case 138: case 139: case 142: case 143: case 146: case 147:
    case 150: case 151: case 152: case 153: case 158: case 159: case 162: case 163: case 185: case 186:
        return 1;
    case 2: case 16: case 17: case 18: case 19: case 21: case 22: case 26: case 27: case 28: case 30: case 31:
    case 32: case 33: case 34: case 35: case 36: case 38: case 39: case 40: case 41: case 42: case 43: case 45:
    case 46: case 47: case 48: case 49: case 69: case 72: case 80: case 93: case 99: case 101: case 96: case 97: case 107: case 109:
    case 110: case 121: case 122: case 123: case 124: case 140: case 141: case 144: case 145: case 148: case 149:
    case 154: case 155: case 156: case 157: case 160: case 161: case 164: case 165: case 166: case 167: case 168:
    case 169: case 170: case 171: case 182: case 183: case 184: case 189: case 195: case 197: case 198:
        return 2;
    case 73: case 95: case 136: case 137:
        return 3;
    case 20: case 70: case 192: case 194: case 196: case 200:
        return 4;
    case 193: case 199:
        return 5;
    case 187:
        return 12;
    case 23:
        return Tabs;
    case 188: case 190:
        return Table;
    default:
        return Var;
    }
}

// The size of the operand at `at`, or -1 when it runs past the group.
qint64 operandSize(uint8_t code, ByteView g, qint64 at)
{
    const int8_t kind = operandKind(code);
    if (kind >= 0)
        return kind;
    if (kind == Table)
        return g.ok(at, 2) ? qint64(g.u16(at)) + 1 : -1;
    if (!g.ok(at, 1))
        return -1;
    const int cb = g.u8(at);
    if (kind == Tabs && cb == 255) {
        if (!g.ok(at + 1, 1))
            return -1;
        const int del = g.u8(at + 1);
        const qint64 addAt = at + 2 + 4 * qint64(del);
        if (!g.ok(addAt, 1))
            return -1;
        return 1 + 1 + 4 * qint64(del) + 1 + 3 * qint64(g.u8(addAt));
    }
    return 1 + qint64(cb);
}

// Modifiers whose operand is the same in both forms.
uint16_t sameOperandCode(uint8_t code)
{
    switch (code) {
    case 2: return sprm::PIstd;
    case 12: return sprm::PAnld80;    // kept in its Word 6 form (word6_lists.h)
    case 13: return sprm::PNLvlAnm80;
    case 5: return sprm::PJc80;
    case 7: return sprm::PFKeep;
    case 8: return sprm::PFKeepFollow;
    case 9: return sprm::PFPageBreakBefore;
    case 15: return sprm::PChgTabsPapx;
    case 16: return sprm::PDxaRight80;
    case 17: return sprm::PDxaLeft80;
    case 18: return sprm::PNest80;
    case 19: return sprm::PDxaLeft1_80;
    case 20: return sprm::PDyaLine;
    case 21: return sprm::PDyaBefore;
    case 22: return sprm::PDyaAfter;
    case 23: return sprm::PChgTabs;
    case 24: return sprm::PFInTable;
    case 25: return sprm::PFTtp;
    case 65: return sprm::CFRMarkDel;
    case 66: return sprm::CFRMarkIns;
    case 67: return sprm::CFFldVanish;
    case 71: return sprm::CFData;
    case 75: return sprm::CFOle2;
    case 80: return sprm::CIstd;
    case 85: return sprm::CFBold;
    case 86: return sprm::CFItalic;
    case 87: return sprm::CFStrike;
    case 88: return sprm::CFOutline;
    case 89: return sprm::CFShadow;
    case 90: return sprm::CFSmallCaps;
    case 91: return sprm::CFCaps;
    case 92: return sprm::CFVanish;
    case 93: return sprm::CRgFtc0;
    case 99: return sprm::CHps;
    case 101: return sprm::CHpsPos;
    case 94: return sprm::CKul;
    case 98: return sprm::CIco;
    case 104: return sprm::CIss;
    case 117: return sprm::CFSpec;
    case 142: return sprm::SBkc;
    case 143: return sprm::SFTitlePage;
    case 144: return sprm::SCcolumns;
    case 145: return sprm::SDxaColumns;
    case 153: return sprm::SGprfIhdt;
    case 156: return sprm::SDyaHdrTop;
    case 157: return sprm::SDyaHdrBottom;
    case 162: return sprm::SBOrientation;
    case 164: return sprm::SXaPage;
    case 165: return sprm::SYaPage;
    case 166: return sprm::SDxaLeft;
    case 167: return sprm::SDxaRight;
    case 168: return sprm::SDyaTop;
    case 169: return sprm::SDyaBottom;
    case 170: return sprm::SDzaGutter;
    case 182: return sprm::TJc90;
    case 183: return sprm::TDxaLeft;
    case 184: return sprm::TDxaGapHalf;
    case 185: return sprm::TFCantSplit90;
    case 186: return sprm::TTableHeader;
    case 189: return sprm::TDyaRowHeight;
    default: return 0;
    }
}

// A Word 6/95 border (two bytes) as a Word 97 one (four).
void putBorder(ByteWriter& w, uint16_t brc)
{
    const int width = brc & 0x7;        // in units of 3/4 point
    const int kind = (brc >> 3) & 0x3;  // none, single, thick, double
    const int ico = (brc >> 6) & 0x1F;
    const int space = (brc >> 11) & 0x1F;
    if (brc == 0 || kind == 0) {
        w.u32(0);
        return;
    }
    w.u8(uint8_t(std::max(1, width) * 6));
    w.u8(uint8_t(kind));
    w.u8(uint8_t(ico <= 16 ? ico : 0));
    w.u8(uint8_t(space | ((brc & 0x20) ? 0x20 : 0)));
}

// The row definition: cell bounds, then the cells with two-byte borders
// (10 bytes each), rewritten with 20-byte cells.
void putRowDefinition(ByteWriter& w, ByteView o, bool withBorders)
{
    if (!o.ok(2, 1))
        return;
    const int cells = o.u8(2);
    const qint64 boundsSize = 2 * qint64(cells + 1);
    if (!o.ok(3, boundsSize))
        return;
    QByteArray body;
    ByteWriter b(body);
    b.u8(uint8_t(cells));
    b.bytes(o.data() + 3, boundsSize);
    const qint64 tcAt = 3 + boundsSize;
    for (int i = 0; i < cells && o.ok(tcAt + 10 * qint64(i), 10); ++i) {
        const qint64 at = tcAt + 10 * qint64(i);
        b.u16(o.u16(at));
        b.u16(0);
        for (int s = 0; s < 4; ++s) {
            if (withBorders)
                putBorder(b, o.u16(at + 2 + 2 * s));
            else
                b.u32(0);
        }
    }
    w.u16(sprm::TDefTable);
    w.u16(uint16_t(body.size() - 1 + 2));
    w.bytes(body);
}

void translate(uint8_t code, ByteView o, ByteWriter& w)
{
    if (const uint16_t same = sameOperandCode(code)) {
        w.u16(same);
        w.bytes(o.data(), o.size());
        return;
    }
    switch (code) {
    case 68: // picture location: a count byte, then the location
        if (o.ok(1, 4)) {
            w.u16(sprm::CPicLocation);
            w.u32(o.u32(1));
        }
        break;
    case 74: // symbol: a count byte, the font and an 8-bit code
        if (o.ok(1, 3)) {
            w.u16(sprm::CSymbol);
            w.u16(o.u16(1));
            w.u16(o.u8(3));
        }
        break;
    case 187: // the table's six borders
        w.u16(sprm::TTableBorders80);
        w.u8(24);
        for (int s = 0; s < 6; ++s)
            putBorder(w, o.u16(2 * s));
        break;
    case 188:
    case 190:
        putRowDefinition(w, o, code == 190);
        break;
    default:
        break;
    }
}

} // namespace

int codePageOfLanguage(uint16_t lid)
{
    switch (lid & 0x03FF) {
    case 0x19: // Russian
    case 0x22: // Ukrainian
    case 0x23: // Belarusian
    case 0x02: // Bulgarian
    case 0x2F: // Macedonian
    case 0x3F: // Kazakh
    case 0x40: // Kyrgyz
    case 0x44: // Tatar
    case 0x50: // Mongolian
        return word6::kCp1251;
    case 0x1A: // Serbian, Croatian: Cyrillic for Serbian (Cyrillic)
        return lid == 0x0C1A ? word6::kCp1251 : 1250;
    case 0x05: case 0x0E: case 0x15: case 0x18: case 0x1B: case 0x1C: case 0x24:
        return 1250; // Czech, Hungarian, Polish, Romanian, Slovak, Albanian, Slovenian
    case 0x08: return 1253; // Greek
    case 0x1F: return 1254; // Turkish
    case 0x0D: return 1255; // Hebrew
    case 0x01: return 1256; // Arabic
    case 0x25: case 0x26: case 0x27: return 1257; // Baltic
    default: return word6::kCp1252;
    }
}

int codePageOfCharset(uint8_t charset)
{
    switch (charset) {
    case 204: return word6::kCp1251;
    case 238: return 1250;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    default: return 0; // ANSI and the default set (the document's), symbol, OEM, the Far East sets
    }
}

CodePage::CodePage(int codePage) : number_(codePage)
{
    for (int b = 0; b < 256; ++b)
        chars_[size_t(b)] = char16_t(b);
    for (int b = 0x80; b < 0xA0; ++b)
        chars_[size_t(b)] = kCp1252Control[b - 0x80];
    if (codePage == word6::kCp1251) {
        for (int b = 0x80; b < 0x100; ++b)
            chars_[size_t(b)] = b >= 0xC0 ? char16_t(0x0410 + (b - 0xC0)) : kCp1251High[b - 0x80];
        return;
    }
    if (codePage == word6::kCp1252)
        return;
    // Others as far as Qt knows them; what it does not know reads as 1252.
    QStringDecoder decoder(QStringLiteral("windows-%1").arg(codePage).toLatin1().constData());
    if (!decoder.isValid()) {
        number_ = word6::kCp1252;
        return;
    }
    for (int b = 0x80; b < 0x100; ++b) {
        const char c = char(b);
        const QString s = decoder.decode(QByteArrayView(&c, 1));
        if (s.size() == 1 && s[0] != QChar::ReplacementCharacter)
            chars_[size_t(b)] = s[0].unicode();
        decoder.resetState();
    }
}

QString CodePage::decode(ByteView bytes) const
{
    QString s(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(s.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = chars_[uint8_t(bytes.data()[i])];
    return s;
}

QStringList readWord6Strings(ByteView t, const CodePage& codePage)
{
    QStringList out;
    if (!t.ok(0, 2))
        return out;
    const qint64 size = std::min<qint64>(t.u16(0), t.size());
    qint64 at = 2;
    while (at < size) {
        const qint64 cch = t.u8(at);
        if (at + 1 + cch > size)
            break;
        out << codePage.decode(t.sub(at + 1, cch));
        at += 1 + cch;
    }
    return out;
}

QByteArray word6ToCurrentSprms(ByteView g)
{
    QByteArray out;
    ByteWriter w(out);
    qint64 at = 0;
    while (g.ok(at, 1)) {
        const uint8_t code = g.u8(at);
        ++at;
        const qint64 n = operandSize(code, g, at);
        if (n < 0 || !g.ok(at, n))
            break;
        translate(code, g.sub(at, n), w);
        at += n;
    }
    return out;
}

QByteArray word6PieceModifier(uint16_t prm)
{
    const uint8_t code = (prm >> 1) & 0x7F;
    const uint8_t value = uint8_t(prm >> 8);
    const int8_t kind = operandKind(code);
    if (code == 0 || kind > 1)
        return {};
    QByteArray g;
    g.append(char(code));
    if (kind == 1)
        g.append(char(value));
    return word6ToCurrentSprms(ByteView(g));
}

} // namespace talvora::word
