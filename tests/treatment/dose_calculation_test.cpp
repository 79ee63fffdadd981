#include "common/errors.h"
#include "treatment/dose_calculation.h"

#include <gtest/gtest.h>

#include <QLocale>

using namespace talvora;
using namespace talvora::treatment;

namespace {

const QChar comma(u',');

FractionChoice fraction(int position)
{
    return FractionChoice{position, position < 0 ? QStringLiteral("0") : FractionCaptions().at(position)};
}

EqualDosesInput equal(const QString& dose, const QString& tablets, int fractionPosition, const QString& intakes,
                      const QString& weight)
{
    return EqualDosesInput{dose, tablets, fraction(fractionPosition), intakes, weight};
}

// The message a calculation refuses with; empty when it does not.
template <class Input>
QString refusal(const Input& input)
{
    try {
        if constexpr (std::is_same_v<Input, EqualDosesInput>)
            CalculateEqualDoses(input, comma);
        else
            CalculateUnequalDoses(input, comma);
    } catch (const Error& e) {
        return e.message();
    }
    return QString();
}

// The example of the unequal mode: 100 mg 1 + 1\2 in the morning, nothing by
// day, 50 mg 2 tablets in the evening, 60 kg.
UnequalDosesInput unequalExample()
{
    UnequalDosesInput in;
    in.rows[0] = IntakeInput{QStringLiteral("100"), QStringLiteral("1"), fraction(4)};
    in.rows[1] = IntakeInput{QStringLiteral("0"), QStringLiteral("1"), fraction(-1)};
    in.rows[2] = IntakeInput{QStringLiteral("0"), QStringLiteral("1"), fraction(-1)};
    in.rows[3] = IntakeInput{QStringLiteral("50"), QStringLiteral("2"), fraction(0)};
    in.weight = QStringLiteral("60");
    return in;
}

} // namespace

TEST(DoseFormat, FiveSignificantDigitsFixedOrScientific)
{
    EXPECT_EQ(FormatDose(450, comma), "450");
    EXPECT_EQ(FormatDose(6.4285714, comma), "6,4286");
    EXPECT_EQ(FormatDose(3.125, comma), "3,125");
    EXPECT_EQ(FormatDose(12.5, comma), "12,5");
    EXPECT_EQ(FormatDose(0.0001, comma), "0,0001");
    EXPECT_EQ(FormatDose(0.000123456, comma), "0,00012346");
    EXPECT_EQ(FormatDose(0.00001234, comma), "1,234E-5");
    EXPECT_EQ(FormatDose(0.00009, comma), "9E-5");
    EXPECT_EQ(FormatDose(0, comma), "0");
    EXPECT_EQ(FormatDose(99999, comma), "99999");
    EXPECT_EQ(FormatDose(99999.4, comma), "99999");
    EXPECT_EQ(FormatDose(10000, comma), "10000");
    EXPECT_EQ(FormatDose(123456, comma), "1,2346E5");
    EXPECT_EQ(FormatDose(120000, comma), "1,2E5");
    EXPECT_EQ(FormatDose(1e39, comma), "1E39");
    EXPECT_EQ(FormatDose(6.4285714, u'.'), "6.4286");
}

TEST(DoseFormat, HalvesRoundAwayFromZeroAsTheDecimalNumberDoes)
{
    // None of these halves is exact in binary; 6.42855 is stored as 6.42854999…
    EXPECT_EQ(FormatDose(6.42855, comma), "6,4286");
    EXPECT_EQ(FormatDose(1.00005, comma), "1,0001");
    EXPECT_EQ(FormatDose(0.000123455, comma), "0,00012346");
    EXPECT_EQ(FormatDose(-6.42855, comma), "-6,4286");
    // The same half reached by arithmetic rather than typed.
    EXPECT_EQ(FormatDose(0.642855 * 10, comma), "6,4286");
    EXPECT_EQ(FormatDose(2.5, comma), "2,5");
    EXPECT_EQ(FormatDose(6.42854, comma), "6,4285");
    // Rounding that carries into a new digit.
    EXPECT_EQ(FormatDose(9.99995, comma), "10");
    EXPECT_EQ(FormatDose(99999.5, comma), "1E5");
    EXPECT_EQ(FormatDose(0.000999996, comma), "0,001");
}

TEST(DoseArithmetic, FractionsDailyDosesAndTheSumOfIntakes)
{
    EXPECT_EQ(FractionCaptions(),
              QStringList({"0", "1\\8", "1\\4", "1\\4 + 1\\8", "1\\2", "1\\2 +1\\8", "3\\4", "3\\4 +1\\8"}));
    for (int n = 0; n < 8; ++n)
        EXPECT_DOUBLE_EQ(TabletFraction(n), n / 8.0);
    EXPECT_EQ(TabletFraction(-1), 0);
    EXPECT_EQ(TabletFraction(FractionChoice{3, QStringLiteral("1\\4 + 1\\8")}), 0.375);
    EXPECT_EQ(FractionPosition(QStringLiteral("1\\2")), 4);
    EXPECT_EQ(FractionPosition(QStringLiteral("1/2")), -1); // typed, not chosen

    EXPECT_DOUBLE_EQ(DailyDose(100, 1, 0.5, 3), 450);
    EXPECT_DOUBLE_EQ(DailyDose(25, 0, 0.5, 1), 12.5);
    EXPECT_DOUBLE_EQ(*DosePerKg(450, 70), 450.0 / 70);
    EXPECT_FALSE(DosePerKg(450, 0));
    EXPECT_FALSE(DosePerKg(450, -5));

    const std::array<IntakeRow, 4> rows{IntakeRow{100, 1, 0.5}, IntakeRow{0, 1, 0}, IntakeRow{0, 3, 0.25},
                                        IntakeRow{50, 2, 0}};
    EXPECT_DOUBLE_EQ(SumIntakeDoses(rows), 250);
}

TEST(EqualDoses, TheRegimenAndBothDosesAsWritten)
{
    const DoseResult r = CalculateEqualDoses(equal("100", "1", 4, "3", "70"), comma);
    EXPECT_EQ(r.dailyDose, "450");
    EXPECT_EQ(r.dosePerKg, "6,4286");
    EXPECT_EQ(r.regimen, "100мг  по 1 + 1\\2 таб. x 3 р\\сут ");
    EXPECT_EQ(r.dailyDoseText, "450 мг\\cут");
    EXPECT_EQ(r.dosePerKgText, "6,4286 мг\\кг\\cут");
    EXPECT_EQ(r.notice, "");
    // The look-alike letters: a Latin x and c, a Cyrillic с in "р\сут".
    EXPECT_TRUE(r.regimen.contains(QStringLiteral(" таб. ") + QChar(0x78) + u' '));
    EXPECT_TRUE(r.regimen.contains(QStringLiteral("р\\") + QChar(0x0441) + QStringLiteral("ут ")));
    EXPECT_TRUE(r.dailyDoseText.endsWith(QStringLiteral("\\") + QChar(0x63) + QStringLiteral("ут")));
    EXPECT_TRUE(r.dosePerKgText.endsWith(QStringLiteral("\\") + QChar(0x63) + QStringLiteral("ут")));
}

TEST(EqualDoses, FractionsTextsAndLeadingZeros)
{
    // Position 3 writes its caption; position 0 and none add no text.
    EXPECT_EQ(CalculateEqualDoses(equal("100", "1", 3, "2", "70"), comma).regimen,
              "100мг  по 1 + 1\\4 + 1\\8 таб. x 2 р\\сут ");
    EXPECT_EQ(CalculateEqualDoses(equal("100", "1", 3, "2", "70"), comma).dailyDose, "275");
    EXPECT_EQ(CalculateEqualDoses(equal("100", "1", 0, "2", "70"), comma).regimen, "100мг  по 1 таб. x 2 р\\сут ");
    EXPECT_EQ(CalculateEqualDoses(equal("100", "1", -1, "2", "70"), comma).regimen, "100мг  по 1 таб. x 2 р\\сут ");
    // A text typed into the fraction box counts as nothing and is not written.
    EqualDosesInput typed = equal("100", "1", -1, "2", "70");
    typed.fraction.text = QStringLiteral("1/2");
    EXPECT_EQ(CalculateEqualDoses(typed, comma).dailyDose, "200");
    EXPECT_FALSE(CalculateEqualDoses(typed, comma).regimen.contains("1/2"));

    const DoseResult zeros = CalculateEqualDoses(equal("0100", "01", -1, "03", "70"), comma);
    EXPECT_EQ(zeros.dailyDose, "300");
    EXPECT_EQ(zeros.regimen, "0100мг  по 01 таб. x 03 р\\сут ");

    EXPECT_EQ(CalculateEqualDoses(equal("25", "0", 4, "1", "70"), comma).dailyDose, "12,5");
    EXPECT_EQ(CalculateEqualDoses(equal("40000", "1", -1, "3", "70"), comma).dailyDoseText, "1,2E5 мг\\cут");
}

TEST(EqualDoses, AWeightOfNothingOrZeroLeavesThePerKilogramDoseOut)
{
    for (const char* weight : {"", "0", "  ", "abc", "-70"}) {
        SCOPED_TRACE(weight);
        const DoseResult r = CalculateEqualDoses(equal("100", "1", 4, "3", weight), comma);
        EXPECT_EQ(r.dailyDose, "450");
        EXPECT_EQ(r.dailyDoseText, "450 мг\\cут");
        EXPECT_EQ(r.dosePerKg, "");
        EXPECT_EQ(r.dosePerKgText, "");
        EXPECT_TRUE(r.notice.contains("Вес пациента")) << r.notice.toStdString();
    }
}

TEST(EqualDoses, InputsThatAreNotDigitsOrTooLargeAreRefused)
{
    const QString digits = DigitsMessage();
    EXPECT_EQ(digits, "В исходные данные необходимо внести ЦИФРЫ !");
    for (const char* bad : {"", "1,5", "1.5", "-1", "+1", " 1", "1 ", "1e3", "١"}) {
        SCOPED_TRACE(bad);
        EXPECT_EQ(refusal(equal(bad, "1", 0, "3", "70")), digits);
        EXPECT_EQ(refusal(equal("100", bad, 0, "3", "70")), digits);
        EXPECT_EQ(refusal(equal("100", "1", 0, bad, "70")), digits);
    }

    // Intakes past 32 bits: refused by name, no overflow into a wrong dose.
    EXPECT_EQ(refusal(equal("100", "1", 0, "2147483647", "70")), "");
    for (const QString& many : {QStringLiteral("2147483648"), QString(40, u'9')}) {
        const QString message = refusal(equal("100", "1", 0, many, "70"));
        EXPECT_TRUE(message.contains("количество приемов в сутки")) << message.toStdString();
    }
    // A text of digits too long for a real number.
    const QString huge = QStringLiteral("1") + QString(400, u'0');
    EXPECT_TRUE(refusal(equal(huge, "1", 0, "3", "70")).contains("Доза в 1-й таблетке"));
    EXPECT_TRUE(refusal(equal("100", huge, 0, "3", "70")).contains("количество табл. в 1 прием"));
    // Each number fits, the product does not: no "INF" is written.
    const QString big = QStringLiteral("1") + QString(300, u'0');
    EXPECT_TRUE(refusal(equal(big, big, 0, "3", "70")).contains("слишком велика"));
    // A 40-digit dose is a number still; the result is finite.
    EXPECT_EQ(CalculateEqualDoses(equal(QStringLiteral("1") + QString(39, u'0'), "1", 0, "3", "70"), comma).dailyDose,
              "3E39");
}

TEST(UnequalDoses, OneLinePerIntakeWithADose)
{
    const DoseResult r = CalculateUnequalDoses(unequalExample(), comma);
    EXPECT_EQ(r.dailyDose, "250");
    EXPECT_EQ(r.dosePerKg, "4,1667");
    EXPECT_EQ(r.regimen, "утром: 100мг  по 1 + 1\\2 таб.\r\nвечером: 50мг  по 2 таб.\r\n");
    EXPECT_EQ(r.dailyDoseText, "250 мг\\cут");
    EXPECT_EQ(r.dosePerKgText, "4,1667 мг\\кг\\cут");
    EXPECT_EQ(r.notice, "");

    // "00" is not "0": the line stays, the dose adds nothing.
    UnequalDosesInput in = unequalExample();
    in.rows[1].dose = QStringLiteral("00");
    in.rows[2] = IntakeInput{QStringLiteral("025"), QStringLiteral("0"), fraction(6)};
    const DoseResult kept = CalculateUnequalDoses(in, comma);
    EXPECT_EQ(kept.regimen, "утром: 100мг  по 1 + 1\\2 таб.\r\nднем: 00мг  по 1 таб.\r\n"
                            "днем: 025мг  по 0 + 3\\4 таб.\r\nвечером: 50мг  по 2 таб.\r\n");
    EXPECT_EQ(kept.dailyDose, "268,75");
}

TEST(UnequalDoses, TheWeightIsCheckedAsDigits)
{
    UnequalDosesInput in = unequalExample();
    for (const char* weight : {"", "60,5", " 60", "-60"}) {
        in.weight = QString::fromUtf8(weight);
        EXPECT_EQ(refusal(in), DigitsMessage()) << weight;
    }
    in.weight = QStringLiteral("0");
    const DoseResult r = CalculateUnequalDoses(in, comma);
    EXPECT_EQ(r.dailyDose, "250");
    EXPECT_EQ(r.dosePerKg, "");
    EXPECT_EQ(r.dosePerKgText, "");
    EXPECT_FALSE(r.notice.isEmpty());

    for (std::size_t i = 0; i < 4; ++i) {
        UnequalDosesInput bad = unequalExample();
        bad.rows[i].tablets = QStringLiteral("1.5");
        EXPECT_EQ(refusal(bad), DigitsMessage()) << i;
        bad = unequalExample();
        bad.rows[i].dose = QString();
        EXPECT_EQ(refusal(bad), DigitsMessage()) << i;
    }
}

TEST(DoseFormat, TheProgramLocaleGivesTheDecimalComma)
{
    // The program runs in the Russian locale whatever the system's.
    ASSERT_EQ(QLocale().language(), QLocale::Russian);
    EXPECT_EQ(DecimalSeparator(), u',');
    EXPECT_EQ(FormatDose(3.125), "3,125");
    EXPECT_EQ(CalculateEqualDoses(equal("100", "1", 4, "3", "70")).dosePerKg, "6,4286");
}
