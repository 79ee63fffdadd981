#include "collation.h"

#include <sqlite3.h>

#include <cstring>

namespace talvora::data {

namespace {

// Decodes one UTF-8 code point; malformed bytes are taken one by one.
char32_t nextCodePoint(const unsigned char*& p, const unsigned char* end)
{
    const unsigned char c = *p++;
    if (c < 0x80)
        return c;
    int extra = 0;
    char32_t cp = 0;
    if ((c & 0xE0) == 0xC0) {
        extra = 1;
        cp = c & 0x1F;
    } else if ((c & 0xF0) == 0xE0) {
        extra = 2;
        cp = c & 0x0F;
    } else if ((c & 0xF8) == 0xF0) {
        extra = 3;
        cp = c & 0x07;
    } else {
        return 0xFFFD;
    }
    if (end - p < extra)
        return 0xFFFD;
    for (int i = 0; i < extra; ++i) {
        if ((p[i] & 0xC0) != 0x80)
            return 0xFFFD;
        cp = (cp << 6) | (p[i] & 0x3F);
    }
    p += extra;
    return cp;
}

struct Weight {
    quint32 primary; // letter ignoring case
    quint32 tertiary; // 0 lower case or caseless, 1 upper case
};

Weight weightOf(char32_t c)
{
    constexpr quint32 kPunct = 0x00000000;
    constexpr quint32 kDigit = 0x01000000;
    constexpr quint32 kLatin = 0x02000000;
    constexpr quint32 kCyrillic = 0x03000000;
    constexpr quint32 kOther = 0x04000000;

    if (c >= '0' && c <= '9')
        return {kDigit + quint32(c - '0'), 0};
    if (c >= 'a' && c <= 'z')
        return {kLatin + quint32(c - 'a'), 0};
    if (c >= 'A' && c <= 'Z')
        return {kLatin + quint32(c - 'A'), 1};
    auto cyr = [&](char32_t lower, quint32 upper) -> Weight {
        // а..е keep their places, ё follows е, ж..я move one place on.
        quint32 idx = quint32(lower - 0x430);
        if (lower == 0x451)
            idx = 6;
        else if (idx >= 6)
            idx += 1;
        return {kCyrillic + idx, upper};
    };
    if (c >= 0x430 && c <= 0x44F)
        return cyr(c, 0);
    if (c >= 0x410 && c <= 0x42F)
        return cyr(c + 0x20, 1);
    if (c == 0x451)
        return cyr(0x451, 0);
    if (c == 0x401)
        return cyr(0x451, 1);
    if (c < 0x80 || (c >= 0xA0 && c < 0x100) || (c >= 0x2000 && c < 0x2070))
        return {kPunct + quint32(c), 0};
    return {kOther + quint32(c), 0};
}

int compareLevel(const unsigned char* a, const unsigned char* aEnd, const unsigned char* b,
                 const unsigned char* bEnd, bool tertiary)
{
    while (a < aEnd && b < bEnd) {
        const Weight wa = weightOf(nextCodePoint(a, aEnd));
        const Weight wb = weightOf(nextCodePoint(b, bEnd));
        const quint32 va = tertiary ? wa.tertiary : wa.primary;
        const quint32 vb = tertiary ? wb.tertiary : wb.primary;
        if (va != vb)
            return va < vb ? -1 : 1;
    }
    if (a < aEnd)
        return 1;
    if (b < bEnd)
        return -1;
    return 0;
}

int collate(void*, int aLen, const void* a, int bLen, const void* b)
{
    return russianCompare(static_cast<const char*>(a), aLen, static_cast<const char*>(b), bLen);
}

} // namespace

int russianCompare(const char* a, int aLen, const char* b, int bLen)
{
    const auto* pa = reinterpret_cast<const unsigned char*>(a);
    const auto* pb = reinterpret_cast<const unsigned char*>(b);
    if (int r = compareLevel(pa, pa + aLen, pb, pb + bLen, false))
        return r;
    if (int r = compareLevel(pa, pa + aLen, pb, pb + bLen, true))
        return r;
    const int n = std::min(aLen, bLen);
    if (int r = std::memcmp(a, b, size_t(n)))
        return r < 0 ? -1 : 1;
    return aLen == bLen ? 0 : (aLen < bLen ? -1 : 1);
}

int russianCompare(const QString& a, const QString& b)
{
    const QByteArray ua = a.toUtf8();
    const QByteArray ub = b.toUtf8();
    return russianCompare(ua.constData(), int(ua.size()), ub.constData(), int(ub.size()));
}

void registerRussianCollation(sqlite3* db)
{
    sqlite3_create_collation(db, kRussianCollation, SQLITE_UTF8, nullptr, &collate);
}

} // namespace talvora::data
