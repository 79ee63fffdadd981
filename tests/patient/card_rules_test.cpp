#include "common/errors.h"
#include "patient/patient_card.h"

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::patient;

TEST(DisplayName, InitialsFollowWhatIsFilledIn)
{
    EXPECT_EQ(DisplayName("Иванов", "Иван", "Петрович"), "Иванов И.П.");
    EXPECT_EQ(DisplayName("Иванов", "", "Петрович"), "Иванов П.");
    EXPECT_EQ(DisplayName("", "Иван", ""), "И.");
    EXPECT_EQ(DisplayName("О'Коннор", "«Ёлка»", ""), "О'Коннор «.");
    EXPECT_EQ(DisplayName("", "", ""), "");
}

TEST(StayAndAge, WholeDaysAndTheAgeOnAdmission)
{
    const QDateTime now(QDate(2024, 3, 10), QTime(15, 30));
    EXPECT_EQ(StayText(QDate(2024, 3, 10), EmptyDate(), now), "0");
    EXPECT_EQ(StayText(QDate(2024, 3, 9), EmptyDate(), now), "1");
    EXPECT_EQ(StayText(QDate(2024, 3, 1), QDate(2024, 3, 5), now), "4");
    EXPECT_EQ(AgeLabel(QDate(2000, 1, 1), QDate(2010, 1, 1)), "10 лет ");
    EXPECT_EQ(AgeLabel(EmptyDate(), QDate(2010, 1, 1)), "");
    EXPECT_EQ(AgeLabel(QDate(), QDate(2010, 1, 1)), "");
}

namespace {

PatientCard validCard()
{
    PatientCard c;
    c.surname = "Петров";
    c.admission = {"01", "02", "2024"};
    return c;
}

QString refusal(const PatientCard& c)
{
    try {
        CheckedCard(c, 2024);
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

} // namespace

TEST(CheckedCard, ConvertsEmptyPartsAndNumbers)
{
    PatientCard c = validCard();
    c.history = "+125";
    c.ward = "";
    c.weight = " 80 ";
    c.sex = 7; // anything but "женский" is "мужской "
    const PatientRowValues v = CheckedCard(c, 2024);
    EXPECT_EQ(v.admission, QDate(2024, 2, 1));
    EXPECT_EQ(v.discharge, EmptyDate());
    EXPECT_EQ(v.birth, EmptyDate());
    EXPECT_EQ(v.history, QVariant(qint64(125)));
    EXPECT_TRUE(v.ward.isNull());
    EXPECT_EQ(v.weight.toInt(), 80);
    EXPECT_EQ(v.sex, 1);
    EXPECT_EQ(v.displayName, "Петров ");
}

TEST(CheckedCard, BadValuesAreRefusedWithTheFieldNamed)
{
    PatientCard c = validCard();
    c.discharge = {"31", "02", "2024"};
    EXPECT_TRUE(refusal(c).startsWith("Дата выписки")) << refusal(c).toStdString();

    c = validCard();
    c.birth = {"32", "01", "1960"};
    EXPECT_TRUE(refusal(c).startsWith("Дата рождения"));

    c = validCard();
    c.admission = {"1", "", "2024"}; // neither empty nor complete
    EXPECT_TRUE(refusal(c).startsWith("Дата поступления"));

    c = validCard();
    c.history = "12abc";
    EXPECT_TRUE(refusal(c).contains("«№ ИБ»"));

    c = validCard();
    c.ward = "123456789012"; // twelve digits do not fit a ward number
    EXPECT_TRUE(refusal(c).contains("«Палата»"));
    c.ward = "32768";
    EXPECT_TRUE(refusal(c).contains("«Палата»"));
    c.ward = "-32768";
    EXPECT_TRUE(refusal(c).isEmpty());

    c = validCard();
    c.weight = "2147483648";
    EXPECT_TRUE(refusal(c).contains("«Вес»"));
}

TEST(CheckedCard, NumberKeysAreSignsAndDigits)
{
    for (QChar ch : QStringLiteral("+-0123456789"))
        EXPECT_TRUE(IsNumberKey(ch));
    for (QChar ch : QStringLiteral("a ,.еЁ"))
        EXPECT_FALSE(IsNumberKey(ch));
}
