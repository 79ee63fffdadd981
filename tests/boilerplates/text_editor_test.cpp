#include "boilerplates_fixture.h"

#include "app/workstation.h"
#include "boilerplates/patient_texts.h"
#include "boilerplates/text_editor_window.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "treatment/treatment_page.h"
#include "treatment/treatment_window.h"
#include "word/view/document_view.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace talvora;

namespace {

class TextEditor : public test::BoilerplateData {
protected:
    void start()
    {
        ws = std::make_unique<Workstation>(dbs.aliases());
        ws->openPatientWindow();
        w = ws->form4.get();
    }

    QString editorText() const { return textOf(w->editor().saveToBlob()); }
    const TForm3::Controls& card() const { return ws->form3->controls(); }
    QString stored(const QString& column) { return dbs.scalar("select " + column + " from pacient").toString(); }

    static void typeInto(QWidget* edit, const QString& text)
    {
        for (const QChar ch : text)
            QTest::sendKeyEvent(QTest::Click, edit, Qt::Key_unknown, QString(ch), Qt::NoModifier);
    }

    std::unique_ptr<Workstation> ws;
    TForm4* w = nullptr;
};

TEST_F(TextEditor, ADoubleClickOnAStatusOpensItAndSavingStoresItIntoTheCard)
{
    addBoilerplate(2, "статус", 18, 120, 3, "Сознание ясное. Менингеальных знаков нет.");
    addPatient("Лебедева", "05.06.1961", 2);
    start();
    QTest::mouseDClick(card().neuroStatus->viewport(), Qt::LeftButton);
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Неврологический статус — Лебедева А.П.");
    EXPECT_EQ(w->mode(), 2);
    EXPECT_EQ(editorText(), "Сознание ясное. Менингеальных знаков нет.");

    QTextCursor end(&w->editor().textDocument());
    end.movePosition(QTextCursor::End);
    end.insertText(" Парез левой руки до 4 баллов.");
    w->controls().save->click();
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored("Pnst"), "Сознание ясное. Менингеальных знаков нет. Парез левой руки до 4 баллов.");
    EXPECT_EQ(card().neuroStatus->toPlainText(), "Сознание ясное. Менингеальных знаков нет. Парез левой руки до 4 баллов.");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(TextEditor, ClosingUnsavedAsksAndNoLeavesTheStoredText)
{
    addPatient("Кузнецов", "05.06.1961", 1);
    start();
    QTest::mouseDClick(card().somaticStatus->viewport(), Qt::LeftButton);
    ASSERT_TRUE(w->isVisible());
    w->editor().loadFromBlob(blobOf("не сохранять"));
    dialogs.no();
    w->close();
    EXPECT_EQ(dialogs.asked().at(0).text, "Сохранить изменения ? ");
    EXPECT_FALSE(w->isVisible());
    EXPECT_EQ(stored("Psomat"), "");

    // Yes stores; after saving a close asks nothing.
    QTest::mouseDClick(card().somaticStatus->viewport(), Qt::LeftButton);
    w->editor().loadFromBlob(blobOf("Состояние удовлетворительное."));
    dialogs.yes();
    w->close();
    EXPECT_EQ(stored("Psomat"), "Состояние удовлетворительное.");
    QTest::mouseDClick(card().somaticStatus->viewport(), Qt::LeftButton);
    w->controls().save->click();
    w->close();
    EXPECT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(TextEditor, ABoilerplateChosenInTheListAsksBeforeReplacingTheDoctorsText)
{
    addPatient("Кузнецов", "05.06.1961", 1);
    start();
    QTest::mouseDClick(card().neuroStatus->viewport(), Qt::LeftButton);
    w->offerBoilerplate(blobOf("шаблон"));
    EXPECT_EQ(editorText(), "шаблон");
    QTextCursor(&w->editor().textDocument()).insertText("Врач написал. ");
    dialogs.no();
    w->offerBoilerplate(blobOf("другой шаблон"));
    EXPECT_EQ(editorText(), "Врач написал. шаблон");
    dialogs.yes();
    w->offerBoilerplate(blobOf("другой шаблон"));
    EXPECT_EQ(editorText(), "другой шаблон");
    // A hidden editor is filled anew when it opens: nothing to ask.
    w->hide();
    w->offerBoilerplate(blobOf("третий"));
    EXPECT_EQ(editorText(), "другой шаблон");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(TextEditor, TypingANewPatientsBirthDateFillsTheTextsFromTheBoilerplates)
{
    addBoilerplate(1, "анамнез", 18, 120, 3, "Жалобы на головную боль.");
    addBoilerplate(2, "статус", 18, 120, 2, "Сознание ясное.");
    addBoilerplate(3, "соматика", 18, 120, 3, "Кожные покровы обычной окраски.");
    start();
    ws->form3->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(ws->form3.get()));
    ws->form3->controls().create->click();
    ws->form3->controls().female->click();
    const auto& c = card();
    c.birthDay->setFocus();
    typeInto(c.birthDay, "12");
    typeInto(c.birthMonth, "04");
    typeInto(c.birthYear, "1958");
    c.birthYear->setFocus();
    c.weight->setFocus(); // leaving the birth year
    QCoreApplication::processEvents();
    EXPECT_EQ(c.anamnesis->toPlainText(), "Жалобы на головную боль.");
    EXPECT_EQ(c.neuroStatus->toPlainText(), "Сознание ясное.");
    EXPECT_EQ(c.somaticStatus->toPlainText(), "Кожные покровы обычной окраски.");
}

TEST_F(TextEditor, RecommendationsStoredInTheEditorReachTheTreatmentWindowsMemo)
{
    addPatient("Кузнецов", "05.06.1961", 1);
    start();
    ws->form3->links.openTreatment();
    const auto& page = ws->form6->controls().treatment->controls();
    page.recommendationsChoice->click();
    QTest::mouseDClick(page.recommendations->viewport(), Qt::LeftButton);
    ASSERT_TRUE(w->isVisible());
    EXPECT_EQ(w->windowTitle(), "Рекомендации при выписке — Кузнецов А.П.");
    w->editor().loadFromBlob(blobOf("Контроль АД."));
    w->controls().save->click();
    EXPECT_EQ(stored("Precom"), "Контроль АД.");
    EXPECT_EQ(page.recommendations->toPlainText(), "Контроль АД.");
    // "Сохранить изменения" on the treatment page writes the same text, not an older one.
    page.saveChanges->click();
    EXPECT_EQ(stored("Precom"), "Контроль АД.");
}

} // namespace
