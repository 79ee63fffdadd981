#pragma once
// What Word 6.0 and Word 95 files store differently from Word 97 and later:
// one-byte property modifiers, 8-bit text in the code page of the document
// or of its fonts. The reader turns the modifiers into their Word 97 form and
// the bytes into characters, so the rest of it reads both alike.

#include "word/binary.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>

namespace talvora::word {

namespace word6 {
// nFib of the files Word 6.0 and Word 95 write.
inline constexpr uint16_t kFirstNFib = 101;
inline constexpr uint16_t kLastNFib = 105;

// Where their FIB keeps what the reader needs.
inline constexpr int kLid = 0x06;
inline constexpr int kFcMin = 0x18;
inline constexpr int kFcMac = 0x1C;
inline constexpr int kCbMac = 0x20;
inline constexpr int kCcpText = 0x34; // then ccpFtn, ccpHdd, ccpMcr, ccpAtn, ccpEdn, ccpTxbx, ccpHdrTxbx
inline constexpr int kFcLcb = 0x58;   // (fc, lcb) pairs in the order of Word 97, up to the one below
inline constexpr int kFcLcbCount = 38;
inline constexpr int kPnChpFirst = 0x18A;
inline constexpr int kPnPapFirst = 0x18C;
inline constexpr int kCpnBteChp = 0x18E;
inline constexpr int kCpnBtePap = 0x190;
inline constexpr int kFibSize = 0x192;
// Past the run pages, (fc, lcb) pairs again in the order of Word 97 from the
// one below on; the FIB may end before them (they then lie in the text).
inline constexpr int kFcLcbMore = 0x192;
inline constexpr int kFcLcbMoreFirst = 38;

// The Windows code pages the reader knows.
inline constexpr int kCp1251 = 1251; // Cyrillic
inline constexpr int kCp1252 = 1252; // Western
inline constexpr int kSymbolCharset = 2;
} // namespace word6

// The code page of the text of a document in language `lid`.
int codePageOfLanguage(uint16_t lid);
// The code page a font of character set `charset` stands for; 0 when the
// set leaves it to the document (ANSI and the default set) or is a symbol font.
int codePageOfCharset(uint8_t charset);

// Bytes 0–255 of a single-byte Windows code page as characters; an unknown
// code page reads as 1252. Control bytes stay what they are.
class CodePage {
public:
    explicit CodePage(int codePage);
    int number() const { return number_; }
    char16_t operator[](uint8_t b) const { return chars_[b]; }
    QString decode(ByteView bytes) const;

private:
    int number_;
    std::array<char16_t, 256> chars_{};
};

// The strings of a Word 6/95 string table (STTBF): its size in bytes, then
// strings of a length byte and that many bytes in `codePage`. What runs past
// the table's size or its bytes is left out.
QStringList readWord6Strings(ByteView table, const CodePage& codePage);

// A group of Word 6/95 modifiers in the Word 97 form; what has no Word 97
// counterpart the reader uses is left out. A modifier cut short ends it.
QByteArray word6ToCurrentSprms(ByteView grpprl);
// The single modifier a Word 6/95 piece descriptor may carry in place of a
// group, in the Word 97 form.
QByteArray word6PieceModifier(uint16_t prm);

} // namespace talvora::word
