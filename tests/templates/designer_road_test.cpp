// A new user's road on the starter department: "Шаблоны", a consultation
// template built with the marker panel and right-clicks, stored, then
// assembled for a patient from the tab "Отчеты".

#include "app/start_window.h"
#include "common/program_state.h"
#include "app/workstation.h"
#include "data/data_module.h"
#include "patient/patient_window.h"
#include "starter_department.h"
#include "temp_databases.h"
#include "templates/designer_window.h"
#include "templates/marker_highlighter.h"
#include "templates/marker_panel.h"
#include "templates/template_designer.h"
#include "ui/db_grid.h"
#include "ui/scripted_dialogs.h"
#include "word/document_io.h"
#include "word/document_text.h"
#include "word/view/document_view.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

using namespace talvora;

namespace {

void click(ui::DBGrid* grid, const QString& field, const QVariant& value)
{
    ASSERT_TRUE(grid->dataset()->locate(field, value)) << value.toString().toStdString();
    emit grid->cellClicked(grid->dataset()->recNo(), 0);
}

QString plain(const word::DocumentView& view)
{
    return word::plainText(word::documentFromBlob(view.saveToBlob()));
}

TEST(DesignerRoad, AConsultationTemplateBuiltInTheDesignerIsAssembledFromTheReportsTab)
{
    programSwitches() = {};
    test::TempDatabases dbs;
    ScriptedDialogs dialogs;
    const qint64 department = tools::addStarterDepartment(dbs.ppp().connection()).departmentKey;
    dbs.sql(QStringLiteral("insert into pacient (Pname, Pname_f, Pname_n, Pname_o, Potd, PdP, PdV, PdB, Phist, Pmale, "
                           "Pves, PdiaK) values (\"Громова Е.С.\", \"Громова\", \"Елена\", \"Сергеевна\", %1, "
                           "\"01.02.2024\", \"30.12.1899\", \"12.03.1958\", 112, 0, 60, \"Фокальная эпилепсия\")")
                .arg(department));
    Workstation ws(dbs.aliases());
    ws.openPatientWindow();

    // "Шаблоны".
    ws.form1->templatesButton()->click();
    TForm2& d = *ws.form2;
    ASSERT_TRUE(d.isVisible());
    const auto& c = d.controls();
    click(c.templateTypes, QStringLiteral("ShTName"), QStringLiteral("Консультации"));
    c.newTemplate->click();

    // The heading from the panel, a line typed, the name and the diagnosis by right-clicks.
    QTreeWidget* panel = c.markerPanel->list();
    const QString heading = QStringLiteral("<!shabl_%1>").arg(
        dbs.scalar(QStringLiteral("select ShId from SHablon where ShName = \"Шапка выписки\"")).toInt());
    ASSERT_NE(c.markerPanel->itemOf(heading), nullptr);
    panel->setCurrentItem(c.markerPanel->itemOf(heading));
    QTest::keyClick(panel, Qt::Key_Return);
    word::WordSelection& s = c.view->automation().selection();
    s.insertAfter(QStringLiteral("\rКонсультация невролога. Пациент: "));
    c.insertionMode->setChecked(true);
    const auto& p = ws.form3->controls();
    QTest::mouseClick(p.surname, Qt::RightButton);
    s.insertAfter(QStringLiteral(" "));
    QTest::mouseClick(p.firstName, Qt::RightButton);
    s.insertAfter(QStringLiteral(", диагноз: "));
    QTest::mouseClick(p.diagnosisClinical->viewport(), Qt::RightButton, {}, QPoint(3, 3));
    c.insertionMode->setChecked(false);
    QCoreApplication::processEvents();
    EXPECT_EQ(plain(*c.view), heading + QStringLiteral("\nКонсультация невролога. Пациент: <!fld_1> <!fld_2>, диагноз: <!fld_12>\n"));
    EXPECT_EQ(d.highlighter()->toolTipAt(0), heading + QStringLiteral(" — шаблон «Шапка выписки»"));

    dialogs.type(QStringLiteral("Консультация невролога"));
    c.storeTemplate->click();
    const qint64 key = d.designer()->shownTemplate();
    ASSERT_GT(key, 0);

    // The tab "Отчеты" of the patient window.
    p.tabs->setCurrentWidget(p.reportsTab);
    p.showTemplates->setChecked(true);
    click(p.typeGrid, QStringLiteral("ShTName"), QStringLiteral("Консультации"));
    click(p.templateList, QStringLiteral("ShId"), key);
    p.assemble->click();
    const QString result = plain(*p.view);
    EXPECT_TRUE(result.contains(QStringLiteral("Консультация невролога. Пациент: Громова Елена, диагноз: Фокальная эпилепсия")))
        << result.toStdString();
    EXPECT_TRUE(result.contains(QStringLiteral("НЕВРОЛОГИЧЕСКОЕ ОТДЕЛЕНИЕ"))) << result.toStdString();
    EXPECT_FALSE(result.contains(QStringLiteral("<!"))) << result.toStdString();
    EXPECT_EQ(dialogs.problems(), "");
    for (const AskedDialog& a : dialogs.asked())
        EXPECT_NE(a.kind, DialogKind::Error) << a.text.toStdString();
}

} // namespace
