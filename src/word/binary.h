#pragma once
// Little-endian reading and writing over byte buffers. Every read is checked
// against the end of the buffer; a read past it throws talvora::Error with the
// message given by the caller's context, so hostile lengths never reach memory
// outside the buffer.

#include "common/errors.h"

#include <QByteArray>
#include <QString>
#include <QtEndian>

#include <cstdint>
#include <cstring>

namespace talvora::word {

inline uint16_t le16(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint16_t(u[0] | (u[1] << 8));
}

inline uint32_t le32(const char* p)
{
    const auto* u = reinterpret_cast<const unsigned char*>(p);
    return uint32_t(u[0]) | (uint32_t(u[1]) << 8) | (uint32_t(u[2]) << 16) | (uint32_t(u[3]) << 24);
}

inline uint64_t le64(const char* p)
{
    return uint64_t(le32(p)) | (uint64_t(le32(p + 4)) << 32);
}

// A bounded view of bytes. `ok(offset, size)` tells whether the range lies
// inside; the read functions throw when it does not.
class ByteView {
public:
    ByteView() = default;
    ByteView(const char* data, qsizetype size) : data_(data), size_(size) {}
    explicit ByteView(const QByteArray& bytes) : data_(bytes.constData()), size_(bytes.size()) {}

    qsizetype size() const { return size_; }
    const char* data() const { return data_; }

    bool ok(qint64 offset, qint64 size) const
    {
        return offset >= 0 && size >= 0 && offset <= size_ && size <= size_ - offset;
    }

    uint8_t u8(qint64 offset) const { check(offset, 1); return uint8_t(data_[offset]); }
    uint16_t u16(qint64 offset) const { check(offset, 2); return le16(data_ + offset); }
    int16_t i16(qint64 offset) const { return int16_t(u16(offset)); }
    uint32_t u32(qint64 offset) const { check(offset, 4); return le32(data_ + offset); }
    int32_t i32(qint64 offset) const { return int32_t(u32(offset)); }

    ByteView sub(qint64 offset, qint64 size) const
    {
        check(offset, size);
        return ByteView(data_ + offset, qsizetype(size));
    }

    // A copy of [offset, offset + size).
    QByteArray bytes(qint64 offset, qint64 size) const
    {
        check(offset, size);
        return QByteArray(data_ + offset, qsizetype(size));
    }

    void check(qint64 offset, qint64 size) const
    {
        if (!ok(offset, size))
            throw Error(QStringLiteral("Документ повреждён: данные выходят за границы потока"));
    }

private:
    const char* data_ = nullptr;
    qsizetype size_ = 0;
};

// Appends little-endian values to a QByteArray.
class ByteWriter {
public:
    explicit ByteWriter(QByteArray& out) : out_(out) {}

    void u8(uint8_t v) { out_.append(char(v)); }
    void u16(uint16_t v) { char b[2] = {char(v & 0xFF), char(v >> 8)}; out_.append(b, 2); }
    void i16(int16_t v) { u16(uint16_t(v)); }
    void u32(uint32_t v)
    {
        char b[4] = {char(v & 0xFF), char((v >> 8) & 0xFF), char((v >> 16) & 0xFF), char(v >> 24)};
        out_.append(b, 4);
    }
    void i32(int32_t v) { u32(uint32_t(v)); }
    void u64(uint64_t v) { u32(uint32_t(v)); u32(uint32_t(v >> 32)); }
    void bytes(const QByteArray& b) { out_.append(b); }
    // UTF-16 text, little-endian, in one piece.
    void utf16(const QString& text)
    {
        const qsizetype at = out_.size();
        out_.resize(at + text.size() * 2);
        qToLittleEndian<quint16>(text.utf16(), text.size(), out_.data() + at);
    }
    void bytes(const char* p, qsizetype n) { out_.append(p, n); }
    void zeros(qsizetype n) { out_.append(n, '\0'); }
    void padTo(qsizetype multiple)
    {
        const qsizetype rest = out_.size() % multiple;
        if (rest)
            zeros(multiple - rest);
    }
    qsizetype pos() const { return out_.size(); }

private:
    QByteArray& out_;
};

// Overwrites a value already written.
inline void put16(QByteArray& out, qsizetype at, uint16_t v)
{
    out[at] = char(v & 0xFF);
    out[at + 1] = char(v >> 8);
}

inline void put32(QByteArray& out, qsizetype at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        out[at + i] = char((v >> (8 * i)) & 0xFF);
}

} // namespace talvora::word
