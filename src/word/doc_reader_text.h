#pragma once
// The text of a Word file: the piece table that says where each stretch of
// characters lies in the WordDocument stream (8-bit or Unicode) and which
// properties the piece itself adds, and the text of all stories read
// through it. The 8-bit text of Word 6.0/95 files is in a code page of its
// own: the document's, or that of the font of each run.

#include "word/binary.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace talvora::word {

class WordFile;

struct Piece {
    int32_t cpStart = 0, cpEnd = 0;
    uint32_t fc = 0;       // byte offset of the first character
    bool compressed = false;
    uint16_t prm = 0;
    int bytesPerChar() const { return compressed ? 1 : 2; }
};

class TextPieces {
public:
    // Reads the piece table and the text; throws talvora::Error when the
    // table is damaged.
    explicit TextPieces(const WordFile& file);
    TextPieces(const TextPieces&) = delete;
    TextPieces& operator=(const TextPieces&) = delete;

    // All stories, one after another.
    const QString& text() const { return text_; }
    const char16_t* chars() const { return reinterpret_cast<const char16_t*>(text_.constData()); }
    int32_t length() const { return textLength_; }
    const std::vector<Piece>& pieces() const { return pieces_; }

    // Where character `cp` lies in the WordDocument stream, with the index of its piece.
    uint32_t fcOf(int32_t cp, int* pieceIndex = nullptr) const;
    // The modifiers piece `piece` adds to its characters and paragraphs.
    ByteView pieceGrpprl(int piece) const;

    // Reads the 8-bit characters [from, to) again in `codePage` (Word 6.0/95
    // files), or as the codes of a symbol font when `codePage` is 0 and
    // `symbolFont` names one. The text keeps its length and place in memory.
    void recode(int32_t from, int32_t to, int codePage, const QString& symbolFont = {});

private:
    void readPieces(const WordFile& file);
    void readUnbrokenText(const WordFile& file);
    void readText(ByteView wordStream);

    std::vector<Piece> pieces_;
    std::vector<ByteView> prcs_;
    std::vector<QByteArray> prm0_; // per piece: its single modifier, if any
    std::vector<QByteArray> word6Prcs_; // the groups of a Word 6.0/95 file, as Word 97 writes them
    ByteView wordStream_;
    bool word6_ = false;
    int codePage_ = 0;
    QString text_;
    int32_t textLength_ = 0;
};

} // namespace talvora::word
