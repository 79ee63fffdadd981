#include "common/errors.h"
#include "data/query_dataset.h"
#include "data/table_dataset.h"
#include "temp_databases.h"

#include <gtest/gtest.h>

using namespace talvora::data;

namespace {

class Datasets : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"Неврология", "Кардиология", "Хирургия"})
            dbs.sql(QStringLiteral("insert into Otdelen (Ootd) values (\"%1\")").arg(QString::fromUtf8(name)));
    }

    // Records the events of a dataset by name.
    void record(Dataset& ds)
    {
        auto rec = [this](const char* n) { return [this, n](Dataset&) { log << QString::fromLatin1(n); }; };
        ds.beforeOpen = rec("beforeOpen");
        ds.afterOpen = rec("afterOpen");
        ds.beforeClose = rec("beforeClose");
        ds.afterClose = rec("afterClose");
        ds.beforeScroll = rec("beforeScroll");
        ds.afterScroll = rec("afterScroll");
        ds.beforeInsert = rec("beforeInsert");
        ds.onNewRecord = rec("onNewRecord");
        ds.afterInsert = rec("afterInsert");
        ds.beforeEdit = rec("beforeEdit");
        ds.afterEdit = rec("afterEdit");
        ds.beforePost = rec("beforePost");
        ds.afterPost = rec("afterPost");
        ds.beforeCancel = rec("beforeCancel");
        ds.afterCancel = rec("afterCancel");
        ds.beforeDelete = rec("beforeDelete");
        ds.afterDelete = rec("afterDelete");
    }
    QStringList take()
    {
        QStringList out = log;
        log.clear();
        return out;
    }

    talvora::test::TempDatabases dbs;
    QStringList log;
};

using L = QStringList;

// Whether a field handle of a dataset of type D can write.
template <class D>
concept WritableFields = requires(D& ds) {
    ds.field(QString()).setValue(QVariant());
    ds.fieldAt(0).clear();
    ds.findField(QString())->setAsString(QString());
};

} // namespace

TEST_F(Datasets, EventsFireInOrderAndOnlyOnRealMoves)
{
    TableDataset otd(QStringLiteral("Otd"), dbs.ppp(), QStringLiteral("Otdelen.DB"));
    record(otd);
    otd.open();
    EXPECT_EQ(take(), (L{"beforeOpen", "afterOpen", "afterScroll"}));
    otd.next();
    EXPECT_EQ(take(), (L{"beforeScroll", "afterScroll"}));
    otd.first();
    otd.first(); // already there: no move
    EXPECT_EQ(take(), (L{"beforeScroll", "afterScroll"}));
    otd.last();
    otd.next(); // at the end: eof, no move
    EXPECT_TRUE(otd.eof());
    EXPECT_EQ(take(), (L{"beforeScroll", "afterScroll"}));

    otd.append();
    EXPECT_EQ(take(), (L{"beforeInsert", "beforeScroll", "onNewRecord", "afterInsert", "afterScroll"}));
    otd.field(QStringLiteral("Ootd")).setValue(QStringLiteral("Терапия"));
    otd.post();
    EXPECT_EQ(take(), (L{"beforePost", "afterPost"}));
    EXPECT_EQ(otd.recordCount(), 4);

    otd.edit();
    otd.cancel();
    EXPECT_EQ(take(), (L{"beforeEdit", "afterEdit", "beforeCancel", "afterCancel"}));
    otd.insert();
    otd.cancel();
    EXPECT_EQ(take(), (L{"beforeInsert", "beforeScroll", "onNewRecord", "afterInsert", "afterScroll", "beforeCancel",
                         "afterCancel", "afterScroll"}));
    otd.remove();
    EXPECT_EQ(take(), (L{"beforeDelete", "beforeScroll", "afterDelete", "afterScroll"}));
    otd.close();
    EXPECT_EQ(take(), (L{"beforeClose", "afterClose"}));

    // Opening an empty result is not a move.
    QueryDataset none(QStringLiteral("none"), dbs.ppp());
    none.setSqlText(QStringLiteral("select OID from Otdelen where OID = 0"));
    record(none);
    none.open();
    EXPECT_EQ(take(), (L{"beforeOpen", "afterOpen"}));
}

TEST_F(Datasets, BeforeDeleteHandlerCancelsTheDeletion)
{
    TableDataset otd(QStringLiteral("Otd"), dbs.ppp(), QStringLiteral("Otdelen.DB"));
    otd.open();
    otd.beforeDelete = [](Dataset&) { throw talvora::SilentAbort(); };
    EXPECT_THROW(otd.remove(), talvora::SilentAbort);
    EXPECT_EQ(otd.recordCount(), 3);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Otdelen")).toInt(), 3);
}

TEST_F(Datasets, MovingPostsAChangedRowAndCancelsAnUnchangedOne)
{
    TableDataset otd(QStringLiteral("Otd"), dbs.ppp(), QStringLiteral("Otdelen.DB"));
    otd.open();
    otd.edit();
    otd.field(QStringLiteral("Oboln")).setAsString(QStringLiteral("ГКБ №7"));
    otd.next();
    EXPECT_EQ(otd.state(), DatasetState::Browse);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Oboln from Otdelen where OID = 1")).toString(), QStringLiteral("ГКБ №7"));
    otd.insert();
    otd.next(); // nothing typed: the new row is dropped
    EXPECT_EQ(otd.recordCount(), 3);
}

TEST_F(Datasets, CachedQueryKeepsChangesInItselfOnly)
{
    QueryDataset q(QStringLiteral("Pac_q"), dbs.ppp(), QueryDataset::Mode::Cached);
    q.setSqlText(QStringLiteral("select OID, Ootd from Otdelen"));
    q.open();
    q.edit();
    q.field(QStringLiteral("ootd")).setValue(QStringLiteral("Изменено"));
    q.post();
    EXPECT_EQ(q.field(QStringLiteral("Ootd")).asString(), QStringLiteral("Изменено"));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Ootd from Otdelen where OID = 1")).toString(), QStringLiteral("Неврология"));
    q.append();
    q.field(QStringLiteral("Ootd")).setValue(QStringLiteral("Новое"));
    q.post();
    q.first();
    q.remove();
    EXPECT_EQ(q.recordCount(), 3);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Otdelen")).toInt(), 3);
    q.close();
    q.open();
    EXPECT_EQ(q.field(QStringLiteral("Ootd")).asString(), QStringLiteral("Неврология"));

    QueryDataset ro(QStringLiteral("ro"), dbs.ppp());
    ro.setSqlText(QStringLiteral("select OID, Ootd from Otdelen"));
    ro.open();
    EXPECT_THROW(ro.edit(), talvora::Error);
}

TEST_F(Datasets, LiveQueryWritesToItsTable)
{
    QueryDataset q(QStringLiteral("Err_q"), dbs.ppp(), QueryDataset::Mode::Live);
    q.setSql({QStringLiteral("SELECT "), QStringLiteral("  ErrID, ErrName, ErrMem, ErrDate, ErrStatus"),
              QStringLiteral("FROM Errors"), QStringLiteral("WHERE ErrStatus < 3")});
    q.open();
    EXPECT_TRUE(q.isEmpty());
    q.append();
    q.field(QStringLiteral("ErrName")).setValue(QString(300, u'ж'));
    q.field(QStringLiteral("ErrMem")).setValue(QStringLiteral("подробно"));
    q.field(QStringLiteral("ErrStatus")).setValue(1);
    q.post();
    const int id = q.field(QStringLiteral("ErrID")).asInteger();
    EXPECT_GT(id, 0);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrMem from Errors where ErrID = %1").arg(id)).toString(), QStringLiteral("подробно"));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrName from Errors")).toString().size(), 255);
    q.edit();
    q.field(QStringLiteral("ErrStatus")).setValue(2);
    q.post();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ErrStatus from Errors")).toInt(), 2);
    q.remove();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from Errors")).toInt(), 0);
}

TEST_F(Datasets, TextsAreCutAndRequiredFieldsEnforcedOnTables)
{
    TableDataset pac(QStringLiteral("Pac_t"), dbs.ppp(), QStringLiteral("Pacient.DB"));
    pac.open();
    pac.append();
    pac.field(QStringLiteral("Pname_f")).setValue(QString(60, u'Щ'));
    EXPECT_EQ(pac.field(QStringLiteral("Pname_f")).asString().size(), 50);
    // Pname, Potd and PdP are required.
    EXPECT_THROW(pac.post(), talvora::Error);
    EXPECT_EQ(pac.state(), DatasetState::Insert);
    pac.field(QStringLiteral("Pname")).setValue(QStringLiteral("Щукин Щ.Щ."));
    pac.field(QStringLiteral("Potd")).setAsString(QStringLiteral("1"));
    pac.field(QStringLiteral("PdP")).setAsString(QStringLiteral("13.12.2002"));
    pac.field(QStringLiteral("PdV")).setValue(QDate(1899, 12, 30));
    pac.post();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pname_f from pacient")).toString(), QString(50, u'Щ'));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select count(*) from pacient where PdV = \"30.12.1899\"")).toInt(), 1);
    EXPECT_EQ(pac.field(QStringLiteral("PdB")).asDate(), QDate(1899, 12, 30)); // no birth date reads as the empty date

    pac.edit();
    EXPECT_THROW(pac.field(QStringLiteral("Phist")).setAsString(QStringLiteral("abc")), talvora::Error);
    EXPECT_THROW(pac.field(QStringLiteral("Phist")).setValue(70000), talvora::Error);
    EXPECT_THROW(pac.field(QStringLiteral("PdP")).setAsString(QStringLiteral("31.02.2002")), talvora::Error);
    pac.field(QStringLiteral("Phist")).setAsString(QString());
    EXPECT_TRUE(pac.field(QStringLiteral("Phist")).isNull());
    EXPECT_THROW(pac.field(QStringLiteral("PID")).setValue(5), talvora::Error);
    pac.cancel();
    EXPECT_THROW(pac.field(QStringLiteral("Pname")).setValue(QStringLiteral("x")), talvora::Error); // not editing
    EXPECT_THROW(pac.field(QStringLiteral("NoSuchField")), talvora::Error);
}

TEST_F(Datasets, DetailFollowsMasterAndTakesItsKeyOnInsert)
{
    dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (\"Выписки\", 1)"));
    dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (\"ЭКГ\", 2)"));
    dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (\"ЭЭГ\", 1)"));
    TableDataset otd(QStringLiteral("Otd"), dbs.ppp(), QStringLiteral("Otdelen.DB"));
    TableDataset types(QStringLiteral("ShType"), dbs.ppp(), QStringLiteral("SHablonType.db"));
    types.setIndexField(QStringLiteral("ShTotd"));
    types.setMasterLink(&otd, QStringLiteral("OID"), QStringLiteral("ShTotd"));
    types.open();
    EXPECT_TRUE(types.isEmpty()); // master closed
    otd.open();
    EXPECT_EQ(types.recordCount(), 2);
    int scrolls = 0;
    types.afterScroll = [&](Dataset&) { ++scrolls; };
    otd.next();
    EXPECT_EQ(types.recordCount(), 1);
    EXPECT_EQ(types.field(QStringLiteral("ShTName")).asString(), QStringLiteral("ЭКГ"));
    EXPECT_EQ(scrolls, 1);
    otd.next();
    EXPECT_TRUE(types.isEmpty());
    types.append();
    types.field(QStringLiteral("ShTName")).setValue(QStringLiteral("Новый"));
    types.post();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select ShTotd from SHablonType where ShTName = \"Новый\"")).toInt(), 3);
}

TEST_F(Datasets, LookedUpFieldAndLazyDocuments)
{
    dbs.sql(QStringLiteral("insert into VipisType (VTName, VTOtd) values (\"Выписки\", 1)"));
    dbs.sql(QStringLiteral("insert into VipisType (VTName, VTOtd) values (\"Справки\", 2)"));
    dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype, Vres) values (1, 1, :r)"), [] {
        Params p;
        p.set(QStringLiteral("r"), QByteArray(1000, 'a'));
        return p;
    }());
    dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype) values (1, 2)"));
    TableDataset otd(QStringLiteral("Otd"), dbs.ppp(), QStringLiteral("Otdelen.DB"));
    TableDataset vtype(QStringLiteral("VType"), dbs.ppp(), QStringLiteral("VipisType.DB"));
    vtype.setMasterLink(&otd, QStringLiteral("OID"), QStringLiteral("VTOtd"));
    otd.open();
    vtype.open();
    QueryDataset docs(QStringLiteral("Vipis_q"), dbs.ppp(), QueryDataset::Mode::Cached);
    docs.setSqlText(QStringLiteral("SELECT VID, Vpac , Vtype, Vdate, Vres FROM Vipis WHERE Vpac = :Vpac ORDER BY Vdate "));
    docs.setParam(QStringLiteral("Vpac"), 1);
    docs.addLookupField(QStringLiteral("Podst_t"), QStringLiteral("Vtype"), &vtype, QStringLiteral("VTid"), QStringLiteral("VTName"));
    docs.open();
    ASSERT_EQ(docs.recordCount(), 2);
    ASSERT_TRUE(docs.locate(QStringLiteral("VID"), 1));
    EXPECT_EQ(docs.field(QStringLiteral("Podst_t")).asString(), QStringLiteral("Выписки"));
    ASSERT_TRUE(docs.locate(QStringLiteral("VID"), 2));
    EXPECT_EQ(docs.field(QStringLiteral("Podst_t")).asString(), QString()); // type of another department
    // Document bytes are read when asked for, not when the list opens.
    dbs.sql(QStringLiteral("update Vipis set Vres = :r where VID = 1"), [] {
        Params p;
        p.set(QStringLiteral("r"), QByteArray(7, 'b'));
        return p;
    }());
    ASSERT_TRUE(docs.locate(QStringLiteral("VID"), 1));
    EXPECT_EQ(docs.field(QStringLiteral("Vres")).asBytes(), QByteArray(7, 'b'));
    EXPECT_FALSE(docs.locate(QStringLiteral("VID"), 99));
    EXPECT_EQ(docs.recNo(), 0);
}

TEST_F(Datasets, WalkingWithEofAndRefreshKeepingTheRow)
{
    QueryDataset q(QStringLiteral("q"), dbs.ppp());
    q.setSqlText(QStringLiteral("select OID, Ootd from Otdelen order by Ootd"));
    q.open();
    QStringList seen;
    for (q.first(); !q.eof(); q.next())
        seen << q.field(QStringLiteral("Ootd")).asString();
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Кардиология"), QStringLiteral("Неврология"), QStringLiteral("Хирургия")}));
    q.moveTo(1);
    dbs.sql(QStringLiteral("insert into Otdelen (Ootd) values (\"Акушерство\")"));
    EXPECT_EQ(q.recordCount(), 3); // not visible until re-read
    q.refresh();
    EXPECT_EQ(q.recordCount(), 4);
    EXPECT_EQ(q.field(QStringLiteral("Ootd")).asString(), QStringLiteral("Неврология"));
    EXPECT_TRUE(q.locate(QStringLiteral("Ootd"), QStringLiteral("хир"), {true, true}));
}

TEST_F(Datasets, LargeTableIsReadRowByRow)
{
    // Thousands of rows with long memo texts: only keys are held until rows are shown.
    Params p;
    p.set(QStringLiteral("t"), QString(5000, u'т'));
    {
        SqliteTransaction tx(dbs.ppp().connection());
        for (int i = 0; i < 5000; ++i)
            dbs.sql(QStringLiteral("insert into pacient (Pname, Potd, PdP, PdiaK) values (\"П\", 1, \"01.01.2020\", :t)"), p);
        tx.commit();
    }
    TableDataset pac(QStringLiteral("Pac_t"), dbs.ppp(), QStringLiteral("Pacient.DB"));
    pac.open();
    EXPECT_EQ(pac.recordCount(), 5000);
    int n = 0;
    for (pac.first(); !pac.eof(); pac.next())
        n += pac.field(QStringLiteral("PdiaK")).asString().size() == 5000 ? 1 : 0;
    EXPECT_EQ(n, 5000);
}

TEST_F(Datasets, RowsOnDemandComeInKeyOrderAndKeepCachedChanges)
{
    // Inserted so that every index order differs from key order.
    for (const char* name : {"Яшин", "Абрамов", "Мамин"})
        dbs.sql(QStringLiteral("insert into pacient (Pname, Potd, PdP, Palat, PdiaK) values (\"%1\", 1, \"01.01.2020\", 1, \"д\")")
                    .arg(QString::fromUtf8(name)));
    QueryDataset pac(QStringLiteral("Pac_q"), dbs.ppp(), QueryDataset::Mode::Cached);
    pac.setRowsOnDemand(true);
    pac.setSqlText(QStringLiteral("Select pID, PName, PdiaK, PanW from pacient "));
    pac.open();
    ASSERT_EQ(pac.recordCount(), 3);
    EXPECT_EQ(pac.field(QStringLiteral("PName")).asString(), QStringLiteral("Яшин"));
    ASSERT_TRUE(pac.locate(QStringLiteral("pID"), 3));
    EXPECT_EQ(pac.field(QStringLiteral("PName")).asString(), QStringLiteral("Мамин"));
    pac.edit();
    pac.field(QStringLiteral("PdiaK")).setValue(QStringLiteral("изменён"));
    pac.post();
    pac.first();
    pac.last();
    EXPECT_EQ(pac.field(QStringLiteral("PdiaK")).asString(), QStringLiteral("изменён"));
    EXPECT_EQ(dbs.scalar(QStringLiteral("select PdiaK from pacient where PID = 3")).toString(), QStringLiteral("д"));

    // With an ORDER BY of its own the statement's order stands.
    QueryDataset sorted(QStringLiteral("sorted"), dbs.ppp());
    sorted.setRowsOnDemand(true);
    sorted.setSqlText(QStringLiteral("select PID, PName from pacient where Potd = 1 order by PName"));
    sorted.open();
    EXPECT_EQ(sorted.field(QStringLiteral("PName")).asString(), QStringLiteral("Абрамов"));
}

TEST_F(Datasets, AConstDatasetsFieldsOnlyRead)
{
    static_assert(WritableFields<Dataset>);
    static_assert(!WritableFields<const Dataset>);

    TableDataset otd(QStringLiteral("Otd"), dbs.ppp(), QStringLiteral("Otdelen.DB"));
    otd.open();
    const Dataset& seen = otd;
    otd.edit();
    otd.field(QStringLiteral("Ootd")).setValue(QStringLiteral("Неврология 2"));
    // A read-only handle reads what is being edited, like any other.
    EXPECT_EQ(seen.field(QStringLiteral("ootd")).asString(), QStringLiteral("Неврология 2"));
    EXPECT_EQ(seen.fieldAt(seen.fieldIndex(QStringLiteral("Ootd"))).value(), QVariant(QStringLiteral("Неврология 2")));
    EXPECT_FALSE(seen.findField(QStringLiteral("NoSuchField")).has_value());
    EXPECT_THROW(seen.field(QStringLiteral("NoSuchField")), talvora::Error);
    otd.cancel();
}
