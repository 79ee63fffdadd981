// Every statement the windows write, run unchanged against a real database.

#include "data/query_dataset.h"
#include "data/update_sql.h"
#include "temp_databases.h"

#include <QDateTime>

#include <gtest/gtest.h>

using namespace talvora::data;

namespace {

class Statements : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Two departments; patients 1..4 in department 1, patient 5 in department 2.
        dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Неврология\")"));
        dbs.sql(QStringLiteral("insert into Otdelen (Oboln, Ootd) values (\"ГКБ №1\", \"Кардиология\")"));
        patient(QStringLiteral("Яковлев Я.Я."), 1, QStringLiteral("01.02.2003"), QStringLiteral("30.12.1899"), 2, 150);
        patient(QStringLiteral("Аверин А.А."), 1, QStringLiteral("15.12.2002"), QStringLiteral("20.12.2002"), 2, 120);
        patient(QStringLiteral("Борисов Б.Б."), 1, QStringLiteral("10.12.2002"), QStringLiteral("30.12.1899"), 1, 90);
        patient(QStringLiteral("Ёлкин Е.Е."), 1, QStringLiteral("14.12.2002"), QStringLiteral("30.12.1899"), 1, 300);
        patient(QStringLiteral("Другой Д.Д."), 2, QStringLiteral("14.12.2002"), QStringLiteral("30.12.1899"), 1, 101);
        dbs.sql(QStringLiteral("insert into VipisType (VTName, VTOtd) values (\"Выписки\", 1)"));
        for (int pac : {1, 1, 2})
            dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype, Vdate) values (:p, 1, :d)"),
                    params({{"p", pac}, {"d", QDateTime(QDate(2003, 1, pac), QTime(10, 0))}}));
        dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (\"Выписки\", 1)"));
        dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (\"ЭЭГ\", 1)"));
        dbs.sql(QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes, Sh_def) values (1, 1, \"Выписка\", :r, 1)"),
                params({{"r", QByteArray("BDOC")}}));
        dbs.sql(QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes, Sh_def) values (1, 2, \"ЭЭГ\", :r, 0)"),
                params({{"r", QByteArray("BDOC")}}));
        dbs.sql(QStringLiteral("insert into TreatType (TrTname, TrTself) values (\"Ноотропы\", 0)"));
        dbs.sql(QStringLiteral("insert into TreatType (TrTname, TrTself) values (\"Антиоксиданты\", 0)"));
        dbs.sql(QStringLiteral("insert into TreatType (TrTname, TrTself) values (\"Рацетамы\", 1)"));
        dbs.sql(QStringLiteral("insert into Treat (TrType, Tname_r, Tdose, Tkratn) values (3, \"Пирацетам\", 30, 3)"));
        for (int k : {1, 1, 2, 3})
            dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, Fname, Fmin, Fmax, Fmale) values (1, 1, \"Анамнез\", :mn, :mx, :m)"),
                    params({{"mn", k == 2 ? 18 : 0}, {"mx", k == 2 ? 60 : 900}, {"m", k}}));
        for (int s : {1, 2, 2, 3})
            dbs.sql(QStringLiteral("insert into Errors (ErrName, ErrStatus, ErrForm) values (\"ошибка\", :s, :f)"),
                    params({{"s", s}, {"f", s == 2 ? 3 : 1}}));
    }

    static Params params(std::initializer_list<std::pair<const char*, QVariant>> items)
    {
        Params p;
        for (const auto& [n, v] : items)
            p.set(QString::fromLatin1(n), v);
        return p;
    }

    void patient(const QString& name, int otd, const QString& pdp, const QString& pdv, int palat, int hist)
    {
        dbs.sql(QStringLiteral("insert into pacient (PName, Potd, PdP, PdV, Palat, Phist, PdiaK) values (:n, :o, :p, :v, :w, :h, \"ОНМК\")"),
                params({{"n", name}, {"o", otd}, {"p", pdp}, {"v", pdv}, {"w", palat}, {"h", hist}}));
    }

    QStringList column(const QStringList& lines, const char* field, const Params& p = {})
    {
        QueryDataset q(QStringLiteral("q"), dbs.ppp());
        q.setSql(lines);
        for (const auto& [n, v] : p.items())
            q.setParam(n, v);
        q.open();
        QStringList out;
        for (int i = 0; i < q.recordCount(); ++i) {
            q.moveTo(i);
            out << q.field(QString::fromLatin1(field)).asString();
        }
        return out;
    }
    QStringList column(const QString& text, const char* field, const Params& p = {})
    {
        return column(QStringList{text}, field, p);
    }

    talvora::test::TempDatabases dbs;
};

} // namespace

TEST_F(Statements, PatientQueriesAsStored)
{
    QueryDataset pac(QStringLiteral("Pac_q"), dbs.ppp());
    pac.setSql({QStringLiteral("Select pID, PName, Phist, Potd, "),
                QStringLiteral("Pdp, pdv, PdiaK, PdiaV, PanM, PanV, Palat, "),
                QStringLiteral("PanW, pName_f, Pname_n, Pname_o,"),
                QStringLiteral("Pprof, Pmale, pdb, Pjal, Psomat, Pnst, Pves, Precom"), QString(), QString(),
                QString(), QStringLiteral(" from pacient ")});
    pac.open();
    EXPECT_EQ(pac.recordCount(), 5);
    EXPECT_EQ(pac.fieldInfo(0).name, QStringLiteral("pID"));
    EXPECT_EQ(pac.field(QStringLiteral("PDV")).asDate(), QDate(1899, 12, 30));
    EXPECT_EQ(pac.field(QStringLiteral("PdiaK")).asString(), QStringLiteral("ОНМК"));

    const QStringList list = {QStringLiteral("Select Palat,  PName, Pid, PdP"), QStringLiteral("FROM pacient "),
                              QStringLiteral("WHERE potd =:potd"), QString(), QStringLiteral("order by Palat, PName")};
    EXPECT_EQ(column(list, "PName", params({{"potd", 1}})),
              (QStringList{QStringLiteral("Борисов Б.Б."), QStringLiteral("Ёлкин Е.Е."), QStringLiteral("Аверин А.А."),
                           QStringLiteral("Яковлев Я.Я.")}));

    // Not discharged: line 4 rewritten.
    QStringList notOut = list;
    notOut[3] = QStringLiteral("AND PdV = \"30.12.1899\"");
    EXPECT_EQ(column(notOut, "Pid", params({{"potd", 1}})).size(), 3);

    // Title click: line 5 rewritten.
    QStringList byDate = list;
    byDate[4] = QStringLiteral(" ORDER BY PdP");
    EXPECT_EQ(column(byDate, "Pid", params({{"potd", 1}})),
              (QStringList{QStringLiteral("3"), QStringLiteral("4"), QStringLiteral("2"), QStringLiteral("1")}));

    // The extra filters' WHERE line.
    QStringList filtered = list;
    filtered[2] = QStringLiteral("WHERE (Potd=1  AND ((Pid=1) OR(Pid=2) OR(Pid=4) ) AND (PdP>\"13.12.2002\" ) AND ( ( (Phist>100) AND (Phist<200)) ))");
    EXPECT_EQ(column(filtered, "Pid"), (QStringList{QStringLiteral("2"), QStringLiteral("1")}));
    filtered[2] = QStringLiteral("WHERE (Potd > 0  AND (PdP>\"13.12.2002\" ) )");
    EXPECT_EQ(column(filtered, "Pid").size(), 4);
}

TEST_F(Statements, DocumentsStoredAndOnOneLine)
{
    const QStringList stored = {QStringLiteral("SELECT VID, Vpac , Vtype, Vdate, Vres"), QStringLiteral("FROM Vipis"),
                                QStringLiteral("WHERE Vpac = :Vpac"), QStringLiteral("ORDER BY Vdate")};
    EXPECT_EQ(column(stored, "VID", params({{"Vpac", 1}})).size(), 2);
    EXPECT_EQ(column(QStringLiteral("SELECT VID, Vpac , Vtype, Vdate, Vres FROM Vipis WHERE Vpac = :Vpac ORDER BY Vdate "),
                     "Vdate", params({{"Vpac", 2}})),
              QStringList{QStringLiteral("02.01.2003 10:00:00")});

    UpdateSql slot(QStringLiteral("UpdateSQL3"), dbs.ppp());
    const QDateTime now(QDate(2026, 12, 9), QTime(14, 5, 3));
    slot.runInSlot(UpdateSql::Insert, QStringLiteral("insert into Vipis  (Vpac, Vdate, Vtype)  values (:Vpac, :Vdate, :Vtype)"),
                   [&](Params& p) {
                       p.set(QStringLiteral("Vpac"), 5);
                       p.set(QStringLiteral("Vdate"), now);
                       p.set(QStringLiteral("Vtype"), 0);
                   });
    const int vid = dbs.scalar(QStringLiteral("select VID from Vipis where Vpac = 5")).toInt();
    slot.runInSlot(UpdateSql::Modify, QStringLiteral("update vipis set   Vres = :Vres \r\nwhere VID =") + QString::number(vid),
                   [](Params& p) { p.set(QStringLiteral("Vres"), QByteArray("BDOC\x01\x00\x00\x00", 8)); });
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Vres from Vipis where VID = %1").arg(vid)).toByteArray().size(), 8);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Vdate from Vipis where VID = %1").arg(vid)).toDateTime(), now);
    EXPECT_EQ(slot.runInSlot(UpdateSql::Delete, QStringLiteral("delete from Vipis where VID = ") + QString::number(vid)), 1);
    EXPECT_EQ(slot.runInSlot(UpdateSql::Delete, QStringLiteral("delete from Vipis  where Vpac=1 ")), 2);
}

TEST_F(Statements, DrugGroupsAndDrugs)
{
    EXPECT_EQ(column(QStringLiteral("SELECT TrTid, TrTname, TrTself FROM TreatType.DB  WHERE  TrTself = 0ORDER BY TrTname"), "TrTname"),
              (QStringList{QStringLiteral("Антиоксиданты"), QStringLiteral("Ноотропы")}));
    const QStringList stored = {QStringLiteral("SELECT TrTid, TrTname, TrTself"), QString(),
                                QStringLiteral("FROM \"TreatType.DB\" Treattype"), QString(),
                                QStringLiteral("WHERE  TrTself = 1"), QString(), QString()};
    EXPECT_EQ(column(stored, "TrTname"), QStringList{QStringLiteral("Рацетамы")});
    EXPECT_EQ(column(QStringLiteral("SELECT TrTid, TrTname, TrTself \r\nFROM TreatType.DB \r\n WHERE  TrTself =1\r\n ORDER BY TrTname \r\n"), "TrTid"),
              QStringList{QStringLiteral("3")});
    const QStringList drugs = {QStringLiteral("SELECT Tid, TrType, Tname_r, Tname_l, Tdose, Tkratn, Tprim, Tprice"),
                               QStringLiteral("FROM \"Treat.DB\" Treat"), QStringLiteral("WHERE  TrType = :N_TrType "), QString()};
    EXPECT_EQ(column(drugs, "Tname_r", params({{"N_TrType", 3}})), QStringList{QStringLiteral("Пирацетам")});

    EXPECT_EQ(dbs.sql(QStringLiteral("UPDATE TreatType SET TrTname =\"Ноотропные\" WHERE TrTid =1")), 1);
    EXPECT_EQ(dbs.sql(QStringLiteral("delete from TreatType  where TrTself =1")), 1);
    EXPECT_EQ(dbs.sql(QStringLiteral("delete from TreatType  where TrTid =2")), 1);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select TrTname from TreatType")).toString(), QStringLiteral("Ноотропные"));
}

TEST_F(Statements, ErrorListAndItsFilter)
{
    const QStringList stored = {QStringLiteral("SELECT "),
                                QStringLiteral("  ErrID, ErrName, ErrMem, ErrDate, ErrForm, ErrProg, ErrVers, ErrOwner, ErrStatus"),
                                QStringLiteral("FROM Errors"), QStringLiteral("WHERE ErrStatus < 3"), QString(), QString(), QString()};
    EXPECT_EQ(column(stored, "ErrID").size(), 3);
    const QString head = QStringLiteral(" SELECT  ErrID, ErrName, ErrMem, ErrDate, ErrForm, ErrProg, ErrVers, ErrOwner, ErrStatus FROM Errors  WHERE ");
    EXPECT_EQ(column(head + QStringLiteral(" ErrStatus =2  AND  ErrForm =3 "), "ErrID").size(), 2);
    EXPECT_EQ(column(head + QStringLiteral(" ErrStatus =3  OR  ErrForm =3 "), "ErrID").size(), 3);
    EXPECT_EQ(dbs.sql(QStringLiteral(" DELETE FROM Errors.db ")), 4);
}

TEST_F(Statements, BoilerplatesByKindAgeAndSex)
{
    const QStringList stored = {QStringLiteral("SELECT FID, Fotd, FType, FName, Fres, Fmin, Fmax, Fmem, Fmale"),
                                QStringLiteral("FROM Fish"), QStringLiteral("WHERE "),
                                QStringLiteral("  (Fotd = :otd) AND  (FType = :type)  AND ( (Fmin < :min) OR (Fmin =:min))  AND  ( (Fmax > :max) OR (Fmax =:max) )  ")};
    EXPECT_EQ(column(stored, "FID", params({{"otd", 1}, {"type", 1}, {"min", 0}, {"max", 900}})),
              (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("4")}));
    EXPECT_EQ(column(stored, "FID", params({{"otd", 1}, {"type", 1}, {"min", 30}, {"max", 30}})).size(), 4);
    const QString withSex = QStringLiteral(
        "SELECT FID, Fotd, FType, FName, Fres, Fmin, Fmax, Fmem, Fmale  FROM Fish  WHERE (Fotd = :otd) AND  (FType = :type)  AND ( (Fmin < :min) OR (Fmin =:min))  AND  ( (Fmax > :max) OR (Fmax =:max) )"
        "AND ((Fmale =:male ) or (Fmale =0) or (Fmale=3))");
    EXPECT_EQ(column(withSex, "FID", params({{"otd", 1}, {"type", 1}, {"min", 30}, {"max", 30}, {"male", 2}})),
              (QStringList{QStringLiteral("3"), QStringLiteral("4")}));
    EXPECT_EQ(column(QStringList{QStringLiteral("SELECT FID, Fotd, FType, FName, Fres, Fmin, Fmax, Fmem, Fmale"), QStringLiteral("FROM Fish"),
                                 QStringLiteral("WHERE"), QStringLiteral("  Fotd =:_Fotd"), QString()},
                     "FID", params({{"_Fotd", 1}})).size(), 4);
}

TEST_F(Statements, TemplatesAndTemplateTypes)
{
    EXPECT_EQ(column(QStringList{QStringLiteral("SELECT ShTID, ShTName, ShTotd "), QStringLiteral("FROM ShablonType "),
                                 QStringLiteral("WHERE "), QStringLiteral("  ShTotd=:_ShTotd")},
                     "ShTName", params({{"_ShTotd", 1}})).size(), 2);
    EXPECT_EQ(column(QStringList{QStringLiteral("SELECT ShId, ShOtd, ShType, ShName, ShRes, Sh_min, Sh_max,  Sh_def"),
                                 QStringLiteral("FROM SHablon "), QStringLiteral("WHERE (ShOtd =:_ShOtd) AND (ShType=:_ShType)")},
                     "ShName", params({{"_ShOtd", 1}, {"_ShType", 2}})),
              QStringList{QStringLiteral("ЭЭГ")});
    EXPECT_EQ(column(QStringLiteral("select ShName, Sh_def, ShId from SHablon where (ShType = 1) and (ShOtd = 1)"), "ShName"),
              QStringList{QStringLiteral("Выписка")});
    EXPECT_EQ(column(QStringLiteral("select ShName from SHablon where ShOtd = 1"), "ShName").size(), 2);
    EXPECT_EQ(column(QStringLiteral("select ShName, Sh_def, ShId from SHablon where  (ShOtd = 1) and (Sh_def = 1)"), "ShName"),
              QStringList{QStringLiteral("Выписка")});
    EXPECT_EQ(dbs.sql(QStringLiteral("delete from Shablon where ShType = 2")), 1);
}

TEST_F(Statements, InvestigationsWrittenAndRead)
{
    const QString when = QDateTime(QDate(2026, 12, 9), QTime(14, 5, 3)).toString(QStringLiteral("dd.MM.yyyy HH:mm:ss"));
    dbs.sql(QStringLiteral("INSERT INTO Issled(Ipac, Idate, Itype, Iname, Ires)  VALUES (1, '") + when +
            QStringLiteral("', 2, \"ЭЭГ от 09.12\" ,  \"\")"));
    const int iid = dbs.scalar(QStringLiteral("select Iid from Issled where Ipac = 1")).toInt();
    QueryDataset q(QStringLiteral("Issled_q"), dbs.ppp());
    q.setSqlText(QStringLiteral("SELECT Iid, Ipac, Idate, Idate, Itype, Iname, Ires FROM Issled WHERE (Ipac =1) and (Itype = 2)"));
    q.open();
    ASSERT_EQ(q.recordCount(), 1);
    EXPECT_EQ(q.field(QStringLiteral("Idate_1")).asDateTime(), QDateTime(QDate(2026, 12, 9), QTime(14, 5, 3)));
    EXPECT_EQ(q.field(QStringLiteral("Iname")).asString(), QStringLiteral("ЭЭГ от 09.12"));

    UpdateSql slot(QStringLiteral("UpdateSQL2"), dbs.ppp());
    slot.runInSlot(UpdateSql::Modify, QStringLiteral("UPDATE Issled SET Idate =:Idate, Ires =:Ires WHERE Iid =:N_Iid "), [&](Params& p) {
        p.set(QStringLiteral("Idate"), QDateTime(QDate(2026, 12, 10), QTime(9, 0)));
        p.set(QStringLiteral("Ires"), QByteArray(20000, 'x'));
        p.set(QStringLiteral("N_Iid"), iid);
    });
    q.refresh();
    EXPECT_EQ(q.field(QStringLiteral("Ires")).asBytes().size(), 20000);
    EXPECT_EQ(q.field(QStringLiteral("Idate")).asDateTime().date(), QDate(2026, 12, 10));
    EXPECT_EQ(slot.runInSlot(UpdateSql::Delete, QStringLiteral("delete from Issled where Iid = :OLD_Iid"),
                             [&](Params& p) { p.set(QStringLiteral("OLD_Iid"), iid); }),
              1);
    EXPECT_EQ(dbs.sql(QStringLiteral("delete from Issled  where Ipac =1 ")), 0);
    EXPECT_EQ(dbs.sql(QStringLiteral("delete from Nazn  where Npac =1 ")), 0);
}

TEST_F(Statements, DocumentExportJoin)
{
    const QString sql = QStringLiteral(
        "SELECT Vipis.VID, Vipis.Vpac, Vipis.Vdate, Vipis.Vres, Pacient.Pname, Vipistype.VTName FROM \"Vipis.DB\" Vipis INNER JOIN "
        "\"Pacient.DB\" Pacient ON  (Vipis.Vpac = Pacient.PID)  INNER JOIN \"VipisType.DB\" Vipistype ON  (Vipis.Vtype = Vipistype.VTid)  WHERE "
        "(Vipis.Vpac=1) OR(Vipis.Vpac=2) ");
    QueryDataset q(QStringLiteral("Upload_q"), dbs.ppp());
    q.setSqlText(sql);
    q.open();
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_EQ(q.fieldNames(), (QStringList{QStringLiteral("VID"), QStringLiteral("Vpac"), QStringLiteral("Vdate"), QStringLiteral("Vres"),
                                           QStringLiteral("Pname"), QStringLiteral("VTName")}));
    EXPECT_EQ(q.field(QStringLiteral("VTName")).asString(), QStringLiteral("Выписки"));
}

TEST_F(Statements, PatientSlotStatements)
{
    UpdateSql slot(QStringLiteral("UpdateSQL1"), dbs.ppp());
    // The surname taken from the display name, for every row with that name.
    EXPECT_EQ(slot.runInSlot(UpdateSql::Modify, QStringLiteral("update pacient set   PName_f = :PName where PName = :OLD_PName "),
                             [](Params& p) {
                                 p.set(QStringLiteral("PName"), QStringLiteral("Аверин А.А."));
                                 p.set(QStringLiteral("OLD_PName"), QStringLiteral("Аверин А.А."));
                             }),
              1);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pname_f from pacient where PID = 2")).toString(), QStringLiteral("Аверин А.А."));
}
