#pragma once
// Dates, ages and number checks shared by every window.
//
// Dates travel as three texts (day, month, year) typed into three edits, and
// as QDate values stored in the database. The date 30.12.1899 stands for "no
// date" (a patient still in hospital, a birth date never entered).
//
// The whole-unit computations use fixed average lengths (a year of 365.25
// days, a month of 30.4375 days), not calendar months: 30 days are 0 whole
// months, 31 days are 1.

#include <QDate>
#include <QDateTime>
#include <QString>

namespace talvora {

// The date that means "no date": 30.12.1899.
QDate EmptyDate();
// True for the empty date and for a null QDate (a column holding nothing).
bool IsEmptyDate(const QDate& date);

// The three texts of a day, month and year edit.
struct DateParts {
    QString day;
    QString month;
    QString year;

    bool operator==(const DateParts&) const = default;
};

// True when the text is not empty and holds only the digits 0 to 9.
bool IsDigitString(const QString& text);

// The plausibility check of three typed parts: all digits, day 1..31, month
// 1..12, and at most 29 in February. The year is not checked, so 31.04 and
// 29.02 of any year pass; DateFromParts rejects them.
bool IsValidDateParts(const QString& day, const QString& month, const QString& year);
bool IsValidDateParts(const DateParts& parts);

// Completes a year typed with one or two digits: the window of a hundred
// years starts fifty years before `currentYear` (in 2004, 30 gives 2030 and
// 60 gives 1960).
int CompleteTwoDigitYear(int year, int currentYear);

// The date named by three parts. All three empty give the empty date. Parts
// that fail IsValidDateParts, or name a day that does not exist (31.04,
// 29.02 of a common year), or a year outside 1..9999, throw talvora::Error.
// A year of one or two digits is completed by CompleteTwoDigitYear.
QDate DateFromParts(const QString& day, const QString& month, const QString& year);
QDate DateFromParts(const QString& day, const QString& month, const QString& year,
                    int currentYear);
QDate DateFromParts(const DateParts& parts);
QDate DateFromParts(const DateParts& parts, int currentYear);

// A date typed as one text "d.m.y" (as in "12.12.02"), read by the same rules
// as DateFromParts. A text without exactly two dots throws talvora::Error.
QDate DateFromText(const QString& text);
QDate DateFromText(const QString& text, int currentYear);

// What the three edits show for a date: "05", "03", "1965"; all three empty
// for the empty date.
DateParts ShowDateInParts(const QDate& date);

// The date as "dd.MM.yyyy"; the empty text for the empty date.
QString DateText(const QDate& date);

// Absolute differences, truncated toward zero. Symmetric in their arguments.
// Days between date-times count wall-clock days: a day across a change of
// summer time is still one day.
long long WholeDaysBetween(const QDateTime& a, const QDateTime& b);
long long WholeDaysBetween(const QDate& a, const QDate& b);
int WholeYearsBetween(const QDate& a, const QDate& b);
int WholeMonthsBetween(const QDate& a, const QDate& b);

// The period between two dates in Russian words, as the age label shows it:
// "45 лет ", "1  год 1 месяц ", "6 месяцев ", "1 месяц 15 дней ", "0 дней ".
QString AgeText(const QDate& a, const QDate& b);

} // namespace talvora
