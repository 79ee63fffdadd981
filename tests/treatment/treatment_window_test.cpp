#include "treatment_fixture.h"

#include "app/workstation.h"
#include "starter_department.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "templates/template_operations.h"
#include "treatment/dose_calculator_window.h"
#include "treatment/drug_reference.h"
#include "treatment/drug_reference_panel.h"
#include "treatment/equal_doses_calculator.h"
#include "treatment/investigations_page.h"
#include "treatment/treatment_page.h"
#include "treatment/treatment_scheme.h"
#include "treatment/treatment_window.h"
#include "ui/db_controls.h"
#include "ui/db_grid.h"
#include "word/view/document_view.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>

#include <memory>

using namespace talvora;
using talvora::treatment::TreatmentPage;

namespace {

class TreatmentWindow : public test::TreatmentData {
protected:
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        operations = std::make_unique<templates::TemplateOperations>(*dm);
        dm->Pac_q->open();
        ASSERT_TRUE(dm->Pac_q->locate("pID", patient));
        w = std::make_unique<TForm6>(*dm, *operations);
        w->show();
        w->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(w.get()));
        page = &static_cast<const TreatmentPage&>(*w->controls().treatment).controls();
    }

    // The drug reference on a drug, as after clicks on its macrogroup, group and row.
    void pick(int drug)
    {
        dm->TrType_q_0->locate("TrTid", vascular);
        w->drugs().ShowGroupsOfMacrogroup();
        dm->TrType_q_1->locate("TrTid", antiplatelets);
        w->drugs().ShowDrugsOfGroup();
        ASSERT_TRUE(dm->Treat_q->locate("Tid", drug));
        w->drugs().SelectDrug();
    }

    QString stored(const QString& statement) { return dbs.scalar(statement).toString(); }

    static void type(QWidget* edit, const QString& text)
    {
        edit->setFocus();
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<templates::TemplateOperations> operations;
    std::unique_ptr<TForm6> w;
    const TreatmentPage::Controls* page = nullptr;
};

TEST_F(TreatmentWindow, OpensOnTheTreatmentPageWithThePatientAndTheReference)
{
    start();
    EXPECT_EQ(w->windowTitle(), "Обследования и лечение");
    EXPECT_EQ(w->controls().pages->currentWidget(), w->controls().treatment);
    EXPECT_EQ(w->controls().pages->tabText(0), "Исследования");
    EXPECT_EQ(page->patientName->text(), "Смирнова А.П.");
    EXPECT_EQ(page->weight->text(), "70");
    EXPECT_TRUE(page->referenceChoice->isChecked());
    EXPECT_TRUE(page->texts->isHidden());
    EXPECT_EQ(page->upper->height(), TreatmentPage::kSchemeHeight);
    EXPECT_EQ(page->addToTreatment->toolTip(), "Добавить препрат в схему лечения");
    EXPECT_EQ(page->removeFromTreatment->toolTip(), "Удалить  из схемы лечения");
    EXPECT_EQ(page->regimen->toolTip(), "Режим приема подробно");
    EXPECT_EQ(dm->TrType_q_0->field("TrTname").asString(), "Сосудистые средства");
    EXPECT_EQ(dm->TrType_q_1->field("TrTname").asString(), "Антиагреганты");

    // The choices show a text under the calculator, and take it away again.
    page->recommendationsChoice->click();
    EXPECT_FALSE(page->texts->isHidden());
    EXPECT_EQ(page->texts->currentWidget(), page->recommendations);
    EXPECT_EQ(page->upper->height(), TreatmentPage::kSchemeWithTextHeight);
    page->courseChoice->click();
    EXPECT_EQ(page->texts->currentWidget(), page->course);
    page->referenceChoice->click();
    EXPECT_TRUE(page->texts->isHidden());
    EXPECT_EQ(page->upper->height(), TreatmentPage::kSchemeHeight);

    EXPECT_EQ(page->errorReport->toolTip(), "сообщить об ошибке в программе");
}

TEST_F(TreatmentWindow, APrescriptionMadeWithTheButtonsTakesTheRegimenTypedAndTheCalculation)
{
    start();
    pick(aspirin);
    page->addToTreatment->click();
    ASSERT_EQ(page->scheme->model()->rowCount(), 1);
    EXPECT_EQ(page->scheme->model()->index(0, 0).data().toString(), "Ацетилсалициловая к-та");
    EXPECT_EQ(page->regimen->text(), "1мг\\кг\\с 1 р\\д ");

    page->regimen->clear();
    type(page->regimen, "по 1 таб. вечером");
    page->saveChanges->setFocus(); // leaving the field writes it
    EXPECT_EQ(stored("select Nrej from Nazn"), "по 1 таб. вечером");

    // The calculator: 100 mg, 1 + 1/2 tablets, 3 times: written by its button only.
    const auto& calc = page->calculator->controls();
    calc.dose->setText("100");
    calc.tablets->setText("1");
    calc.fraction->setCurrentIndex(4);
    calc.intakes->setText("3");
    EXPECT_EQ(stored("select Nrej from Nazn"), "по 1 таб. вечером");
    calc.calculate->click();
    EXPECT_EQ(stored("select Nrej from Nazn"), "100мг  по 1 + 1\\2 таб. x 3 р\\сут ");
    EXPECT_EQ(stored("select NmgS from Nazn"), "450 мг\\cут");
    EXPECT_EQ(stored("select NmgKgS from Nazn"), "6,4286 мг\\кг\\cут");
    EXPECT_EQ(page->regimen->text(), "100мг  по 1 + 1\\2 таб. x 3 р\\сут ");

    dialogs.yes();
    page->removeFromTreatment->click();
    EXPECT_EQ(count("select count(*) from Nazn"), 0);
    EXPECT_EQ(page->regimen->text(), "");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(TreatmentWindow, ASchemeCellEditedInPlaceIsStoredOnSave)
{
    dbs.sql(QStringLiteral("insert into Nazn (Npac, Ntr, Nname, Nrej) values (%1, %2, \"Клопидогрел\", \"75 мг\")")
                .arg(patient)
                .arg(clopidogrel));
    start();
    QAbstractItemModel* model = page->scheme->model();
    ASSERT_EQ(model->rowCount(), 1);
    EXPECT_TRUE(model->flags(model->index(0, 3)) & Qt::ItemIsEditable);
    EXPECT_TRUE(model->setData(model->index(0, 3), "3 месяца"));
    page->saveChanges->click();
    EXPECT_EQ(stored("select Nkurs from Nazn"), "3 месяца");
}

TEST_F(TreatmentWindow, TheTextsAreMarkedChangedOnlyByTheDoctor)
{
    dbs.sql(QStringLiteral("update pacient set Precom = \"Наблюдение невролога\", PanV = \"Без осложнений\" where PID = %1")
                .arg(patient));
    start();
    int saves = 0;
    w->links.savePatientCard = [&] { ++saves; };
    EXPECT_EQ(page->recommendations->toPlainText(), "Наблюдение невролога");
    EXPECT_EQ(page->course->toPlainText(), "Без осложнений");
    page->saveChanges->click();
    EXPECT_EQ(saves, 0);

    page->courseChoice->click();
    type(page->course, " и осложнений");
    EXPECT_TRUE(w->scheme().textsChanged());
    page->saveChanges->click();
    EXPECT_EQ(saves, 1);

    // A double-click opens the text editor; on the recommendations it also marks them.
    int kind = 0;
    w->links.editPatientText = [&](int k) { kind = k; };
    QTest::mouseDClick(page->course->viewport(), Qt::LeftButton);
    EXPECT_EQ(kind, 5);
    EXPECT_FALSE(w->scheme().textsChanged());
    page->recommendationsChoice->click();
    QTest::mouseDClick(page->recommendations->viewport(), Qt::LeftButton);
    EXPECT_EQ(kind, 4);
    EXPECT_TRUE(w->scheme().textsChanged());
}

TEST_F(TreatmentWindow, InInsertionModeARightClickAsksTheDesignerForAMarker)
{
    start();
    QStringList asked;
    w->links.insertTreatmentMarker = [&] { asked << "trt"; };
    w->links.insertFieldMarker = [&](int n) { asked << QString::number(n); };
    QTest::mouseClick(page->scheme->viewport(), Qt::RightButton);
    EXPECT_TRUE(asked.isEmpty());
    programSwitches().MarkerInsertion = true;
    QTest::mouseClick(page->scheme->viewport(), Qt::RightButton);
    QTest::mouseClick(page->calculator, Qt::RightButton);
    page->recommendationsChoice->click();
    QTest::mouseClick(page->recommendations->viewport(), Qt::RightButton);
    page->courseChoice->click();
    QTest::mouseClick(page->course->viewport(), Qt::RightButton);
    programSwitches().MarkerInsertion = false;
    EXPECT_EQ(asked, (QStringList{"trt", "trt", "31", "32"}));
}

TEST_F(TreatmentWindow, TheDrugEditorStoresWhatWasTypedIntoItsFields)
{
    start();
    const auto& ref = page->reference->controls();
    pick(aspirin);
    ref.newDrug->click();
    EXPECT_EQ(ref.notesStrip->currentWidget(), ref.editor);
    EXPECT_FALSE(ref.newDrug->isEnabled());
    EXPECT_FALSE(ref.drugs->isEnabled());
    EXPECT_EQ(ref.notes->toPlainText(), "Введите примечания");
    type(ref.name, "Тикагрелор");
    type(ref.intakes, "2");
    type(ref.latinName, "Ticagrelorum");
    type(ref.dose, "2,5мг"); // only the digits get in
    type(ref.price, "125,50");
    ref.storeDrug->click();
    EXPECT_EQ(ref.notesStrip->currentWidget(), ref.details);
    EXPECT_TRUE(ref.drugs->isEnabled());
    EXPECT_EQ(stored("select Tname_l from Treat where Tname_r = \"Тикагрелор\""), "Ticagrelorum");
    EXPECT_EQ(stored("select Tdose from Treat where Tname_r = \"Тикагрелор\""), "25");
    EXPECT_DOUBLE_EQ(dbs.scalar("select Tprice from Treat where Tname_r = \"Тикагрелор\"").toDouble(), 125.5);
    EXPECT_EQ(dm->Treat_q->field("Tname_r").asString(), "Тикагрелор");

    // Changing a drug keeps the lists; Cancel drops what was typed.
    ref.changeDrug->click();
    EXPECT_TRUE(ref.drugs->isEnabled());
    ref.name->clear();
    type(ref.name, "Брилинта");
    ref.cancelDrug->click();
    EXPECT_EQ(count("select count(*) from Treat where Tname_r = \"Тикагрелор\""), 1);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(TreatmentWindow, EveryControlHasAName)
{
    start();
    for (QWidget* child : w->findChildren<QWidget*>()) {
        if (!child->isVisibleTo(w.get()))
            continue;
        const bool control = qobject_cast<QAbstractButton*>(child) || qobject_cast<QLineEdit*>(child) ||
                             qobject_cast<QPlainTextEdit*>(child) || qobject_cast<QAbstractItemView*>(child);
        if (!control || qobject_cast<QAbstractItemView*>(child->parentWidget()))
            continue;
        if (child->inherits("QLineEdit") && qobject_cast<QComboBox*>(child->parentWidget()))
            continue;
        EXPECT_FALSE(child->accessibleName().isEmpty())
            << child->metaObject()->className() << " " << child->objectName().toStdString();
    }
}

} // namespace

// ---------------------------------------------------------------- the road, on the starter department

namespace {

class TreatmentRoad : public ::testing::Test {
protected:
    TreatmentRoad()
    {
        programSwitches() = {};
        department = tools::addStarterDepartment(dbs.ppp().connection()).departmentKey;
        dbs.sql(QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdB, Phist, Pmale, "
                               "Pves, PdiaK) values (\"Громова Е.С.\", \"Громова\", \"Елена\", \"Сергеевна\", %1, "
                               "\"01.02.2024\", \"30.12.1899\", \"12.03.1958\", 112, 0, 60, \"Фокальная эпилепсия\")")
                    .arg(department));
        ws = std::make_unique<Workstation>(dbs.aliases());
        ws->openPatientWindow();
        ws->form3->links.openTreatment();
        w = ws->form6.get();
    }

    // Clicks on a row of a list (the grid's cell-click signal, after the move).
    static void click(ui::DBGrid* grid, const QString& field, const QVariant& value)
    {
        ASSERT_TRUE(grid->dataset()->locate(field, value)) << value.toString().toStdString();
        emit grid->cellClicked(grid->dataset()->recNo(), 0);
    }

    void prescribe(const QString& macrogroup, const QString& group, const QString& drug)
    {
        const auto& ref = w->controls().treatment->controls().reference->controls();
        click(ref.macrogroups, "TrTname", macrogroup);
        click(ref.groups, "TrTname", group);
        click(ref.drugs, "Tname_r", drug);
        w->controls().treatment->controls().addToTreatment->click();
    }

    QString stored(const QString& statement) { return dbs.scalar(statement).toString(); }

    test::TempDatabases dbs;
    ScriptedDialogs dialogs;
    qint64 department = 0;
    std::unique_ptr<Workstation> ws;
    TForm6* w = nullptr;
};

TEST_F(TreatmentRoad, AnEcgAndTwoDrugsReachTheDefaultDischargeSummary)
{
    // "Исследования": the ECG form of the instrumental type, filled in and stored.
    w->controls().pages->setCurrentWidget(w->controls().investigations);
    const auto& inv = w->controls().investigations->controls();
    click(inv.typeList, "ShTName", "Инструментальные исследования");
    click(inv.templateList, "ShName", "ЭКГ");
    QTextCursor end(&inv.editor->textDocument());
    end.movePosition(QTextCursor::End);
    end.insertText("Заключение: ритм синусовый, ЧСС 72 в минуту.");
    dialogs.type("ЭКГ");
    inv.addInvestigation->click();
    EXPECT_EQ(stored("select Iname from Issled"), "ЭКГ");

    // "Лечение": clopidogrel as it comes, carbamazepine through the dose dialog.
    w->controls().pages->setCurrentWidget(w->controls().treatment);
    const auto& page = w->controls().treatment->controls();
    prescribe("Сосудистые средства", "Антиагреганты", "Клопидогрел");
    prescribe("Противоэпилептические средства", "Производные карбоксамида", "Карбамазепин");
    EXPECT_EQ(stored("select Nrej from Nazn where Nname = \"Карбамазепин\""), "15мг\\кг\\с 2 р\\д ");
    page.calculator->controls().unequalDoses->click();
    ASSERT_TRUE(ws->form8->isVisible());
    const auto& dose = ws->form8->controls();
    EXPECT_EQ(dose.weight->text(), "60");
    dose.intakeRows[0].dose->setText("200");
    dose.intakeRows[1].dose->setText("0");
    dose.intakeRows[2].dose->setText("0");
    dose.intakeRows[3].dose->setText("400");
    dose.calculateUnequal->click();
    EXPECT_EQ(stored("select Nrej from Nazn where Nname = \"Карбамазепин\""),
              "утром: 200мг  по 1 таб.\r\nвечером: 400мг  по 1 таб.\r\n");
    EXPECT_EQ(stored("select NmgKgS from Nazn where Nname = \"Карбамазепин\""), "10 мг\\кг\\cут");
    EXPECT_EQ(dose.regimen->text().left(20), QString("утром: 200мг  по 1 таб.").left(20));

    // The recommendations go into the card with "Сохранить изменения".
    page.recommendationsChoice->click();
    page.recommendations->setPlainText("Наблюдение невролога по месту жительства.");
    page.saveChanges->click();
    EXPECT_EQ(stored("select Precom from pacient"), "Наблюдение невролога по месту жительства.");

    // "Выписка" / "( по умолчанию )" in the patient window.
    ws->form3->controls().discharge->click();
    const QString summary = word::plainText(word::documentFromBlob(ws->form3->controls().view->saveToBlob()));
    EXPECT_TRUE(summary.contains("Заключение: ритм синусовый, ЧСС 72 в минуту.")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("Клопидогрел мг\\кг\\с 1 р\\д")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("Карбамазепин утром: 200мг  по 1 таб.")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("(10 мг\\кг\\cут)")) << summary.toStdString();
    EXPECT_TRUE(summary.contains("Наблюдение невролога по месту жительства.")) << summary.toStdString();
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(TreatmentRoad, TextsChangedHereAreStoredWhenThePatientWindowLeavesThePatient)
{
    const auto& page = w->controls().treatment->controls();
    page.courseChoice->click();
    page.course->setPlainText("На фоне лечения приступов не было.");
    ws->form3->patients().StoreCardIfEdited();
    EXPECT_EQ(stored("select PanV from pacient"), "На фоне лечения приступов не было.");
    EXPECT_FALSE(w->scheme().textsChanged());
}

} // namespace
