#include "word/doc_reader_text.h"

#include "word/doc_reader_file.h"
#include "word/fib.h"
#include "word/sprm.h"
#include "word/symbol_fonts.h"
#include "word/word6_format.h"

#include <algorithm>
#include <iterator>

namespace talvora::word {

namespace {

// Bytes 0x80–0x9F of 8-bit text pieces stand for these characters; every
// other byte is the code point of the same value.
constexpr char16_t kCompressedHigh[32] = {
    0x0080, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x008E, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x009E, 0x0178,
};

// A piece may carry one modifier with a one-byte operand in place of a
// reference to a group: its number selects the modifier.
QByteArray singleModifier(uint16_t prm)
{
    static const std::pair<uint8_t, uint16_t> table[] = {
        {0x04, sprm::PJc80},          {0x05, sprm::PJc80},       {0x07, sprm::PFKeep},
        {0x08, sprm::PFKeepFollow},   {0x09, sprm::PFPageBreakBefore}, {0x18, sprm::PFInTable},
        {0x19, sprm::PFTtp},          {0x41, sprm::CFRMarkDel},  {0x43, sprm::CFFldVanish},
        {0x4D, sprm::CHighlight},     {0x55, sprm::CFBold},      {0x56, sprm::CFItalic},
        {0x57, sprm::CFStrike},       {0x58, sprm::CFOutline},   {0x59, sprm::CFShadow},
        {0x5A, sprm::CFSmallCaps},    {0x5B, sprm::CFCaps},      {0x5C, sprm::CFVanish},
        {0x5E, sprm::CKul},
    };
    const uint8_t isprm = (prm >> 1) & 0x7F;
    const uint8_t value = uint8_t(prm >> 8);
    for (auto [index, code] : table) {
        if (index == isprm) {
            QByteArray g;
            ByteWriter w(g);
            w.u16(code);
            w.u8(value);
            return g;
        }
    }
    return {};
}

} // namespace

TextPieces::TextPieces(const WordFile& file)
    : wordStream_(file.wordStream())
    , word6_(file.word6())
    , codePage_(file.codePage())
{
    if (word6_ && file.tableRange(fib::Clx).size() == 0)
        readUnbrokenText(file); // saved whole, without a piece table
    else
        readPieces(file);
    readText(file.wordStream());
}

// All stories one after another from fcMin, 8-bit; the last paragraph mark
// after the stories beyond the main text belongs to none of them.
void TextPieces::readUnbrokenText(const WordFile& file)
{
    qint64 total = 0;
    for (int i = fib::CcpText; i <= fib::CcpHdrTxbx; ++i)
        total += file.storyLength(i);
    if (total > file.storyLength(fib::CcpText))
        ++total;
    const ByteView wv = file.wordStream();
    const qint64 fcMin = file.fcMin();
    if (file.fcMac() > file.fcMin())
        total = std::min<qint64>(total, qint64(file.fcMac()) - fcMin);
    if (!wv.ok(fcMin, 0))
        damagedDoc(QStringLiteral("текст начинается за границей потока"));
    total = std::min<qint64>(total, wv.size() - fcMin);
    if (total <= 0)
        damagedDoc(QStringLiteral("в документе нет текста"));
    Piece p;
    p.cpEnd = int32_t(total);
    p.fc = uint32_t(fcMin);
    p.compressed = true;
    p.prm = 0;
    pieces_.push_back(p);
    prm0_.emplace_back();
}

void TextPieces::readPieces(const WordFile& file)
{
    const ByteView wv = file.wordStream();
    const ByteView clx = file.tableRange(fib::Clx);
    if (clx.size() == 0)
        damagedDoc(QStringLiteral("нет таблицы фрагментов текста"));
    qint64 at = 0;
    ByteView plc;
    bool found = false;
    while (clx.ok(at, 1)) {
        const uint8_t type = clx.u8(at);
        if (type == 1) {
            const int16_t cb = clx.i16(at + 1);
            if (cb < 0)
                damagedDoc(QStringLiteral("неверная длина свойств фрагмента"));
            if (word6_)
                word6Prcs_.push_back(word6ToCurrentSprms(clx.sub(at + 3, cb)));
            else
                prcs_.push_back(clx.sub(at + 3, cb));
            at += 3 + cb;
        } else if (type == 2) {
            const uint32_t lcb = clx.u32(at + 1);
            plc = clx.sub(at + 5, lcb);
            found = true;
            break;
        } else {
            damagedDoc(QStringLiteral("неверная таблица фрагментов текста"));
        }
    }
    if (!found || plc.size() < 4 + 12)
        damagedDoc(QStringLiteral("нет таблицы фрагментов текста"));
    for (const QByteArray& g : word6Prcs_)
        prcs_.push_back(ByteView(g));
    const qint64 n = (plc.size() - 4) / 12;
    pieces_.reserve(size_t(n));
    int32_t previous = 0;
    qint64 totalChars = 0;
    for (qint64 i = 0; i < n; ++i) {
        Piece p;
        p.cpStart = plc.i32(4 * i);
        p.cpEnd = plc.i32(4 * (i + 1));
        const qint64 pcd = 4 * (n + 1) + 8 * i;
        const uint32_t fcRaw = plc.u32(pcd + 2);
        p.prm = plc.u16(pcd + 6);
        // Word 6.0/95 text is all 8-bit, at the offset as it stands.
        p.compressed = word6_ || (fcRaw & 0x40000000) != 0;
        p.fc = word6_ ? fcRaw : p.compressed ? (fcRaw & 0x3FFFFFFF) / 2 : (fcRaw & 0x3FFFFFFF);
        if (p.cpStart != previous || p.cpEnd < p.cpStart)
            damagedDoc(QStringLiteral("фрагменты текста не следуют друг за другом"));
        const qint64 chars = qint64(p.cpEnd) - p.cpStart;
        if (!wv.ok(p.fc, chars * p.bytesPerChar()))
            damagedDoc(QStringLiteral("фрагмент текста выходит за границы потока"));
        totalChars += chars;
        // Every character occupies at least one byte of the stream, so a longer
        // text means pieces reuse the same bytes: refuse it rather than grow.
        if (totalChars > wv.size())
            damagedDoc(QStringLiteral("фрагменты текста длиннее потока"));
        previous = p.cpEnd;
        pieces_.push_back(p);
        prm0_.push_back((p.prm & 1) ? QByteArray() : word6_ ? word6PieceModifier(p.prm) : singleModifier(p.prm));
    }
}

void TextPieces::readText(ByteView wordStream)
{
    qint64 total = pieces_.empty() ? 0 : pieces_.back().cpEnd;
    text_.resize(qsizetype(total));
    char16_t* out = reinterpret_cast<char16_t*>(text_.data());
    const CodePage codePage(word6_ ? codePage_ : word6::kCp1252);
    for (const Piece& p : pieces_) {
        const qint64 chars = qint64(p.cpEnd) - p.cpStart;
        const char* src = wordStream.data() + p.fc;
        char16_t* dst = out + p.cpStart;
        if (p.compressed) {
            for (qint64 i = 0; i < chars; ++i) {
                const uint8_t b = uint8_t(src[i]);
                dst[i] = word6_ ? codePage[b] : (b >= 0x80 && b <= 0x9F) ? kCompressedHigh[b - 0x80] : char16_t(b);
            }
        } else {
            for (qint64 i = 0; i < chars; ++i)
                dst[i] = le16(src + 2 * i);
        }
    }
    textLength_ = int32_t(total);
}

void TextPieces::recode(int32_t from, int32_t to, int codePage, const QString& symbolFont)
{
    if (!word6_)
        return;
    from = std::max(from, 0);
    to = std::min(to, textLength_);
    const CodePage table(codePage ? codePage : codePage_);
    char16_t* out = reinterpret_cast<char16_t*>(text_.data());
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), from,
                               [](int32_t v, const Piece& p) { return v < p.cpStart; });
    if (it != pieces_.begin())
        --it;
    for (; it != pieces_.end() && it->cpStart < to; ++it) {
        for (int32_t cp = std::max(from, it->cpStart); cp < std::min(to, it->cpEnd); ++cp) {
            const uint8_t b = uint8_t(wordStream_.data()[it->fc + uint32_t(cp - it->cpStart)]);
            if (b < 0x20) // paragraph marks, cells, fields and the like keep their meaning
                continue;
            if (codePage == 0 && !symbolFont.isEmpty()) {
                // The font's own codes; what a code stands for is the symbol's.
                const QString s = symbolText(symbolFont, b).text;
                out[cp] = s.size() == 1 ? s[0].unicode() : char16_t(0xF000 + b);
            } else {
                out[cp] = table[b];
            }
        }
    }
}

uint32_t TextPieces::fcOf(int32_t cp, int* pieceIndex) const
{
    auto it = std::upper_bound(pieces_.begin(), pieces_.end(), cp,
                               [](int32_t v, const Piece& p) { return v < p.cpStart; });
    if (it == pieces_.begin())
        return 0;
    --it;
    if (it->cpEnd <= cp && std::next(it) != pieces_.end())
        ++it;
    if (pieceIndex)
        *pieceIndex = int(it - pieces_.begin());
    return it->fc + uint32_t(cp - it->cpStart) * uint32_t(it->bytesPerChar());
}

ByteView TextPieces::pieceGrpprl(int piece) const
{
    const uint16_t prm = pieces_[size_t(piece)].prm;
    if (prm & 1) {
        const size_t index = prm >> 1;
        if (index < prcs_.size())
            return prcs_[index];
        return {};
    }
    return ByteView(prm0_[size_t(piece)]);
}

} // namespace talvora::word
