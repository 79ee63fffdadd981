#include "common/errors.h"
#include "common/program_state.h"
#include "data/data_module.h"
#include "temp_databases.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace talvora::data;

namespace {

class DataModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        talvora::programSwitches() = {};
        dbs.sql(QStringLiteral("insert into Otdelen (Ootd) values (\"Неврология\")"));
        dbs.sql(QStringLiteral("insert into Otdelen (Ootd) values (\"Кардиология\")"));
        // Kind-1 boilerplates: only those covering 0..900 come with a department move.
        dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, Fname, Fmin, Fmax) values (1, 1, \"все\", 0, 900)"));
        dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, Fname, Fmin, Fmax) values (1, 1, \"взрослые\", 18, 900)"));
        dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, Fname, Fmin, Fmax) values (1, 2, \"статус\", 0, 900)"));
        dbs.sql(QStringLiteral("insert into Fish (Fotd, FType, Fname, Fmin, Fmax) values (2, 1, \"кардио\", 0, 1000)"));
        for (int otd : {1, 1, 2})
            dbs.sql(QStringLiteral("insert into pacient (Pname, Potd, PdP) values (\"П\", %1, \"01.01.2020\")").arg(otd));
        dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype) values (1, 1)"));
        dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype) values (2, 1)"));
        dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype) values (2, 1)"));
        dbs.sql(QStringLiteral("insert into Nazn (Npac, Ntr, Nname) values (2, 1, \"Пирацетам\")"));
    }
    void TearDown() override { talvora::programSwitches() = {}; }

    QStringList fishNames(TDM& dm)
    {
        QStringList out;
        for (int i = 0; i < dm.Fish_q->recordCount(); ++i)
            out << dm.Fish_q->rowValue(i, dm.Fish_q->fieldIndex(QStringLiteral("FName"))).toString();
        return out;
    }

    talvora::test::TempDatabases dbs;
};

} // namespace

TEST_F(DataModule, CreationOpensTheStartDatasetsAndHandlesTheFirstDepartment)
{
    TDM dm(dbs.aliases());
    for (Dataset* ds : {(Dataset*)dm.Sh.get(), (Dataset*)dm.Otd.get(), (Dataset*)dm.ShType.get(), (Dataset*)dm.Issled_q.get(),
                        (Dataset*)dm.VType.get(), (Dataset*)dm.TrType.get(), (Dataset*)dm.Treat.get(), (Dataset*)dm.Nazn.get(),
                        (Dataset*)dm.TrType_q_0.get(), (Dataset*)dm.TrType_q_1.get(), (Dataset*)dm.Pac_t.get(),
                        (Dataset*)dm.Error_t.get(), (Dataset*)dm.Err_q.get(), (Dataset*)dm.Fish_t.get(), (Dataset*)dm.ShType2.get()})
        EXPECT_TRUE(ds->active()) << ds->name().toStdString();
    for (Dataset* ds : {(Dataset*)dm.Pac_q.get(), (Dataset*)dm.pac_q1.get(), (Dataset*)dm.Vipis_q.get(), (Dataset*)dm.Sh_q.get(),
                        (Dataset*)dm.Err.get(), (Dataset*)dm.Upload_q.get()})
        EXPECT_FALSE(ds->active()) << ds->name().toStdString();
    EXPECT_FALSE(dm.Errors->isOpen());
    EXPECT_FALSE(talvora::programSwitches().FirstOtdScroll);
    EXPECT_TRUE(dm.Fish_q->active());
    EXPECT_EQ(fishNames(dm), QStringList{QStringLiteral("все")});
}

TEST_F(DataModule, LaterDepartmentMovesSelectTheFirstKind)
{
    TDM dm(dbs.aliases());
    int selected = 0;
    dm.hooks.boilerplates.SelectFirstBoilerplateKind = [&] { ++selected; };
    dm.Otd->next();
    EXPECT_EQ(selected, 1);
    EXPECT_EQ(fishNames(dm), QStringList{QStringLiteral("кардио")});
    dm.Otd->prior();
    EXPECT_EQ(selected, 2);
    // A selection that opened the list itself stays in place.
    dm.hooks.boilerplates.SelectFirstBoilerplateKind = [&] {
        dm.Fish_q->setParam(QStringLiteral("min"), 18);
        dm.Fish_q->setParam(QStringLiteral("max"), 18);
        dm.Fish_q->open();
    };
    dm.Otd->next();
    dm.Otd->prior();
    EXPECT_EQ(fishNames(dm), (QStringList{QStringLiteral("все"), QStringLiteral("взрослые")}));
    // Failures inside the handler stay inside it.
    dm.hooks.boilerplates.SelectFirstBoilerplateKind = [] { throw talvora::Error(QStringLiteral("сбой")); };
    EXPECT_NO_THROW(dm.Otd->next());
}

TEST_F(DataModule, PatientMovesCarryDocumentsPrescriptionsAndTheCard)
{
    TDM dm(dbs.aliases());
    int cards = 0, count = -1;
    dm.hooks.patient.LoadPatientCard = [&] { ++cards; };
    dm.hooks.patient.ShowFoundCount = [&](int n) { count = n; };
    dm.pac_q1->setParam(QStringLiteral("potd"), 1);
    dm.pac_q1->open();
    EXPECT_EQ(count, 2);
    EXPECT_EQ(cards, 1);
    dm.pac_q1->next();
    EXPECT_EQ(cards, 2);
    talvora::programSwitches().CardFollowsList = false;
    dm.pac_q1->first();
    EXPECT_EQ(cards, 2);

    dm.Pac_q->open();
    EXPECT_EQ(dm.Vipis_q->recordCount(), 1);
    EXPECT_TRUE(dm.Nazn->isEmpty());
    ASSERT_TRUE(dm.Pac_q->locate(QStringLiteral("pID"), 2));
    EXPECT_EQ(dm.Vipis_q->recordCount(), 2);
    EXPECT_EQ(dm.Nazn->recordCount(), 1);
    EXPECT_EQ(dm.Nazn->field(QStringLiteral("Nname")).asString(), QStringLiteral("Пирацетам"));
    // A new prescription gets the patient's key.
    dm.Nazn->append();
    EXPECT_EQ(dm.Nazn->field(QStringLiteral("Npac")).asInteger(), 2);
    dm.Nazn->cancel();
}

TEST_F(DataModule, TemplateTypeDeletionCanBeRefusedAndDefaultCheckFollowsTemplates)
{
    dbs.sql(QStringLiteral("insert into SHablonType (ShTName, ShTotd) values (\"Выписки\", 1)"));
    dbs.sql(QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes, Sh_def) values (1, 1, \"Выписка\", \"x\", 1)"));
    dbs.sql(QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes, Sh_def) values (1, 1, \"Другая\", \"x\", 0)"));
    TDM dm(dbs.aliases());
    dm.hooks.templates.DeleteTemplateType = [] { throw talvora::SilentAbort(); };
    EXPECT_THROW(dm.ShType->remove(), talvora::SilentAbort);
    EXPECT_EQ(dm.ShType->recordCount(), 1);

    std::vector<bool> checks;
    dm.hooks.templates.SetDefaultTemplateCheck = [&](bool on) { checks.push_back(on); };
    ASSERT_TRUE(dm.OpenTemplatesOfType());
    EXPECT_EQ(dm.Sh_q->recordCount(), 2);
    dm.Sh_q->next();
    EXPECT_EQ(checks, (std::vector<bool>{true, false}));
    EXPECT_TRUE(dm.OpenAllTemplates());
    EXPECT_EQ(dm.Sh_q_all->recordCount(), 2);
}

TEST_F(DataModule, ListOperationsReportFailureAndLeaveTheListClosed)
{
    dbs.sql(QStringLiteral("insert into Issled (Ipac, Itype, Iname) values (1, 0, \"ЭЭГ\")"));
    TDM dm(dbs.aliases());
    dm.Pac_q->open();
    EXPECT_TRUE(dm.OpenAllInvestigations());
    EXPECT_EQ(dm.Issled_q->recordCount(), 1);
    EXPECT_TRUE(dm.OpenInvestigationsOfType());
    EXPECT_EQ(dm.Issled_q->recordCount(), 1); // no template type: type 0
    dm.Pacents->connection().exec(QStringLiteral("DROP TABLE Issled"));
    EXPECT_FALSE(dm.OpenAllInvestigations());
    EXPECT_FALSE(dm.Issled_q->active());
}

TEST_F(DataModule, CreationFailsWithAMessageThatSaysWhatToDo)
{
    talvora::data::AliasResolver nowhere;
    nowhere.setDirectory(QStringLiteral("pacientdata"), dbs.path() + QStringLiteral("/none"));
    try {
        TDM dm(nowhere);
        FAIL() << "created without a database";
    } catch (const talvora::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("talvora-db init"))) << e.message().toStdString();
    }
    dbs.sql(QStringLiteral("delete from Fish"));
    dbs.ppp().connection().exec(QStringLiteral("DROP TABLE Nazn"));
    try {
        TDM dm(dbs.aliases());
        FAIL() << "created without a table";
    } catch (const talvora::Error& e) {
        EXPECT_TRUE(e.message().contains(QStringLiteral("Nazn.DB"))) << e.message().toStdString();
    }
}
