#include "boilerplates_fixture.h"

#include "boilerplates/patient_texts.h"
#include "patient/patient_register.h"
#include "word/view/document_view.h"

#include <memory>

using namespace talvora;
using talvora::boilerplates::PatientTexts;
using talvora::boilerplates::refilled;

namespace {

TEST(Refilled, FillsOnlyAnEmptyTextOrTheBoilerplateItWasFilledWith)
{
    EXPECT_EQ(refilled("", "", QString("статус")), "статус");
    EXPECT_EQ(refilled("  \n", "", QString("статус")), "статус");
    EXPECT_EQ(refilled("старый шаблон", "старый шаблон", QString("новый шаблон")), "новый шаблон");
    EXPECT_EQ(refilled("старый шаблон, дополненный врачом", "старый шаблон", QString("новый")),
              "старый шаблон, дополненный врачом");
    EXPECT_EQ(refilled("старый шаблон", "старый шаблон", std::nullopt), "старый шаблон");
    EXPECT_EQ(refilled("", "", std::nullopt), "");
}

class Texts : public test::BoilerplateData {
protected:
    void start(int patientKey)
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        dm->Otd->locate("OID", department);
        patients = std::make_unique<patient::PatientRegister>(*dm);
        patients->RefreshPatientList();
        dm->pac_q1->locate("Pid", patientKey);
        patients->LoadPatientCard();
        texts = std::make_unique<PatientTexts>(*dm, *patients, editor);
        QObject::connect(texts.get(), &PatientTexts::editorOpened,
                         [this](int kind, const QString& caption) { opened << QString::number(kind) + " " + caption; });
    }

    QString editorText() const { return textOf(editor.saveToBlob()); }
    void typeInEditor(const QString& text)
    {
        editor.loadFromBlob(blobOf(text));
    }
    QString stored(const QString& column, int key)
    {
        return dbs.scalar(QStringLiteral("select %1 from pacient where PID = %2").arg(column).arg(key)).toString();
    }

    patient::PatientCard card(const QString& birth, int sex, const QString& admission = "01.02.2024")
    {
        patient::PatientCard c;
        const QStringList b = birth.split('.'), a = admission.split('.');
        c.birth = {b.value(0), b.value(1), b.value(2)};
        c.admission = {a.value(0), a.value(1), a.value(2)};
        c.sex = sex;
        return c;
    }

    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<patient::PatientRegister> patients;
    word::DocumentView editor;
    std::unique_ptr<PatientTexts> texts;
    QStringList opened;
};

TEST_F(Texts, TheCardFillsFromTheBoilerplatesOfTheAgeOnAdmissionAndSexButKeepsWhatTheDoctorWrote)
{
    addBoilerplate(1, "анамнез 18-44", 18, 44, 3, "Анамнез молодого");
    addBoilerplate(1, "анамнез 45+", 45, 120, 3, "Анамнез старшего");
    addBoilerplate(2, "статус мужчины", 18, 120, 1, "Невростатус мужчины");
    addBoilerplate(2, "статус женщины", 18, 120, 2, "Невростатус женщины");
    addBoilerplate(3, "соматика 45+", 45, 120, 3, "Соматика старшего");
    const int key = addPatient("Новикова", "30.12.1899", 2);
    start(key);

    // Born 10.03.1980: 43 on the admission day of 01.02.2024.
    auto filled = texts->AutoFillTexts(card("10.03.1980", 2));
    ASSERT_TRUE(filled);
    EXPECT_EQ(filled->age, "43 года ");
    EXPECT_EQ(filled->anamnesis, "Анамнез молодого");
    EXPECT_EQ(filled->neuroStatus, "Невростатус женщины");
    EXPECT_EQ(filled->somaticStatus, ""); // none fits

    // The birth date corrected: the filled texts follow, the doctor's stays.
    patient::PatientCard c = card("10.03.1950", 2);
    c.anamnesis = filled->anamnesis;
    c.neuroStatus = filled->neuroStatus + " Дополнено врачом.";
    c.somaticStatus = "Написано врачом";
    filled = texts->AutoFillTexts(c);
    EXPECT_EQ(filled->anamnesis, "Анамнез старшего");
    EXPECT_EQ(filled->neuroStatus, "Невростатус женщины Дополнено врачом.");
    EXPECT_EQ(filled->somaticStatus, "Написано врачом");

    // No boilerplate fits a child: the texts stay as they are.
    c = card("10.03.2020", 2);
    c.anamnesis = "Анамнез старшего";
    filled = texts->AutoFillTexts(c);
    EXPECT_EQ(filled->anamnesis, "Анамнез старшего");

    // Without a valid birth date nothing happens.
    EXPECT_FALSE(texts->AutoFillTexts(card("31.13.1980", 2)));
    EXPECT_FALSE(texts->AutoFillTexts(card("..", 2)));
}

TEST_F(Texts, AStatusOpensAsStoredOrElseFromTheFirstFittingBoilerplate)
{
    addBoilerplate(2, "статус", 18, 120, 3, "Сознание ясное.");
    const int stored = addPatient("Орлов", "01.01.1970", 1);
    dbs.sql(QStringLiteral("update pacient set Pnst = \"Сознание ясное. Парез слева.\" where PID = %1").arg(stored));
    const int fresh = addPatient("Белов", "01.01.1970", 1);
    start(stored);
    texts->EditPatientText(2);
    EXPECT_EQ(opened.last(), "2 Неврологический статус — Орлов А.П.");
    EXPECT_EQ(editorText(), "Сознание ясное. Парез слева.");
    EXPECT_FALSE(editor.changedSinceLoaded());

    dm->pac_q1->locate("Pid", fresh);
    patients->LoadPatientCard();
    texts->EditPatientText(2);
    EXPECT_EQ(editorText(), "Сознание ясное.");
    // No boilerplate of the somatic status: an empty document.
    texts->EditPatientText(3);
    EXPECT_EQ(editorText(), "");
}

TEST_F(Texts, RecommendationsShowWhatIsStoredAndCommentsNeverABoilerplate)
{
    addBoilerplate(5, "комментарий", 0, 900, 3, "Шаблон комментария");
    const int key = addPatient("Зайцева", "01.01.1960", 2);
    dbs.sql(QStringLiteral("update pacient set Precom = \"Наблюдение невролога.\" where PID = %1").arg(key));
    start(key);
    texts->EditPatientText(4); // no boilerplate of recommendations fits
    EXPECT_EQ(editorText(), "Наблюдение невролога.");
    texts->EditPatientText(5);
    EXPECT_EQ(editorText(), "");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Texts, APatientWithoutABirthDateCountsAsOlderThanAHundred)
{
    addBoilerplate(3, "до 120", 0, 120, 3, "обычный");
    addBoilerplate(3, "без верхней границы", 0, 900, 3, "для всех");
    const int key = addPatient("Без даты", "30.12.1899", 1);
    start(key);
    texts->EditPatientText(3);
    EXPECT_EQ(editorText(), "для всех");
}

TEST_F(Texts, StoringWritesOnlyItsTextIntoThePatientTheEditorWasOpenedFor)
{
    const int first = addPatient("Первый", "01.01.1970", 1);
    const int second = addPatient("Второй", "01.01.1970", 1);
    dbs.sql(QStringLiteral("update pacient set Psomat = \"соматика\" where PID = %1").arg(first));
    start(first);
    texts->EditPatientText(2);
    typeInEditor("Менингеальных знаков нет.");
    // Meanwhile the doctor selects another patient in the list.
    dm->pac_q1->locate("Pid", second);
    patients->LoadPatientCard();
    texts->StoreEditedText();
    EXPECT_EQ(stored("Pnst", first), "Менингеальных знаков нет.");
    EXPECT_EQ(stored("Psomat", first), "соматика");
    EXPECT_EQ(stored("Pnst", second), "");
    EXPECT_EQ(patients->patientKey().toInt(), second);

    // The anamnesis is stored as a document and as its text.
    dm->pac_q1->locate("Pid", first);
    patients->LoadPatientCard();
    texts->EditPatientText(1);
    typeInEditor("Болеет в течение недели.");
    texts->StoreEditedText();
    EXPECT_EQ(stored("PanM", first), "Болеет в течение недели.");
    EXPECT_EQ(textOf(dbs.scalar(QStringLiteral("select PanW from pacient where PID = %1").arg(first)).toByteArray()),
              "Болеет в течение недели.");
    EXPECT_EQ(patients->loadedCard().anamnesis, "Болеет в течение недели.");
    // The caption panel's click reads the stored document.
    EXPECT_EQ(texts->RefreshAnamnesisText(), QString("Болеет в течение недели."));
}

TEST_F(Texts, AnAnamnesisWithoutAStoredDocumentKeepsTheMemo)
{
    const int key = addPatient("Смирнов", "01.01.1970", 1);
    dbs.sql(QStringLiteral("update pacient set PanM = \"из шаблона\" where PID = %1").arg(key));
    start(key);
    EXPECT_FALSE(texts->RefreshAnamnesisText());
}

} // namespace
