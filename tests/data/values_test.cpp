// Values between the windows, the datasets and the database files: the
// stored ISO forms, date literals, what a field keeps, what a grid shows.

#include "data/values.h"

#include "common/errors.h"

#include <gtest/gtest.h>

using namespace talvora::data;

namespace {

QDateTime at(int y, int m, int d, int hh = 0, int mm = 0, int ss = 0)
{
    return QDateTime(QDate(y, m, d), QTime(hh, mm, ss));
}

} // namespace

TEST(StoredValues, DatesAreWrittenInTheirStoredFormAndReadBackTheSame)
{
    EXPECT_EQ(storedDate(emptyDate()), QStringLiteral("1899-12-30"));
    EXPECT_EQ(storedDate(QDate(987, 3, 5)), QStringLiteral("0987-03-05"));
    EXPECT_EQ(storedDateTime(at(2026, 12, 9, 7, 5, 3)), QStringLiteral("2026-12-09 07:05:03"));

    for (const QDateTime& dt : {at(1899, 12, 30), at(2026, 12, 9, 7, 5, 3), at(2000, 2, 29, 23, 59, 59)}) {
        SCOPED_TRACE(dt.toString(Qt::ISODate).toStdString());
        EXPECT_EQ(readStoredDateTime(storedDateTime(dt).toUtf8()), dt);
        EXPECT_EQ(readStoredDateTime(storedDate(dt.date()).toUtf8()), QDateTime(dt.date(), QTime(0, 0)));
    }
    EXPECT_EQ(readStoredDateTime("2026-12-09T14:05:03"), at(2026, 12, 9, 14, 5, 3));
}

TEST(StoredValues, ReadingTakesOnlyTheStoredForm)
{
    // Not a stored date: the field reads as null.
    for (const char* text : {"", "2026-12-0", "2026-1-09", "09.12.2026", "2026-02-30", "2026-13-01",
                             "2026-12-09 1x:05:03", "abcd-ef-gh"}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(readStoredDateTime(text).isValid());
    }
    // A time out of range does not lose the date.
    EXPECT_EQ(readStoredDateTime("2026-12-09 25:00:00"), at(2026, 12, 9));
    // A time cut short is no time.
    EXPECT_EQ(readStoredDateTime("2026-12-09 14:05"), at(2026, 12, 9));
    // Only the bytes given count.
    EXPECT_EQ(readStoredDateTime(QByteArrayView("2026-12-09 14:05:03", 10)), at(2026, 12, 9));
}

TEST(DateLiterals, LocalAndIsoFormsWithOrWithoutATime)
{
    bool hasTime = true;
    EXPECT_EQ(parseDateLiteral(QStringLiteral("5.3.1965"), &hasTime), at(1965, 3, 5));
    EXPECT_FALSE(hasTime);
    EXPECT_EQ(parseDateLiteral(QStringLiteral(" 05/03/1965 7:08 "), &hasTime), at(1965, 3, 5, 7, 8));
    EXPECT_TRUE(hasTime);
    EXPECT_EQ(parseDateLiteral(QStringLiteral("05-03-1965 07:08:09")), at(1965, 3, 5, 7, 8, 9));
    EXPECT_EQ(parseDateLiteral(QStringLiteral("1965-03-05")), at(1965, 3, 5));
    EXPECT_EQ(parseDateLiteral(QStringLiteral("1965-03-05T07:08:09")), at(1965, 3, 5, 7, 8, 9));

    for (const char* text : {"31.04.2003", "29.02.2003", "05.03.65", "05.03.1965 24:00", "вчера", ""}) {
        SCOPED_TRACE(text);
        EXPECT_FALSE(parseDateLiteral(QString::fromUtf8(text)).isValid());
    }
}

TEST(StoredValues, BoundValuesTakeTheFormOfTheirColumn)
{
    // Date columns keep the date only, date-time columns the whole time.
    EXPECT_EQ(storageValue(at(2026, 12, 9, 14, 5, 3), FieldType::Date), QVariant(QStringLiteral("2026-12-09")));
    EXPECT_EQ(storageValue(QDate(2026, 12, 9), FieldType::DateTime), QVariant(QStringLiteral("2026-12-09 00:00:00")));
    EXPECT_EQ(storageValue(QStringLiteral("09.12.2026 14:05"), FieldType::DateTime),
              QVariant(QStringLiteral("2026-12-09 14:05:00")));
    EXPECT_EQ(storageValue(QStringLiteral("09.12.2026"), FieldType::Date), QVariant(QStringLiteral("2026-12-09")));
    EXPECT_TRUE(storageValue(QStringLiteral("  "), FieldType::Date).isNull());
    EXPECT_THROW(storageValue(QStringLiteral("31.02.2002"), FieldType::Date), talvora::Error);
    EXPECT_TRUE(storageValue(QVariant(), FieldType::Date).isNull());

    // Other columns: dates still in the stored form, the rest as given.
    EXPECT_EQ(storageValue(QDate(2026, 12, 9), FieldType::Unknown), QVariant(QStringLiteral("2026-12-09")));
    EXPECT_EQ(storageValue(QStringLiteral("09.12.2026"), FieldType::String), QVariant(QStringLiteral("09.12.2026")));
    EXPECT_EQ(storageValue(42, FieldType::Integer), QVariant(42));
}

TEST(FieldValues, TextsAreConvertedToWhatTheFieldKeeps)
{
    const QString name = QStringLiteral("Поле");
    EXPECT_EQ(fieldValue(QStringLiteral("Иванов Иван"), FieldType::String, 6, name), QVariant(QStringLiteral("Иванов")));
    EXPECT_EQ(fieldValue(QStringLiteral(" 42 "), FieldType::Integer, 0, name), QVariant(42));
    EXPECT_EQ(fieldValue(2.5, FieldType::Integer, 0, name), QVariant(3));
    EXPECT_EQ(fieldValue(QStringLiteral("12,5"), FieldType::Float, 0, name), QVariant(12.5));
    EXPECT_EQ(fieldValue(QStringLiteral("12.5"), FieldType::Currency, 0, name), QVariant(12.5));
    EXPECT_EQ(fieldValue(QStringLiteral("Да"), FieldType::Boolean, 0, name), QVariant(true));
    EXPECT_EQ(fieldValue(QStringLiteral("09.12.2026 14:05"), FieldType::Date, 0, name), QVariant(QDate(2026, 12, 9)));
    EXPECT_EQ(fieldValue(QDate(2026, 12, 9), FieldType::DateTime, 0, name), QVariant(at(2026, 12, 9)));

    // An empty text clears a number, boolean or date field.
    for (FieldType t : {FieldType::Integer, FieldType::Float, FieldType::Boolean, FieldType::Date}) {
        SCOPED_TRACE(fieldTypeName(t).toStdString());
        EXPECT_TRUE(fieldValue(QStringLiteral(" "), t, 0, name).isNull());
    }

    // What does not fit is refused.
    EXPECT_EQ(fieldValue(32767, FieldType::Smallint, 0, name), QVariant(32767));
    EXPECT_THROW(fieldValue(32768, FieldType::Smallint, 0, name), talvora::Error);
    EXPECT_THROW(fieldValue(QStringLiteral("2147483648"), FieldType::Integer, 0, name), talvora::Error);
    EXPECT_THROW(fieldValue(QStringLiteral("сорок"), FieldType::Integer, 0, name), talvora::Error);
    EXPECT_THROW(fieldValue(QStringLiteral("12,5 мг"), FieldType::Float, 0, name), talvora::Error);
    EXPECT_THROW(fieldValue(QStringLiteral("31.04.2003"), FieldType::Date, 0, name), talvora::Error);
    EXPECT_THROW(fieldValue(7, FieldType::Date, 0, name), talvora::Error);
}

TEST(FieldValues, NothingReadsAsTheEmptyDateAndDatesShowAsDayMonthYear)
{
    EXPECT_EQ(dateOf(QVariant()), QDate(1899, 12, 30));
    EXPECT_EQ(dateTimeOf(QVariant()), at(1899, 12, 30));
    EXPECT_EQ(dateOf(at(2026, 12, 9, 14, 5, 3)), QDate(2026, 12, 9));
    EXPECT_EQ(dateTimeOf(QDate(2026, 12, 9)), at(2026, 12, 9));

    EXPECT_EQ(displayDate(QDate(1965, 3, 5)), QStringLiteral("05.03.1965"));
    EXPECT_EQ(displayDateTime(at(1965, 3, 5, 7, 8, 9)), QStringLiteral("05.03.1965 7:08:09"));
}
