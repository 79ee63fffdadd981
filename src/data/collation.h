#pragma once
// The Russian collation used for ORDER BY on text: blanks and punctuation,
// then digits, then Latin, then Cyrillic letters in alphabet order (ё after е),
// letter case deciding only between otherwise equal texts.

#include <QString>

struct sqlite3;

namespace talvora::data {

inline constexpr const char* kRussianCollation = "RU";

// <0, 0 or >0 for UTF-8 texts a and b.
int russianCompare(const char* a, int aLen, const char* b, int bLen);
int russianCompare(const QString& a, const QString& b);

void registerRussianCollation(sqlite3* db);

} // namespace talvora::data
