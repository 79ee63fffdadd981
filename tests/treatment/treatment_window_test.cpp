#include "treatment_fixture.h"

#include "app/workstation.h"
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

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
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
    ref.storeDrug->click();
    EXPECT_EQ(ref.notesStrip->currentWidget(), ref.details);
    EXPECT_TRUE(ref.drugs->isEnabled());
    EXPECT_EQ(stored("select Tname_l from Treat where Tname_r = \"Тикагрелор\""), "Ticagrelorum");
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
