#pragma once
// The streams of a Word 97–2003 file and its file information block (FIB):
// where the tables of the table stream lie and how long each story is.

#include "word/binary.h"

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
    // message for the user when the bytes are not a readable Word 97–2003
    // document: not a Word file, damaged, encrypted, or of an older version.
    explicit WordFile(const QByteArray& fileBytes);
    WordFile(const WordFile&) = delete;
    WordFile& operator=(const WordFile&) = delete;

    ByteView wordStream() const { return wv_; }
    ByteView tableStream() const { return tv_; }
    ByteView dataStream() const { return dv_; } // empty when the file has none

    // The (fc, lcb) pair `index` of the FIB, or (0, 0) past those it has.
    std::pair<uint32_t, uint32_t> fcLcb(int index) const;
    // The bytes of table `index` in the table stream; empty when it is
    // missing or lies outside the stream.
    ByteView tableRange(int index) const;
    // Count `index` of the FIB's longs (fib::LwIndex), as stored.
    int32_t lw(int index) const { return lw_[size_t(index)]; }
    // A story's length as stored, never below 0.
    int32_t storyLength(int lwIndex) const;

private:
    void readFib();

    QByteArray word_;
    QByteArray table_;
    QByteArray data_;
    ByteView wv_, tv_, dv_;
    uint16_t nFib_ = 0;
    uint16_t flags_ = 0;
    std::array<int32_t, 11> lw_{};
    std::vector<std::pair<uint32_t, uint32_t>> fcLcb_;
};

} // namespace talvora::word
