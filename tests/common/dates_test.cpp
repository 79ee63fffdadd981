#include "common/dates.h"
#include "common/errors.h"

#include <gtest/gtest.h>

#include <QTimeZone>

using namespace talvora;

namespace {

QString ageOfDays(int days)
{
    return AgeText(QDate(2001, 3, 1), QDate(2001, 3, 1).addDays(days));
}

// The message of the error DateFromParts throws; empty when it accepts.
QString rejection(const DateParts& parts, int currentYear = 2004)
{
    try {
        DateFromParts(parts, currentYear);
    } catch (const Error& e) {
        return e.message();
    }
    return QString();
}

} // namespace

TEST(DateParts, DigitAndPlausibilityChecks)
{
    EXPECT_TRUE(IsDigitString("007"));
    for (const char* text : {"", " ", "-1", "+1", "1 ", "1,5", "1.5", "12a", "١٢"})
        EXPECT_FALSE(IsDigitString(QString::fromUtf8(text))) << text;

    // Month lengths are left to the conversion; the year is not checked.
    EXPECT_TRUE(IsValidDateParts("31", "04", "2003"));
    EXPECT_TRUE(IsValidDateParts("29", "02", "2003"));
    EXPECT_TRUE(IsValidDateParts("1", "1", "99999"));
    for (const DateParts& bad : {DateParts{"30", "02", "2004"}, DateParts{"0", "1", "2004"},
                                 DateParts{"32", "1", "2004"}, DateParts{"1", "13", "2004"},
                                 DateParts{"1", "1", ""}, DateParts{"1a", "1", "2004"},
                                 // must not wrap round into range
                                 DateParts{"18446744073709551617", "1", "2004"}})
        EXPECT_FALSE(IsValidDateParts(bad)) << bad.day.toStdString() << "." << bad.month.toStdString();
}

TEST(DateParts, TwoDigitYearsSlideWithTheCurrentYear)
{
    EXPECT_EQ(DateFromParts({"1", "2", "30"}, 2004), QDate(2030, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "60"}, 2004), QDate(1960, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "54"}, 2004), QDate(1954, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "5"}, 2004), QDate(2005, 2, 1));
    EXPECT_EQ(DateFromParts({"1", "2", "030"}, 2004), QDate(30, 2, 1)); // three digits as written
    EXPECT_EQ(DateFromText("12.12.02", 2052), QDate(2002, 12, 12));
    EXPECT_EQ(DateFromText("12.12.02", 2053), QDate(2102, 12, 12));
    const int thisYear = QDate::currentDate().year();
    EXPECT_EQ(DateFromParts("1", "1", QString::number(thisYear % 100)).year(), thisYear);
}

TEST(DateParts, ConversionAndDisplay)
{
    EXPECT_EQ(DateFromParts({"05", "03", "1965"}, 2004), QDate(1965, 3, 5));
    EXPECT_EQ(DateFromParts({"29", "2", "2004"}, 2004), QDate(2004, 2, 29));
    EXPECT_EQ(DateFromParts({"", "", ""}, 2004), QDate(1899, 12, 30));
    EXPECT_EQ(ShowDateInParts(QDate(1965, 3, 5)), (DateParts{"05", "03", "1965"}));
    EXPECT_EQ(ShowDateInParts(EmptyDate()), DateParts{});
    EXPECT_EQ(ShowDateInParts(QDate()), DateParts{});
    for (const QDate& date : {QDate(1965, 3, 5), QDate(2004, 2, 29), EmptyDate()})
        EXPECT_EQ(DateFromParts(ShowDateInParts(date), 2004), date);
}

TEST(DateParts, NonexistentDaysAndUncheckedPartsAreErrors)
{
    // "00" in 2054 is 2100, a common year.
    for (const DateParts& parts : {DateParts{"29", "02", "2003"}, DateParts{"31", "04", "2003"},
                                   DateParts{"29", "2", "00"}}) {
        const QString message = rejection(parts, 2054);
        EXPECT_TRUE(message.contains(QString::fromUtf8("такого дня в этом месяце нет"))) << message.toStdString();
    }
    EXPECT_TRUE(rejection({"29", "02", "2003"}).startsWith(QString::fromUtf8("Неверная дата «29.02.2003»")));

    // Parts that fail the check are refused rather than stored as "no date".
    for (const DateParts& parts :
         {DateParts{"30", "02", "2004"}, DateParts{"32", "01", "2004"}, DateParts{"", "", "2004"},
          DateParts{"a", "1", "2004"}, DateParts{" ", "", ""}, DateParts{"1", "1", "0000"},
          DateParts{"1", "1", "10000"}})
        EXPECT_FALSE(rejection(parts).isEmpty()) << parts.day.toStdString() << "." << parts.year.toStdString();
    EXPECT_THROW(DateFromText("12.12", 2004), Error);
}

TEST(WholeUnits, FixedAverageLengthsTruncatedAndSymmetric)
{
    const QDate a(2001, 3, 1);
    EXPECT_EQ(WholeMonthsBetween(a, a.addDays(30)), 0);
    EXPECT_EQ(WholeMonthsBetween(a.addDays(31), a), 1);
    EXPECT_EQ(WholeYearsBetween(a, a.addDays(365)), 0);
    EXPECT_EQ(WholeYearsBetween(a.addDays(366), a), 1);
    EXPECT_EQ(WholeYearsBetween(a, a.addDays(3652)), 9);
    EXPECT_EQ(WholeYearsBetween(a, a.addDays(3653)), 10);
    EXPECT_EQ(WholeDaysBetween(a.addDays(40000), a), 40000);

    const QDateTime admitted(QDate(2023, 3, 20), QTime(14, 0));
    EXPECT_EQ(WholeDaysBetween(admitted, QDateTime(QDate(2023, 3, 21), QTime(13, 59))), 0);
    EXPECT_EQ(WholeDaysBetween(QDateTime(QDate(2023, 3, 23), QTime(15, 0)), admitted), 3);
    // The day of the change to summer time is 23 hours long but still a day.
    const QTimeZone berlin("Europe/Berlin");
    EXPECT_EQ(WholeDaysBetween(QDateTime(QDate(2023, 3, 25), QTime(12, 0), berlin),
                               QDateTime(QDate(2023, 3, 26), QTime(12, 0), berlin)),
              1);
}

TEST(AgeText, PeriodsWordedInYearsMonthsAndDays)
{
    const struct {
        int days;
        const char* text;
    } periods[] = {
        {426, "1  год 1 месяц "}, {730, "1  год 11 месяцев "}, {731, "2  года "},
        {365, "11 месяцев "},     {366, "1  год "},            {183, "6 месяцев "},
        {182, "5 месяцев 32 дня "}, {45, "1 месяц 15 дней "},  {31, "1 месяц 1 день "},
        {20, "20 дней "},         {0, "0 дней "},              {11, "11 дней "},
        {12, "12 дня "},          {14, "14 дня "},            {61, "2 месяца 1 день "},
    };
    for (const auto& p : periods)
        EXPECT_EQ(ageOfDays(p.days), QString::fromUtf8(p.text)) << p.days << " days";
    EXPECT_EQ(AgeText(QDate(2010, 1, 1), QDate(2000, 1, 1)), QString::fromUtf8("10 лет "));

    const struct {
        int years;
        const char* text;
    } ages[] = {{3, "3 года "},   {11, "11 лет "},   {12, "12 лет "},   {14, "14 лет "},
                {21, "21 год "},  {22, "22 года "},  {45, "45 лет "},   {101, "101 год "},
                {111, "111 год "}, {112, "112 года "}, {121, "121 год "}};
    for (const auto& a : ages)
        EXPECT_EQ(ageOfDays(a.years * 1461 / 4 + 1), QString::fromUtf8(a.text)) << a.years << " years";
}
