// The marker reading rule on the text the assembly copies from a marker's
// "<", and the field texts that depend on empty dates and the time of the run.

#include "templates/markers.h"

#include <QHash>

#include <gtest/gtest.h>

#include <ostream>

using namespace talvora::templates;

inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

namespace {

// What the assembly copies: the kMarkerSpan characters from the "<" of the
// marker standing at the start of `text`.
QString copied(const QString& text)
{
    return text.left(kMarkerSpan);
}

TEST(MarkerReading, EveryKindWithOneToSevenDigits)
{
    for (MarkerKind kind : {MarkerKind::Field, MarkerKind::Group, MarkerKind::Treatment}) {
        for (int digits = 1; digits <= 7; ++digits) {
            const int n = QStringLiteral("9876543").left(digits).toInt();
            const QString marker = markerText(kind, n);
            ASSERT_LE(marker.size(), kMarkerSpan) << marker.toStdString();
            const MarkerReading r = readMarkerText(copied(marker + QStringLiteral(" и дальше текст")));
            EXPECT_TRUE(r.ok()) << marker.toStdString();
            EXPECT_EQ(r.number, n) << marker.toStdString();
            EXPECT_EQ(r.length, marker.size()) << marker.toStdString();
        }
    }
    for (int digits = 1; digits <= 5; ++digits) {
        const int n = QStringLiteral("12345").left(digits).toInt();
        const QString marker = markerText(MarkerKind::Template, n);
        const MarkerReading r = readMarkerText(copied(marker + QStringLiteral("<!fld_1>")));
        EXPECT_EQ(r.number, n);
        EXPECT_EQ(r.length, marker.size());
    }
}

TEST(MarkerReading, TheCloseThatFallsOutsideTheCopyMakesTheMarkerOneLonger)
{
    // Six digits after "<!shabl_": the ">" is the 15th character. The copy
    // has no ">", so the marker is taken as 15 characters: exactly the
    // whole marker.
    MarkerReading r = readMarkerText(copied(QStringLiteral("<!shabl_123456> дальше")));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.number, 123456);
    EXPECT_EQ(r.length, 15);

    // Eight digits after "<!fld_": only the first eight count, and the
    // marker is 15 characters long (its last digit and ">" stay behind).
    r = readMarkerText(copied(QStringLiteral("<!fld_123456789>")));
    EXPECT_EQ(r.number, 12345678);
    EXPECT_EQ(r.length, 15);

    // At the document's end the copy is shorter; the length is still one more.
    r = readMarkerText(QStringLiteral("<!trt_12"));
    EXPECT_EQ(r.number, 12);
    EXPECT_EQ(r.length, 9);
}

TEST(MarkerReading, DigitsAnywhereBeforeTheCloseMakeTheNumber)
{
    MarkerReading r = readMarkerText(QStringLiteral("<!fld_1a2>"));
    EXPECT_EQ(r.number, 12);
    EXPECT_EQ(r.length, 10);
    r = readMarkerText(QStringLiteral("<!grp_007>"));
    EXPECT_EQ(r.number, 7);
    // Digits after the ">" are not the marker's.
    r = readMarkerText(QStringLiteral("<!trt_1>23"));
    EXPECT_EQ(r.number, 1);
    EXPECT_EQ(r.length, 8);
    // Non-ASCII digits are not decimal digits of a marker.
    r = readMarkerText(QStringLiteral("<!fld_\u0663>"));
    EXPECT_FALSE(r.ok());
}

TEST(MarkerReading, NoDigitOrANumberBeyondThirtyTwoBitsIsAFailureWithTheMarkerInTheMessage)
{
    MarkerReading r = readMarkerText(QStringLiteral("<!fld_>"));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.length, 7);
    EXPECT_EQ(r.failure, QStringLiteral("Ошибка в метке шаблона «<!fld_>»: «» не является допустимым целым числом."));

    r = readMarkerText(QStringLiteral("<!grp_x>"));
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.failure.contains(QStringLiteral("<!grp_x>")));

    // No ">" and no digit within the copy.
    r = readMarkerText(copied(QStringLiteral("<!shabl_abcdefgh>")));
    EXPECT_FALSE(r.ok());
    EXPECT_EQ(r.length, 15);

    // The largest 32-bit integer is a number; one more is not. (A copy of
    // 14 characters holds at most 8 digits, so only a longer text given to
    // the rule can get here.)
    r = readMarkerText(QStringLiteral("<!shabl_2147483647>"));
    EXPECT_TRUE(r.ok());
    EXPECT_EQ(r.number, 2147483647);
    r = readMarkerText(QStringLiteral("<!shabl_2147483648>"));
    EXPECT_FALSE(r.ok());
    EXPECT_TRUE(r.failure.contains(QStringLiteral("«2147483648»")));
    r = readMarkerText(QStringLiteral("<!fld_99999999999999999999999>"));
    EXPECT_FALSE(r.ok());
}

class FieldTexts : public ::testing::Test {
protected:
    QString text(int number) const
    {
        return fieldText(*findField(number), [this](const QString& c) { return row.value(c.toLower()); }, now);
    }

    QHash<QString, QVariant> row{{"pdb", QDate(1965, 3, 5)}, {"pdp", QDate(2004, 3, 1)}, {"pdv", QDate(2004, 3, 15)}};
    QDateTime now{QDate(2004, 3, 20), QTime(18, 30)};
};

TEST_F(FieldTexts, EmptyDatesAgeAndStay)
{
    EXPECT_EQ(text(10), "38 лет ");
    EXPECT_EQ(text(11), "14дн. ");

    // No discharge yet: the stay runs to now, whole days.
    row["pdv"] = QDate(1899, 12, 30);
    EXPECT_EQ(text(7), "");
    EXPECT_EQ(text(11), "19дн. ");
    row["pdv"] = QVariant();
    EXPECT_EQ(text(11), "19дн. ");

    // No birth date: no age.
    row["pdb"] = QDate(1899, 12, 30);
    EXPECT_EQ(text(5), "");
    EXPECT_EQ(text(10), "");
    row["pdb"] = QVariant();
    EXPECT_EQ(text(10), "");

    // A patient discharged the day of admission.
    row["pdv"] = QDate(2004, 3, 1);
    EXPECT_EQ(text(11), "0дн. ");
}

} // namespace
