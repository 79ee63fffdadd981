#pragma once
// The streams of a Word 97–2003 file and its file information block (FIB):
// where the tables of the table stream lie and how long each story is.

#include "word/binary.h"
#include "word/compound_file.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <utility>
#include <vector>

namespace talvora::word {

// Throws talvora::Error saying the document is damaged and what was found wrong.
[[noreturn]] void damagedDoc(const QString& what);

class WordFile {
public:
    // Opens the compound file and reads the FIB. Throws talvora::Error with a
    // message for the user when the bytes are not a readable Word document:
    // not a Word file, damaged, encrypted, or older than Word 6.0.
    explicit WordFile(const QByteArray& fileBytes);
    WordFile(const WordFile&) = delete;
    WordFile& operator=(const WordFile&) = delete;

    ByteView wordStream() const { return wv_; }
    ByteView tableStream() const { return tv_; }
    ByteView dataStream() const { return dv_; } // empty when the file has none
    // The storage of the embedded objects; nothing when the file has none or it is damaged.
    const std::optional<CompoundStorage>& objectPool() const { return objectPool_; }

    // The (fc, lcb) pair `index` of the FIB, or (0, 0) past those it has.
    std::pair<uint32_t, uint32_t> fcLcb(int index) const;
    // The bytes of table `index` in the table stream; empty when it is
    // missing or lies outside the stream.
    ByteView tableRange(int index) const;
    // Count `index` of the FIB's longs (fib::LwIndex), as stored.
    int32_t lw(int index) const { return lw_[size_t(index)]; }
    // A story's length as stored, never below 0.
    int32_t storyLength(int lwIndex) const;

    // A Word 6.0/95 file: one stream, 8-bit text, one-byte modifiers.
    bool word6() const { return word6_; }
    // The code page of 8-bit text where its font does not say (Word 6.0/95).
    int codePage() const { return codePage_; }
    // Where the text of a Word 6.0/95 file lies when it has no piece table.
    uint32_t fcMin() const { return fcMin_; }
    uint32_t fcMac() const { return fcMac_; }
    // How many pages of character (paragraph) runs a Word 6.0/95 file has and
    // the first of them: its tables may leave out pages that follow the last
    // one they list.
    std::pair<uint16_t, uint16_t> runPages(bool paragraphs) const
    {
        return paragraphs ? std::pair{pnPapFirst_, cpnBtePap_} : std::pair{pnChpFirst_, cpnBteChp_};
    }

private:
    void readFib();
    void readWord6Fib();

    QByteArray word_;
    QByteArray table_;
    QByteArray data_;
    ByteView wv_, tv_, dv_;
    std::optional<CompoundStorage> objectPool_;
    uint16_t nFib_ = 0;
    uint16_t flags_ = 0;
    std::array<int32_t, 11> lw_{};
    std::vector<std::pair<uint32_t, uint32_t>> fcLcb_;
    bool word6_ = false;
    int codePage_ = 1252;
    uint32_t fcMin_ = 0, fcMac_ = 0;
    uint16_t pnChpFirst_ = 0, pnPapFirst_ = 0, cpnBteChp_ = 0, cpnBtePap_ = 0;
};

} // namespace talvora::word
