#include "data/collation.h"
#include "data/query_dataset.h"
#include "data/schema.h"
#include "data/sqlite_db.h"
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

// A department's list comes in the order of its index, compared the Russian
// way; a database made before the index had it gets it when first opened.
TEST(RussianCollation, TheListIndexKeepsTheOrderAndComesToOlderDatabases)
{
    talvora::test::TempDatabases dbs;
    const QString file = dbs.aliases().databaseFile(QStringLiteral("pacientdata"));
    for (const char* name : {"Яшин Я.Я.", "ёлкин Е.Е.", "Ершов Е.Е.", "Абрамов А.А.", "Ёлкин Е.Е.", "Adams A."}) {
        talvora::data::Params p;
        p.set(QStringLiteral("n"), QString::fromUtf8(name));
        p.set(QStringLiteral("d"), QDate(2024, 2, 1));
        dbs.sql(QStringLiteral("insert into Pacient (Pname, Potd, Palat, PdP) values (:n, 1, 3, :d)"), p);
    }
    {
        // As an earlier version left it: no indexes but the list's in binary order.
        talvora::data::SqliteConnection old(file, false);
        for (const char* index : {"Pacient_Wards", "Pacient_Discharge", "Pacient_Diagnoses", "Pacient_Ages"})
            old.exec(QStringLiteral("DROP INDEX \"%1\"").arg(QLatin1String(index)));
    }
    talvora::data::Database db(QStringLiteral("reopened"), QStringLiteral("pacientdata"), QStringLiteral("R"),
                               talvora::data::workstationSchema(), dbs.aliases());
    db.open();
    talvora::data::SqliteStatement indexes = db.connection().prepare(
        QStringLiteral("SELECT count(*) FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Pacient'"));
    ASSERT_TRUE(indexes.step());
    EXPECT_EQ(indexes.int64(0), 4);

    talvora::data::QueryDataset list(QStringLiteral("list"), db);
    list.setSqlText(QStringLiteral("Select Palat, PName, Pid, PdP FROM pacient WHERE potd = 1 order by Palat, PName"));
    list.open();
    QStringList got;
    for (int i = 0; i < list.recordCount(); ++i) {
        list.moveTo(i);
        got << list.field(QStringLiteral("PName")).asString();
    }
    EXPECT_EQ(got.join(u','), QStringLiteral("Adams A.,Абрамов А.А.,Ершов Е.Е.,ёлкин Е.Е.,Ёлкин Е.Е.,Яшин Я.Я."));

    // The plan reads the index, not the table, and sorts nothing.
    talvora::data::SqliteStatement plan = db.connection().prepare(
        QStringLiteral("EXPLAIN QUERY PLAN SELECT Palat, Pname, PID, PdP FROM Pacient WHERE Potd = 1 "
                       "ORDER BY Palat, Pname COLLATE RU"));
    QStringList steps;
    while (plan.step())
        steps << plan.text(3);
    EXPECT_TRUE(steps.join(u'|').contains(QStringLiteral("COVERING INDEX Pacient_Wards"))) << steps.join(u'|').toStdString();
    EXPECT_FALSE(steps.join(u'|').contains(QStringLiteral("TEMP B-TREE"))) << steps.join(u'|').toStdString();
}
