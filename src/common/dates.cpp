#include "dates.h"

#include "errors.h"

#include <QStringList>

#include <cstdlib>
#include <initializer_list>

namespace talvora {

namespace {

constexpr long long kMsecsPerDay = 86400000LL;

// The value of a digit string; saturates instead of overflowing, so a long
// run of digits is simply "too big" for every check.
long long digitsValue(const QString& text)
{
    constexpr long long kCap = 1'000'000'000LL;
    long long value = 0;
    for (QChar c : text) {
        value = value * 10 + (c.unicode() - u'0');
        if (value > kCap)
            return kCap;
    }
    return value;
}

// The word after a number is chosen by its last digit: one (1), few (2-4),
// many (0, 5-9). The numbers listed in `manyExactly` take the "many" word
// whatever their last digit; the department's documents have always been
// worded this way (12 days read "12 дня", 111 years "111 год").
struct UnitWords {
    const char* one;
    const char* few;
    const char* many;
    std::initializer_list<long long> manyExactly;
};

const UnitWords kYears{" год ", " года ", " лет ", {11, 12, 13, 14}};
const UnitWords kMonths{" месяц ", " месяца ", " месяцев ", {11}};
const UnitWords kDays{" день ", " дня ", " дней ", {11}};

QString unitWord(long long n, const UnitWords& words)
{
    for (long long m : words.manyExactly)
        if (n == m)
            return QString::fromUtf8(words.many);
    const long long last = n % 10;
    if (last == 1)
        return QString::fromUtf8(words.one);
    if (last >= 2 && last <= 4)
        return QString::fromUtf8(words.few);
    return QString::fromUtf8(words.many);
}

QString counted(long long n, const UnitWords& words)
{
    return QString::number(n) + unitWord(n, words);
}

[[noreturn]] void invalidDate(const QString& typed, const QString& reason)
{
    throw Error(QStringLiteral("Неверная дата «%1»: %2").arg(typed, reason));
}

} // namespace

QDate EmptyDate()
{
    return QDate(1899, 12, 30);
}

bool IsEmptyDate(const QDate& date)
{
    return date.isNull() || date == EmptyDate();
}

bool IsDigitString(const QString& text)
{
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

bool IsValidDateParts(const QString& day, const QString& month, const QString& year)
{
    if (!IsDigitString(day) || !IsDigitString(month) || !IsDigitString(year))
        return false;
    const long long d = digitsValue(day);
    const long long m = digitsValue(month);
    if (d < 1 || d > 31 || m < 1 || m > 12)
        return false;
    if (m == 2 && d > 29)
        return false;
    return true;
}

bool IsValidDateParts(const DateParts& parts)
{
    return IsValidDateParts(parts.day, parts.month, parts.year);
}

int CompleteTwoDigitYear(int year, int currentYear)
{
    const int windowStart = currentYear - 50;
    int result = windowStart - windowStart % 100 + year;
    if (result < windowStart)
        result += 100;
    return result;
}

QDate DateFromParts(const QString& day, const QString& month, const QString& year,
                    int currentYear)
{
    if (day.isEmpty() && month.isEmpty() && year.isEmpty())
        return EmptyDate();

    const QString typed = day + u'.' + month + u'.' + year;
    if (!IsValidDateParts(day, month, year)) {
        invalidDate(typed, QStringLiteral("день должен быть числом от 1 до 31, месяц — "
                                          "от 1 до 12, год — числом."));
    }

    long long y = digitsValue(year);
    if (year.size() <= 2)
        y = CompleteTwoDigitYear(int(y), currentYear);
    if (y < 1 || y > 9999)
        invalidDate(typed, QStringLiteral("год должен быть от 1 до 9999."));

    const QDate date(int(y), int(digitsValue(month)), int(digitsValue(day)));
    if (!date.isValid())
        invalidDate(typed, QStringLiteral("такого дня в этом месяце нет."));
    return date;
}

QDate DateFromParts(const QString& day, const QString& month, const QString& year)
{
    return DateFromParts(day, month, year, QDate::currentDate().year());
}

QDate DateFromParts(const DateParts& parts)
{
    return DateFromParts(parts.day, parts.month, parts.year);
}

QDate DateFromParts(const DateParts& parts, int currentYear)
{
    return DateFromParts(parts.day, parts.month, parts.year, currentYear);
}

QDate DateFromText(const QString& text, int currentYear)
{
    const QStringList pieces = text.split(u'.');
    if (pieces.size() != 3)
        invalidDate(text, QStringLiteral("дата пишется как день.месяц.год."));
    return DateFromParts(pieces[0], pieces[1], pieces[2], currentYear);
}

QDate DateFromText(const QString& text)
{
    return DateFromText(text, QDate::currentDate().year());
}

QString DateText(const QDate& date)
{
    if (IsEmptyDate(date))
        return QString();
    return date.toString(QStringLiteral("dd.MM.yyyy"));
}

DateParts ShowDateInParts(const QDate& date)
{
    const QStringList pieces = DateText(date).split(u'.');
    if (pieces.size() != 3)
        return {};
    return {pieces[0], pieces[1], pieces[2]};
}

long long WholeDaysBetween(const QDateTime& a, const QDateTime& b)
{
    // Compare the wall-clock readings of both moments in one time frame, so
    // that a summer-time change between them does not shorten a day.
    QDateTime from = a;
    QDateTime to = b;
    if (from.timeSpec() != to.timeSpec()) {
        from = from.toLocalTime();
        to = to.toLocalTime();
    }
    const long long msecs = from.date().daysTo(to.date()) * kMsecsPerDay
                            + to.time().msecsSinceStartOfDay()
                            - from.time().msecsSinceStartOfDay();
    return std::llabs(msecs) / kMsecsPerDay;
}

long long WholeDaysBetween(const QDate& a, const QDate& b)
{
    return std::llabs(a.daysTo(b));
}

int WholeYearsBetween(const QDate& a, const QDate& b)
{
    // days / 365.25, kept in whole numbers
    return int(WholeDaysBetween(a, b) * 4 / 1461);
}

int WholeMonthsBetween(const QDate& a, const QDate& b)
{
    // days / 30.4375, kept in whole numbers
    return int(WholeDaysBetween(a, b) * 16 / 487);
}

QString AgeText(const QDate& a, const QDate& b)
{
    const long long years = WholeYearsBetween(a, b);
    const long long months = WholeMonthsBetween(a, b) - 12 * years;

    if (years >= 3)
        return counted(years, kYears);

    if (years > 0 || months >= 6) {
        QString text;
        if (years > 0)
            text = QString::number(years) + u' ' + unitWord(years, kYears);
        if (months > 0)
            text += counted(months, kMonths);
        return text;
    }

    const long long days = WholeDaysBetween(a, b) - 30 * months;
    if (months > 0)
        return counted(months, kMonths) + counted(days, kDays);
    return counted(days, kDays);
}

} // namespace talvora
