// The marker reading rule on the text the assembly copies from a marker's
// "<", the field table, the text of each plain field and of the treatment
// scheme.

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

TEST(FieldTable, NumbersWithAMeaningAndTheirColumns)
{
    QList<int> numbers;
    for (const FieldEntry& f : fieldTable())
        numbers << f.number;
    EXPECT_EQ(numbers, (QList<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17, 18, 29, 31, 32}));

    for (int n : {0, 19, 25, 28, 30, 33, 100})
        EXPECT_EQ(findField(n), nullptr) << n;

    const QHash<int, QString> columns{{1, "pName_f"}, {2, "Pname_n"}, {3, "Pname_o"}, {4, "Pprof"}, {5, "pdb"},
                                      {6, "Pdp"},     {7, "pdv"},     {8, "Phist"},   {9, "Palat"}, {12, "PdiaK"},
                                      {13, "PdiaV"},  {14, "Pjal"},   {16, "Psomat"}, {17, "Pnst"}, {18, "Pves"},
                                      {31, "Precom"}, {32, "PanV"}};
    for (auto it = columns.cbegin(); it != columns.cend(); ++it) {
        const FieldEntry* f = findField(it.key());
        ASSERT_NE(f, nullptr);
        EXPECT_EQ(QString::fromLatin1(f->column), it.value()) << it.key();
    }
    EXPECT_EQ(findField(10)->source, FieldSource::AgeAtAdmission);
    EXPECT_EQ(findField(11)->source, FieldSource::DaysInHospital);
    EXPECT_EQ(findField(15)->source, FieldSource::Anamnesis);
    EXPECT_EQ(QString::fromLatin1(findField(15)->column), QStringLiteral("PanW"));
    EXPECT_EQ(QString::fromLatin1(findField(15)->column2), QStringLiteral("PanM"));
    EXPECT_EQ(findField(29)->source, FieldSource::AllInvestigations);
}

class FieldTexts : public ::testing::Test {
protected:
    QString text(int number) const
    {
        return fieldText(*findField(number), [this](const QString& c) { return row.value(c.toLower()); }, now);
    }

    QHash<QString, QVariant> row{{"pname_f", "Иванов"},
                                 {"pdb", QDate(1965, 3, 5)},
                                 {"pdp", QDate(2004, 3, 1)},
                                 {"pdv", QDate(2004, 3, 15)},
                                 {"phist", 1234},
                                 {"palat", 7},
                                 {"pves", QVariant()},
                                 {"pdiak", "Ишемический\r\nинсульт"},
                                 {"panm", "болеет 3 года"}};
    QDateTime now{QDate(2004, 3, 20), QTime(18, 30)};
};

TEST_F(FieldTexts, ValuesAsTheDataModuleGivesThem)
{
    EXPECT_EQ(text(1), "Иванов");
    EXPECT_EQ(text(5), "05.03.1965");
    EXPECT_EQ(text(6), "01.03.2004");
    EXPECT_EQ(text(8), "1234");
    EXPECT_EQ(text(9), "7");
    EXPECT_EQ(text(12), "Ишемический\r\nинсульт");
    EXPECT_EQ(text(15), "болеет 3 года"); // the anamnesis text, when there is no document
    // Nothing stored: the empty text (typed as one blank).
    EXPECT_EQ(text(2), "");
    EXPECT_EQ(text(18), "");
}

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

TEST(TreatmentText, OneLineOrADrugALine)
{
    const std::vector<Prescription> scheme{
        {"Пирацетам", "по 1 таб. 3 раза в день", "", "10 дней"},
        {"Мексидол", "2,0 в/в", "5 мг/кг", "5 дней"},
    };
    EXPECT_EQ(treatmentText(scheme, 1),
              QStringLiteral("Пирацетам по 1 таб. 3 раза в день10 дней Мексидол 2,0 в/в (5 мг/кг) 5 дней "));
    EXPECT_EQ(treatmentText(scheme, 2),
              QStringLiteral("Пирацетам по 1 таб. 3 раза в день10 дней \r\nМексидол 2,0 в/в (5 мг/кг) 5 дней \r\n"));
    EXPECT_EQ(treatmentText(scheme, 7), treatmentText(scheme, 2));
    EXPECT_EQ(treatmentText({}, 1), QString());
    EXPECT_EQ(treatmentText({}, 2), QString());
}

TEST(MarkerText, AsTheDesignerWritesThem)
{
    EXPECT_EQ(markerText(MarkerKind::Field, 12), "<!fld_12>");
    EXPECT_EQ(markerText(MarkerKind::Group, 3), "<!grp_3>");
    EXPECT_EQ(markerText(MarkerKind::Treatment, 1), "<!trt_1>");
    EXPECT_EQ(markerText(MarkerKind::Template, 5), "<!shabl_5>");
}

} // namespace
