#include "data/sql_dialect.h"

#include "common/errors.h"

#include <gtest/gtest.h>

using namespace talvora::data;

namespace {

TranslatedStatement tr(const QString& s) { return translateStatement(s, workstationSchema()); }

} // namespace

TEST(SqlDialect, NumberGluedToKeywordAndTableWithExtension)
{
    const auto t = tr(QStringLiteral("SELECT TrTid, TrTname, TrTself FROM TreatType.DB  WHERE  TrTself = 0ORDER BY TrTname"));
    EXPECT_EQ(t.sql, QStringLiteral("SELECT TrTid , TrTname , TrTself FROM TreatType WHERE TrTself = 0 ORDER BY TrTname COLLATE RU"));
    EXPECT_EQ(t.baseTable, QStringLiteral("TreatType"));
}

TEST(SqlDialect, QuotedTableNamesWithAliasAndAnyCase)
{
    const auto t = tr(QStringLiteral("SELECT Tid FROM \"Treat.DB\" Treat\r\nWHERE  TrType = :N_TrType "));
    EXPECT_EQ(t.sql, QStringLiteral("SELECT Tid FROM Treat Treat WHERE TrType = :n_trtype"));
    EXPECT_EQ(tr(QStringLiteral("DELETE FROM Errors.db")).writeTable, QStringLiteral("Errors"));
    EXPECT_EQ(tr(QStringLiteral("select * from SHABLONTYPE")).baseTable, QStringLiteral("SHablonType"));
}

TEST(SqlDialect, DoubleQuotedLiteralsBecomeSafeStrings)
{
    // An apostrophe inside a double-quoted literal must not end the literal.
    const auto t = tr(QStringLiteral("UPDATE TreatType SET TrTname =\"O'Brien; DROP TABLE Pacient\" WHERE TrTid =5"));
    EXPECT_EQ(t.sql, QStringLiteral("UPDATE TreatType SET TrTname = substr('O''Brien; DROP TABLE Pacient', 1, 250) WHERE TrTid = 5"));
}

TEST(SqlDialect, DateLiteralsAreConvertedOnlyForDateColumns)
{
    EXPECT_EQ(tr(QStringLiteral("select PID from pacient where PdV = \"30.12.1899\"")).sql,
              QStringLiteral("select PID from Pacient where PdV = '1899-12-30'"));
    EXPECT_EQ(tr(QStringLiteral("select PID from pacient WHERE (Potd=3  AND (PdP>\"13.12.2002\" ))")).sql,
              QStringLiteral("select PID from Pacient WHERE ( Potd = 3 AND ( PdP > '2002-12-13' ) )"));
    // A text column keeps a text that looks like a date.
    EXPECT_EQ(tr(QStringLiteral("select Oid from Otdelen where Ootd = \"12.12.2002\"")).sql,
              QStringLiteral("select Oid from Otdelen where Ootd = '12.12.2002'"));
    // A date-time in the locale's form, single-quoted, in an INSERT.
    const auto ins = tr(QStringLiteral("INSERT INTO Issled(Ipac, Idate, Itype, Iname, Ires)  VALUES (7, '09.12.2026 14:05:03', 2, \"ЭЭГ\" ,  \"\")"));
    EXPECT_TRUE(ins.sql.contains(QStringLiteral("'2026-12-09 14:05:03'"))) << ins.sql.toStdString();
    // A date-time column given a date alone gets its midnight.
    const auto day = tr(QStringLiteral("select Iid from Issled where Idate >= \"09.12.2026\""));
    EXPECT_EQ(day.sql, QStringLiteral("select Iid from Issled where Idate >= '2026-12-09 00:00:00'"));
    EXPECT_THROW(tr(QStringLiteral("select PID from pacient where PdP > \"31.02.2002\"")), talvora::Error);
}

TEST(SqlDialect, ParameterUsedTwiceIsOneParameterWithItsColumnType)
{
    const auto t = tr(QStringLiteral("SELECT FID FROM Fish WHERE ( (Fmin < :min) OR (Fmin =:min)) AND (Fmax > :MAX) OR (Fmax =:max)"));
    ASSERT_EQ(t.params.size(), 2u);
    EXPECT_EQ(t.params[0].name, QStringLiteral("min"));
    EXPECT_EQ(t.params[0].partner, FieldType::Integer);
    const auto d = tr(QStringLiteral("update pacient set PdV = :d where PdP > :d"));
    ASSERT_EQ(d.params.size(), 1u);
    EXPECT_EQ(d.params[0].partner, FieldType::Date);
}

TEST(SqlDialect, RepeatedColumnGetsSuffixAndHeavyColumnsAreLazy)
{
    const auto t = tr(QStringLiteral("SELECT Iid, Ipac, Idate, Idate, Itype, Iname, Ires FROM Issled WHERE Ipac =5"));
    ASSERT_EQ(t.columns.size(), 7u);
    EXPECT_EQ(t.columns[2].name, QStringLiteral("Idate"));
    EXPECT_EQ(t.columns[3].name, QStringLiteral("Idate_1"));
    EXPECT_TRUE(t.columns[6].lazy);
    EXPECT_TRUE(t.sql.contains(QStringLiteral("Issled.rowid"))) << t.sql.toStdString();
    const auto j = tr(QStringLiteral("SELECT Vipis.VID, Vipis.Vres, Pacient.Pname FROM \"Vipis.DB\" Vipis INNER JOIN \"Pacient.DB\" Pacient ON (Vipis.Vpac = Pacient.PID)"));
    EXPECT_EQ(j.columns[1].name, QStringLiteral("Vres"));
    EXPECT_TRUE(j.columns[1].lazy);
    EXPECT_EQ(j.columns[2].table, QStringLiteral("Pacient"));
}

TEST(SqlDialect, WritesAreCutToTheFieldWidth)
{
    const auto ins = tr(QStringLiteral("insert into Otdelen (Ozav, OID) values (:z, 5)"));
    EXPECT_EQ(ins.sql, QStringLiteral("insert into Otdelen ( Ozav , OID ) values ( substr(:z, 1, 100) , 5 )"));
    const auto upd = tr(QStringLiteral("update pacient set   PName_f = :PName where PName = :OLD_PName "));
    EXPECT_EQ(upd.sql, QStringLiteral("update Pacient set PName_f = substr(:pname, 1, 50) where PName = :old_pname"));
}

TEST(SqlDialect, RefusesWhatItCannotTranslateAndNamesTheStatement)
{
    try {
        tr(QStringLiteral("select * from Nowhere"));
        FAIL() << "no error";
    } catch (const talvora::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Nowhere")));
        EXPECT_TRUE(e.message().contains(QStringLiteral("select * from Nowhere")));
    }
    EXPECT_THROW(tr(QStringLiteral("select PID from pacient where Pname = \"open")), talvora::Error);
    EXPECT_THROW(tr(QStringLiteral("delete from pacient; delete from Vipis")), talvora::Error);
    EXPECT_THROW(tr(QStringLiteral("drop table pacient")), talvora::Error);
    EXPECT_THROW(tr(QStringLiteral("insert into Otdelen (Ootd) values (\"a\", \"b\")")), talvora::Error);
    EXPECT_THROW(tr(QString()), talvora::Error);
}
