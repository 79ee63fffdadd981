// The page "Исследования" on a real database, driven through its controls:
// the lists after the filter switch, automatic display and the doctor's
// unstored changes, storing investigations and templates by their own keys,
// deleting them, the designer's markers, and investigations made here in an
// assembled document.

#include "treatment_fixture.h"

#include "common/errors.h"
#include "templates/document_assembly.h"
#include "templates/template_operations.h"
#include "treatment/investigations.h"
#include "treatment/investigations_page.h"
#include "ui/db_grid.h"
#include "word/view/document_view.h"
#include "word/view/marker_text_box.h"

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QApplication>
#include <QMouseEvent>
#include <QToolButton>

using namespace talvora;
using talvora::treatment::Investigations;
using talvora::treatment::InvestigationsPage;

namespace {

class InvestigationsPageTest : public test::TreatmentData {
protected:
    void start()
    {
        dm = std::make_unique<data::TDM>(dbs.aliases());
        templateOps = std::make_unique<templates::TemplateOperations>(*dm);
        editor = new word::DocumentView; // the page takes it
        ops = std::make_unique<Investigations>(*dm, *templateOps, *editor);
        page = std::make_unique<InvestigationsPage>(*ops, links, nullptr);
        dm->Pac_q->open();
        ASSERT_TRUE(dm->Pac_q->locate(QStringLiteral("pID"), patient));
    }

    void TearDown() override
    {
        // The page and with it the editor, then the operations, before the data module.
        page.reset();
        ops.reset();
    }

    const InvestigationsPage::Controls& c() const { return page->controls(); }

    void chooseType(int type)
    {
        ASSERT_TRUE(dm->ShType->locate(QStringLiteral("ShTID"), type));
        emit c().typeList->cellClicked(dm->ShType->recNo(), 0);
    }

    QString editorText() const { return textOf(editor->saveToBlob()); }

    // What the doctor types at the end of the document shown.
    void typeIntoEditor(const QString& text)
    {
        editor->activate();
        word::WordSelection& s = editor->automation().selection();
        const int end = editor->textDocument().characterCount() - 1;
        s.setEnd(end);
        s.setStart(end);
        s.typeText(text);
    }

    QString investigationText(qint64 iid)
    {
        return textOf(dbs.scalar(QStringLiteral("select Ires from Issled where Iid = %1").arg(iid)).toByteArray());
    }

    QStringList listed(const data::Dataset& list, const QString& field) const
    {
        QStringList names;
        if (!list.active())
            return names;
        for (int row = 0; row < list.recordCount(); ++row)
            names << list.rowValue(row, list.fieldIndex(field)).toString();
        return names;
    }

    QString errorsShown() const
    {
        QStringList errors;
        for (const AskedDialog& d : dialogs.asked())
            if (d.kind == DialogKind::Error)
                errors << d.text;
        return errors.join(u'\n');
    }

    treatment::TreatmentWindowLinks links;
    std::unique_ptr<data::TDM> dm;
    std::unique_ptr<templates::TemplateOperations> templateOps;
    word::DocumentView* editor = nullptr;
    std::unique_ptr<Investigations> ops;
    std::unique_ptr<InvestigationsPage> page;
};

// ---------------------------------------------------------------- lists and the filter

TEST_F(InvestigationsPageTest, FilterOnShowsTheTypesInvestigationOrElseItsTemplateOrElseLeavesTheEditor)
{
    const int consultations = addTemplateType(QStringLiteral("Консультации"));
    addTemplate(laboratory, QStringLiteral("ОАК"), QStringLiteral("форма ОАК"));
    addTemplate(instrumental, QStringLiteral("ЭЭГ"), QStringLiteral("форма ЭЭГ"));
    addInvestigation(laboratory, QStringLiteral("ОАК 1"), QStringLiteral("результат ОАК"));
    addInvestigation(laboratory, QStringLiteral("ОАК 2"), QStringLiteral("второй ОАК"));
    start();
    EXPECT_EQ(editorText(), ""); // an empty document from the start
    EXPECT_FALSE(editor->isEmpty());
    EXPECT_FALSE(c().filterOff->isChecked());

    page->windowActivated();
    EXPECT_EQ(c().patientName->text(), QStringLiteral("Смирнова А.П."));
    EXPECT_EQ(listed(*dm->Issled_q, QStringLiteral("Iname")), (QStringList{"ОАК 1", "ОАК 2"}));
    EXPECT_EQ(c().templateList->dataset(), dm->Sh_q.get());
    EXPECT_EQ(editorText(), "результат ОАК");
    dm->Issled_q->next();
    EXPECT_EQ(editorText(), "второй ОАК");

    chooseType(instrumental);
    EXPECT_TRUE(dm->Issled_q->isEmpty());
    EXPECT_EQ(editorText(), "форма ЭЭГ");

    // Neither investigations nor templates: the editor keeps what it held.
    chooseType(consultations);
    EXPECT_TRUE(dm->Issled_q->isEmpty());
    EXPECT_TRUE(dm->Sh_q->isEmpty());
    EXPECT_EQ(editorText(), "форма ЭЭГ");

    // Filter off: everything of the patient and department; the type list out of play.
    c().filterOff->click();
    EXPECT_TRUE(ops->filterOff());
    EXPECT_FALSE(c().typeList->isEnabled());
    EXPECT_EQ(c().templateList->dataset(), dm->Sh_q_all.get());
    EXPECT_EQ(listed(*dm->Sh_q_all, QStringLiteral("ShName")), (QStringList{"ОАК", "ЭЭГ"}));
    EXPECT_EQ(listed(*dm->Issled_q, QStringLiteral("Iname")), (QStringList{"ОАК 1", "ОАК 2"}));
    EXPECT_EQ(editorText(), "результат ОАК");

    // Activation reads the lists again as the switch says.
    addInvestigation(instrumental, QStringLiteral("ЭЭГ 1"), QStringLiteral("альфа-ритм"));
    page->windowActivated();
    EXPECT_EQ(dm->Issled_q->recordCount(), 3);
    c().filterOff->click();
    EXPECT_TRUE(c().typeList->isEnabled());
    EXPECT_EQ(c().templateList->dataset(), dm->Sh_q.get());
    EXPECT_EQ(dialogs.problems(), "");
}

// ---------------------------------------------------------------- storing investigations

TEST_F(InvestigationsPageTest, AddInvestigationStoresTheEditorsDocumentInItsOwnNewRow)
{
    addTemplate(laboratory, QStringLiteral("ОАК"), QStringLiteral("Гемоглобин: "));
    // An older investigation of the same type whose name begins with the new name.
    const int older = addInvestigation(laboratory, QStringLiteral("ОАК расширенный"), QStringLiteral("старый"));
    start();
    page->windowActivated();
    c().showTemplate->click();
    typeIntoEditor(QStringLiteral("130 г/л"));
    ASSERT_TRUE(editor->changedSinceLoaded());

    dialogs.type(QStringLiteral("ОАК"));
    c().addInvestigation->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(dialogs.asked().last().caption, QStringLiteral("Название иccледования"));
    EXPECT_EQ(dialogs.asked().last().text, QStringLiteral("введите название"));
    EXPECT_EQ(dialogs.asked().last().defaultText, QStringLiteral(" .."));

    const qint64 added = dm->Issled_q->field(QStringLiteral("Iid")).value().toLongLong();
    EXPECT_GT(added, older);
    EXPECT_EQ(investigationText(added), "Гемоглобин: 130 г/л");
    EXPECT_EQ(investigationText(older), "старый");
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled where Iid = %1 and Ipac = %2 and Itype = %3 and Iname = \"ОАК\"")
                        .arg(added)
                        .arg(patient)
                        .arg(laboratory)),
              1);
    EXPECT_EQ(dbs.scalar(QStringLiteral("select Idate from Issled where Iid = %1").arg(added)).toDateTime().date(),
              QDate::currentDate());
    // The list stands on the new row and the editor still holds what was stored.
    EXPECT_EQ(listed(*dm->Issled_q, QStringLiteral("Iname")), (QStringList{"ОАК расширенный", "ОАК"}));
    EXPECT_EQ(editorText(), "Гемоглобин: 130 г/л");
    EXPECT_FALSE(editor->changedSinceLoaded());
    EXPECT_EQ(editor->state(), word::DocumentView::State::Loaded);
    EXPECT_TRUE(ops->autoDisplay());
    // Stored, the document gives way to the next automatic display.
    dm->Issled_q->first();
    EXPECT_EQ(editorText(), "старый");
}

TEST_F(InvestigationsPageTest, NamesAreStoredAsTypedCutToFiftyAndACancelledNameIsTwoDots)
{
    start();
    page->windowActivated();
    typeIntoEditor(QStringLiteral("заключение"));
    const QString longName = QString(60, u'Я');
    dialogs.type(QStringLiteral("Мексидол \"ампулы\"")).type(QStringLiteral("О'Брайен")).type(longName).cancel();
    for (int i = 0; i < 4; ++i)
        c().addInvestigation->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(listed(*dm->Issled_q, QStringLiteral("Iname")),
              (QStringList{QStringLiteral("Мексидол \"ампулы\""), QStringLiteral("О'Брайен"), longName.left(50), " .."}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled")), 4);

    // The same for templates.
    dialogs.type(QStringLiteral("О'Брайен \"форма\"")).cancel();
    c().addTemplate->click();
    c().addTemplate->click();
    EXPECT_EQ(dialogs.problems(), "");
    EXPECT_EQ(listed(*dm->Sh_q, QStringLiteral("ShName")), (QStringList{QStringLiteral("О'Брайен \"форма\""), " .."}));
}

TEST_F(InvestigationsPageTest, WithTheFilterOffAnInvestigationIsFiledUnderTheDisabledTypesCurrentType)
{
    start();
    chooseType(instrumental);
    c().filterOff->click();
    ASSERT_FALSE(c().typeList->isEnabled());
    typeIntoEditor(QStringLiteral("ЭЭГ: норма"));
    dialogs.type(QStringLiteral("ЭЭГ"));
    c().addInvestigation->click();
    EXPECT_EQ(count(QStringLiteral("select Itype from Issled where Iname = \"ЭЭГ\"")), instrumental);
    EXPECT_EQ(dm->Issled_q->recordCount(), 1); // the list of all investigations shows it
}

TEST_F(InvestigationsPageTest, NothingIsStoredFromAnEmptyEditorOrWithoutAPatientOrWhenWritingFails)
{
    start();
    page->windowActivated();
    // The empty document of a new window.
    c().addInvestigation->click();
    c().addTemplate->click();
    EXPECT_EQ(errorsShown(), "В окне документа ничего нет: сохранять нечего.\n"
                             "В окне документа ничего нет: сохранять нечего.");
    EXPECT_EQ(dialogs.problems(), ""); // no name was asked
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled")), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon")), 0);
    EXPECT_TRUE(ops->autoDisplay());

    // Writing fails: nothing is stored, the failure is shown, and automatic
    // display is on again.
    typeIntoEditor(QStringLiteral("результат"));
    dm->Pacents->connection().exec(QStringLiteral(
        "CREATE TRIGGER no_results BEFORE INSERT ON Issled BEGIN SELECT RAISE(ABORT, 'диск переполнен'); END"));
    dialogs.clear();
    dialogs.type(QStringLiteral("ОАК"));
    c().addInvestigation->click();
    EXPECT_TRUE(errorsShown().contains(QStringLiteral("диск переполнен"))) << errorsShown().toStdString();
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled")), 0);
    EXPECT_TRUE(ops->autoDisplay());
    EXPECT_TRUE(dm->Issled_q->active());
    EXPECT_EQ(editorText(), "результат");
    EXPECT_TRUE(editor->changedSinceLoaded());

    // No patient selected.
    dm->Pac_q->close();
    dialogs.clear();
    c().addInvestigation->click();
    EXPECT_EQ(errorsShown(), "Не выбран пациент: исследование записывать некому.");
}

TEST_F(InvestigationsPageTest, StoringIntoAGivenInvestigationWritesThatRowOnly)
{
    const int first = addInvestigation(laboratory, QStringLiteral("ОАК"), QStringLiteral("до"));
    const int second = addInvestigation(laboratory, QStringLiteral("ОАК"), QStringLiteral("другой"));
    start();
    page->windowActivated();
    typeIntoEditor(QStringLiteral(" после"));
    ops->StoreInvestigationResult(first);
    EXPECT_EQ(investigationText(first), "до после");
    EXPECT_EQ(investigationText(second), "другой");
    EXPECT_FALSE(editor->changedSinceLoaded());
    EXPECT_EQ(dm->Issled_q->field(QStringLiteral("Iid")).asInteger(), first);
    dm->Pacents->execute(QStringLiteral("delete from Issled where Iid = %1").arg(second), {});
    EXPECT_THROW(ops->StoreInvestigationResult(second), Error);
    EXPECT_TRUE(ops->autoDisplay());
}

// ---------------------------------------------------------------- unstored changes and unreadable documents

TEST_F(InvestigationsPageTest, AutomaticDisplayKeepsUnstoredChangesAndTheButtonsAskBeforeReplacingThem)
{
    addTemplate(laboratory, QStringLiteral("ОАК"), QStringLiteral("форма ОАК"));
    addTemplate(laboratory, QStringLiteral("ОАМ"), QStringLiteral("форма ОАМ"));
    addInvestigation(laboratory, QStringLiteral("ОАК 1"), QStringLiteral("первый"));
    addInvestigation(laboratory, QStringLiteral("ОАК 2"), QStringLiteral("второй"));
    start();
    page->windowActivated();
    ASSERT_EQ(editorText(), "первый");
    typeIntoEditor(QStringLiteral(" правка"));

    // List moves, also of Sh_q by another window that shares it, leave it.
    dm->Issled_q->next();
    dm->Sh_q->next();
    page->windowActivated();
    EXPECT_EQ(editorText(), "первый правка");
    EXPECT_EQ(dialogs.problems(), "");

    // The buttons ask; No keeps the changes.
    dialogs.no();
    c().showInvestigation->click();
    EXPECT_EQ(editorText(), "первый правка");
    dialogs.no();
    c().showTemplate->click();
    EXPECT_EQ(editorText(), "первый правка");
    ASSERT_EQ(dialogs.asked().size(), 2);
    EXPECT_EQ(dialogs.asked()[0].kind, DialogKind::Confirm);
    EXPECT_TRUE(dialogs.asked()[0].text.contains(QStringLiteral("не сохранён"))) << dialogs.asked()[0].text.toStdString();

    // Yes replaces them; an unchanged document is replaced without a question.
    dialogs.yes();
    c().showTemplate->click();
    EXPECT_EQ(editorText(), "форма ОАК");
    c().showInvestigation->click();
    EXPECT_EQ(editorText(), "первый");
    dm->Issled_q->next();
    EXPECT_EQ(editorText(), "второй");
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(InvestigationsPageTest, AnUnreadableInvestigationIsReportedAndTheEditorAndTheRowStay)
{
    addInvestigation(laboratory, QStringLiteral("ОАК"), QStringLiteral("читается"));
    data::Params p;
    p.set(QStringLiteral("r"), QByteArray("BDOC\x01\0\0\0\x10\0\0\0garbage", 19));
    dbs.sql(QStringLiteral("insert into Issled (Ipac, Itype, Iname, Ires) values (%1, %2, \"Битый\", :r)")
                .arg(patient)
                .arg(laboratory),
            p);
    dbs.sql(QStringLiteral("insert into Issled (Ipac, Itype, Iname) values (%1, %2, \"Пустой\")").arg(patient).arg(laboratory));
    start();
    page->windowActivated();
    ASSERT_EQ(editorText(), "читается");

    dm->Issled_q->next(); // automatic display
    c().showInvestigation->click();
    dm->Issled_q->next();
    EXPECT_EQ(editorText(), "читается");
    const QStringList errors = errorsShown().split(u'\n');
    ASSERT_EQ(errors.size(), 3) << errorsShown().toStdString();
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Исследование «Битый»: документ не удаётся прочитать")));
    EXPECT_EQ(errors[1], errors[0]);
    EXPECT_EQ(errors[2], QStringLiteral("Исследование «Пустой»: документ не сохранён, показывать нечего."));
    EXPECT_EQ(dm->Issled_q->field(QStringLiteral("Iname")).asString(), QStringLiteral("Пустой"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled")), 3);
}

// ---------------------------------------------------------------- deleting

TEST_F(InvestigationsPageTest, DeletingAnInvestigationAsksWithItsNameAndRereadsTheListsAfterTheFilter)
{
    addTemplate(laboratory, QStringLiteral("ОАК"), QStringLiteral("форма"));
    addInvestigation(laboratory, QStringLiteral("ОАК"), QStringLiteral("первый"));
    const int eeg = addInvestigation(instrumental, QStringLiteral("ЭЭГ"), QStringLiteral("ЭЭГ"));
    start();
    page->windowActivated();

    dialogs.no();
    c().deleteInvestigation->click();
    EXPECT_EQ(dialogs.texts(), QStringList{"Удалить исследование ? ОАК"});
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled")), 2);

    dialogs.yes();
    c().deleteInvestigation->click();
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled")), 1);
    EXPECT_TRUE(dm->Issled_q->isEmpty());
    EXPECT_EQ(listed(*dm->Sh_q, QStringLiteral("ShName")), QStringList{"ОАК"});

    // With the filter off the lists of everything are read again.
    c().filterOff->click();
    dm->Sh_q_all->close();
    dialogs.yes();
    c().deleteInvestigation->click();
    EXPECT_EQ(count(QStringLiteral("select count(*) from Issled where Iid = %1").arg(eeg)), 0);
    EXPECT_TRUE(dm->Issled_q->active());
    EXPECT_TRUE(dm->Sh_q_all->active());
    EXPECT_EQ(dialogs.problems(), "");
}

// ---------------------------------------------------------------- templates

TEST_F(InvestigationsPageTest, AddTemplateNeedsTheFilterOnAndStoresARowOfTheTypeAndDepartment)
{
    start();
    page->windowActivated();
    typeIntoEditor(QStringLiteral("Глазное дно:"));
    c().filterOff->click();
    c().addTemplate->click();
    EXPECT_EQ(dialogs.texts(), QStringList{"Необходимо указывать тип создаваемого шаблона !"});
    EXPECT_FALSE(c().filterOff->isChecked());
    EXPECT_FALSE(ops->filterOff());
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon")), 0);

    chooseType(instrumental);
    dialogs.type(QStringLiteral("Осмотр офтальмолога"));
    c().addTemplate->click();
    ASSERT_EQ(dialogs.asked().last().caption, QStringLiteral("Название шаблона"));
    const int key = lastKey(QStringLiteral("ShId"), QStringLiteral("SHablon"));
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon where ShId = %1 and ShType = %2 and ShOtd = %3 "
                                   "and ShName = \"Осмотр офтальмолога\" and Sh_def is null")
                        .arg(key)
                        .arg(instrumental)
                        .arg(department)),
              1);
    EXPECT_EQ(textOf(dbs.scalar(QStringLiteral("select ShRes from SHablon where ShId = %1").arg(key)).toByteArray()),
              "Глазное дно:");
    EXPECT_EQ(dm->Sh_q->field(QStringLiteral("ShId")).asInteger(), key);
    EXPECT_EQ(editorText(), "Глазное дно:");
    EXPECT_FALSE(editor->changedSinceLoaded());
    EXPECT_EQ(dialogs.problems(), "");
}

TEST_F(InvestigationsPageTest, ShowingAndDeletingATemplateTakeTheSelectedRowsKey)
{
    // "AB" has the lower key; a search by the name "A" would find it.
    const int ab = addTemplate(laboratory, QStringLiteral("AB"), QStringLiteral("шаблон AB"));
    const int a = addTemplate(laboratory, QStringLiteral("A"), QStringLiteral("шаблон A"));
    const int other = addTemplate(instrumental, QStringLiteral("A"), QStringLiteral("другой A"));
    start();
    page->windowActivated();
    ASSERT_TRUE(dm->Sh_q->locate(QStringLiteral("ShId"), a));
    EXPECT_EQ(editorText(), "шаблон A");
    c().showTemplate->click();
    EXPECT_EQ(editorText(), "шаблон A");

    dialogs.no().yes();
    c().deleteTemplate->click();
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon")), 3);
    c().deleteTemplate->click();
    EXPECT_EQ(dialogs.texts(), (QStringList{"Удалить шаблон?", "Удалить шаблон?"}));
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon where ShId = %1").arg(a)), 0);
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon where ShId in (%1, %2)").arg(ab).arg(other)), 2);
    EXPECT_EQ(listed(*dm->Sh_q, QStringLiteral("ShName")), QStringList{"AB"});

    // With the filter off the list of all templates names its rows by key too.
    c().filterOff->click();
    ASSERT_TRUE(dm->Sh_q_all->locate(QStringLiteral("ShId"), other));
    c().showTemplate->click(); // the editor was not changed: no question
    EXPECT_EQ(editorText(), "другой A");
    dialogs.yes();
    c().deleteTemplate->click();
    EXPECT_EQ(count(QStringLiteral("select count(*) from SHablon")), 1);
    EXPECT_EQ(listed(*dm->Sh_q_all, QStringLiteral("ShName")), QStringList{"AB"});
    EXPECT_EQ(dialogs.problems(), "");
}

// ---------------------------------------------------------------- the designer's markers

TEST_F(InvestigationsPageTest, InInsertionModeARightButtonReleaseOnTheListsInsertsTheMarkerOfTheFilter)
{
    QStringList inserted;
    programSwitches().MarkerInsertion = false;
    links.insertFieldMarker = [&](int n) { inserted << QStringLiteral("<!fld_%1>").arg(n); };
    links.insertGroupMarker = [&](int n) { inserted << QStringLiteral("<!grp_%1>").arg(n); };
    addInvestigation(laboratory, QStringLiteral("ОАК"), QStringLiteral("x"));
    start();
    page->windowActivated();
    chooseType(instrumental);
    const auto release = [](ui::DBGrid* grid, Qt::MouseButton button) {
        QMouseEvent event(QEvent::MouseButtonRelease, QPointF(5, 5), grid->viewport()->mapToGlobal(QPointF(5, 5)),
                          button, Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(grid->viewport(), &event);
    };

    release(c().typeList, Qt::RightButton); // insertion mode off
    programSwitches().MarkerInsertion = true;
    release(c().typeList, Qt::LeftButton);
    release(c().typeList, Qt::RightButton);
    release(c().investigationList, Qt::RightButton);
    c().filterOff->click();
    release(c().investigationList, Qt::RightButton);
    EXPECT_EQ(inserted, (QStringList{QStringLiteral("<!grp_%1>").arg(instrumental), QStringLiteral("<!grp_%1>").arg(instrumental),
                                     "<!fld_29>"}));
    programSwitches().MarkerInsertion = false;
}

// ---------------------------------------------------------------- in an assembled document

TEST_F(InvestigationsPageTest, InvestigationsMadeHereFillTheGroupAndAllInvestigationsMarkersOfAnAssembly)
{
    addTemplate(laboratory, QStringLiteral("ОАК"), QStringLiteral("ОАК: "));
    start();
    page->windowActivated();
    typeIntoEditor(QStringLiteral("норма"));
    dialogs.type(QStringLiteral("ОАК"));
    c().addInvestigation->click();
    chooseType(instrumental);
    editor->loadFromBlob(blobOf(QStringLiteral("ЭЭГ: ")));
    typeIntoEditor(QStringLiteral("альфа-ритм"));
    dialogs.type(QStringLiteral("ЭЭГ"));
    c().addInvestigation->click();
    ASSERT_EQ(dialogs.problems(), "");

    // The doctor goes on editing on the page while a document is assembled.
    typeIntoEditor(QStringLiteral(" черновик"));
    const QString pageText = editorText();
    const QVariant pageRow = dm->Issled_q->field(QStringLiteral("Iid")).value();
    const QString pageList = dm->Issled_q->sqlText();

    templates::DocumentAssembly assembly(*dm);
    word::DocumentView target, aux;
    word::MarkerTextBox box;
    QProgressBar bar;
    target.loadFromBlob(blobOf(QStringLiteral("Лаб: <!grp_%1>|Все: <!fld_29>|Инстр: <!grp_%2>").arg(laboratory).arg(instrumental)));
    assembly.AssembleDocument(target, aux, box, {nullptr, &bar});
    const QString assembled = textOf(target.saveToBlob());
    EXPECT_TRUE(assembled.startsWith(QStringLiteral("Лаб: ОАК: норма"))) << assembled.toStdString();
    EXPECT_TRUE(assembled.contains(QStringLiteral("Все: ОАК: норма")));
    EXPECT_TRUE(assembled.contains(QStringLiteral("ЭЭГ: альфа-ритм")));
    EXPECT_EQ(assembled.count(QStringLiteral("альфа-ритм")), 2);
    EXPECT_FALSE(assembled.contains(QStringLiteral("<!")));

    // The page's list and editor are as the doctor left them.
    EXPECT_EQ(editorText(), pageText);
    EXPECT_TRUE(editor->changedSinceLoaded());
    EXPECT_EQ(dm->Issled_q->field(QStringLiteral("Iid")).value(), pageRow);
    EXPECT_EQ(dm->Issled_q->sqlText(), pageList);
}

} // namespace
