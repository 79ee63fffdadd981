#include "common/dates.h"
#include "common/errors.h"

#include <gtest/gtest.h>

#include <QTimeZone>

using namespace talvora;

namespace {

QDate daysAfter(int days)
{
    return QDate(2001, 3, 1).addDays(days);
}

QString ageOfDays(int days)
{
    return AgeText(QDate(2001, 3, 1), daysAfter(days));
}

QString errorOf(const DateParts& parts, int currentYear = 2004)
{
    try {
        DateFromParts(parts, currentYear);
    } catch (const Error& e) {
        return e.message();
    }
    return QString();
}

} // namespace

TEST(DigitString, OnlyNonEmptyRunsOfAsciiDigitsPass)
{
    EXPECT_TRUE(IsDigitString("0"));
    EXPECT_TRUE(IsDigitString("007"));
    EXPECT_TRUE(IsDigitString("1234567890123456789012345"));
    for (const char* text : {"", " ", "-1", "+1", " 1", "1 ", "1,5", "1.5", "12a", "O1"})
        EXPECT_FALSE(IsDigitString(QString::fromUtf8(text))) << text;
    // Other scripts' digits are not digits here.
    EXPECT_FALSE(IsDigitString(QString::fromUtf8("١٢")));
    EXPECT_FALSE(IsDigitString(QString::fromUtf8("１２")));
}

TEST(DateParts, PlausibilityCheckLeavesMonthLengthsToTheConversion)
{
    EXPECT_TRUE(IsValidDateParts("05", "03", "1965"));
    EXPECT_TRUE(IsValidDateParts("31", "04", "2003"));
    EXPECT_TRUE(IsValidDateParts("29", "02", "2003"));
    EXPECT_TRUE(IsValidDateParts("1", "1", "0"));
    EXPECT_TRUE(IsValidDateParts("31", "12", "99999")); // the year is not checked
    EXPECT_FALSE(IsValidDateParts("30", "02", "2004"));
    EXPECT_FALSE(IsValidDateParts("0", "1", "2004"));
    EXPECT_FALSE(IsValidDateParts("32", "1", "2004"));
    EXPECT_FALSE(IsValidDateParts("1", "0", "2004"));
    EXPECT_FALSE(IsValidDateParts("1", "13", "2004"));
    EXPECT_FALSE(IsValidDateParts("1", "1", ""));
    EXPECT_FALSE(IsValidDateParts("", "", ""));
    EXPECT_FALSE(IsValidDateParts("1a", "1", "2004"));
    EXPECT_FALSE(IsValidDateParts("1", "1", "20 04"));
    // Digit runs too long for any integer must not wrap round into range.
    EXPECT_FALSE(IsValidDateParts("18446744073709551617", "1", "2004"));
}

TEST(DateParts, TwoDigitYearsSlideWithTheCurrentYear)
{
    EXPECT_EQ(CompleteTwoDigitYear(30, 2004), 2030);
    EXPECT_EQ(CompleteTwoDigitYear(60, 2004), 1960);
    EXPECT_EQ(CompleteTwoDigitYear(54, 2004), 1954);
    EXPECT_EQ(CompleteTwoDigitYear(53, 2004), 2053);
    EXPECT_EQ(CompleteTwoDigitYear(2, 2052), 2002);
    EXPECT_EQ(CompleteTwoDigitYear(2, 2053), 2102);

    EXPECT_EQ(DateFromParts({"1", "2", "30"}, 2004), QDate(2030, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "60"}, 2004), QDate(1960, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "5"}, 2004), QDate(2005, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "0"}, 2004), QDate(2000, 2, 1));
    // Three and four digits are taken as written.
    EXPECT_EQ(DateFromParts({"1", "2", "030"}, 2004), QDate(30, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "0030"}, 2004), QDate(30, 2, 1));

    EXPECT_EQ(DateFromText("12.12.02", 2024), QDate(2002, 12, 12));
    EXPECT_EQ(DateFromText("12.12.02", 2052), QDate(2002, 12, 12));
    EXPECT_EQ(DateFromText("12.12.02", 2053), QDate(2102, 12, 12));
}

TEST(DateParts, ConversionOfGoodParts)
{
    EXPECT_EQ(DateFromParts({"05", "03", "1965"}, 2004), QDate(1965, 3, 5));
    EXPECT_EQ(DateFromParts({"5", "3", "1965"}, 2004), QDate(1965, 3, 5));
    EXPECT_EQ(DateFromParts({"29", "02", "2004"}, 2004), QDate(2004, 2, 29));
    EXPECT_EQ(DateFromParts({"31", "12", "9999"}, 2004), QDate(9999, 12, 31));
    EXPECT_EQ(DateFromParts({"", "", ""}, 2004), EmptyDate());
    EXPECT_EQ(DateFromParts("", "", ""), QDate(1899, 12, 30));
    // Without a year given, today's year drives the window.
    const int thisYear = QDate::currentDate().year();
    EXPECT_EQ(DateFromParts("1", "1", QString::number(thisYear % 100)).year(), thisYear);
}

TEST(DateParts, DaysMissingFromTheirMonthAreInvalidDateErrors)
{
    for (const DateParts& parts : {DateParts{"29", "02", "2003"}, DateParts{"31", "04", "2003"},
                                   DateParts{"31", "06", "1999"}, DateParts{"29", "2", "00"}}) {
        const QString message = errorOf(parts, 2054); // "00" is 2100 then: a common year
        EXPECT_TRUE(message.startsWith(QString::fromUtf8("Неверная дата «")))
            << parts.day.toStdString() << "." << parts.month.toStdString();
        EXPECT_TRUE(message.contains(QString::fromUtf8("такого дня в этом месяце нет")));
    }
    EXPECT_TRUE(errorOf({"29", "02", "2003"}).contains(QString::fromUtf8("«29.02.2003»")));
}

TEST(DateParts, PartsThatFailTheCheckAreRejectedNotStoredAsNoDate)
{
    for (const DateParts& parts :
         {DateParts{"30", "02", "2004"}, DateParts{"32", "01", "2004"}, DateParts{"1", "13", "2004"},
          DateParts{"1", "1", ""}, DateParts{"", "", "2004"}, DateParts{"a", "1", "2004"},
          DateParts{" ", "", ""}, DateParts{"-1", "1", "2004"}}) {
        EXPECT_FALSE(errorOf(parts).isEmpty())
            << "«" << parts.day.toStdString() << "." << parts.month.toStdString() << "."
            << parts.year.toStdString() << "» was accepted";
    }
    EXPECT_TRUE(errorOf({"32", "01", "2004"}).contains(QString::fromUtf8("«32.01.2004»")));
    // Year 0 and five-digit years have no place in the date columns.
    EXPECT_FALSE(errorOf({"1", "1", "0000"}).isEmpty());
    EXPECT_FALSE(errorOf({"1", "1", "10000"}).isEmpty());
    EXPECT_FALSE(errorOf({"1", "1", "99999999999999999999999"}).isEmpty());

    EXPECT_THROW(DateFromText("12.12", 2004), Error);
    EXPECT_THROW(DateFromText("12.12.02.1", 2004), Error);
    EXPECT_EQ(DateFromText("..", 2004), EmptyDate());
}

TEST(DateParts, ShownInThreeEditsAndReadBack)
{
    EXPECT_EQ(ShowDateInParts(QDate(1965, 3, 5)), (DateParts{"05", "03", "1965"}));
    EXPECT_EQ(ShowDateInParts(QDate(2030, 12, 31)), (DateParts{"31", "12", "2030"}));
    EXPECT_EQ(ShowDateInParts(EmptyDate()), DateParts{});
    EXPECT_EQ(ShowDateInParts(QDate()), DateParts{});
    EXPECT_EQ(DateText(QDate(1965, 3, 5)), "05.03.1965");
    EXPECT_EQ(DateText(EmptyDate()), "");

    for (const QDate& date : {QDate(1965, 3, 5), QDate(2004, 2, 29), QDate(1900, 1, 1), EmptyDate()})
        EXPECT_EQ(DateFromParts(ShowDateInParts(date), 2004), date) << date.toString().toStdString();
}

TEST(WholeUnits, FixedAverageLengthsTruncatedAndSymmetric)
{
    const QDate a(2001, 3, 1);
    EXPECT_EQ(WholeMonthsBetween(a, a.addDays(30)), 0);
    EXPECT_EQ(WholeMonthsBetween(a, a.addDays(31)), 1);
    EXPECT_EQ(WholeMonthsBetween(a, a.addDays(365)), 11);
    EXPECT_EQ(WholeYearsBetween(a, a.addDays(365)), 0);
    EXPECT_EQ(WholeYearsBetween(a, a.addDays(366)), 1);
    EXPECT_EQ(WholeYearsBetween(a, a.addDays(3652)), 9);
    EXPECT_EQ(WholeYearsBetween(a, a.addDays(3653)), 10);
    EXPECT_EQ(WholeYearsBetween(QDate(2000, 1, 1), QDate(2010, 1, 1)), 10);
    // The empty date is an ordinary date to these computations.
    EXPECT_EQ(WholeYearsBetween(QDate(2004, 1, 1), EmptyDate()), 104);

    for (int days : {0, 1, 30, 31, 365, 366, 730, 731, 40000}) {
        const QDate b = a.addDays(days);
        EXPECT_EQ(WholeDaysBetween(a, b), days);
        EXPECT_EQ(WholeDaysBetween(b, a), days);
        EXPECT_EQ(WholeYearsBetween(a, b), WholeYearsBetween(b, a));
        EXPECT_EQ(WholeMonthsBetween(a, b), WholeMonthsBetween(b, a));
    }
}

TEST(WholeUnits, DaysBetweenMomentsCountWallClockDays)
{
    const QDateTime admitted(QDate(2023, 3, 20), QTime(14, 0));
    EXPECT_EQ(WholeDaysBetween(admitted, QDateTime(QDate(2023, 3, 21), QTime(13, 59))), 0);
    EXPECT_EQ(WholeDaysBetween(admitted, QDateTime(QDate(2023, 3, 21), QTime(14, 0))), 1);
    EXPECT_EQ(WholeDaysBetween(QDateTime(QDate(2023, 3, 22), QTime(9, 0)), admitted), 1);
    EXPECT_EQ(WholeDaysBetween(QDateTime(QDate(2023, 3, 23), QTime(15, 0)), admitted), 3);

    // Across the change to summer time the day is only 23 hours long.
    const QTimeZone berlin("Europe/Berlin");
    ASSERT_TRUE(berlin.isValid());
    const QDateTime before(QDate(2023, 3, 25), QTime(12, 0), berlin);
    const QDateTime after(QDate(2023, 3, 26), QTime(12, 0), berlin);
    EXPECT_EQ(WholeDaysBetween(before, after), 1);
    EXPECT_EQ(WholeDaysBetween(after, before), 1);
}

TEST(AgeText, PeriodsWordedInYearsMonthsAndDays)
{
    const struct {
        int days;
        const char* text;
    } periods[] = {
        {426, "1  год 1 месяц "},  {730, "1  год 11 месяцев "}, {731, "2  года "},
        {365, "11 месяцев "},      {366, "1  год "},           {183, "6 месяцев "},
        {182, "5 месяцев 32 дня "}, {45, "1 месяц 15 дней "},   {31, "1 месяц 1 день "},
        {20, "20 дней "},          {0, "0 дней "},             {1, "1 день "},
        {11, "11 дней "},          {3, "3 дня "},              {61, "2 месяца 1 день "},
    };
    for (const auto& p : periods) {
        EXPECT_EQ(ageOfDays(p.days), QString::fromUtf8(p.text)) << p.days << " days";
        EXPECT_EQ(AgeText(daysAfter(p.days), QDate(2001, 3, 1)), QString::fromUtf8(p.text));
    }
    EXPECT_EQ(AgeText(QDate(2000, 1, 1), QDate(2010, 1, 1)), QString::fromUtf8("10 лет "));
}

TEST(AgeText, NumbersTakeTheRussianFormOfTheirWord)
{
    const auto years = [](int n) { return AgeText(QDate(1800, 1, 1), QDate(1800, 1, 1).addDays(n * 1461 / 4 + 1)); };
    const struct {
        int years;
        const char* text;
    } ages[] = {
        {3, "3 года "},   {5, "5 лет "},     {11, "11 лет "},  {12, "12 лет "},   {13, "13 лет "},
        {14, "14 лет "},  {21, "21 год "},   {22, "22 года "}, {45, "45 лет "},   {101, "101 год "},
        {104, "104 года "}, {111, "111 лет "}, {112, "112 лет "}, {114, "114 лет "}, {121, "121 год "},
    };
    for (const auto& a : ages)
        EXPECT_EQ(years(a.years), QString::fromUtf8(a.text)) << a.years << " years";

    // Twelve to fourteen days are "дней", as eleven are.
    EXPECT_EQ(ageOfDays(12), QString::fromUtf8("12 дней "));
    EXPECT_EQ(ageOfDays(13), QString::fromUtf8("13 дней "));
    EXPECT_EQ(ageOfDays(14), QString::fromUtf8("14 дней "));
    EXPECT_EQ(ageOfDays(22), QString::fromUtf8("22 дня "));
}
