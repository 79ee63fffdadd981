#include "common/errors.h"
#include "data/query_dataset.h"
#include "data/sort_query.h"
#include "data/table_dataset.h"
#include "data/unit_of_work.h"
#include "data/update_sql.h"
#include "temp_databases.h"

#include <gtest/gtest.h>

using namespace talvora::data;

TEST(InsertedKeys, TheSlotHandsBackTheKeyOfItsRowAndRefusesOtherStatements)
{
    talvora::test::TempDatabases dbs;
    dbs.sql(QStringLiteral("insert into Otdelen (Ootd) values (\"Первое\")"));
    UpdateSql slot(QStringLiteral("UpdateSQL1"), dbs.ppp());
    const qint64 a = slot.runInsertInSlot(UpdateSql::Insert, QStringLiteral("insert into Otdelen (Ootd) values (:n)"),
                                          [](Params& p) { p.set(QStringLiteral("n"), QStringLiteral("Второе")); });
    EXPECT_EQ(a, 2);
    EXPECT_EQ(slot.sql(UpdateSql::Insert), QStringList());
    EXPECT_THROW(slot.runInsertInSlot(UpdateSql::Insert, QStringLiteral("delete from Otdelen")), talvora::Error);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Otdelen")).toInt(), 2);
    // Not one row: the caller would not know which key it got.
    EXPECT_THROW(dbs.ppp().insertRow(QStringLiteral("insert into Otdelen (Ootd) select Ootd from Otdelen"), {}),
                 talvora::Error);
}

TEST(UnitOfWork, AFailureInsideUndoesEveryStatementAndPost)
{
    talvora::test::TempDatabases dbs;
    Database& db = dbs.ppp();
    TableDataset otd(QStringLiteral("Otd"), db, QStringLiteral("Otdelen.DB"));
    otd.open();
    try {
        inUnitOfWork(db, [&] {
            db.execute(QStringLiteral("insert into Otdelen (Ootd) values (\"А\")"), {});
            otd.append();
            otd.field(QStringLiteral("Ootd")).setValue(QStringLiteral("Б"));
            otd.post(); // its own transaction becomes a savepoint of the unit
            db.execute(QStringLiteral("insert into Nowhere values (1)"), {});
        });
        FAIL() << "no failure";
    } catch (const talvora::Error&) {
    }
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Otdelen")).toInt(), 0);
    EXPECT_FALSE(db.connection().inTransaction());
    // The connection is usable afterwards, and a read snapshot nests in a unit.
    {
        UnitOfWork unit(db);
        ReadTransaction read(db);
        db.execute(QStringLiteral("insert into Otdelen (Ootd) values (\"В\")"), {});
        unit.commit();
    }
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Otdelen")).toInt(), 1);
}

TEST(SortQueryByColumn, ReplacesTheLastLineAndFallsBackWhenTheRunFails)
{
    talvora::test::TempDatabases dbs;
    for (const char* n : {"Борисов", "Андреев", "Яковлев"})
        dbs.sql(QStringLiteral("insert into pacient (Pname, Potd, PdP, Palat) values (\"%1\", 1, \"01.01.2024\", %2)")
                    .arg(QString::fromUtf8(n))
                    .arg(QString::fromUtf8(n).size()));
    QueryDataset q(QStringLiteral("pac_q1"), dbs.ppp());
    q.setSql({QStringLiteral("Select Palat,  PName, Pid, PdP"), QStringLiteral("FROM pacient "),
              QStringLiteral("WHERE potd =:potd"), QString(), QStringLiteral("order by Palat, PName")});
    q.setParam(QStringLiteral("potd"), 1);
    q.open();
    SortQueryByColumn(q, QStringLiteral("PName"));
    EXPECT_EQ(q.sql().last(), QStringLiteral(" ORDER BY PName"));
    EXPECT_EQ(q.sql().at(2), QStringLiteral("WHERE potd =:potd"));
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_EQ(q.field(QStringLiteral("PName")).asString(), QStringLiteral("Андреев"));
    SortQueryByColumn(q, QStringLiteral("NoSuchColumn"));
    EXPECT_EQ(q.sql().last(), QStringLiteral(" ORDER BY PName"));
    EXPECT_TRUE(q.active());
}

TEST(Locate, ARowIsFoundByItsKeyWithoutReadingTheRows)
{
    talvora::test::TempDatabases dbs;
    for (int i = 0; i < 5; ++i)
        dbs.sql(QStringLiteral("insert into pacient (Pname, Potd, PdP) values (\"П%1\", 1, \"01.01.2024\")").arg(i));
    QueryDataset all(QStringLiteral("Pac_q"), dbs.ppp(), QueryDataset::Mode::Cached);
    all.setSqlText(QStringLiteral("Select pID, PName from pacient "));
    all.setRowsOnDemand(true);
    all.open();
    ASSERT_TRUE(all.locate(QStringLiteral("pID"), 4));
    EXPECT_EQ(all.field(QStringLiteral("PName")).asString(), QStringLiteral("П3"));
    EXPECT_FALSE(all.locate(QStringLiteral("pID"), 99));
    EXPECT_EQ(all.field(QStringLiteral("PName")).asString(), QStringLiteral("П3"));
    TableDataset t(QStringLiteral("Pac_t"), dbs.ppp(), QStringLiteral("Pacient.DB"));
    t.open();
    ASSERT_TRUE(t.locate(QStringLiteral("PID"), QStringLiteral("2")));
    EXPECT_EQ(t.field(QStringLiteral("Pname")).asString(), QStringLiteral("П1"));
}
