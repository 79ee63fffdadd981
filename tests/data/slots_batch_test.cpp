#include "common/errors.h"
#include "data/batch_move.h"
#include "data/query_dataset.h"
#include "data/update_sql.h"
#include "temp_databases.h"

#include <gtest/gtest.h>

using namespace talvora::data;

TEST(StatementSlots, TextIsPutBackAlsoWhenTheStatementFails)
{
    talvora::test::TempDatabases dbs;
    UpdateSql slot(QStringLiteral("UpdateSQL3"), dbs.ppp());
    const QStringList kept = {QStringLiteral("delete from Vipis"), QStringLiteral("where VID = :OLD_VID")};
    slot.setSql(UpdateSql::Delete, kept);
    EXPECT_EQ(slot.runInSlot(UpdateSql::Delete, QStringLiteral("delete from Vipis  where Vpac=3 ")), 0);
    EXPECT_EQ(slot.sql(UpdateSql::Delete), kept);
    EXPECT_THROW(slot.runInSlot(UpdateSql::Delete, QStringLiteral("delete from Nowhere")), talvora::Error);
    EXPECT_EQ(slot.sql(UpdateSql::Delete), kept);
    // A missing parameter value is an error, not a silent NULL.
    EXPECT_THROW(slot.runInSlot(UpdateSql::Delete, QStringLiteral("delete from Vipis where VID = :VID")), talvora::Error);
}

TEST(StatementSlots, StoredPatientInsertAndDelete)
{
    talvora::test::TempDatabases dbs;
    UpdateSql slot(QStringLiteral("UpdateSQL1"), dbs.ppp());
    slot.setSql(UpdateSql::Insert,
                {QStringLiteral("insert into pacient"),
                 QStringLiteral("  (PName, Phist, Potd, Pdp, pdv, PdiaK, PdiaV, PanM, Palat, PanW,"),
                 QStringLiteral("   pName_f, Pname_n, Pname_o, Pprof, Pmale, pdb, Pjal, Psomat)"), QStringLiteral("values"),
                 QStringLiteral("  (\"АА_Новый\", 0, :Potd, :Pdp, :pdv, \" \", \" \", \" \", 0, :PanW,"),
                 QStringLiteral("   \" \", \" \", \" \", \" \", 1, :pdb, \" \", :Psomat)")});
    slot.setSql(UpdateSql::Delete, {QStringLiteral("delete from pacient"), QStringLiteral("where"), QStringLiteral("  PID = :OLD_PID")});
    const QDate empty(1899, 12, 30);
    slot.setParam(QStringLiteral("Potd"), 1);
    slot.setParam(QStringLiteral("Pdp"), QDate(2026, 12, 9));
    slot.setParam(QStringLiteral("pdv"), empty);
    slot.setParam(QStringLiteral("PanW"), QByteArray());
    slot.setParam(QStringLiteral("pdb"), empty);
    slot.setParam(QStringLiteral("Psomat"), QString());
    EXPECT_EQ(slot.execSql(UpdateSql::Insert), 1);

    QueryDataset q(QStringLiteral("q"), dbs.ppp());
    q.setSqlText(QStringLiteral("select PID, PName, Pmale, PdV, PdB, PdP, PdiaK from pacient"));
    q.open();
    EXPECT_EQ(q.field(QStringLiteral("PName")).asString(), QStringLiteral("АА_Новый"));
    EXPECT_EQ(q.field(QStringLiteral("Pmale")).asInteger(), 1);
    EXPECT_EQ(q.field(QStringLiteral("PdV")).asDate(), empty);
    EXPECT_EQ(q.field(QStringLiteral("PdP")).asDate(), QDate(2026, 12, 9));
    EXPECT_EQ(q.field(QStringLiteral("PdiaK")).asString(), QStringLiteral(" "));

    // A statement run through a slot shows in an open dataset only after a re-read.
    slot.setParam(QStringLiteral("OLD_PID"), q.field(QStringLiteral("PID")).value());
    EXPECT_EQ(slot.execSql(UpdateSql::Delete), 1);
    EXPECT_EQ(q.recordCount(), 1);
    q.refresh();
    EXPECT_TRUE(q.isEmpty());
}

TEST(BatchCopy, ReplacesByKeyAppendsTheRestMatchingByPosition)
{
    talvora::test::TempDatabases dbs;
    dbs.sqlErrors(QStringLiteral("insert into Errors (ErrName, ErrStatus) values (\"старое 1\", 2)"));
    dbs.sqlErrors(QStringLiteral("insert into Errors (ErrName, ErrStatus) values (\"старое 2\", 2)"));
    dbs.sql(QStringLiteral("insert into Errors (ErrName, ErrMem, ErrDate, ErrStatus) values (\"новое 1\", \"текст\", \"09.12.2026\", 1)"));
    dbs.sql(QStringLiteral("insert into Errors (ErrName, ErrStatus) values (\"новое 2\", 1)"));
    dbs.sql(QStringLiteral("insert into Errors (ErrName, ErrStatus) values (\"новое 3\", 1)"));

    BatchMove move(dbs.ppp(), QStringLiteral("Errors.db"), dbs.eee(), QStringLiteral("Errors.DB"));
    EXPECT_EQ(move.execute(), 3);
    QueryDataset q(QStringLiteral("Err"), dbs.eee());
    q.setSqlText(QStringLiteral("select ErrID, ErrName, ErrMem, ErrDate from Errors order by ErrID"));
    q.open();
    ASSERT_EQ(q.recordCount(), 3);
    EXPECT_EQ(q.field(QStringLiteral("ErrName")).asString(), QStringLiteral("новое 1"));
    EXPECT_EQ(q.field(QStringLiteral("ErrMem")).asString(), QStringLiteral("текст"));
    EXPECT_EQ(q.field(QStringLiteral("ErrDate")).asDate(), QDate(2026, 12, 9));
    q.last();
    EXPECT_EQ(q.field(QStringLiteral("ErrID")).asInteger(), 3);
    EXPECT_EQ(q.field(QStringLiteral("ErrName")).asString(), QStringLiteral("новое 3"));
}
