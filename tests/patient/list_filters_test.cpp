#include "common/dates.h"
#include "patient/list_filters.h"

#include <gtest/gtest.h>

using namespace talvora;
using namespace talvora::patient;

TEST(KeyListCondition, ChainsShortListsAndUsesAnInListForLongOnes)
{
    EXPECT_EQ(KeyListCondition({}, "Pid"), "");
    EXPECT_EQ(KeyListCondition({"12"}, "Pid"), "(Pid=12) ");
    EXPECT_EQ(KeyListCondition({"12", "15"}, "Pid"), "(Pid=12) OR(Pid=15) ");
    EXPECT_EQ(KeyListCondition({"7", "9"}, "Vipis.Vpac"), "(Vipis.Vpac=7) OR(Vipis.Vpac=9) ");
    QStringList many;
    for (int i = 1; i <= kLongKeyList + 1; ++i)
        many << QString::number(i);
    const QString in = KeyListCondition(many, "Pid");
    EXPECT_TRUE(in.startsWith("(Pid IN (1,2,3,")) << in.left(40).toStdString();
    EXPECT_TRUE(in.endsWith(QString::number(kLongKeyList + 1) + ")) "));
}

TEST(WhereLine, BuildsTheDocumentedLine)
{
    WhereParts p;
    p.department = "3";
    p.nameCondition = "(Pid=12) OR(Pid=15) ";
    p.admittedAfter = QDate(2002, 12, 13);
    p.historyFrom = 200; // the bounds are ordered
    p.historyTo = 100;
    EXPECT_EQ(WhereLine(p), "WHERE (Potd=3  AND ((Pid=12) OR(Pid=15) ) AND (PdP>\"13.12.2002\" ) AND ( ( (Phist>100) "
                            "AND (Phist<200)) ))");
    WhereParts whole;
    whole.wholeDatabase = true;
    whole.department = "3";
    whole.admittedAfter = EmptyDate();
    whole.historyFrom = 100;
    EXPECT_EQ(WhereLine(whole), "WHERE (Potd > 0  AND ( ( (Phist>0) AND (Phist<100)) ))");
}

TEST(ReadExtraFilters, UncheckedOrBadValuesFallBack)
{
    ExtraFilterInput in;
    in.word = "инсульт"; // not checked: no word
    in.day = "13";
    in.month = "12";
    in.year = "2002";
    ExtraFilterValues v = ReadExtraFilters(in, 2024);
    EXPECT_TRUE(v.word.isEmpty());
    EXPECT_EQ(v.admittedAfter, QDate(2002, 12, 12)); // the fixed bound, even unchecked
    EXPECT_TRUE(v.clearDateCheck);

    in.wordOn = in.dateOn = true;
    v = ReadExtraFilters(in, 2024);
    EXPECT_EQ(v.word, "инсульт");
    EXPECT_EQ(v.admittedAfter, QDate(2002, 12, 13));
    EXPECT_FALSE(v.clearDateCheck);

    in.day = "31";
    in.month = "04"; // passes the plausibility check, names no day
    v = ReadExtraFilters(in, 2024);
    EXPECT_EQ(v.admittedAfter, QDate(2002, 12, 12));
    EXPECT_TRUE(v.clearDateCheck);

    in.ageOn = in.historyOn = true;
    in.ageFrom = "20";
    in.ageTo = "3O"; // a letter O
    in.historyFrom = "";
    in.historyTo = "99999999999";
    v = ReadExtraFilters(in, 2024);
    EXPECT_EQ(v.ageFrom, 20);
    EXPECT_EQ(v.ageTo, 0);
    EXPECT_FALSE(v.badAgeFrom);
    EXPECT_TRUE(v.badAgeTo);
    EXPECT_TRUE(v.badHistoryFrom);
    EXPECT_TRUE(v.badHistoryTo);
}

TEST(FilterTests, WordIgnoresCaseAndAgeBoundsAreStrict)
{
    const QString word = UpperCased("ишемический");
    EXPECT_TRUE(DiagnosisContains("Инсульт ИШЕМИЧЕСКИЙ, острый период", word));
    EXPECT_FALSE(DiagnosisContains("", word));
    EXPECT_TRUE(DiagnosisContains("ЁЛКИНА болезнь", UpperCased("ёлкина")));
    EXPECT_FALSE(DiagnosisContains("Мигрень", word));

    const QDate admitted(2024, 6, 1);
    EXPECT_FALSE(AgeWithin(QDate(2004, 5, 1), admitted, 20, 30)); // 20 exactly
    EXPECT_TRUE(AgeWithin(QDate(2003, 5, 1), admitted, 20, 30));  // 21
    EXPECT_TRUE(AgeWithin(QDate(2003, 5, 1), admitted, 30, 20));  // bounds in either order
    EXPECT_FALSE(AgeWithin(QDate(1994, 5, 1), admitted, 20, 30)); // 30 exactly
    EXPECT_TRUE(AgeWithin(EmptyDate(), admitted, 100, 200));      // no birth date: over a hundred
}
