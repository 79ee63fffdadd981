#include "app/start_window.h"
#include "app/workstation.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "patient_fixture.h"
#include "treatment/treatment_window.h"
#include "ui/db_grid.h"

#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <QTextCursor>
#include <QToolButton>

using namespace talvora;

namespace {

// Types text as keys; QTest's own typing takes only ASCII.
void typeText(QWidget* w, const QString& text)
{
    for (QChar ch : text) {
        QTest::sendKeyEvent(QTest::Press, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
        QTest::sendKeyEvent(QTest::Release, w, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }
}

class PatientWindow : public test::PatientData {
protected:
    void start()
    {
        ws = std::make_unique<Workstation>(dbs.aliases());
        ASSERT_TRUE(ws->form3);
        w = ws->form3.get();
        ws->show();
        w->open();
    }
    const TForm3::Controls& c() const { return w->controls(); }
    QVariant stored(const QString& column, int key)
    {
        return dbs.scalar(QStringLiteral("select %1 from pacient where PID = %2").arg(column).arg(key));
    }

    std::unique_ptr<Workstation> ws;
    TForm3* w = nullptr;
};

} // namespace

TEST_F(PatientWindow, ADoctorCreatesTypesSavesAndFindsAPatient)
{
    addPatient(1, "Яковлев");
    start();
    EXPECT_EQ(w->windowTitle(), "Пациент");
    EXPECT_EQ(c().tabs->tabText(0), "Пациент");
    EXPECT_EQ(c().tabs->tabText(1), "Отчеты");
    EXPECT_EQ(c().found->text(), "1");

    c().create->click();
    const int key = w->patients().patientKey().toInt();
    EXPECT_EQ(c().found->text(), "2");
    EXPECT_EQ(c().stay->text(), "0");
    typeText(c().surname, "Морозова");
    typeText(c().firstName, "Анна");
    typeText(c().patronymic, "Сергеевна");
    QTest::keyClicks(c().birthDay, "7a"); // the day takes digits only
    QTest::keyClicks(c().birthMonth, "11");
    QTest::keyClicks(c().birthYear, "1958");
    c().ward->clear();
    QTest::keyClicks(c().ward, "x-5"); // a sign and digits only
    c().female->click();
    c().diagnosisClinical->clear();
    typeText(c().diagnosisClinical, "Дисциркуляторная энцефалопатия 2 ст.");
    c().save->click();

    EXPECT_EQ(stored("Pname", key).toString(), "Морозова А.С.");
    EXPECT_EQ(stored("PdB", key).toString(), "1958-11-07");
    EXPECT_EQ(stored("Palat", key).toInt(), -5);
    EXPECT_EQ(stored("Pmale", key).toInt(), 2);
    EXPECT_EQ(stored("PdiaK", key).toString(), "Дисциркуляторная энцефалопатия 2 ст.");
    EXPECT_EQ(c().list->dataset()->field("Pid").asInteger(), key);
    EXPECT_EQ(c().birthDay->text(), "07");
    EXPECT_FALSE(c().age->text().isEmpty());
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(PatientWindow, BadInputIsRefusedAndTheRowStays)
{
    const int key = addPatient(1, "Петров", "Мигрень");
    start();
    c().history->setText("12345678901");
    QTest::keyClicks(c().history, "2"); // typed: the card is changed
    c().diagnosisClinical->moveCursor(QTextCursor::End);
    typeText(c().diagnosisClinical, " без ауры");
    c().save->click();
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_TRUE(dialogs.asked()[0].text.contains("«№ ИБ»"));
    EXPECT_EQ(stored("PdiaK", key).toString(), "Мигрень");
    EXPECT_EQ(c().diagnosisClinical->toPlainText(), "Мигрень без ауры"); // nothing typed is lost either
}

TEST_F(PatientWindow, DeleteInTheListAsksFirst)
{
    addPatient(1, "Андреев");
    const int b = addPatient(1, "Борисов");
    start();
    ASSERT_TRUE(c().list->dataset()->locate("Pid", b));
    dialogs.yes();
    QTest::keyClick(c().list, Qt::Key_Delete);
    EXPECT_EQ(dialogs.texts().value(0), "Удалить запись о пациенте Борисов И.И.и все обследования? ");
    EXPECT_EQ(count("select count(*) from pacient"), 1);
    EXPECT_EQ(c().found->text(), "1");
    EXPECT_EQ(c().surname->text(), "Андреев");
}

TEST_F(PatientWindow, RightClickInsertsAMarkerOnlyInInsertionMode)
{
    addPatient(1, "Андреев");
    start();
    QStringList inserted;
    w->links.insertFieldMarker = [&](const QString& column) { inserted << column; };
    QTest::mouseClick(c().surname, Qt::RightButton);
    EXPECT_TRUE(inserted.isEmpty());
    programSwitches().MarkerInsertion = true;
    QTest::mouseClick(c().surname, Qt::RightButton);
    QTest::mouseClick(c().neuroStatus->viewport(), Qt::LeftButton);
    QTest::mouseClick(c().birthYear, Qt::RightButton);
    EXPECT_EQ(inserted, (QStringList{"Pname_f", "PdB"}));
    programSwitches().MarkerInsertion = false;
}

TEST_F(PatientWindow, FilterBandShowsClearsAndColoursItsPanel)
{
    addPatient(1, "Андреев", "", "01.01.1970");
    addPatient(1, "Борисов", "", "01.01.2001");
    start();
    EXPECT_TRUE(c().extraPanel->isHidden());
    c().extraFilters->click();
    EXPECT_FALSE(c().extraPanel->isHidden());
    EXPECT_EQ(c().ageFrom->text(), "0");
    c().ageOn->click();
    c().ageTo->setText("3O");
    c().dateOn->click(); // no date typed: the box is cleared
    c().applyFilters->click();
    EXPECT_TRUE(c().ageTo->styleSheet().contains("red"));
    EXPECT_FALSE(c().dateOn->isChecked());
    EXPECT_EQ(c().found->text(), "2");
    c().ageTo->setText("30");
    c().applyFilters->click();
    EXPECT_EQ(c().found->text(), "1");
    EXPECT_EQ(c().surname->text(), "Борисов");
    c().extraFilters->click();
    EXPECT_TRUE(c().extraPanel->isHidden());
    EXPECT_TRUE(c().ageTo->text().isEmpty());
    EXPECT_TRUE(c().ageFrom->text().isEmpty());
    EXPECT_EQ(c().found->text(), "2");

    // A title click sorts; the department change from the start window re-reads.
    c().list->horizontalHeader()->sectionClicked(1);
    EXPECT_EQ(static_cast<data::QueryDataset*>(c().list->dataset())->sql().last(), " ORDER BY PName");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(PatientWindow, TabGoesDownTheCard)
{
    start();
    QStringList names;
    QWidget* x = c().surname;
    for (int i = 0; i < 8; ++i) {
        names << x->accessibleName();
        x = x->nextInFocusChain();
        while (x->focusPolicy() == Qt::NoFocus || !x->isVisibleTo(w))
            x = x->nextInFocusChain();
    }
    EXPECT_EQ(names, (QStringList{"Фамилия", "Имя", "Отчество", "Дата  рождения дд", "Дата  рождения мм",
                                  "Дата  рождения гг", "Вес", "Профессия"}));
}

TEST_F(PatientWindow, EveryControlIsNamedForScreenReaders)
{
    start();
    QStringList unnamed;
    for (QWidget* x : w->findChildren<QWidget*>()) {
        const bool control = qobject_cast<QLineEdit*>(x) || qobject_cast<QAbstractButton*>(x) ||
                             qobject_cast<QPlainTextEdit*>(x) || qobject_cast<ui::DBGrid*>(x);
        if (!control || !x->isVisibleTo(w))
            continue;
        const auto* b = qobject_cast<QAbstractButton*>(x);
        if (x->accessibleName().isEmpty() && !(b && !b->text().isEmpty()))
            unnamed << x->metaObject()->className() + QStringLiteral(" ") + x->objectName();
    }
    EXPECT_TRUE(unnamed.isEmpty()) << unnamed.join(", ").toStdString();
    // Captions are tied to their edits.
    int tied = 0;
    for (QLabel* l : w->findChildren<QLabel*>())
        if (l->buddy())
            ++tied;
    EXPECT_GE(tied, 12);
}

TEST_F(PatientWindow, ThePanelsOpenTheTreatmentWindowAndClosingTheStartWindowClosesAll)
{
    start();
    c().treatment->click();
    EXPECT_TRUE(ws->form6->isVisible());
    ws->form1->close();
    EXPECT_FALSE(w->isVisible());
    EXPECT_FALSE(ws->form6->isVisible());
}
