#include "data/collation.h"
#include "data/query_dataset.h"
#include "temp_databases.h"

#include <gtest/gtest.h>

using talvora::data::russianCompare;

TEST(RussianCollation, AlphabetOrderWithYoAfterYe)
{
    const QStringList ordered = {QStringLiteral("12"), QStringLiteral("Zeta"), QStringLiteral("абрикос"),
                                 QStringLiteral("Баранов"), QStringLiteral("елка"), QStringLiteral("Ёжиков"),
                                 QStringLiteral("жук"), QStringLiteral("Яковлев")};
    for (int i = 0; i + 1 < ordered.size(); ++i)
        EXPECT_LT(russianCompare(ordered[i], ordered[i + 1]), 0) << ordered[i].toStdString() << " < "
                                                                 << ordered[i + 1].toStdString();
}

TEST(RussianCollation, CaseDecidesOnlyBetweenOtherwiseEqualTexts)
{
    EXPECT_LT(russianCompare(QStringLiteral("иванов"), QStringLiteral("Иванова")), 0);
    EXPECT_GT(russianCompare(QStringLiteral("Иванов"), QStringLiteral("иванов")), 0);
    EXPECT_EQ(russianCompare(QStringLiteral("Петров"), QStringLiteral("Петров")), 0);
    EXPECT_NE(russianCompare(QStringLiteral("Петров"), QStringLiteral("петров")), 0);
}

TEST(RussianCollation, OrderByOnTextColumnsUsesIt)
{
    talvora::test::TempDatabases dbs;
    for (const char* name : {"Яшин", "ёлкин", "Ершов", "Абрамов", "Жуков", "Adams"})
        dbs.sql(QStringLiteral("insert into Otdelen (Ootd) values (\"%1\")").arg(QString::fromUtf8(name)));
    talvora::data::QueryDataset q(QStringLiteral("q"), dbs.ppp());
    q.setSqlText(QStringLiteral("select Ootd from Otdelen order by Ootd"));
    q.open();
    QStringList got;
    for (int i = 0; i < q.recordCount(); ++i) {
        q.moveTo(i);
        got << q.field(QStringLiteral("Ootd")).asString();
    }
    EXPECT_EQ(got.join(u','), QStringLiteral("Adams,Абрамов,Ершов,ёлкин,Жуков,Яшин"));
}
