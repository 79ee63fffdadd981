#include "common/errors.h"
#include "data/unit_of_work.h"
#include "patient/patient_filters.h"
#include "patient/patient_register.h"
#include "patient_fixture.h"

#include <QCoreApplication>

using namespace talvora;
using namespace talvora::patient;

namespace {

class Register : public test::PatientData {
protected:
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        reg = std::make_unique<PatientRegister>(*dm);
        QObject::connect(reg.get(), &PatientRegister::cardLoaded, [this](const PatientCard& c, const QString& age, const QString&) {
            shown = c;
            shownAge = age;
            ++loads;
        });
        QObject::connect(reg.get(), &PatientRegister::foundCountChanged, [this](int n) { found = n; });
        reg->readCard = [this] { return typed; };
        reg->RefreshPatientList();
    }

    // The card as loaded, ready to be typed into.
    PatientCard& type()
    {
        typed = shown;
        reg->setCardEdited();
        return typed;
    }

    QStringList listedNames()
    {
        QStringList out;
        const int f = dm->pac_q1->fieldIndex("PName");
        for (int r = 0; r < dm->pac_q1->recordCount(); ++r)
            out << dm->pac_q1->rowValue(r, f).toString();
        return out;
    }

    bool select(const QString& displayName) { return dm->pac_q1->locate("PName", displayName); }

    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<PatientRegister> reg;
    PatientCard shown, typed;
    QString shownAge;
    int loads = 0;
    int found = -1;
};

} // namespace

TEST_F(Register, ListsTheDepartmentAndShowsItsFirstPatient)
{
    addPatient(1, "Сидоров", "", "15.06.1960", "10.03.2024");
    addPatient(2, "Кардиов");
    addPatient(1, "Алексеев");
    start();
    EXPECT_EQ(listedNames(), (QStringList{"Алексеев И.И.", "Сидоров И.И."}));
    EXPECT_EQ(found, 2);
    EXPECT_EQ(shown.surname, "Алексеев");
    ASSERT_TRUE(select("Сидоров И.И."));
    EXPECT_EQ(shown.surname, "Сидоров");
    EXPECT_EQ(shown.birth, (DateParts{"15", "06", "1960"}));
    EXPECT_EQ(shownAge, "63 года ");
    EXPECT_EQ(reg->department().toInt(), 1);
}

TEST_F(Register, CreateSaveReloadKeepsWhatWasTyped)
{
    addPatient(1, "Старый");
    start();
    reg->CreatePatient();
    const int key = reg->patientKey().toInt();
    EXPECT_EQ(count("select max(PID) from pacient"), key);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pname from pacient where PID = %1").arg(key)).toString(), "АА_Новый");
    EXPECT_EQ(shown.admission, ShowDateInParts(QDate::currentDate()));

    PatientCard& c = type();
    c.surname = "О'Коннор";
    c.firstName = "«Ёлка»";
    c.patronymic = "Петровна";
    c.sex = 2;
    c.birth = {"05", "03", "1965"};
    c.history = "1234";
    c.ward = "12";
    c.weight = "70";
    c.diagnosisClinical = "Ишемический инсульт в бассейне левой СМА";
    c.neuroStatus = "Сознание ясное.\nПарез правой руки до 3 баллов.";
    reg->SavePatientCard();
    EXPECT_FALSE(reg->cardEdited());
    EXPECT_EQ(reg->patientKey().toInt(), key);
    EXPECT_EQ(shown.surname, "О'Коннор");
    EXPECT_EQ(shown.neuroStatus, c.neuroStatus);
    EXPECT_EQ(shown.sex, 2);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pname from pacient where PID = %1").arg(key)).toString(), "О'Коннор «.П.");
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Phist from pacient where PID = %1").arg(key)).toInt(), 1234);
    EXPECT_EQ(dm->pac_q1->field("Pid").asInteger(), key);
}

TEST_F(Register, ANewPatientIsFoundByItsKeyNotByItsName)
{
    start();
    reg->CreatePatient();
    const int older = reg->patientKey().toInt();
    reg->CreatePatient(); // the older one was never saved: two "АА_Новый"
    const int newer = reg->patientKey().toInt();
    ASSERT_NE(older, newer);
    type().surname = "Новикова";
    reg->SavePatientCard();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pname_f from pacient where PID = %1").arg(newer)).toString(), "Новикова");
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pname from pacient where PID = %1").arg(older)).toString(), "АА_Новый");
}

TEST_F(Register, ACardThatCannotBeStoredLeavesTheRowAsItWas)
{
    const int key = addPatient(1, "Петров", "Мигрень");
    start();
    for (auto bad : std::initializer_list<std::function<void(PatientCard&)>>{
             [](PatientCard& c) { c.admission = {"31", "02", "2024"}; },
             [](PatientCard& c) { c.ward = "123456789012"; },
             [](PatientCard& c) { c.history = "12а"; },
             [](PatientCard& c) { c.birth = {"1", "", ""}; }}) {
        PatientCard& c = type();
        c.diagnosisClinical = "изменённый диагноз";
        bad(c);
        EXPECT_THROW(reg->SavePatientCard(), Error);
        EXPECT_EQ(dbs.scalar(QStringLiteral("select PdiaK from pacient where PID = %1").arg(key)).toString(), "Мигрень");
        EXPECT_EQ(dm->Pac_t->state(), data::DatasetState::Browse);
    }
    // A surname longer than its field is cut, not refused.
    type().surname = QString(300, u'Щ');
    reg->SavePatientCard();
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pname_f from pacient where PID = %1").arg(key)).toString().size(), 50);
}

TEST_F(Register, ADeletedPatientCannotBeSavedBack)
{
    const int key = addPatient(1, "Удалённый");
    start();
    dbs.sql(QStringLiteral("delete from pacient where PID = %1").arg(key)); // from elsewhere
    type().surname = "Воскресший";
    EXPECT_THROW(reg->SavePatientCard(), Error);
    EXPECT_EQ(count("select count(*) from pacient"), 0);
}

TEST_F(Register, AnEmptySurnameIsTakenFromTheDisplayNameOfThisPatientOnly)
{
    dbs.sql("insert into pacient (Pname, Potd, PdP) values (\"Орлов А.Б.\", 1, \"01.01.2020\")");
    dbs.sql("insert into pacient (Pname, Potd, PdP) values (\"Орлов А.Б.\", 1, \"02.01.2020\")");
    start();
    EXPECT_EQ(shown.surname, "Орлов А.Б.");
    EXPECT_EQ(count("select count(*) from pacient where Pname_f = \"Орлов А.Б.\""), 1);
}

TEST_F(Register, TypedTextIsStoredBeforeTheListMovesAway)
{
    const int first = addPatient(1, "Андреев");
    addPatient(1, "Борисов");
    start();
    type().complaints = "Головная боль, головокружение";
    ASSERT_TRUE(select("Борисов И.И."));
    EXPECT_EQ(shown.surname, "Борисов");
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Pjal from pacient where PID = %1").arg(first)).toString(),
              "Головная боль, головокружение");

    // A card that cannot be stored keeps the list on its patient.
    PatientCard& c = type();
    c.ward = "много";
    EXPECT_THROW(dm->pac_q1->first(), Error);
    EXPECT_EQ(dm->pac_q1->field("PName").asString(), "Борисов И.И.");
    EXPECT_TRUE(reg->cardEdited());
}

TEST_F(Register, ARenamedPatientShowsItsNewNameInTheListAfterMovingOn)
{
    addPatient(1, "Андреев");
    addPatient(1, "Борисов");
    start();
    type().surname = "Яковлев";
    ASSERT_TRUE(select("Борисов И.И."));
    QCoreApplication::processEvents();
    EXPECT_EQ(listedNames(), (QStringList{"Борисов И.И.", "Яковлев И.И."}));
    EXPECT_EQ(shown.surname, "Борисов");
}

TEST_F(Register, DeletingAPatientTakesEverythingOfItsOwnAndNothingElse)
{
    const int a = addPatient(1, "Двойников");
    const int b = addPatient(1, "Двойников"); // same display name
    for (int p : {a, b}) {
        dbs.sql(QStringLiteral("insert into Issled (Ipac, Iname) values (%1, \"ЭКГ\")").arg(p));
        dbs.sql(QStringLiteral("insert into Nazn (Npac, Ntr, Nname) values (%1, 1, \"Мексидол\")").arg(p));
        dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype) values (%1, 1)").arg(p));
    }
    start();
    ASSERT_TRUE(dm->pac_q1->locate("Pid", b));
    dialogs.no();
    reg->DeletePatient();
    EXPECT_EQ(count("select count(*) from pacient"), 2);
    dialogs.yes();
    reg->DeletePatient();
    EXPECT_EQ(dialogs.texts().last(), "Удалить запись о пациенте Двойников И.И.и все обследования? ");
    for (const char* table : {"Issled where Ipac", "Nazn where Npac", "Vipis where Vpac", "pacient where PID"}) {
        EXPECT_EQ(count(QStringLiteral("select count(*) from %1 = %2").arg(table).arg(b)), 0) << table;
        EXPECT_EQ(count(QStringLiteral("select count(*) from %1 = %2").arg(table).arg(a)), 1) << table;
    }
    EXPECT_EQ(found, 1);
    EXPECT_EQ(reg->patientKey().toInt(), a);
}

TEST_F(Register, AFailedDependentDeletionDeletesNothing)
{
    const int key = addPatient(1, "Неудаляемый");
    dbs.sql(QStringLiteral("insert into Issled (Ipac, Iname) values (%1, \"ЭЭГ\")").arg(key));
    dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype) values (%1, 1)").arg(key));
    dbs.ppp().connection().exec(
        "CREATE TRIGGER refuse BEFORE DELETE ON Vipis BEGIN SELECT RAISE(ABORT, 'диск недоступен'); END");
    start();
    dialogs.yes();
    try {
        reg->DeletePatient();
        FAIL() << "the deletion reported success";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().startsWith("Пациент не удалён")) << e.message().toStdString();
        EXPECT_TRUE(e.message().contains("диск недоступен"));
    }
    EXPECT_EQ(count("select count(*) from pacient"), 1);
    EXPECT_EQ(count("select count(*) from Issled"), 1);
    EXPECT_EQ(reg->patientKey().toInt(), key);
}

TEST_F(Register, UnitsOfWorkNestAndRollBackWhole)
{
    start();
    data::Database& db = *dm->Pacents;
    {
        data::UnitOfWork outer(db);
        db.execute("insert into Otdelen (Ootd) values (\"Третье\")", {});
        {
            data::UnitOfWork inner(db);
            db.execute("insert into Otdelen (Ootd) values (\"Четвёртое\")", {});
            inner.commit();
        }
        {
            data::UnitOfWork dropped(db);
            db.execute("insert into Otdelen (Ootd) values (\"Пятое\")", {});
        }
        // A post inside the unit joins it.
        dm->Otd->append();
        dm->Otd->field("Ootd").setValue("Шестое");
        dm->Otd->post();
        EXPECT_EQ(count("select count(*) from Otdelen"), 2); // another connection sees nothing yet
    }
    EXPECT_EQ(count("select count(*) from Otdelen"), 2);
    EXPECT_EQ(data::inUnitOfWork(db, [&] { return db.execute("insert into Otdelen (Ootd) values (\"Седьмое\")", {}); }), 1);
    EXPECT_EQ(count("select count(*) from Otdelen"), 3);
}

TEST_F(Register, WithoutADepartmentNoPatientIsCreated)
{
    dbs.sql("delete from Otdelen");
    start();
    EXPECT_THROW(reg->CreatePatient(), Error);
    EXPECT_EQ(count("select count(*) from pacient"), 0);
}

// ---------------------------------------------------------------- filters

TEST_F(Register, NotDischargedAndBackKeepTheOrderSavedBefore)
{
    addPatient(1, "Выписанный", "", "30.12.1899", "01.02.2024", 0, "10.02.2024");
    addPatient(1, "Лежащий");
    start();
    ASSERT_TRUE(select("Лежащий И.И."));
    reg->filters().SaveListStatement();
    reg->filters().ShowNotDischarged();
    EXPECT_EQ(listedNames(), QStringList{"Лежащий И.И."});
    EXPECT_EQ(shown.surname, "Лежащий");
    EXPECT_EQ(found, 1);
    reg->filters().SortByColumn("PName");
    EXPECT_EQ(dm->pac_q1->sql().last(), " ORDER BY PName");
    reg->filters().RestoreListStatement();
    EXPECT_EQ(listedNames(), (QStringList{"Выписанный И.И.", "Лежащий И.И."}));
    EXPECT_EQ(dm->pac_q1->sql().last(), "order by Palat, PName");
}

TEST_F(Register, ExtraFiltersNarrowByWordDateAgeAndHistory)
{
    addPatient(1, "Первый", "Ишемический ИНСУЛЬТ", "01.01.1950", "01.02.2024", 150);
    addPatient(1, "Второй", "Дорсопатия", "01.01.2000", "01.02.2024", 50);
    addPatient(1, "Третий", "Геморрагический инсульт", "01.01.1990", "01.02.2001", 120);
    addPatient(2, "Чужой", "", "01.01.1950", "01.02.2024", 150);
    dbs.sql("update pacient set PdiaV = \"инсульт в анамнезе\" where Pname_f = \"Чужой\"");
    start();
    reg->filters().ExtraFiltersShown(true);
    PatientFilters& f = reg->filters();

    ExtraFilterInput in; // nothing checked: admitted after 12.12.2002 only
    f.ApplyExtraFilters(in);
    EXPECT_EQ(listedNames(), (QStringList{"Второй И.И.", "Первый И.И."}));

    in.wordOn = true;
    in.word = "инсульт";
    f.ApplyExtraFilters(in);
    EXPECT_EQ(listedNames(), QStringList{"Первый И.И."});

    in.wholeDatabase = true; // either diagnosis, every department
    f.ApplyExtraFilters(in);
    EXPECT_EQ(listedNames(), (QStringList{"Первый И.И.", "Чужой И.И."}));
    in.wholeDatabase = false;

    in.word = "несуществующее"; // found nowhere: no narrowing by the word
    f.ApplyExtraFilters(in);
    EXPECT_EQ(found, 2);

    in.wordOn = false;
    in.ageOn = true;
    in.ageFrom = "30";
    in.ageTo = "20";
    f.ApplyExtraFilters(in);
    EXPECT_EQ(listedNames(), QStringList{"Второй И.И."});

    in.ageOn = false;
    in.historyOn = true;
    in.historyFrom = "100";
    f.ApplyExtraFilters(in);
    EXPECT_EQ(listedNames(), QStringList{"Второй И.И."}); // 1..99

    in.dateOn = true;
    in.day = "01";
    in.month = "01";
    in.year = "1990";
    in.historyFrom = "200";
    in.historyTo = "100";
    f.ApplyExtraFilters(in);
    EXPECT_EQ(listedNames(), (QStringList{"Первый И.И.", "Третий И.И."}));

    // Saving keeps the filtered list; a department change drops it.
    ASSERT_TRUE(select("Третий И.И."));
    type().complaints = "слабость";
    reg->SavePatientCard();
    EXPECT_EQ(listedNames(), (QStringList{"Первый И.И.", "Третий И.И."}));
    EXPECT_EQ(shown.surname, "Третий");
    bool dropped = false;
    QObject::connect(reg.get(), &PatientRegister::extraFiltersDropped, [&] { dropped = true; });
    dm->Otd->last();
    reg->DepartmentChanged();
    EXPECT_TRUE(dropped);
    EXPECT_EQ(listedNames(), QStringList{"Чужой И.И."});
}

TEST_F(Register, AWholeDatabaseOfKeysStillFilters)
{
    // Thousands of matching keys make a condition far deeper than the
    // engine's expression limit if chained one by one.
    {
        data::Database& db = dbs.ppp();
        data::UnitOfWork unit(db);
        for (int i = 0; i < 3000; ++i)
            db.execute(QStringLiteral("insert into pacient (Pname, Potd, PdP, PdiaK) values (\"П%1\", %2, \"01.02.2024\", \"%3\")")
                           .arg(i)
                           .arg(1 + i % 2)
                           .arg(i % 3 == 0 ? "энцефалопатия" : "остеохондроз"),
                       {});
        unit.commit();
    }
    start();
    reg->filters().ExtraFiltersShown(true);
    ExtraFilterInput in;
    in.wordOn = true;
    in.word = "ЭНЦЕФАЛОПАТИЯ";
    in.wholeDatabase = true;
    reg->filters().ApplyExtraFilters(in);
    EXPECT_EQ(found, 1000);
    // The word's keys went into the statement; the key list is the department's again.
    EXPECT_EQ(reg->filters().keyList().size(), 1500);
    EXPECT_TRUE(reg->filters().listRewritten());
}
