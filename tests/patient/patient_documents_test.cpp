#include "app/start_window.h"
#include "app/workstation.h"
#include "common/errors.h"
#include "patient/document_type_dialog.h"
#include "service/error_report_window.h"
#include "patient/patient_documents.h"
#include "patient/patient_register.h"
#include "patient/patient_window.h"
#include "patient_fixture.h"
#include "ui/db_grid.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/view/document_view.h"
#include "word/view/separate_window.h"

#include <QApplication>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolButton>

using namespace talvora;

namespace {

QByteArray blobOf(const QString& text)
{
    word::Document doc;
    QTextCursor(&doc.text()).insertText(text);
    return word::blobFromDocument(doc);
}

QString textOf(const QByteArray& blob)
{
    return word::plainText(word::documentFromBlob(blob)).trimmed();
}

class Documents : public test::PatientData {
protected:
    void start()
    {
        ws = std::make_unique<Workstation>(dbs.aliases());
        ASSERT_TRUE(ws->form3);
        w = ws->form3.get();
        w->links.assemble = [this](const patient::AssemblyParts& parts) {
            ++assemblies;
            assembledFrom = parts.target->document() ? word::plainText(*parts.target->document()).trimmed() : QString();
        };
    }
    const TForm3::Controls& c() const { return w->controls(); }
    int addTemplate(const QString& name, const QString& text, int department = 1, int def = 0)
    {
        data::Params p;
        p.set("n", name);
        p.set("r", blobOf(text));
        dbs.sql(QStringLiteral("insert into SHablon (ShOtd, ShType, ShName, ShRes, Sh_def) values (%1, 1, :n, :r, %2)")
                    .arg(department)
                    .arg(def),
                p);
        return dbs.scalar("select max(ShId) from SHablon").toInt();
    }
    void addDocument(int patient, const QString& text, const QString& date)
    {
        data::Params p;
        p.set("r", blobOf(text));
        dbs.sql(QStringLiteral("insert into Vipis (Vpac, Vtype, Vdate, Vres) values (%1, 1, '%2', :r)").arg(patient).arg(date), p);
    }
    QString viewText() const { return word::plainText(*c().view->document()).trimmed(); }

    std::unique_ptr<Workstation> ws;
    TForm3* w = nullptr;
    int assemblies = 0;
    QString assembledFrom;
};

} // namespace

TEST_F(Documents, StoringTakesTheDocumentAndPatientOfTheMomentAndNeverOverwrites)
{
    dbs.sql("insert into VipisType (VTName, VTOtd) values (\"Выписка\", 1)");
    const int a = addPatient(1, "Андреев");
    const int b = addPatient(1, "Борисов");
    // An earlier document dated in the future (a clock that was ahead).
    addDocument(a, "прежняя выписка", "2099-01-01 10:00:00");
    start();
    ASSERT_TRUE(c().list->dataset()->locate("Pid", a));
    EXPECT_EQ(c().documentList->dataset()->recordCount(), 1);
    c().view->loadFromBlob(blobOf("Выписной эпикриз Андреева"));
    c().storeDocument->click();
    EXPECT_TRUE(ws->form7->isVisible());
    EXPECT_EQ(ws->form7->whose()->text(), "Документ пациента: Андреев И.И.");

    // The doctor moves on before choosing the type.
    ASSERT_TRUE(c().list->dataset()->locate("Pid", b));
    c().view->loadFromBlob(blobOf("чужой текст"));
    ws->form7->okButton()->click();
    EXPECT_FALSE(ws->form7->isVisible());

    EXPECT_EQ(count(QStringLiteral("select count(*) from Vipis where Vpac = %1").arg(a)), 2);
    EXPECT_EQ(count(QStringLiteral("select count(*) from Vipis where Vpac = %1").arg(b)), 0);
    const int key = count("select max(VID) from Vipis");
    EXPECT_EQ(textOf(dbs.scalar(QStringLiteral("select Vres from Vipis where VID = %1").arg(key)).toByteArray()),
              "Выписной эпикриз Андреева");
    EXPECT_EQ(textOf(dbs.scalar("select Vres from Vipis where VID = 1").toByteArray()), "прежняя выписка");
    EXPECT_EQ(count(QStringLiteral("select Vtype from Vipis where VID = %1").arg(key)), 1);
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Documents, AnEmptyViewStoresNothing)
{
    addPatient(1, "Андреев");
    start();
    c().storeDocument->click();
    ASSERT_EQ(dialogs.asked().size(), 1);
    EXPECT_TRUE(dialogs.asked()[0].text.contains("сохранять нечего"));
    EXPECT_EQ(count("select count(*) from Vipis"), 0);
    EXPECT_FALSE(ws->form7->isVisible());
}

TEST_F(Documents, TheListFollowsThePatientShowsAndDeletes)
{
    const int a = addPatient(1, "Андреев");
    const int b = addPatient(1, "Борисов");
    addDocument(a, "первая", "2024-02-01 09:00:00");
    addDocument(a, "вторая", "2024-02-03 09:00:00");
    addDocument(b, "борисова", "2024-02-02 09:00:00");
    start();
    ASSERT_TRUE(c().list->dataset()->locate("Pid", a));
    data::Dataset& list = *c().documentList->dataset();
    ASSERT_EQ(list.recordCount(), 2);
    list.last(); // the newest is the last
    c().showDocument->click();
    EXPECT_EQ(viewText(), "вторая");

    dialogs.no();
    c().deleteDocument->click();
    EXPECT_EQ(list.recordCount(), 2);
    EXPECT_EQ(viewText(), "вторая");
    dialogs.yes();
    c().deleteDocument->click();
    EXPECT_EQ(dialogs.texts().last(), "Удалить документ ?");
    EXPECT_EQ(list.recordCount(), 1);
    EXPECT_EQ(count("select count(*) from Vipis"), 2);

    ASSERT_TRUE(c().list->dataset()->locate("Pid", b));
    ASSERT_EQ(list.recordCount(), 1);
    c().showDocument->click();
    EXPECT_EQ(viewText(), "борисова");
}

TEST_F(Documents, ATemplateRowShowsThatTemplateAndNoOtherOfASimilarName)
{
    addPatient(1, "Андреев");
    dbs.sql("insert into SHablonType (ShTName, ShTotd) values (\"Выписки\", 1)");
    addTemplate("Выписка", "шаблон другого отделения", 2); // lower key, a name that begins the other
    const int own = addTemplate("Выписка", "шаблон отделения");
    addTemplate("Выписка подробная", "подробный шаблон");
    start();
    c().tabs->setCurrentWidget(c().reportsTab);
    c().showTemplates->click();
    EXPECT_FALSE(c().templateChooser->isHidden());
    data::Dataset& templates = *c().templateList->dataset();
    ASSERT_EQ(templates.recordCount(), 2);
    ASSERT_TRUE(templates.locate("ShId", own));
    c().showTemplate->click();
    EXPECT_EQ(viewText(), "шаблон отделения");

    // The default flag is stored in that template only.
    c().defaultTemplate->setChecked(true);
    w->documents().SetDefaultTemplateFlag(true);
    EXPECT_EQ(count(QStringLiteral("select Sh_def from SHablon where ShId = %1").arg(own)), 1);
    EXPECT_EQ(count("select count(*) from SHablon where Sh_def = 1"), 1);
}

TEST_F(Documents, TheDefaultDischargeShowsTheDefaultTemplateAndAssemblesIt)
{
    addPatient(1, "Андреев");
    start();
    c().discharge->click(); // no default template yet: the tab, and nothing more
    EXPECT_EQ(c().tabs->currentWidget(), c().reportsTab);
    EXPECT_EQ(assemblies, 0);
    EXPECT_EQ(dialogs.asked().size(), 0);

    addTemplate("Выписной эпикриз", "ВЫПИСНОЙ ЭПИКРИЗ <!fld_1>", 1, 1);
    addTemplate("Выписной эпикриз 2", "второй по умолчанию", 1, 1);
    addTemplate("Чужой", "чужой по умолчанию", 2, 1);
    c().tabs->setCurrentIndex(0);
    c().discharge->click();
    EXPECT_EQ(assemblies, 1);
    EXPECT_EQ(assembledFrom, "ВЫПИСНОЙ ЭПИКРИЗ <!fld_1>");
}

TEST_F(Documents, TheRoadOfADischargeSummary)
{
    dbs.sql("insert into VipisType (VTName, VTOtd) values (\"Выписка\", 1)");
    const int key = addPatient(1, "Морозова", "Дисциркуляторная энцефалопатия");
    addTemplate("Выписной эпикриз", "ВЫПИСНОЙ ЭПИКРИЗ <!fld_1> <!fld_2>. Диагноз: <!fld_12>", 1, 1);
    ws = std::make_unique<Workstation>(dbs.aliases()); // the assembly the start-up wires
    w = ws->form3.get();
    c().discharge->click();
    EXPECT_EQ(viewText(), "ВЫПИСНОЙ ЭПИКРИЗ Морозова Иван. Диагноз: Дисциркуляторная энцефалопатия");
    EXPECT_TRUE(c().progressPanel->isHidden());
    c().storeDocument->click();
    ws->form7->okButton()->click();
    EXPECT_EQ(textOf(dbs.scalar(QStringLiteral("select Vres from Vipis where Vpac = %1").arg(key)).toByteArray()),
              "ВЫПИСНОЙ ЭПИКРИЗ Морозова Иван. Диагноз: Дисциркуляторная энцефалопатия");
    c().cancelAssembly->click();
    EXPECT_EQ(viewText(), "ВЫПИСНОЙ ЭПИКРИЗ <!fld_1> <!fld_2>. Диагноз: <!fld_12>");
    c().documentList->dataset()->last();
    c().showDocument->click();
    EXPECT_TRUE(viewText().startsWith("ВЫПИСНОЙ ЭПИКРИЗ Морозова"));
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(Documents, TheTabReportsErrorsUnderItsOwnPrefix)
{
    start();
    c().reportsErrorButton->click();
    EXPECT_EQ(ws->form9->windowNumber(), 3);
    EXPECT_EQ(ws->form9->prefix(), "Отчеты: ");
}

TEST_F(Documents, ExportingCopiesIntoASeparateWindowAndLeavesTheTabAlone)
{
    const int a = addPatient(1, "Андреев");
    addDocument(a, "выписка для другой больницы", "2024-02-01 09:00:00");
    start();
    c().view->loadFromBlob(blobOf("то, что на вкладке"));
    const auto before = QApplication::topLevelWidgets().size();
    c().exportDocument->click();
    EXPECT_EQ(dialogs.problems(), "");
    word::SeparateDocumentWindow* opened = nullptr;
    for (QWidget* t : QApplication::topLevelWidgets())
        if (auto* s = qobject_cast<word::SeparateDocumentWindow*>(t))
            opened = s;
    ASSERT_NE(opened, nullptr);
    EXPECT_GT(QApplication::topLevelWidgets().size(), before);
    EXPECT_EQ(word::plainText(*opened->view().document()).trimmed(), "выписка для другой больницы");
    EXPECT_EQ(viewText(), "то, что на вкладке");
    EXPECT_FALSE(c().auxView->isActive());
    opened->close();
}
