#include "treatment_fixture.h"

#include "common/errors.h"
#include "templates/document_assembly.h"
#include "treatment/dose_calculation.h"
#include "treatment/drug_reference.h"
#include "treatment/treatment_scheme.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QDate>
#include <QProgressBar>

#include <memory>

using namespace talvora;
using talvora::treatment::DoseResult;
using talvora::treatment::TreatmentScheme;

namespace {

class Scheme : public test::TreatmentData {
protected:
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        dm->Pac_q->open();
        ASSERT_TRUE(dm->Pac_q->locate("pID", patient));
        drugs = std::make_unique<treatment::DrugReference>(*dm);
        scheme = std::make_unique<TreatmentScheme>(*dm);
        drugs->Open();
        dm->TrType_q_0->locate("TrTid", vascular);
        drugs->ShowGroupsOfMacrogroup();
        drugs->ShowDrugsOfGroup();
    }

    void pick(int drug)
    {
        ASSERT_TRUE(dm->Treat_q->locate("Tid", drug));
        drugs->SelectDrug();
    }

    QString stored(const QString& field, qint64 key)
    {
        return dbs.scalar(QStringLiteral("select %1 from Nazn where NID = %2").arg(field).arg(key)).toString();
    }

    // The template assembled for the current patient: its text, one paragraph a line.
    QString assembled(const QString& templ)
    {
        word::DocumentView target, aux;
        word::MarkerTextBox box;
        QWidget panel;
        QProgressBar bar;
        templates::DocumentAssembly assembly(*dm);
        target.loadFromBlob(blobOf(templ));
        assembly.AssembleDocument(target, aux, box, {&panel, &bar});
        return textOf(target.saveToBlob());
    }

    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<treatment::DrugReference> drugs;
    std::unique_ptr<TreatmentScheme> scheme;
};

TEST(DefaultRegimen, IsTheDrugsDoseAndIntakesWithEmptyPartsForWhatIsNotSet)
{
    EXPECT_EQ(TreatmentScheme::defaultRegimen(10, 3), "10мг\\кг\\с 3 р\\д ");
    EXPECT_EQ(TreatmentScheme::defaultRegimen(QVariant(), QVariant()), "мг\\кг\\с  р\\д ");
}

TEST_F(Scheme, PrescribingCopiesTheDrugAndItsDefaultRegimenIntoANewCurrentRow)
{
    start();
    pick(aspirin);
    const qint64 first = scheme->AddToTreatment();
    ASSERT_GT(first, 0);
    EXPECT_EQ(stored("Nname", first), "Ацетилсалициловая к-та");
    EXPECT_EQ(stored("Nrej", first), "1мг\\кг\\с 1 р\\д ");
    EXPECT_EQ(stored("Npac", first).toInt(), patient);
    EXPECT_EQ(stored("Ntr", first).toInt(), aspirin);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Ndate from Nazn where NID = %1").arg(first)).toDate(), QDate::currentDate());

    // The same drug again: a second, independent prescription, and current.
    const qint64 second = scheme->AddToTreatment();
    EXPECT_NE(second, first);
    EXPECT_EQ(dm->Nazn->field("NID").value().toLongLong(), second);
    pick(clopidogrel);
    const qint64 third = scheme->AddToTreatment();
    EXPECT_EQ(stored("Nrej", third), "мг\\кг\\с  р\\д ");
    EXPECT_EQ(dm->Nazn->recordCount(), 3);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Scheme, WithoutADrugNothingIsPrescribed)
{
    const int empty = addTreatType("Без препаратов", vascular);
    start();
    dm->TrType_q_1->locate("TrTid", empty);
    drugs->ShowDrugsOfGroup();
    EXPECT_EQ(scheme->AddToTreatment(), 0);
    EXPECT_EQ(dialogs.texts(), QStringList{"Сначала выбрать препарат !"});
    EXPECT_EQ(count("select count(*) from Nazn"), 0);
    EXPECT_FALSE(dm->Nazn->editing());
}

TEST_F(Scheme, AnEmptySchemeTakesNoRegimenAndNoCalculation)
{
    start();
    scheme->WriteRegimen("");
    EXPECT_TRUE(dialogs.asked().isEmpty());
    scheme->WriteRegimen("по 1 таб. утром");
    DoseResult r;
    r.regimen = "100мг  по 1 таб. x 3 р\\сут ";
    scheme->WriteDoseResult(r);
    EXPECT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(count("select count(*) from Nazn"), 0);
    EXPECT_FALSE(dm->Nazn->editing());
}

TEST_F(Scheme, RegimenAndCalculationGoIntoTheCurrentPrescriptionOnly)
{
    start();
    pick(aspirin);
    const qint64 a = scheme->AddToTreatment();
    pick(clopidogrel);
    const qint64 c = scheme->AddToTreatment();
    scheme->WriteRegimen("75 мг утром");
    EXPECT_EQ(stored("Nrej", c), "75 мг утром");
    EXPECT_EQ(stored("Nrej", a), "1мг\\кг\\с 1 р\\д ");

    ASSERT_TRUE(dm->Nazn->locate("NID", a));
    DoseResult r;
    r.regimen = "100мг  по 1 + 1\\2 таб. x 3 р\\сут ";
    r.dailyDoseText = "450 мг\\cут";
    r.dosePerKgText = "6,4286 мг\\кг\\cут";
    scheme->WriteDoseResult(r);
    EXPECT_EQ(stored("Nrej", a), r.regimen);
    EXPECT_EQ(stored("NmgS", a), "450 мг\\cут");
    EXPECT_EQ(stored("NmgKgS", a), "6,4286 мг\\кг\\cут");
    EXPECT_EQ(stored("NmgS", c), "");

    // A result without the dose per kilogram says why.
    r.dosePerKgText.clear();
    r.notice = "Вес пациента не указан";
    scheme->WriteDoseResult(r);
    EXPECT_EQ(stored("NmgKgS", a), "");
    EXPECT_EQ(dialogs.texts(), QStringList{"Вес пациента не указан"});

    // A regimen longer than the column is cut to its width.
    scheme->WriteRegimen(QString(300, u'ж'));
    EXPECT_EQ(stored("Nrej", a).size(), 255);
}

TEST_F(Scheme, RemovingAsksAndDeletesOnlyTheCurrentPrescription)
{
    start();
    pick(aspirin);
    scheme->AddToTreatment();
    const qint64 second = scheme->AddToTreatment();
    dialogs.no().yes();
    scheme->RemoveFromTreatment();
    EXPECT_EQ(dialogs.asked().at(0).text, "Удалить препарат из схемы лечения ?");
    EXPECT_EQ(count("select count(*) from Nazn"), 2);
    scheme->RemoveFromTreatment();
    EXPECT_EQ(count("select count(*) from Nazn"), 1);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Nazn where NID = %1").arg(second)), 0);
}

TEST_F(Scheme, APrescriptionKeepsItsDrugNameWhenTheDrugAndItsGroupAreGone)
{
    start();
    pick(clopidogrel);
    const qint64 key = scheme->AddToTreatment();
    dialogs.yes();
    drugs->DeleteCurrentGroup();
    EXPECT_EQ(count("select count(*) from Treat"), 0);
    EXPECT_EQ(stored("Nname", key), "Клопидогрел");
    EXPECT_EQ(dm->Nazn->recordCount(), 1);
}

TEST_F(Scheme, TheTextsGoToTheCardOnlyWhenChangedAndForTheirPatient)
{
    start();
    int saves = 0;
    scheme->readTexts = [] { return treatment::SchemeTexts{"Наблюдение невролога", "Капельницы"}; };
    scheme->savePatientCard = [&] { ++saves; };
    const treatment::SchemePatient shown = scheme->CurrentPatient();
    EXPECT_EQ(shown.name, "Смирнова А.П.");
    EXPECT_EQ(shown.weight, "70");
    scheme->patientShown(shown.key);

    scheme->SaveChanges();
    EXPECT_EQ(saves, 0);
    EXPECT_FALSE(scheme->PendingTexts(patient));

    scheme->setTextsChanged();
    EXPECT_FALSE(scheme->PendingTexts(patient + 1));
    ASSERT_TRUE(scheme->PendingTexts(patient));
    EXPECT_EQ(scheme->PendingTexts(patient)->course, "Капельницы");
    scheme->SaveChanges();
    EXPECT_EQ(saves, 1);
    EXPECT_FALSE(scheme->textsChanged());
}

TEST_F(Scheme, TheAssembledTreatmentShowsThePrescriptionsMadeHere)
{
    start();
    pick(aspirin);
    scheme->AddToTreatment();
    scheme->WriteRegimen("125 мг вечером");
    dm->Nazn->edit();
    dm->Nazn->field("Nkurs").setValue("длительно");
    dm->Nazn->post();
    pick(clopidogrel);
    scheme->AddToTreatment();
    DoseResult r;
    r.regimen = "75мг  по 1 таб. x 1 р\\сут ";
    r.dailyDoseText = "75 мг\\cут";
    r.dosePerKgText = "1,0714 мг\\кг\\cут";
    scheme->WriteDoseResult(r);

    // The course follows the regimen directly when there is no dose per kilogram.
    EXPECT_EQ(assembled("<!trt_1>").toStdString(),
              "Ацетилсалициловая к-та 125 мг вечеромдлительно Клопидогрел 75мг  по 1 таб. x 1 р\\сут  (1,0714 "
              "мг\\кг\\cут)");
    EXPECT_EQ(assembled("Лечение:<!trt_2>конец").toStdString(),
              "Лечение:Ацетилсалициловая к-та 125 мг вечеромдлительно \nКлопидогрел 75мг  по 1 таб. x 1 р\\сут  "
              "(1,0714 мг\\кг\\cут)  \nконец");
}

} // namespace

namespace {

TEST_F(Scheme, TheDrugPrescribedIsTheOneTheSortedListShowsSelected)
{
    start();
    drugs->SortByColumn(*dm->Treat_q, "Tname_r DESC");
    drugs->ShowDrugsOfGroup(); // a click on the group: the list's first row is selected
    ASSERT_EQ(dm->Treat_q->field("Tname_r").asString(), "Клопидогрел");
    const qint64 key = scheme->AddToTreatment();
    EXPECT_EQ(stored("Nname", key), "Клопидогрел");
}

} // namespace
