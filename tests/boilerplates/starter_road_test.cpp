// A new patient on the starter department: the texts fill from the starter
// boilerplates of the patient's age and sex, a status edited in the text
// editor is stored with the card and printed in the discharge summary.

#include "app/workstation.h"
#include "boilerplates/text_editor_window.h"
#include "common/program_state.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "starter_department.h"
#include "temp_databases.h"
#include "ui/scripted_dialogs.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/view/document_view.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace talvora;

namespace {

void typeInto(QWidget* edit, const QString& text)
{
    for (const QChar ch : text)
        QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
}

TEST(StarterBoilerplateRoad, ANewPatientsTextsFillAndAnEditedStatusReachesTheDischargeSummary)
{
    programSwitches() = {};
    test::TempDatabases dbs;
    ScriptedDialogs dialogs;
    tools::addStarterDepartment(dbs.ppp().connection());
    Workstation ws(dbs.aliases());
    ws.openPatientWindow();
    TForm3& patient = *ws.form3;
    patient.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&patient));
    const auto& c = patient.controls();

    // A woman of 66 on admission: the boilerplates of 60–74 years for women.
    c.create->click();
    c.female->click();
    c.surname->setText(QStringLiteral("Тестова"));
    c.birthDay->setFocus();
    typeInto(c.birthDay, "12");
    typeInto(c.birthMonth, "04");
    typeInto(c.birthYear, "1958");
    c.birthYear->setFocus();
    c.weight->setFocus(); // leaving the birth year fills the texts
    QCoreApplication::processEvents();
    EXPECT_TRUE(c.anamnesis->toPlainText().startsWith(QStringLiteral("Считает себя больной"))) << c.anamnesis->toPlainText().toStdString();
    EXPECT_TRUE(c.anamnesis->toPlainText().contains(QStringLiteral("Гинекологический анамнез:")));
    EXPECT_TRUE(c.neuroStatus->toPlainText().contains(QStringLiteral("Сознание:")));
    EXPECT_TRUE(c.somaticStatus->toPlainText().contains(QStringLiteral("Общее состояние")));

    // The neurological status, opened from the card, gets one finding more.
    QTest::mouseDClick(c.neuroStatus->viewport(), Qt::LeftButton);
    TForm4& editor = *ws.form4;
    ASSERT_TRUE(editor.isVisible());
    QTextCursor end(&editor.editor().textDocument());
    end.movePosition(QTextCursor::End);
    end.insertText(QStringLiteral(" Симптом Бабинского слева."));
    editor.controls().save->click();
    EXPECT_FALSE(editor.isVisible());
    EXPECT_TRUE(c.neuroStatus->toPlainText().endsWith(QStringLiteral("Симптом Бабинского слева.")));

    // "Выписка" / "( по умолчанию )": the texts as stored with the card.
    c.discharge->click();
    const QString summary = word::plainText(word::documentFromBlob(c.view->saveToBlob()));
    EXPECT_TRUE(summary.contains(QStringLiteral("Симптом Бабинского слева."))) << summary.toStdString();
    EXPECT_TRUE(summary.contains(QStringLiteral("Анамнез: Считает себя больной"))) << summary.toStdString();
    EXPECT_FALSE(summary.contains(QStringLiteral("Анамнез: Анамнез")));
    EXPECT_TRUE(dbs.scalar(QStringLiteral("select Pnst from pacient")).toString().endsWith(QStringLiteral("Симптом Бабинского слева.")));
    EXPECT_EQ(dialogs.problems(), "");
}

} // namespace
