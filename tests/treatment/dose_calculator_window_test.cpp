#include "treatment/dose_calculator_window.h"
#include "treatment/equal_doses_calculator.h"
#include "treatment_fixture.h"

#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <vector>

using namespace talvora;
using namespace talvora::treatment;

namespace {

void leave(QWidget* w, Qt::FocusReason reason = Qt::TabFocusReason)
{
    QFocusEvent out(QEvent::FocusOut, reason);
    QApplication::sendEvent(w, &out);
}

void retype(QLineEdit* e, const QString& text)
{
    e->clear();
    QTest::keyClicks(e, text);
}

class PageCalculator : public ::testing::Test {
protected:
    PageCalculator()
        : calc([this] { return weight; })
    {
        QObject::connect(&calc, &EqualDosesCalculator::calculated, [this](const DoseResult& r) { results.push_back(r); });
        QObject::connect(&calc, &EqualDosesCalculator::unequalDosesChosen, [this] { ++dialogShown; });
    }
    const EqualDosesCalculator::Controls& c() const { return calc.controls(); }

    ScriptedDialogs dialogs;
    QString weight = QStringLiteral("70");
    EqualDosesCalculator calc;
    std::vector<DoseResult> results;
    int dialogShown = 0;
};

class DoseDialog : public test::TreatmentData {
protected:
    DoseDialog()
    {
        QObject::connect(&w, &TForm8::calculated, [this](const DoseResult& r) { results.push_back(r); });
        QObject::connect(&w, &TForm8::regimenEdited, [this](const QString& t) { edited.push_back(t); });
    }
    const TForm8::Controls& c() const { return w.controls(); }

    data::TDM dm{dbs.aliases()};
    TForm8 w{dm};
    std::vector<DoseResult> results;
    QStringList edited;
};

} // namespace

TEST_F(PageCalculator, StartsWithTheTextsAndHintsOfTheForm)
{
    EXPECT_EQ(c().dose->text(), "100");
    EXPECT_EQ(c().dose->toolTip(), "Доза в 1-й таблетке");
    EXPECT_EQ(c().tablets->text(), "1");
    EXPECT_EQ(c().tablets->toolTip(), "количество табл. в 1 прием");
    EXPECT_EQ(c().fraction->currentText(), "0");
    EXPECT_EQ(c().fraction->currentIndex(), -1);
    EXPECT_EQ(c().fraction->count(), 8);
    EXPECT_EQ(c().fraction->toolTip(), "+ дробь (нецелая часть таблетки)");
    EXPECT_EQ(c().intakes->text(), "1");
    EXPECT_EQ(c().intakes->toolTip(), "количество приемов в сутки");
    EXPECT_EQ(c().dailyDose->text(), "_______");
    EXPECT_EQ(c().dailyDose->toolTip(), "Суточная доза");
    EXPECT_EQ(c().dosePerKg->text(), "______");
    EXPECT_EQ(c().dosePerKg->toolTip(), "суточноая доза на кг массы тела");
    EXPECT_EQ(c().calculate->toolTip(), "Вычислить !");
    EXPECT_EQ(c().calculate->accessibleName(), "Вычислить !");
    EXPECT_EQ(c().equalDoses->text(), "равные  дозы");
    EXPECT_EQ(c().equalDoses->toolTip(), "Случайприема равных доз в  течении суток");
    EXPECT_TRUE(c().equalDoses->isChecked());
    EXPECT_EQ(c().unequalDoses->text(), "не равные дозы");
    EXPECT_EQ(c().unequalDoses->toolTip(), "Разные дозы в течении суток");
}

TEST_F(PageCalculator, OnlyTheButtonWritesLeavingTheIntakesRecomputes)
{
    c().fraction->setCurrentIndex(4);
    retype(c().intakes, "3");
    leave(c().intakes);
    EXPECT_EQ(c().dailyDose->text(), "450");
    EXPECT_EQ(c().dosePerKg->text(), "6,4286");
    EXPECT_TRUE(results.empty());

    c().calculate->click();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].regimen, "100мг  по 1 + 1\\2 таб. x 3 р\\сут ");
    EXPECT_EQ(results[0].dailyDoseText, "450 мг\\cут");
    EXPECT_EQ(results[0].dosePerKgText, "6,4286 мг\\кг\\cут");

    // A switch to another window is not leaving the field.
    retype(c().intakes, "2");
    leave(c().intakes, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(c().dailyDose->text(), "450");
    EXPECT_TRUE(dialogs.asked().isEmpty());
}

TEST_F(PageCalculator, DigitErrorsShowTheMessageAndWriteNothing)
{
    c().calculate->click();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(c().dailyDose->text(), "100");

    retype(c().intakes, "3x");
    leave(c().intakes);
    c().calculate->click();
    EXPECT_EQ(dialogs.texts(), QStringList({DigitsMessage(), DigitsMessage()}));
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(c().dailyDose->text(), "100"); // the last result stays

    dialogs.clear();
    retype(c().intakes, "99999999999");
    c().calculate->click();
    ASSERT_EQ(dialogs.texts().size(), 1);
    EXPECT_TRUE(dialogs.texts()[0].contains("количество приемов в сутки"));
    EXPECT_EQ(results.size(), 1u);
}

TEST_F(PageCalculator, WithoutAWeightThePerKilogramDoseStaysEmpty)
{
    weight.clear();
    c().calculate->click();
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(c().dailyDose->text(), "100");
    EXPECT_EQ(c().dosePerKg->text(), "");
    EXPECT_EQ(results[0].dosePerKgText, "");
    EXPECT_FALSE(results[0].notice.isEmpty());
    EXPECT_TRUE(dialogs.asked().isEmpty()); // the notice is the writer's to say
}

TEST_F(PageCalculator, UnequalDosesAskForTheDialogOnlyWhenNewlyChosen)
{
    c().unequalDoses->click();
    EXPECT_EQ(dialogShown, 1);
    c().unequalDoses->click();
    EXPECT_EQ(dialogShown, 1);
    c().equalDoses->click();
    EXPECT_EQ(dialogShown, 1);
    c().unequalDoses->click();
    EXPECT_EQ(dialogShown, 2);
}

TEST_F(DoseDialog, OpensInTheUnequalModeAndSwitchesPanelsAndHeights)
{
    EXPECT_EQ(w.windowTitle(), "калькулятор дозы");
    ASSERT_TRUE(w.errorReportButton());
    EXPECT_TRUE(c().unequalDoses->isChecked());
    EXPECT_EQ(c().equalDoses->text(), "равные дозы");
    EXPECT_EQ(w.height(), 400);
    EXPECT_TRUE(c().unequalPanel->isVisibleTo(&w));
    EXPECT_FALSE(c().equalPanel->isVisibleTo(&w));
    EXPECT_EQ(c().equalPanel->title(), "Равные дозы");
    EXPECT_EQ(c().unequalPanel->title(), "Не равные дозы");
    EXPECT_TRUE(c().weight->font().bold());
    EXPECT_EQ(c().intakes->text(), "3");
    EXPECT_EQ(c().equalDailyDose->text(), "______");
    EXPECT_EQ(c().equalDosePerKg->text(), "_____");
    EXPECT_EQ(c().unequalDailyDose->text(), "______");
    EXPECT_EQ(c().unequalDosePerKg->text(), "_____");
    const QStringList captions{"Утром", "Днем", "Днем", "Вечером"};
    for (std::size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(c().intakeRows[i].caption->text(), captions[int(i)]);
        EXPECT_EQ(c().intakeRows[i].dose->text(), "100");
        EXPECT_EQ(c().intakeRows[i].tablets->text(), "1");
        EXPECT_EQ(c().intakeRows[i].fraction->currentText(), "0");
    }
    EXPECT_NE(c().intakeRows[1].dose->accessibleName(), c().intakeRows[2].dose->accessibleName());

    w.show();
    c().equalDoses->click();
    EXPECT_EQ(w.height(), 223);
    EXPECT_TRUE(c().equalPanel->isVisible());
    EXPECT_FALSE(c().unequalPanel->isVisible());

    // The page always brings it back in the unequal mode, with the weight.
    w.showUnequalDoses(QStringLiteral("60"));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(c().unequalDoses->isChecked());
    EXPECT_EQ(w.height(), 400);
    EXPECT_TRUE(c().unequalPanel->isVisible());
    EXPECT_EQ(c().weight->text(), "60");
    w.hide();
}

TEST_F(DoseDialog, UnequalDosesShowAndHandOnTheResult)
{
    const auto row = [this](std::size_t i, const char* dose, const char* tablets, int fraction) {
        retype(c().intakeRows[i].dose, dose);
        retype(c().intakeRows[i].tablets, tablets);
        c().intakeRows[i].fraction->setCurrentIndex(fraction);
    };
    row(0, "100", "1", 4);
    row(1, "0", "1", 0);
    row(2, "0", "1", 0);
    row(3, "50", "2", 0);
    w.showUnequalDoses(QStringLiteral("60"));
    c().calculateUnequal->click();
    EXPECT_EQ(c().unequalDailyDose->text(), "250");
    EXPECT_EQ(c().unequalDosePerKg->text(), "4,1667");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].regimen, "утром: 100мг  по 1 + 1\\2 таб.\r\nвечером: 50мг  по 2 таб.\r\n");

    // No weight on the card: the digit check of the unequal mode refuses.
    w.setPatientWeight(QString());
    c().calculateUnequal->click();
    EXPECT_EQ(dialogs.texts(), QStringList{DigitsMessage()});
    EXPECT_EQ(results.size(), 1u);
    EXPECT_EQ(c().unequalDailyDose->text(), "250");
    w.hide();
}

TEST_F(DoseDialog, EqualDosesUseTheWeightDisplay)
{
    w.setPatientWeight(QStringLiteral("70"));
    c().equalDoses->click();
    c().fraction->setCurrentIndex(4);
    c().calculateEqual->click();
    EXPECT_EQ(c().equalDailyDose->text(), "450");
    EXPECT_EQ(c().equalDosePerKg->text(), "6,4286");
    ASSERT_EQ(results.size(), 1u);
    EXPECT_EQ(results[0].regimen, "100мг  по 1 + 1\\2 таб. x 3 р\\сут ");

    w.setPatientWeight(QString()); // not checked here: the per-kilogram dose is left out
    c().calculateEqual->click();
    ASSERT_EQ(results.size(), 2u);
    EXPECT_EQ(c().equalDosePerKg->text(), "");
    EXPECT_FALSE(results[1].notice.isEmpty());
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(DoseDialog, TheRegimenIsHandedOnOnlyWhenTheUserChangedIt)
{
    w.setRegimen(QStringLiteral("10мг\\кг\\с 3 р\\д "));
    EXPECT_EQ(c().regimen->text(), "10мг\\кг\\с 3 р\\д ");
    leave(c().regimen);
    EXPECT_TRUE(edited.isEmpty());

    c().regimen->end(false);
    QTest::keyClicks(c().regimen, "x5");
    leave(c().regimen, Qt::ActiveWindowFocusReason);
    EXPECT_EQ(edited, QStringList{"10мг\\кг\\с 3 р\\д x5"});
    leave(c().regimen);
    EXPECT_EQ(edited.size(), 1);
}
